#!/bin/bash
# Partners window benchmark: Check All of 1,000 partners in the real window against
# tallyweave-check --strict at the same number of downloads at once (--jobs 16, the window's
# own; both place every match in its markup and record a history). The pages, 20 to 200 KiB
# each, are served by bench_paced_server on 100 hosts, 127.0.1.1 to 127.0.1.100, each answering
# after its own delay of 20 to 200 ms at its own rate of 1 to 5 MB/s, as in the scan
# benchmark's latency mode. Each round starts both from an empty history. Prints each round,
# the medians, the ratio of the window's time to the checker's (target at most 1.10), and the
# longest the window's event loop went without running its 10 ms timer (target at most 50 ms).
#
#   partners.sh [--check PATH] [--bench PATH] [--server PATH] [--rounds R] [--sites N] [--port P]
#               [--keep]
#
#   --check PATH   the tallyweave-check to measure (default: the one of this build tree)
#   --bench PATH   partners_check_bench (default: the one beside this script)
#   --server PATH  bench_paced_server (default: the one of this build tree's bench/scan)
#   --rounds R     measured rounds after one warm-up round (default 3)
#   --sites N      partners (default 1000)
#   --port P       the port the server listens on (default: the first free one from 18631)
#   --keep         keep the temporary folder
#
# The window runs on QT_QPA_PLATFORM (offscreen when unset). Needs GNU time (Debian time).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
check="$here/../../check/tallyweave-check"
bench="$here/partners_check_bench"
server="$here/../scan/bench_paced_server"
rounds=3
sites=1000
hosts=100
jobs=16
port=
keep=no
term="https://www.tallyweave-partner.example/links.html"

while [ $# -gt 0 ]; do
    case "$1" in
        --check) check=$2; shift 2 ;;
        --bench) bench=$2; shift 2 ;;
        --server) server=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --sites) sites=$2; shift 2 ;;
        --port) port=$2; shift 2 ;;
        --keep) keep=yes; shift ;;
        -h|--help) sed -n '2,23p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "partners.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

fail() { echo "partners.sh: $*" >&2; exit 2; }
[ -x "$check" ] || fail "no tallyweave-check at $check (give --check PATH)"
[ -x "$bench" ] || fail "no partners_check_bench at $bench (give --bench PATH)"
[ -x "$server" ] || fail "no bench_paced_server at $server (give --server PATH)"
[ "$rounds" -ge 1 ] 2>/dev/null || fail "--rounds must be at least 1"
[ "$sites" -ge 1 ] 2>/dev/null || fail "--sites must be at least 1"
[ -x /usr/bin/time ] || fail "GNU time is missing (apt-get install time)"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
if [ -z "$port" ]; then
    port=18631
    while port_in_use "$port"; do port=$((port + 1)); done
fi

work=$(mktemp -d /tmp/tallyweave-partners-bench.XXXXXX)
server_pid=
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    if [ "$keep" = yes ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# Pages of ordinary paragraphs with the partner block near the end: one in twenty lacks the
# link, one in twenty carries it with rel="nofollow" and one in twenty only in a comment.
echo "Generating $sites pages ..."
mkdir -p "$work/www/p"
awk -v n="$sites" -v dir="$work/www/p" -v term="$term" 'BEGIN {
    srand(20261207)
    split("link partner exchange directory resource garden travel recipe review guide community " \
          "forum article archive season market local history photo gallery service support", w, " ")
    nw = 0; for (k in w) nw++
    for (i = 1; i <= n; i++) {
        f = sprintf("%s/%05d.html", dir, i)
        printf "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Partner %d</title></head><body>\n<main>\n", i > f
        target = 20480 + int(rand() * (204800 - 20480))
        for (size = 0; size < target; ) {
            para = "<p>"
            for (k = 0; k < 60; k++) para = para w[int(rand() * nw) + 1] " "
            para = para "</p>\n"
            printf "%s", para > f
            size += length(para)
        }
        printf "</main>\n<aside><h2>Our partners</h2>\n" > f
        kind = i % 20
        if (kind == 7) printf "<p>No links this season.</p>\n" > f
        else if (kind == 13) printf "<p><a href=\"%s\" rel=\"nofollow\">A good partner</a></p>\n", term > f
        else if (kind == 17) printf "<!-- <p><a href=\"%s\">A good partner</a></p> -->\n", term > f
        else printf "<p><a href=\"%s\">A good partner</a></p>\n", term > f
        printf "</aside>\n</body></html>\n" > f
        close(f)
    }
}'
awk -v n="$sites" -v hosts="$hosts" -v port="$port" -v term="$term" 'BEGIN {
    printf "%d,1\r\n", n
    for (i = 1; i <= n; i++)
        printf "\"Partner %05d\"\r\n\"http://127.0.1.%d:%d/p/%05d.html\"\r\n\"%s\"\r\n", i, (i - 1) % hosts + 1, port, i, term
}' >"$work/Sites.dqx"
awk -v hosts="$hosts" 'BEGIN {
    srand(20261207)
    for (h = 1; h <= hosts; h++)
        printf "127.0.1.%d %d %d\n", h, 20 + int(rand() * 181), 1000000 + int(rand() * 4000001)
}' >"$work/plan"
"$server" --root "$work/www" --port "$port" --plan "$work/plan" >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 50); do grep -q '^ready$' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
grep -q '^ready$' "$work/server.out" || fail "bench_paced_server did not start: $(cat "$work/server.err")"

