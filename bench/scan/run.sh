#!/bin/bash
# Scan benchmark: the plain check, tallyweave-check --no-analysis --jobs 16, against curl
# --parallel --parallel-max 16 over the same pages, served by a private nginx on 127.0.0.1 to
# 127.0.0.8 (eight hosts, so that the checker's two-per-host limit still allows 16 transfers at
# once), then tallyweave-check --strict, the same transfers with every match placed in its
# page's markup, the plain check with --no-history, without recording its run, and
# tallyweave-check as it runs by default (analysing every match, recording the run). Prints each
# run's wall time and peak memory (GNU time -v), the ratio of the plain check to curl, what the
# analysis adds to the plain check, and what recording the history adds (the plain check
# records every run, as a daily run would).
# Then tallyweave-check --jobs 256 over large pages on 128 loopback hosts, whose peak memory
# shows the budget that the transfers in flight share.
#
# With --latency, then a network with latency: 1,000 pages of 20 to 200 KiB on 100 hosts,
# 127.0.1.1 to 127.0.1.100, served by bench_paced_server (built beside this script), where each
# host answers a request after its own delay of 20 to 200 ms and sends at its own rate of 1 to
# 5 MB/s, both drawn once from a seeded generator. At --jobs 16, 32 and 64 (curl's
# --parallel-max the same) it runs curl --parallel, tallyweave-check --no-analysis (the plain
# check, which does not analyse pages) and tallyweave-check --strict (which analyses every page
# that carries the term), both with --no-history so that the analysis is all they differ in, and
# prints the median wall times of R rounds in one table with what the analysis adds at each
# --jobs (the target holds at each), beside the loopback figures above and the server's own CPU
# use, and the peak memory at --jobs 64 of --strict and of two runs of --changes (the nightly
# job, which records). The analysis fetches each host's robots.txt once, a request the plain
# check does not make.
#
# The term is an address that holds i and s, as real terms do (the dotless i and the long s
# upper-case to them, which the byte search must rule out).
#
# With --pages DIR, the pages are the .html and .htm files under DIR (real pages, say the
# documentation Debian's packages install: bench/corpus/real-pages.sh lists them, or pages
# that bench_page_analysis --write-templates wrote) instead of generated ones, each served with
# a link to the term placed before its last </body>; site i gets page i, cycling through them.
# Every site should then be verified; --strict's count is shown, not checked.
#
#   run.sh [--check PATH] [--sites N] [--rounds R] [--large L] [--port P] [--latency]
#          [--server PATH] [--keep] [--pages DIR]
#
#   --check PATH  the tallyweave-check to measure (default: the one of this build tree)
#   --sites N     pages and sites, one page per site (default 10000, at least 2000)
#   --rounds R    measured runs of each tool after one warm-up run each (default 3)
#   --large L     large pages (4 MiB each) checked at --jobs 256 (default 512; 0: none)
#   --port P      the port the servers listen on (default: the first free one from 18431)
#   --latency     add the run on a network with latency
#   --server PATH the latency run's server (default: bench_paced_server beside this script)
#   --keep        keep the temporary folder (pages, sites file, configs, logs)
#   --pages DIR   serve the pages under DIR (see above) in both runs
#
# Needs nginx (Debian nginx-light), curl and GNU time (Debian time).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
check="$here/../../check/tallyweave-check"
server="$here/bench_paced_server"
latency=no
sites=10000
rounds=3
port=
keep=no
jobs=16
large=512
large_jobs=256
large_bytes=$((4 * 1024 * 1024))
term="https://www.tallyweave-partner.example/links.html"
pages_dir=

while [ $# -gt 0 ]; do
    case "$1" in
        --check) check=$2; shift 2 ;;
        --sites) sites=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --port) port=$2; shift 2 ;;
        --keep) keep=yes; shift ;;
        --large) large=$2; shift 2 ;;
        --latency) latency=yes; shift ;;
        --server) server=$2; shift 2 ;;
        --pages) pages_dir=$2; shift 2 ;;
        -h|--help) sed -n '2,47p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

