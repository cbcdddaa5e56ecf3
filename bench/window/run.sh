#!/bin/bash
# Window memory benchmark: the peak memory of the real window scanning one large page, and how
# long the scan takes. A private nginx on 127.0.0.1 serves one page of --size MiB (lines of
# ordinary markup with the search term near the end, or with --one-line a page without a line
# break); tallyweave runs from a temporary folder of its own on a private Xvfb display, with a
# sites file holding that one page. The script presses Start Scan, waits until the page has
# been served and the program has used no processor time for two seconds, and ends the program
# with File > Exit. Prints the scan's wall time (from the press until the program went quiet)
# and the program's peak resident memory (GNU time -v), with the bound 4 x page + 150 MiB.
#
#   run.sh [--program PATH] [--size MIB] [--one-line] [--display :N] [--port P]
#
#   --program PATH  the tallyweave to measure (default: the one of this build tree)
#   --size MIB      the page's size in MiB (default 64, the most a page may have)
#   --one-line      the page is one line
#   --display :N    the Xvfb display to start (default :96)
#   --port P        the port nginx listens on (default: the first free one from 18531)
#
# Needs Xvfb (Debian xvfb), xdotool, nginx (Debian nginx-light), curl and GNU time (Debian time).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
program="$here/../../app/tallyweave"
size=64
one_line=no
display=:96
port=
term="www.tallyweave-partner.example"

while [ $# -gt 0 ]; do
    case "$1" in
        --program) program=$2; shift 2 ;;
        --size) size=$2; shift 2 ;;
        --one-line) one_line=yes; shift ;;
        --display) display=$2; shift 2 ;;
        --port) port=$2; shift 2 ;;
        -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

fail() { echo "run.sh: $*" >&2; exit 2; }
[ -x "$program" ] || fail "no tallyweave at $program (give --program PATH)"
[ "$size" -ge 1 ] && [ "$size" -le 64 ] 2>/dev/null || fail "--size must be 1 to 64"
command -v Xvfb >/dev/null || fail "Xvfb is missing (apt-get install xvfb)"
command -v xdotool >/dev/null || fail "xdotool is missing (apt-get install xdotool)"
command -v curl >/dev/null || fail "curl is missing (apt-get install curl)"
[ -x /usr/bin/time ] || fail "GNU time is missing (apt-get install time)"
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$nginx_bin" ] || fail "nginx is missing (apt-get install nginx-light)"

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
if [ -z "$port" ]; then
    port=18531
    while port_in_use "$port"; do port=$((port + 1)); done
fi

work=$(mktemp -d /tmp/tallyweave-window-bench.XXXXXX)
# nginx's workers run as an unprivileged user when started by root.
chmod 755 "$work"
xvfb_pid=
nginx_pid=
time_pid=
cleanup() {
    [ -n "$time_pid" ] && kill "$time_pid" 2>/dev/null || true
    if [ -n "$nginx_pid" ] && kill -0 "$nginx_pid" 2>/dev/null; then
        kill -QUIT "$nginx_pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$nginx_pid" 2>/dev/null || break; sleep 0.1; done
    fi
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The page: ordinary markup in lines of about 100 bytes, or the same without line breaks, cut to
# the size asked for with the link to the partner near its end.
mkdir -p "$work/www" "$work/tmp" "$work/app"
bytes=$((size * 1024 * 1024))
tail_html="<p><a href=\"https://$term/\">Our partner</a></p></body></html>"
awk -v n="$bytes" -v nl="$([ "$one_line" = yes ] && echo "" || echo $'\n')" 'BEGIN {
    printf "<html><head><title>Links</title></head><body>%s", nl
    line = "<p class=\"item\">A paragraph of ordinary text about links, partners and pages.</p>"
    total = 60
    for (i = 0; total < n - 200; i++) {
        s = sprintf("%s<!-- %07d -->%s", line, i, nl)
        printf "%s", s
        total += length(s)
    }
}' >"$work/www/big.html"
printf '%s\n' "$tail_html" >>"$work/www/big.html"