wall_of() {
    sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$1" |
        awk -F: '{ s = 0; for (k = 1; k <= NF; k++) s = s * 60 + $k; printf "%.2f\n", s }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# fresh NAME: a folder holding the sites file and no history.
fresh() { rm -rf "$work/$1"; mkdir -p "$work/$1"; cp "$work/Sites.dqx" "$work/$1/"; }

run_check() {
    local code=0
    fresh checker
    /usr/bin/time -v -o "$work/time.check" "$check" --sites "$work/checker/Sites.dqx" --jobs "$jobs" --strict --quiet \
        >"$work/check.out" 2>"$work/check.err" || code=$?
    [ "$code" -le 1 ] || fail "tallyweave-check exited with $code: $(cat "$work/check.err")"
    [ -s "$work/checker/Sites.history.db" ] || fail "tallyweave-check recorded no history"
}
run_window() {
    fresh window
    "$bench" --folder "$work/window" >"$work/window.out" 2>"$work/window.err" ||
        fail "partners_check_bench failed: $(tail -3 "$work/window.err")"
    grep -q "^summary $(printf '%d' "$sites" | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta') checked in" "$work/window.out" ||
        fail "the window did not check every partner: $(grep '^summary' "$work/window.out")"
}
field() { sed -n "s/^$1 //p" "$work/window.out"; }

echo "Warming up ..."
run_check
run_window
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
check_walls=()
window_walls=()
longest=0
worked=0
over=0
for r in $(seq "$rounds"); do
    run_check
    check_walls+=("$(wall_of "$work/time.check")")
    run_window
    window_walls+=("$(field wall)")
    gap=$(field longest_gap_ms)
    longest=$(awk -v a="$longest" -v b="$gap" 'BEGIN { print (b > a) ? b : a }')
    over=$((over + $(field gaps_over_50ms)))
    worked=$(awk -v a="$worked" -v b="$(field most_worked_between_ticks_ms)" 'BEGIN { print (b > a) ? b : a }')
    echo "  round $r: tallyweave-check --strict ${check_walls[-1]} s; window ${window_walls[-1]} s," \
         "longest gap ${gap} ms at $(field longest_gap_at_s) s (the window's thread worked $(field longest_gap_worked_ms) ms of it)," \
         "most work between two ticks $(field most_worked_between_ticks_ms) ms, $(field gaps_over_50ms) gaps over 50 ms, $(field cpu) s CPU; $(field summary)"
done
check_wall=$(printf '%s\n' "${check_walls[@]}" | median)
window_wall=$(printf '%s\n' "${window_walls[@]}" | median)
awk -v n="$sites" -v hosts="$hosts" -v jobs="$jobs" -v rounds="$rounds" -v cw="$check_wall" -v ww="$window_wall" \
    -v longest="$longest" -v worked="$worked" -v over="$over" -v load="$load_before" -v platform="$QT_QPA_PLATFORM" 'BEGIN {
    ratio = (cw > 0) ? ww / cw : 0
    printf "\nCheck All of %d partners on %d hosts with latency, --jobs %d, median of %d rounds (load before: %s)\n", \
        n, hosts, jobs, rounds, load
    printf "  tallyweave-check --strict  %7.2f s\n", cw
    printf "  Partners window (%s) %7.2f s\n", platform, ww
    printf "  ratio window / checker: %.2f (target at most 1.10: %s)\n", ratio, (ratio <= 1.10) ? "met" : "missed"
    printf "  longest gap between 10 ms ticks: %.1f ms, %d gaps over 50 ms in all rounds (target at most 50 ms: %s)\n", \
        longest, over, (longest <= 50) ? "met" : "missed"
    printf "  most processor time the window thread used between two ticks: %.1f ms (the rest of a longer gap\n", worked
    printf "  it waited for a core)\n"
}'
