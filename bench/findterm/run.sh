#!/usr/bin/env bash
# Sets FindIt::Find (on the decoded text) and FindIt::FindInBytes (on the bytes as they came)
# beside `grep -ciF` on the same 64 MiB page, and beside the search done
# position by position on 1 MiB. Builds nothing.
#   run.sh [path/to/bench_findterm] [extra benchmark flags...]
# Throughputs count one byte per character of the page and use CPU time (user + system), so
# that other work on the machine disturbs both sides alike.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

bin=${1:-}
[ $# -gt 0 ] && shift
if [ -z "$bin" ]; then
    for candidate in "$repo"/build*/bench/findterm/bench_findterm; do
        if [ -x "$candidate" ]; then
            bin=$candidate
            break
        fi
    done
fi
if [ -z "$bin" ] || [ ! -x "$bin" ]; then
    echo "usage: $0 [path/to/bench_findterm] [benchmark flags]" >&2
    echo "no bench_findterm found under $repo/build*/bench/findterm" >&2
    exit 2
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$bin" --dump-page="$tmp/absent.html" --dump-page-end="$tmp/end.html"
term=$("$bin" --print-term)
size=$(stat -c %s "$tmp/absent.html")

echo "benchmark: $bin"
"$bin" --benchmark_format=csv "$@" >"$tmp/bench.csv" 2>"$tmp/bench.log" || {
    cat "$tmp/bench.log" >&2
    exit 1
}

# bytes_per_second of one benchmark, in MB/s (10^6 bytes).
bench_mbs() {
    awk -F, -v name="\"$1\"" '$1 == name { printf "%.1f", $6 / 1e6 }' "$tmp/bench.csv"
}

# Best of five runs of grep over one file, in MB/s; the count it printed goes to stderr.
grep_mbs() {
    local file=$1 best="" count seconds
    local TIMEFORMAT='%3U %3S'
    for _ in 1 2 3 4 5; do
        { time count=$(grep -ciF -- "$term" "$file" || true); } 2>"$tmp/time"
        seconds=$(awk '{ printf "%.3f", $1 + $2 }' "$tmp/time")
        if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$seconds
        fi
    done
    echo "grep -ciF on $(basename "$file"): count $count, best CPU time ${best} s" >&2
    awk -v s="$best" -v n="$size" 'BEGIN { if (s <= 0) s = 0.001; printf "%.1f", n / s / 1e6 }'
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'
}

find_absent=$(bench_mbs "FindIt/absent/64MiB")
find_end=$(bench_mbs "FindIt/at_end/64MiB")
find_small=$(bench_mbs "FindIt/absent/1MiB")
bytes_absent=$(bench_mbs "FindInBytes/absent/64MiB")
bytes_end=$(bench_mbs "FindInBytes/at_end/64MiB")
bytes_polish=$(bench_mbs "FindInBytes/absent_polish/64MiB")
definition=$(bench_mbs "Definition/absent/1MiB")
in_place=$(bench_mbs "DefinitionInPlace/absent/1MiB")
grep_absent=$(grep_mbs "$tmp/absent.html")
grep_end=$(grep_mbs "$tmp/end.html")

echo
echo "term: $term   page: $size bytes   locale: ${LC_ALL:-${LC_CTYPE:-${LANG:-C}}}"
printf '%-34s %12s %12s %10s\n' "search" "FindIt MB/s" "other MB/s" "ratio"
printf '%-34s %12s %12s %10s\n' "64 MiB, term absent vs grep" "$find_absent" "$grep_absent" "$(ratio "$find_absent" "$grep_absent")"
printf '%-34s %12s %12s %10s\n' "64 MiB, term at end vs grep" "$find_end" "$grep_end" "$(ratio "$find_end" "$grep_end")"
printf '%-34s %12s %12s %10s\n' "undecoded, term absent vs grep" "$bytes_absent" "$grep_absent" "$(ratio "$bytes_absent" "$grep_absent")"
printf '%-34s %12s %12s %10s\n' "undecoded, term at end vs grep" "$bytes_end" "$grep_end" "$(ratio "$bytes_end" "$grep_end")"
printf '%-34s %12s %12s %10s\n' "undecoded, Polish text, absent" "$bytes_polish" "" ""
printf '%-34s %12s %12s %10s\n' "1 MiB vs definition" "$find_small" "$definition" "$(ratio "$find_small" "$definition")"
printf '%-34s %12s %12s %10s\n' "1 MiB vs definition without copies" "$find_small" "$in_place" "$(ratio "$find_small" "$in_place")"
