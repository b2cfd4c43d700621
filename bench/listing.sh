#!/usr/bin/env bash
# Listing throughput, run by hand (not in CI): pelorin against GNU objdump on
# the same 16 MiB of real compiled MIPS code (the bundled sample firmware
# repeated), both writing to /dev/null; then the peak memory of pelorin for a
# 1 MiB and the 16 MiB input.
#
# usage: bench/listing.sh [path/to/pelorin]     (default: build/pelorin)
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
make_image() { # size_in_MiB output
    local bytes=$(($1 * 1024 * 1024))
    local copies=$((bytes / $(stat -c %s "$sample") + 1))
    for ((i = 0; i < copies; ++i)); do cat "$sample"; done >"$2"
    truncate -s "$bytes" "$2"
}
make_image 16 "$work/big.bin"
make_image 1 "$work/small.bin"

# run name command...: prints seconds and peak RSS (KiB) of one run.
run() {
    local name=$1
    shift
    /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" ||
        { echo "$name failed:" >&2; cat "$work/err" >&2; exit 1; }
    cat "$work/time"
}
mib_per_s() { awk -v mib="$1" -v s="$2" 'BEGIN { printf "%.1f", (s > 0 ? mib / s : 0) }'; }

base=(-o 80000000 -a 80000000 -NO)
read -r t_objdump _ < <(run objdump mips-linux-gnu-objdump -D -b binary -m mips -EB \
    --adjust-vma=0x80000000 "$work/big.bin")
read -r t_default rss_big < <(run pelorin "$pelorin" "${base[@]}" "$work/big.bin")
read -r t_all _ < <(run "pelorin -A" "$pelorin" -m "$map" -A "${base[@]}" "$work/big.bin")
read -r _ rss_small < <(run pelorin "$pelorin" "${base[@]}" "$work/small.bin")

objdump_rate=$(mib_per_s 16 "$t_objdump")
printf '16 MiB of code, output to /dev/null\n'
printf '  %-22s %6.2f s  %8s MiB/s\n' "objdump -D" "$t_objdump" "$objdump_rate"
for row in "pelorin:$t_default" "pelorin -A -m map:$t_all"; do
    name=${row%%:*} t=${row#*:}
    rate=$(mib_per_s 16 "$t")
    ratio=$(awk -v a="$t_objdump" -v b="$t" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 0) }')
    printf '  %-22s %6.2f s  %8s MiB/s  %sx objdump\n' "$name" "$t" "$rate" "$ratio"
done
printf 'peak RSS of pelorin: %s KiB (1 MiB input), %s KiB (16 MiB input)\n' "$rss_small" "$rss_big"