fail() { echo "run.sh: $*" >&2; exit 2; }
[ -x "$check" ] || fail "no tallyweave-check at $check (give --check PATH)"
[ "$sites" -ge 2000 ] 2>/dev/null || fail "--sites must be a number of at least 2000"
[ "$rounds" -ge 1 ] 2>/dev/null || fail "--rounds must be at least 1"
[ "$large" -ge 0 ] 2>/dev/null || fail "--large must be a number"
[ -z "$pages_dir" ] || [ -d "$pages_dir" ] || fail "--pages: no folder $pages_dir"
[ "$latency" = no ] || [ -x "$server" ] || fail "no bench_paced_server at $server (build with -DTALLYWEAVE_BENCH=ON, or give --server PATH)"
command -v nginx >/dev/null || [ -x /usr/sbin/nginx ] || fail "nginx is missing (apt-get install nginx-light)"
command -v curl >/dev/null || fail "curl is missing (apt-get install curl)"
[ -x /usr/bin/time ] || fail "GNU time is missing (apt-get install time)"
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
if [ -z "$port" ]; then
    port=18431
    while port_in_use "$port"; do port=$((port + 1)); done
fi

work=$(mktemp -d /tmp/tallyweave-scan-bench.XXXXXX)
# nginx's workers run as an unprivileged user when started by root.
chmod 755 "$work"
nginx_pid=
server_pid=
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    if [ -n "$nginx_pid" ] && kill -0 "$nginx_pid" 2>/dev/null; then
        kill -QUIT "$nginx_pid" 2>/dev/null || true
        for _ in $(seq 50); do kill -0 "$nginx_pid" 2>/dev/null || break; sleep 0.1; done
    fi
    if [ "$keep" = yes ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# generate_pages N LEAST MOST DIR EXPECTED HOLLOW: N pages DIR/00001.html ... of LEAST to MOST
# bytes of paragraphs each, with head, navigation, article paragraphs, a partner block and a
# footer. Most carry the link near the end; one in twenty lacks it, one in twenty carries it in
# other letter case, one in ten is written in Windows-1252 rather than UTF-8. One in twenty
# carries it in a link marked rel="nofollow" and one in twenty only inside a comment: found by
# the plain search, not verified by --strict. Writes the number of pages that carry the link to
# EXPECTED, and of those that carry it hollow to HOLLOW.
generate_pages() {
    awk -v n="$1" -v least="$2" -v most="$3" -v dir="$4" -v expect="$5" -v hollowed="$6" -v term="$term" 'BEGIN {
        srand(20240607)
        split("link partner exchange directory resource garden travel recipe review guide " \
              "community forum article archive season market local history photo gallery " \
              "service quality support contact about friends network useful reading blog", w, " ")
        nw = 0; for (k in w) nw++
        found = 0; hollow = 0
        for (i = 1; i <= n; i++) {
            f = sprintf("%s/%05d.html", dir, i)
            latin = (i % 10 == 3)
            e = latin ? "\351" : "\303\251"
            printf "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"%s\">\n", (latin ? "windows-1252" : "utf-8") > f
            printf "<title>Partner page %d</title>\n<link rel=\"stylesheet\" href=\"/style.css\">\n</head>\n<body>\n", i > f
            printf "<nav><ul>\n" > f
            for (k = 1; k <= 12; k++)
                printf "<li><a href=\"/p/%05d.html\">%s %s</a></li>\n", (i * 31 + k) % n + 1, w[int(rand() * nw) + 1], w[int(rand() * nw) + 1] > f
            printf "</ul></nav>\n<main>\n<h1>Caf%s %s and %s</h1>\n", e, w[i % nw + 1], w[(i * 7) % nw + 1] > f
            target = least + int(rand() * (most - least))
            size = 0
            while (size < target) {
                para = "<p>"
                for (k = 0; k < 60; k++) {
                    word = w[int(rand() * nw) + 1]
                    if (rand() < 0.03) word = "r" e "sum" e
                    para = para word (rand() < 0.08 ? ". " : " ")
                }
                para = para "</p>\n"
                printf "%s", para > f
                size += length(para)
            }
            printf "</main>\n<aside class=\"partners\"><h2>Our partners</h2>\n" > f
            kind = i % 20
            if (kind == 7) {
                printf "<p>No links this season.</p>\n" > f
            } else if (kind == 13) {
                printf "<p><a href=\"%s\" rel=\"nofollow\">A good %s</a></p>\n", term, w[i % nw + 1] > f
                found++; hollow++
            } else if (kind == 17) {
                printf "<!-- <p><a href=\"%s\">A good %s</a></p> -->\n", term, w[i % nw + 1] > f
                found++; hollow++
            } else {
                t = (kind == 11) ? toupper(term) : term
                printf "<p><a href=\"%s\">A good %s</a></p>\n", t, w[i % nw + 1] > f
                found++
            }
            printf "</aside>\n<footer>&copy; 2024 partner %d</footer>\n</body>\n</html>\n", i > f
            close(f)
        }
        print found > expect
        print hollow > hollowed
    }'
}

