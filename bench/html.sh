#!/usr/bin/env bash
# HTML output cost, run by hand (not in CI): the same 16 MiB of compiled MIPS
# code listed with -A as text into a file and as a page set with -h -n 50 -A
# (which cuts it into the full 10000 pages), both in the same temporary
# directory. The target is the page set in at most 1.5 times the text
# listing's time. When the link check has been built beside the program, the
# page set is checked afterwards.
#
# usage: [TMPDIR=dir] bench/html.sh [path/to/pelorin]   (default: build/pelorin)
#
# Creating 10000 files costs what the file system asks for it: on a disk-backed
# /tmp that can dominate; TMPDIR=/dev/shm shows the program's own share.
#
# The input is the code part of the bundled sample firmware (everything below
# its first data symbol) repeated, as in bench/listing.sh. Times are wall clock
# and CPU (user + system), best of three runs each.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
pelorin=$(realpath "${1:-$root/build/pelorin}")
checker=$(dirname "$pelorin")/tests/html_link_check
sample=$root/examples/firmware.bin
map=$root/examples/firmware.map
[ -x "$pelorin" ] || { echo "no program $pelorin (build it first)" >&2; exit 2; }
[ -x /usr/bin/time ] || { apt-get update -qq && apt-get install -y -qq time >/dev/null; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
first_data=$(awk '$2 ~ /^@/ { print $1 }' "$map" | sort | head -n 1)
code_bytes=$(((0x$first_data - 0x80000000) & ~3))
head -c "$code_bytes" "$sample" >"$work/code.bin"
bytes=$((16 * 1024 * 1024))
for ((i = 0; i < bytes / code_bytes + 1; ++i)); do cat "$work/code.bin"; done >"$work/big.bin"
truncate -s "$bytes" "$work/big.bin"

# best name command...: the lowest wall and CPU seconds of three runs.
best() {
    local name=$1 w=999999 c=999999
    shift
    for _ in 1 2 3; do
        rm -rf "$work/out" "$work/index.htm" "$work/text" && mkdir "$work/out"
        (cd "$work" && /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" >"$work/text" 2>"$work/err") ||
            { echo "$name failed:" >&2; cat "$work/err" >&2; exit 1; }
        read -r tw tu ts <"$work/time"
        w=$(awk -v a="$w" -v b="$tw" 'BEGIN { print (b < a ? b : a) }')
        c=$(awk -v a="$c" -v b="$tu" -v s="$ts" 'BEGIN { print (b + s < a ? b + s : a) }')
    done
    echo "$w $c"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

base=(-A -o 80000000 -a 80000000 -NO big.bin)
read -r w_text c_text < <(best text "$pelorin" "${base[@]}")
read -r w_html c_html < <(best html "$pelorin" -h out -n 50 "${base[@]}")
pages=$(find "$work/out" -name '*.htm' | wc -l)
size=$(du -sm "$work/out" | cut -f1)

printf '16 MiB of code with -A                wall       cpu\n'
printf '  text listing into a file         %6.2f s  %6.2f s\n' "$w_text" "$c_text"
printf '  page set, -n 50 (%s files, %s MiB) %6.2f s  %6.2f s\n' "$pages" "$size" "$w_html" "$c_html"
printf '  ratio (target 1.5 or less)       %6s    %6s\n' "$(ratio "$w_html" "$w_text")" \
    "$(ratio "$c_html" "$c_text")"
if [ -x "$checker" ]; then "$checker" "$work"; fi
