#!/bin/bash
# Start-up benchmark: the time from launching tallyweave to its window being shown (mapped on
# the X display), with a sites file of the largest number of sites a file may hold and with an
# empty list. The program runs from a temporary folder of its own on a private Xvfb display;
# the script polls the display for the visible window. Prints each run's wall time and the
# processor time the program had used by then (which a busy machine disturbs less), and the
# median of each case.
#
#   run.sh [--program PATH] [--sites N] [--rounds R] [--display :N]
#
#   --program PATH  the tallyweave to measure (default: the one of this build tree)
#   --sites N       sites in the large file (default 32767, the most a file may hold)
#   --rounds R      measured runs of each case after one warm-up run (default 7)
#   --display :N    the Xvfb display to start (default :97)
#
# Needs Xvfb (Debian xvfb) and xdotool.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
program="$here/../../app/tallyweave"
sites=32767
rounds=7
display=:97

while [ $# -gt 0 ]; do
    case "$1" in
        --program) program=$2; shift 2 ;;
        --sites) sites=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --display) display=$2; shift 2 ;;
        -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

fail() { echo "run.sh: $*" >&2; exit 2; }
[ -x "$program" ] || fail "no tallyweave at $program (give --program PATH)"
[ "$sites" -ge 1 ] && [ "$sites" -le 32767 ] 2>/dev/null || fail "--sites must be 1 to 32767"
[ "$rounds" -ge 1 ] 2>/dev/null || fail "--rounds must be at least 1"
command -v Xvfb >/dev/null || fail "Xvfb is missing (apt-get install xvfb)"
command -v xdotool >/dev/null || fail "xdotool is missing (apt-get install xdotool)"

work=$(mktemp -d /tmp/tallyweave-startup-bench.XXXXXX)
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.05
done
xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start on $display"
unset QT_QPA_PLATFORM

# One folder per case: the program reads Sites.dqx beside itself.
mkdir "$work/large" "$work/empty"
cp "$program" "$work/large/tallyweave"
cp "$program" "$work/empty/tallyweave"
awk -v n="$sites" 'BEGIN {
    printf "%d,1\r\n", n
    for (i = 1; i <= n; i++)
        printf "\"Partner site %d\"\r\n\"http://partner%d.example/links/page.html\"\r\n\"www.tallyweave-partner.example\"\r\n", i, i
}' >"$work/large/Sites.dqx"
printf '0,1\r\n' >"$work/empty/Sites.dqx"

# Seconds from launch to the visible window, and the processor seconds the program used until
# then; the program is ended before it could save.
launch() {
    local folder=$1 start end cpu
    start=$(date +%s.%N)
    "$folder/tallyweave" >/dev/null 2>"$work/program.log" &
    app_pid=$!
    until xdotool search --onlyvisible --pid "$app_pid" --name '^Tallyweave$' >/dev/null 2>&1; do
        kill -0 "$app_pid" 2>/dev/null || fail "tallyweave ended before showing its window: $(tail -3 "$work/program.log")"
        sleep 0.005
    done
    end=$(date +%s.%N)
    cpu=$(awk -v hz="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); printf "%.2f", ($12 + $13) / hz }' "/proc/$app_pid/stat")
    kill -9 "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=
    awk -v a="$start" -v b="$end" -v c="$cpu" 'BEGIN { printf "%.4f %s\n", b - a, c }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { m = int((NR + 1) / 2); printf "%.3f\n", (NR % 2) ? v[m] : (v[m] + v[m + 1]) / 2 }'; }

for case in large empty; do
    launch "$work/$case" >/dev/null
    : >"$work/$case.times"
    for r in $(seq "$rounds"); do
        read -r wall cpu < <(launch "$work/$case")
        printf '%s run %d: %.3f s (processor %.2f s)\n' "$case" "$r" "$wall" "$cpu"
        echo "$wall $cpu" >>"$work/$case.times"
    done
done
for case in large empty; do
    label=$([ "$case" = large ] && echo "$sites sites" || echo "empty list")
    echo "median, $label: $(cut -d' ' -f1 "$work/$case.times" | median) s" \
         "(processor $(cut -d' ' -f2 "$work/$case.times" | median) s)"
done