# copy_pages DIR TO: the pages under DIR as TO/00001.html ..., each with a link to the term
# before its last </body> (or at its end); prints how many.
copy_pages() {
    find "$1" -xtype f \( -name '*.html' -o -name '*.htm' \) -size +0 -print0 | LC_ALL=C sort -z |
        perl -0 -ne 'BEGIN { ($to, $term) = splice(@ARGV, 0, 2); $n = 0 }
            chomp; local $/; open(my $in, "<", $_) or next; my $page = <$in>; close $in;
            my $at = rindex(lc $page, "</body");
            my $link = "<p><a href=\"$term\">A good partner</a></p>\n";
            $page = $at < 0 ? $page . $link : substr($page, 0, $at) . $link . substr($page, $at);
            open(my $out, ">", sprintf("%s/%05d.html", $to, ++$n)) or die "cannot write: $!";
            print $out $page; close $out;
            END { print "$n\n" }' "$2" "$term"
}

mkdir -p "$work/www/p" "$work/tmp"
distinct=$sites
if [ -n "$pages_dir" ]; then
    echo "Copying the pages under $pages_dir to $work/www, each with a link to the term ..."
    distinct=$(copy_pages "$pages_dir" "$work/www/p")
    [ "$distinct" -gt 0 ] || fail "--pages: no .html or .htm file under $pages_dir"
    echo "$sites" > "$work/expected"
    echo "?" > "$work/hollow"
else
    echo "Generating $sites HTML pages in $work/www ..."
    # Pages of 2 to 60 KiB.
    generate_pages "$sites" 2048 61440 "$work/www/p" "$work/expected" "$work/hollow"
fi
bytes=$(du -sb "$work/www/p" | cut -f1)
# What the sites fetch: page i of the distinct ones for site i, cycling.
bytes=$(awk -v b="$bytes" -v d="$distinct" -v n="$sites" 'BEGIN { printf "%d", b / d * n }')

# One large page, served under every /big/ address: the pages cost no disk.
{
    printf '<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>Large</title></head><body>\n'
    { yes '<p>partner garden travel recipe review guide community forum article archive season</p>' || true; } |
        head -c "$large_bytes"
    printf '\n<p><a href="%s">A good partner</a></p></body></html>\n' "$term"
} > "$work/www/big.html"

# write_lists N NET HOSTS SITES CURL [DISTINCT]: a sites file and curl's list of N pages, page
# i (of DISTINCT ones, cycling) served by host NET.((i - 1) % HOSTS + 1).
write_lists() {
    awk -v n="$1" -v net="$2" -v hosts="$3" -v sitesfile="$4" -v curlcfg="$5" -v distinct="${6:-$1}" \
        -v port="$port" -v term="$term" 'BEGIN {
        printf "%d,1\r\n", n > sitesfile
        for (i = 1; i <= n; i++) {
            url = sprintf("http://%s.%d:%d/p/%05d.html", net, (i - 1) % hosts + 1, port, (i - 1) % distinct + 1)
            printf "\"Partner %05d\"\r\n\"%s\"\r\n\"%s\"\r\n", i, url, term > sitesfile
            printf "url = \"%s\"\noutput = \"/dev/null\"\n", url > curlcfg
        }
    }'
}

