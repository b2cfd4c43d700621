#!/usr/bin/env bash
# Listing throughput, run by hand (not in CI): pelorin against GNU objdump on
# the same 16 MiB of real compiled MIPS code, both writing to /dev/null; then
# the peak memory of pelorin for a 1 MiB and the 16 MiB input.
#
# usage: bench/listing.sh [path/to/pelorin]     (default: build/pelorin)
#
# The input is the code part of the bundled sample firmware (everything below
# its first data symbol) repeated. The map is not used: its '@' names would
# switch the repeated copies to data lines. Times are wall clock and CPU
# (user + system); on a busy machine the CPU figures are the steadier ones.
# The target is pelorin at 5 times objdump's throughput or more, with the
# default options and with -A.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
pelorin=$(realpath "${1:-$root/build/pelorin}")
sample=$root/examples/firmware.bin
map=$root/examples/firmware.map
[ -x "$pelorin" ] || { echo "no program $pelorin (build it first)" >&2; exit 2; }

need_apt=()
command -v mips-linux-gnu-objdump >/dev/null || need_apt+=(binutils-mips-linux-gnu)
[ -x /usr/bin/time ] || need_apt+=(time)
if [ ${#need_apt[@]} -gt 0 ]; then
    apt-get update -qq && apt-get install -y -qq "${need_apt[@]}" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
first_data=$(awk '$2 ~ /^@/ { print $1 }' "$map" | sort | head -n 1)
code_bytes=$(((0x$first_data - 0x80000000) & ~3))
head -c "$code_bytes" "$sample" >"$work/code.bin"
make_image() { # size_in_MiB output
    local bytes=$(($1 * 1024 * 1024))
    local copies=$((bytes / code_bytes + 1))
    for ((i = 0; i < copies; ++i)); do cat "$work/code.bin"; done >"$2"
    truncate -s "$bytes" "$2"
}
make_image 16 "$work/big.bin"
make_image 1 "$work/small.bin"

# run name command...: prints wall seconds, CPU seconds and peak RSS (KiB).
run() {
    local name=$1
    shift
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" ||
        { echo "$name failed:" >&2; cat "$work/err" >&2; exit 1; }
    awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/time"
}
rate() { awk -v mib="$1" -v s="$2" 'BEGIN { printf "%.1f", (s > 0 ? mib / s : 0) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 0) }'; }

base=(-o 80000000 -a 80000000 -NO)
read -r w_obj c_obj _ < <(run objdump mips-linux-gnu-objdump -D -b binary -m mips -EB \
    --adjust-vma=0x80000000 "$work/big.bin")
read -r w_def c_def rss_big < <(run pelorin "$pelorin" "${base[@]}" "$work/big.bin")
read -r w_all c_all _ < <(run "pelorin -A" "$pelorin" -A "${base[@]}" "$work/big.bin")
read -r _ _ rss_small < <(run pelorin "$pelorin" "${base[@]}" "$work/small.bin")

printf '16 MiB of code, output to /dev/null      wall             cpu\n'
printf '  %-12s %6.2f s %7s MiB/s   %6.2f s %7s MiB/s\n' objdump "$w_obj" "$(rate 16 "$w_obj")" \
    "$c_obj" "$(rate 16 "$c_obj")"
for row in "pelorin:$w_def:$c_def" "pelorin -A:$w_all:$c_all"; do
    IFS=: read -r name w c <<<"$row"
    printf '  %-12s %6.2f s %7s MiB/s   %6.2f s %7s MiB/s   %sx / %sx objdump\n' "$name" \
        "$w" "$(rate 16 "$w")" "$c" "$(rate 16 "$c")" "$(ratio "$w_obj" "$w")" "$(ratio "$c_obj" "$c")"
done
printf 'peak RSS of pelorin: %s KiB (1 MiB input), %s KiB (16 MiB input)\n' "$rss_small" "$rss_big"
