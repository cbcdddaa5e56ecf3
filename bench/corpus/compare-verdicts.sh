#!/bin/bash
# The page analysis of two builds over the same pages: how many pages' match moved to another
# kind of place, how many became hollow or stopped being so, and how their reasons changed,
# each page that changed listed with the details of its reasons. Each BIN is a
# bench_page_analysis that knows --verdicts; LIST names the pages, one path a line, as
# real-pages.sh prints them (add pages written by bench_page_analysis --write-templates).
#
#   compare-verdicts.sh OLD_BIN NEW_BIN LIST [TERM]    (TERM: default the partner link's address)
set -euo pipefail

if [ $# -lt 3 ] || [ $# -gt 4 ]; then
    echo "usage: compare-verdicts.sh OLD_BIN NEW_BIN LIST [TERM]" >&2
    exit 2
fi
old=$1
new=$2
list=$3
term=()
[ $# -eq 4 ] && term=(--term "$4")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$old" --verdicts "$list" "${term[@]}" > "$work/old"
"$new" --verdicts "$list" "${term[@]}" > "$work/new"

# Both read the list in its order: line k of each is the same page.
paste "$work/old" "$work/new" | awk -F'\t' '
    $1 != $5 { print "the two runs read different pages: " $1 " and " $5 > "/dev/stderr"; exit 2 }
    {
        pages++
        if ($2 != $6) places++
        if (($3 == "") != ($7 == "")) verdicts++
        if ($3 != $7) {
            reasons++
            change = ($3 == "" ? "-" : $3) " -> " ($7 == "" ? "-" : $7)
            count[change]++
            lines[++listed] = "  " $1 "\n      " $2 " " ($3 == "" ? "-" : $3) " [" $4 "] -> " $6 " " ($7 == "" ? "-" : $7) " [" $8 "]"
        } else if ($2 != $6) {
            lines[++listed] = "  " $1 "\n      " $2 " -> " $6
        }
    }
    END {
        printf "%d pages: %d with the match in another kind of place, %d hollow in one run only, %d with other reasons\n",
               pages, places, verdicts, reasons
        for (c in count) printf "  %5d  %s\n", count[c], c
        if (listed) print "pages that differ (place, reasons [their details]):"
        for (k = 1; k <= listed; k++) print lines[k]
    }'