echo "Writing the sites file and curl's list ..."
write_lists "$sites" 127.0.0 8 "$work/Sites.dqx" "$work/curl.cfg" "$distinct"

# 128 hosts, so that the checker's two-per-host limit lets 256 large pages download at once.
listen=
for a in $(seq 128); do listen="$listen        listen 127.0.0.$a:$port;"$'\n'; done
cat > "$work/nginx.conf" <<EOF
worker_processes auto;
daemon on;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 1024; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 1000000;
    keepalive_timeout 60s;
    default_type text/html;
    client_body_temp_path $work/tmp/body;
    proxy_temp_path $work/tmp/proxy;
    fastcgi_temp_path $work/tmp/fastcgi;
    uwsgi_temp_path $work/tmp/uwsgi;
    scgi_temp_path $work/tmp/scgi;
    server {
$listen
        root $work/www;
        location /big/ { rewrite ^ /big.html break; }
    }
}
EOF
"$nginx_bin" -e "$work/error.log" -p "$work" -c "$work/nginx.conf" || fail "nginx did not start (see $work/error.log)"
for _ in $(seq 50); do [ -s "$work/nginx.pid" ] && break; sleep 0.1; done
nginx_pid=$(cat "$work/nginx.pid")
for a in 1 8; do
    curl -s -o /dev/null --max-time 5 "http://127.0.0.$a:$port/p/00001.html" || fail "nginx does not answer on 127.0.0.$a:$port"
done

# Seconds from GNU time's "h:mm:ss" or "m:ss.cc".
wall_of() {
    sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$1" |
        awk -F: '{ s = 0; for (k = 1; k <= NF; k++) s = s * 60 + $k; printf "%.2f\n", s }'
}
peak_of() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# The plain check: the term searched for, no match placed in its page's markup.
run_check() {
    local code=0
    /usr/bin/time -v -o "$work/time.check" "$check" --sites "$work/Sites.dqx" --jobs "$jobs" --quiet --no-analysis \
        > "$work/check.out" 2> "$work/check.err" || code=$?
    [ "$code" -le 1 ] || fail "tallyweave-check --no-analysis exited with $code: $(cat "$work/check.err")"
}
# The check as it runs without options: every match analysed, its hollow reasons recorded.
run_default() {
    local code=0
    /usr/bin/time -v -o "$work/time.default" "$check" --sites "$work/Sites.dqx" --jobs "$jobs" --quiet \
        > "$work/default.out" 2> "$work/default.err" || code=$?
    [ "$code" -le 1 ] || fail "tallyweave-check exited with $code: $(cat "$work/default.err")"
}
run_strict() {
    local code=0
    /usr/bin/time -v -o "$work/time.strict" "$check" --sites "$work/Sites.dqx" --jobs "$jobs" --quiet --strict \
        > "$work/strict.out" 2> "$work/strict.err" || code=$?
    [ "$code" -le 1 ] || fail "tallyweave-check --strict exited with $code: $(cat "$work/strict.err")"
}
run_nohist() {
    local code=0
    /usr/bin/time -v -o "$work/time.nohist" "$check" --sites "$work/Sites.dqx" --jobs "$jobs" --quiet --no-analysis \
        --no-history > "$work/nohist.out" 2> "$work/nohist.err" || code=$?
    [ "$code" -le 1 ] || fail "tallyweave-check --no-analysis --no-history exited with $code: $(cat "$work/nohist.err")"
}
run_curl() {
    /usr/bin/time -v -o "$work/time.curl" curl --silent --parallel --parallel-max "$jobs" --config "$work/curl.cfg" \
        > /dev/null 2> "$work/curl.err" || fail "curl failed: $(tail -3 "$work/curl.err")"
}

