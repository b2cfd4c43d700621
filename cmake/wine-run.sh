#!/bin/sh
# Runs a Windows program under Wine for the tests of a cross build.
#   wine-run.sh PROGRAM [ARGUMENT ...]
# Wine itself now and then fails to start a program ("wine client error":
# its server went away between two runs); that says nothing about the
# program, so the run is made again, up to three times in all. The program's
# standard error is passed on once the run is over.
errors=$(mktemp) || exit 125
trap 'rm -f "$errors"' EXIT
for attempt in 1 2 3; do
    wine "$@" 2>"$errors"
    status=$?
    if [ "$status" -eq 0 ] || ! grep -q 'wine client error' "$errors"; then
        break
    fi
    echo "wine-run.sh: Wine failed to start $1 (attempt $attempt)" >&2
done
cat "$errors" >&2
exit "$status"