cat >"$work/nginx.conf" <<EOF
worker_processes 1;
daemon on;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 64; }
http {
    access_log $work/access.log;
    sendfile on;
    default_type text/html;
    client_body_temp_path $work/tmp/body;
    proxy_temp_path $work/tmp/proxy;
    fastcgi_temp_path $work/tmp/fastcgi;
    uwsgi_temp_path $work/tmp/uwsgi;
    scgi_temp_path $work/tmp/scgi;
    server {
        listen 127.0.0.1:$port;
        root $work/www;
    }
}
EOF
"$nginx_bin" -e "$work/error.log" -p "$work" -c "$work/nginx.conf" || fail "nginx did not start (see $work/error.log)"
for _ in $(seq 50); do [ -s "$work/nginx.pid" ] && break; sleep 0.1; done
nginx_pid=$(cat "$work/nginx.pid")
url="http://127.0.0.1:$port/big.html"
curl -s -o /dev/null --max-time 10 "$url" || fail "nginx does not answer on 127.0.0.1:$port"
: >"$work/access.log"

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.05
done
xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start on $display"
unset QT_QPA_PLATFORM

# The program reads Sites.dqx beside itself; the copy keeps the build's own list untouched.
cp "$program" "$work/app/tallyweave"
printf '1,1\r\n"Big page"\r\n"%s"\r\n"%s"\r\n' "$url" "$term" >"$work/app/Sites.dqx"

/usr/bin/time -v -o "$work/time.txt" "$work/app/tallyweave" >/dev/null 2>"$work/program.log" &
time_pid=$!
app_pid=
window=
for _ in $(seq 400); do
    kill -0 "$time_pid" 2>/dev/null || fail "tallyweave ended before showing its window: $(tail -3 "$work/program.log")"
    [ -n "$app_pid" ] || app_pid=$(pgrep -P "$time_pid" || true)
    [ -n "$app_pid" ] && window=$(xdotool search --onlyvisible --pid "$app_pid" --name '^Tallyweave$' 2>/dev/null | tail -1) \
        && [ -n "$window" ] && break
    sleep 0.05
done
[ -n "$window" ] || fail "the window did not show"
cpu_of() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$app_pid/stat"; }

xdotool windowfocus --sync "$window"
start=$(date +%s.%N)
xdotool key --window "$window" alt+s

# Done when the page has been served and the program has been idle for two seconds.
quiet_since=
last=$(cpu_of)
last_busy=$start
while :; do
    sleep 0.1
    kill -0 "$app_pid" 2>/dev/null || fail "tallyweave ended during the scan: $(tail -3 "$work/program.log")"
    now=$(date +%s.%N)
    cpu=$(cpu_of)
    if [ "$cpu" != "$last" ]; then
        last=$cpu
        last_busy=$now
    elif [ -s "$work/access.log" ] && awk -v a="$last_busy" -v b="$now" 'BEGIN { exit !(b - a >= 2) }'; then
        break
    fi
    awk -v a="$start" -v b="$now" 'BEGIN { exit !(b - a > 600) }' && fail "no end of the scan within 600 s"
done
grep -q ' 200 ' "$work/access.log" || fail "the page was not served: $(cat "$work/access.log")"

xdotool key --window "$window" ctrl+q
wait "$time_pid" || true
time_pid=
peak_kib=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
[ -n "$peak_kib" ] || fail "no figures from GNU time: $(cat "$work/time.txt")"
page_bytes=$(stat -c %s "$work/www/big.html")
awk -v a="$start" -v b="$last_busy" -v kib="$peak_kib" -v page="$page_bytes" -v one="$one_line" 'BEGIN {
    printf "page: %.1f MiB%s\n", page / 1048576, one == "yes" ? ", one line" : ""
    printf "scan: %.2f s from Start Scan until the program went quiet\n", b - a
    printf "peak memory: %.1f MiB (bound 4 x page + 150 MiB = %.1f MiB)\n", kib / 1024, 4 * page / 1048576 + 150
}'