echo "Warming up ..."
run_curl
run_check
run_strict
run_nohist
run_default
[ -s "$work/Sites.history.db" ] || fail "tallyweave-check recorded no history beside $work/Sites.dqx"
cmp -s "$work/check.out" "$work/nohist.out" || fail "tallyweave-check --no-history wrote another report"
expected=$(cat "$work/expected")
hollow=$(cat "$work/hollow")
ok=$(grep -c $'\t  --> OK$' "$work/check.out" || true)
missing=$(grep -c $'\t  --> Page Not Found$' "$work/check.out" || true)
[ "$ok" -eq "$expected" ] && [ "$missing" -eq 0 ] ||
    fail "tallyweave-check verified $ok sites (expected $expected) and found $missing pages missing"
# --strict keeps every site's line and leaves the hollow matches out of the closing count only.
cmp -s <(head -n -1 "$work/check.out") <(head -n -1 "$work/strict.out") ||
    fail "tallyweave-check --strict wrote other site lines than tallyweave-check --no-analysis"
cmp -s <(head -n -1 "$work/check.out") <(head -n -1 "$work/default.out") ||
    fail "tallyweave-check wrote other site lines than tallyweave-check --no-analysis"
strict_count=$(tail -n 1 "$work/strict.out" | sed -n 's/^Finished \. \. \.\([0-9]*\) out of [0-9]* verified$/\1/p')
[ -n "$pages_dir" ] || [ "$strict_count" = "$((expected - hollow))" ] ||
    fail "tallyweave-check --strict verified ${strict_count:-?} sites (expected $((expected - hollow)))"

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
check_walls=()
curl_walls=()
strict_walls=()
nohist_walls=()
default_walls=()
default_peak=0
nohist_peak=0
check_peak=0
curl_peak=0
strict_peak=0
for r in $(seq "$rounds"); do
    run_curl
    curl_walls+=("$(wall_of "$work/time.curl")")
    p=$(peak_of "$work/time.curl"); [ "$p" -gt "$curl_peak" ] && curl_peak=$p
    run_check
    check_walls+=("$(wall_of "$work/time.check")")
    p=$(peak_of "$work/time.check"); [ "$p" -gt "$check_peak" ] && check_peak=$p
    run_strict
    strict_walls+=("$(wall_of "$work/time.strict")")
    p=$(peak_of "$work/time.strict"); [ "$p" -gt "$strict_peak" ] && strict_peak=$p
    run_nohist
    nohist_walls+=("$(wall_of "$work/time.nohist")")
    p=$(peak_of "$work/time.nohist"); [ "$p" -gt "$nohist_peak" ] && nohist_peak=$p
    run_default
    default_walls+=("$(wall_of "$work/time.default")")
    p=$(peak_of "$work/time.default"); [ "$p" -gt "$default_peak" ] && default_peak=$p
    echo "  round $r: curl ${curl_walls[-1]} s, --no-analysis ${check_walls[-1]} s, --strict ${strict_walls[-1]} s," \
         "--no-analysis --no-history ${nohist_walls[-1]} s, default ${default_walls[-1]} s"
done

