#!/bin/bash
# Render benchmark: 200 pages on a private nginx on 127.0.0.1, half of which carry the link in
# their source and half of which draw it with a script 100 ms after loading. The plain check
# (tallyweave-check --no-history) reads every source and finds half the links; then
# tallyweave-check --render=missing at --render-jobs 1 and 2 renders the hundred pages that lack
# the term in headless Chromium and finds them all. For each run: the wall time, pages per
# second (all pages, and the rendered ones alone), and the peak memory of the checker and its
# browsers together, sampled every 100 ms as the sum of the proportional set sizes of the
# checker and every process below it (shared pages counted once, as --render-memory counts them),
# beside the checker's own share.
#
#   run.sh [--check PATH] [--pages N] [--port P] [--keep]
#
#   --check PATH  the tallyweave-check to measure (default: the one of this build tree)
#   --pages N     pages, an even number (default 200)
#   --port P      the port nginx listens on (default: the first free one from 18531)
#   --keep        keep the temporary folder (pages, sites file, config, logs)
#
# Needs nginx (Debian nginx-light), curl and chromium.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
check="$here/../../check/tallyweave-check"
pages=200
port=
keep=no
term="www.my-shop.example"

while [ $# -gt 0 ]; do
    case "$1" in
        --check) check=$2; shift 2 ;;
        --pages) pages=$2; shift 2 ;;
        --port) port=$2; shift 2 ;;
        --keep) keep=yes; shift ;;
        -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

fail() { echo "run.sh: $*" >&2; exit 2; }
[ -x "$check" ] || fail "no tallyweave-check at $check (give --check PATH)"
[ $((pages % 2)) -eq 0 ] && [ "$pages" -ge 2 ] 2>/dev/null || fail "--pages must be an even number"
command -v nginx >/dev/null || [ -x /usr/sbin/nginx ] || fail "nginx is missing (apt-get install nginx-light)"
command -v chromium >/dev/null || fail "chromium is missing (apt-get install chromium)"
command -v curl >/dev/null || fail "curl is missing (apt-get install curl)"
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)

work=$(mktemp -d /tmp/render-bench.XXXXXX)
chmod 755 "$work"
nginx_pid=
cleanup() {
    if [ -n "$nginx_pid" ] && kill -0 "$nginx_pid" 2>/dev/null; then
        kill -QUIT "$nginx_pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$nginx_pid" 2>/dev/null || break; sleep 0.1; done
    fi
    [ "$keep" = yes ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

if [ -z "$port" ]; then
    port=18531
    while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done
fi

mkdir -p "$work/www" "$work/tmp"
sites="$work/Sites.dqx"
printf '%d,1\r\n' "$pages" > "$sites"
for i in $(seq -w 1 "$pages"); do
    n=$((10#$i))
    if [ $((n % 2)) -eq 0 ]; then
        printf '<html><body><h1>Partners %s</h1><p>Our friends:</p><a href="https://%s/">My Shop</a></body></html>\n' \
            "$i" "$term" > "$work/www/$i.html"
    else
        printf '%s\n' "<html><body><h1>Partners $i</h1><p>Our friends:</p><script>setTimeout(function () {" \
            "var a = document.createElement('a'); a.href = 'https://www.my-' + 'shop.example/';" \
            "a.textContent = 'My Shop'; document.body.appendChild(a); }, 100);</script></body></html>" \
            > "$work/www/$i.html"
    fi
    printf '"Partner %s"\r\n"http://127.0.0.1:%d/%s.html"\r\n"%s"\r\n' "$i" "$port" "$i" "$term" >> "$sites"
done

cat > "$work/nginx.conf" <<CONF
worker_processes 1;
daemon on;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 256; }
http {
    access_log off;
    default_type text/html;
    client_body_temp_path $work/tmp/body;
    proxy_temp_path $work/tmp/proxy;
    fastcgi_temp_path $work/tmp/fastcgi;
    uwsgi_temp_path $work/tmp/uwsgi;
    scgi_temp_path $work/tmp/scgi;
    server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
[ "$(id -u)" -eq 0 ] && sed -i "1i user $(id -un) $(id -gn);" "$work/nginx.conf"
"$nginx_bin" -e "$work/error.log" -p "$work" -c "$work/nginx.conf" || fail "nginx did not start (see $work/error.log)"
for _ in $(seq 50); do [ -s "$work/nginx.pid" ] && break; sleep 0.1; done
nginx_pid=$(cat "$work/nginx.pid")
curl -s -o /dev/null --max-time 5 "http://127.0.0.1:$port/001.html" || fail "nginx does not answer on 127.0.0.1:$port"

# The kilobytes of proportional set size of $1 and every process below it, and of $1 alone.
tree_pss() {
    local files
    files=$(ps -e -o pid=,ppid= | awk -v root="$1" '
        { parent[$1] = $2 }
        END {
            inside[root] = 1
            do { grew = 0; for (p in parent) if (!(p in inside) && (parent[p] in inside)) { inside[p] = 1; grew = 1 } } while (grew)
            for (p in inside) printf "/proc/%s/smaps_rollup ", p
        }')
    # shellcheck disable=SC2086
    { cat $files 2>/dev/null || true; } | awk '/^Pss:/ { sum += $2 } END { printf "%d ", sum + 0 }'
    awk '/^Pss:/ { print $2; found = 1 } END { if (!found) print 0 }' "/proc/$1/smaps_rollup" 2>/dev/null || echo 0
}

# Runs the checker with these arguments; prints "seconds peak_kib verified checker_kib", the
# last the checker's own share of the peak.
measure() {
    local start end peak=0 own=0 now mine
    start=$(date +%s.%N)
    "$check" --sites "$sites" --no-history --quiet "$@" > "$work/out.txt" 2> "$work/err.txt" &
    local pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        read -r now mine < <(tree_pss "$pid")
        [ "$now" -gt "$peak" ] && peak=$now
        [ "$mine" -gt "$own" ] && own=$mine
        sleep 0.1
    done
    wait "$pid" || true
    end=$(date +%s.%N)
    local verified
    verified=$(grep -c -- '--> OK' "$work/out.txt" || true)
    echo "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }') $peak $verified $own"
}

echo "pages: $pages on 127.0.0.1:$port, $((pages / 2)) drawn by a script; $(nproc) cores; $(chromium --version 2>/dev/null)"
echo "load before: $(uptime)"
printf '%-28s %9s %9s %11s %10s %12s %7s\n' "run" "seconds" "pages/s" "rendered/s" "peak MiB" "checker MiB" "found"
report() {
    local name=$1 rendered=$2; shift 2
    read -r seconds peak verified own < <(measure "$@")
    local rendered_per_second="-"
    [ "$rendered" -gt 0 ] && rendered_per_second=$(awk -v n="$rendered" -v s="$seconds" 'BEGIN { printf "%.2f", n / s }')
    printf '%-28s %9.2f %9.2f %11s %10.1f %12.1f %7s\n' "$name" "$seconds" \
        "$(awk -v n="$pages" -v s="$seconds" 'BEGIN { print n / s }')" "$rendered_per_second" \
        "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "$(awk -v k="$own" 'BEGIN { print k / 1024 }')" "$verified/$pages"
}
report "plain check" 0
report "--render --render-jobs 1" $((pages / 2)) --render --render-jobs 1
report "--render --render-jobs 2" $((pages / 2)) --render --render-jobs 2
echo "load after: $(uptime)"
left=$(ps -e -o args= | grep -c "[t]allyweave-render-" || true)
echo "browser processes left running: $left"
