#!/bin/sh
# Verifies the systemd user units with systemd-analyze, which must accept them without a
# word. Skipped (77) where systemd-analyze is missing.
#   verify-units.sh FOLDER   (the folder holding tallyweave-check.service and .timer)
set -eu
command -v systemd-analyze >/dev/null 2>&1 || { echo "systemd-analyze is missing"; exit 77; }
units=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/runtime" "$scratch/home"
chmod 700 "$scratch/runtime"
# The manual page is checked by its own tests; an uninstalled one is no fault of the units.
if ! HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" systemd-analyze --user verify --man=no \
        "$units/tallyweave-check.timer" "$units/tallyweave-check.service" > "$scratch/out" 2>&1; then
    cat "$scratch/out"
    exit 1
fi
if [ -s "$scratch/out" ]; then
    cat "$scratch/out"
    exit 1
fi
grep -qx 'Persistent=true' "$units/tallyweave-check.timer" || { echo "the timer is not persistent"; exit 1; }
grep -qx 'OnCalendar=daily' "$units/tallyweave-check.timer" || { echo "the timer is not daily"; exit 1; }
grep -q '^ExecStart=.*tallyweave-check"\{0,1\} --quiet --changes --notify$' "$units/tallyweave-check.service" ||
    { echo "the service does not run tallyweave-check --changes --notify"; exit 1; }
echo "units verified"