curl_wall=$(printf '%s\n' "${curl_walls[@]}" | median)
check_wall=$(printf '%s\n' "${check_walls[@]}" | median)
strict_wall=$(printf '%s\n' "${strict_walls[@]}" | median)
nohist_wall=$(printf '%s\n' "${nohist_walls[@]}" | median)
default_wall=$(printf '%s\n' "${default_walls[@]}" | median)
awk -v sites="$sites" -v bytes="$bytes" -v cw="$curl_wall" -v tw="$check_wall" -v cp="$curl_peak" -v tp="$check_peak" \
    -v sw="$strict_wall" -v sp="$strict_peak" -v sv="$strict_count" -v hollow="$hollow" \
    -v nw="$nohist_wall" -v np="$nohist_peak" -v dw="$default_wall" -v dp="$default_peak" \
    -v ok="$ok" -v jobs="$jobs" -v rounds="$rounds" -v term="$term" -v load="$load_before" 'BEGIN {
    ratio = (cw > 0) ? tw / cw : 0
    added = (tw > 0) ? (sw - tw) / tw * 100 : 0
    printf "\nScan of %d pages (%.1f MiB of HTML) on 8 loopback hosts, %d transfers at once, median of %d rounds\n", \
        sites, bytes / 1048576, jobs, rounds
    printf "  term %s; load average before: %s\n", term, load
    printf "  %-25s wall %7.2f s   peak memory %7.1f MiB\n", "curl --parallel", cw, cp / 1024
    printf "  %-25s wall %7.2f s   peak memory %7.1f MiB   (%d verified)\n", "... --no-analysis", tw, tp / 1024, ok
    printf "  %-25s wall %7.2f s   peak memory %7.1f MiB\n", "  ... --no-history", nw, np / 1024
    printf "  %-25s wall %7.2f s   peak memory %7.1f MiB   (%d verified, %s hollow)\n", "tallyweave-check --strict", \
        sw, sp / 1024, sv, hollow
    printf "  %-25s wall %7.2f s   peak memory %7.1f MiB   (analysing, recording)\n", "tallyweave-check", dw, dp / 1024
    recorded = (nw > 0) ? (tw - nw) / nw * 100 : 0
    printf "  history recording added: %+.1f%% wall (target at most 5%%: %s)\n", recorded, (recorded <= 5) ? "met" : "missed"
    printf "  ratio tallyweave-check --no-analysis / curl: %.2f (target at most 1.10: %s)\n", ratio, (ratio <= 1.10) ? "met" : "missed"
    printf "  peak memory of tallyweave-check --no-analysis: %.1f MiB (target under 64 MiB: %s)\n", tp / 1024, (tp < 65536) ? "met" : "missed"
    printf "  analysis added by --strict to --no-analysis: %+.0f%% wall (target at most 50%%: %s)\n", added, (added <= 50) ? "met" : "missed"
    printf "  peak memory of tallyweave-check --strict: %.1f MiB (target under 64 MiB: %s)\n", sp / 1024, \
        (sp < 65536) ? "met" : "missed"
}'

if [ "$large" -gt 0 ]; then
    echo
    echo "Large pages: $large sites on 128 loopback hosts ..."
    awk -v n="$large" -v port="$port" -v term="$term" -v sitesfile="$work/Large.dqx" 'BEGIN {
        printf "%d,1\r\n", n > sitesfile
        for (i = 1; i <= n; i++)
            printf "\"Large %05d\"\r\n\"http://127.0.0.%d:%d/big/%05d.html\"\r\n\"%s\"\r\n", i, (i - 1) % 128 + 1, port, i, term > sitesfile
    }'
    code=0
    /usr/bin/time -v -o "$work/time.large" "$check" --sites "$work/Large.dqx" --jobs "$large_jobs" --quiet \
        > "$work/large.out" 2> "$work/large.err" || code=$?
    [ "$code" -le 1 ] || fail "tallyweave-check on large pages exited with $code: $(cat "$work/large.err")"
    large_ok=$(grep -c $'\t  --> OK$' "$work/large.out" || true)
    [ "$large_ok" -eq "$large" ] || fail "tallyweave-check verified $large_ok of $large large pages"
    awk -v n="$large" -v mib="$((large_bytes / 1048576))" -v jobs="$large_jobs" -v w="$(wall_of "$work/time.large")" \
        -v p="$(peak_of "$work/time.large")" 'BEGIN {
        printf "  %d pages of %d MiB, --jobs %d: wall %.2f s, peak memory %.1f MiB (all at once would hold %d MiB; budget 256 MiB)\n", \
            n, mib, jobs, w, p / 1024, jobs * mib
    }'
fi

[ "$latency" = yes ] || exit 0
echo
lat_sites=1000
lat_hosts=100
mkdir -p "$work/slow"
lat_distinct=$lat_sites
if [ -n "$pages_dir" ]; then
    echo "Latency: serving the same $distinct pages from $work/slow ..."
    ln -s "$work/www/p" "$work/slow/p"
    lat_distinct=$distinct
    echo "$lat_sites" > "$work/slow.expected"
    echo "?" > "$work/slow.hollow"
    lat_bytes=$(awk -v b="$(du -sbL "$work/slow/p" | cut -f1)" -v d="$distinct" -v n="$lat_sites" 'BEGIN { printf "%d", b / d * n }')
else
    echo "Latency: generating $lat_sites HTML pages in $work/slow ..."
    mkdir -p "$work/slow/p"
    generate_pages "$lat_sites" 20480 204800 "$work/slow/p" "$work/slow.expected" "$work/slow.hollow"
    lat_bytes=$(du -sb "$work/slow/p" | cut -f1)
fi
write_lists "$lat_sites" 127.0.1 "$lat_hosts" "$work/Slow.dqx" "$work/slow-curl.cfg" "$lat_distinct"
# Each host's delay (ms) and rate (bytes per second), drawn once.
awk -v hosts="$lat_hosts" 'BEGIN {
    srand(20261207)
    for (h = 1; h <= hosts; h++)
        printf "127.0.1.%d %d %d\n", h, 20 + int(rand() * 181), 1000000 + int(rand() * 4000001)
}' > "$work/plan"
"$server" --root "$work/slow" --port "$port" --plan "$work/plan" > "$work/server.out" 2> "$work/server.err" &
server_pid=$!
for _ in $(seq 50); do grep -q '^ready$' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
grep -q '^ready$' "$work/server.out" || fail "bench_paced_server did not start: $(cat "$work/server.err")"

# The server's CPU seconds so far, from /proc.
server_cpu() {
    awk -v tick="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); printf "%.2f\n", ($12 + $13) / tick }' "/proc/$server_pid/stat"
}
# run_slow NAME JOBS: one run of curl, of tallyweave-check without analysis or of it with.
run_slow() {
    local name=$1 j=$2 code=0
    case "$name" in
        curl)
            /usr/bin/time -v -o "$work/time.slow-$name" curl --silent --parallel --parallel-max "$j" \
                --config "$work/slow-curl.cfg" > /dev/null 2> "$work/slow-curl.err" ||
                fail "curl failed: $(tail -3 "$work/slow-curl.err")" ;;
        *)
            local extra=()
            [ "$name" = without ] && extra=(--no-analysis)
            [ "$name" = with ] && extra=(--strict)
            /usr/bin/time -v -o "$work/time.slow-$name" "$check" --sites "$work/Slow.dqx" --jobs "$j" --quiet \
                --no-history "${extra[@]}" > "$work/slow-$name.out" 2> "$work/slow-$name.err" || code=$?
            [ "$code" -le 1 ] || fail "tallyweave-check ${extra[*]} exited with $code: $(cat "$work/slow-$name.err")" ;;
    esac
}

echo "Warming up ..."
for name in curl without with; do run_slow "$name" 64; done
slow_expected=$(cat "$work/slow.expected")
slow_hollow=$(cat "$work/slow.hollow")
slow_ok=$(grep -c $'\t  --> OK$' "$work/slow-without.out" || true)
[ "$slow_ok" -eq "$slow_expected" ] || fail "tallyweave-check verified $slow_ok slow pages (expected $slow_expected)"
cmp -s <(head -n -1 "$work/slow-without.out") <(head -n -1 "$work/slow-with.out") ||
    fail "tallyweave-check --strict wrote other site lines than tallyweave-check on the slow pages"
slow_strict=$(tail -n 1 "$work/slow-with.out" | sed -n 's/^Finished \. \. \.\([0-9]*\) out of [0-9]* verified$/\1/p')
[ -n "$pages_dir" ] || [ "$slow_strict" = "$((slow_expected - slow_hollow))" ] ||
    fail "tallyweave-check --strict verified ${slow_strict:-?} slow pages (expected $((slow_expected - slow_hollow)))"

lat_jobs=(16 32 64)
declare -A slow_walls
slow_peak=0
measured_wall=0
cpu_before=$(server_cpu)
for r in $(seq "$rounds"); do
    line="  round $r:"
    for j in "${lat_jobs[@]}"; do
        line="$line --jobs $j:"
        sep=" "
        for name in curl without with; do
            run_slow "$name" "$j"
            w=$(wall_of "$work/time.slow-$name")
            slow_walls[$name,$j]+="$w "
            if [ "$name" = with ] && [ "$j" = 64 ]; then
                p=$(peak_of "$work/time.slow-with"); [ "$p" -gt "$slow_peak" ] && slow_peak=$p
            fi
            measured_wall=$(awk -v a="$measured_wall" -v b="$w" 'BEGIN { print a + b }')
            line="$line$sep$name $w s"
            sep=", "
        done
        line="$line;"
    done
    echo "${line%;}"
done
cpu_after=$(server_cpu)

# The nightly job at --jobs 64: --changes records each run, so the second run judges every page
# against the first's records.
changes_peak=0
for run in first second; do
    code=0
    /usr/bin/time -v -o "$work/time.slow-changes" "$check" --sites "$work/Slow.dqx" --jobs 64 --quiet --changes \
        > "$work/slow-changes.out" 2> "$work/slow-changes.err" || code=$?
    [ "$code" -le 1 ] || fail "tallyweave-check --changes exited with $code: $(cat "$work/slow-changes.err")"
    p=$(peak_of "$work/time.slow-changes"); [ "$p" -gt "$changes_peak" ] && changes_peak=$p
done

{
    printf 'jobs'
    for j in "${lat_jobs[@]}"; do
        printf ' %s' "$j"
        for name in curl without with; do printf ' %s' "$(printf '%s\n' ${slow_walls[$name,$j]} | median)"; done
    done
    echo
} | awk -v sites="$lat_sites" -v hosts="$lat_hosts" -v bytes="$lat_bytes" -v rounds="$rounds" \
    -v cw="$curl_wall" -v tw="$check_wall" -v sw="$strict_wall" -v loop="$sites" \
    -v cpu="$(awk -v a="$cpu_before" -v b="$cpu_after" 'BEGIN { print b - a }')" -v measured="$measured_wall" \
    -v sp="$slow_peak" -v cp="$changes_peak" '{
    printf "\nLatency: %d pages (%.1f MiB of HTML) on %d hosts, each answering after 20 to 200 ms\n", \
        sites, bytes / 1048576, hosts
    printf "at 1 to 5 MB/s; tallyweave-check with --no-history; median of %d rounds\n", rounds
    printf "  %6s %9s %11s %9s %15s   %s\n", "jobs", "curl s", "without s", "with s", "analysis adds", "target at most 10%"
    for (k = 2; k + 3 <= NF; k += 4) {
        added = ($(k + 2) > 0) ? ($(k + 3) - $(k + 2)) / $(k + 2) * 100 : 0
        printf "  %6d %9.2f %11.2f %9.2f %14.1f%%   %s\n", $k, $(k + 1), $(k + 2), $(k + 3), added, \
            (added <= 10) ? "met" : "missed"
    }
    printf "  loopback, %d pages on 8 hosts, --jobs 16: curl %.2f s, --no-analysis %.2f s (%.2fx curl), with %.2f s (analysis adds %+.0f%%)\n", \
        loop, cw, tw, (cw > 0) ? tw / cw : 0, sw, (tw > 0) ? (sw - tw) / tw * 100 : 0
    printf "  peak memory at --jobs 64: --strict %.1f MiB, --changes (two runs, recording) %.1f MiB (target under 64 MiB: %s)\n", \
        sp / 1024, cp / 1024, (sp < 65536 && cp < 65536) ? "met" : "missed"
    printf "  bench_paced_server used %.2f s of CPU over %.1f s of measured runs (%.1f%% of one core)\n", \
        cpu, measured, (measured > 0) ? cpu / measured * 100 : 0
}'
