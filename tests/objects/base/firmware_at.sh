#!/usr/bin/env bash
# Links the sample firmware of examples/firmware at other addresses:
#   [FW_CC=gcc] firmware_at.sh big|little DIR BASE...
# writes DIR/fw_be_BASE.bin (fw_le_ when little) for each BASE (8 hex digits):
# the raw image that llvm-objcopy -O binary makes, its first byte at BASE. The
# sources are compiled once as examples/make_sample.sh does (clang -O2, MIPS32,
# no PIC, -G 8), little-endian with --target=mipsel-linux-gnu and ld.lld -EL;
# with FW_CC=gcc by mips-linux-gnu-gcc (mipsel-) with the same options, into
# DIR/fwgcc_be_BASE.bin.
# link.ld is used with its base replaced, and the heap end and stack top that
# it sets above the base moved along. readelf checks each link's byte order
# and that its lowest loaded bytes are at BASE.
#   needs clang, ld.lld, llvm-objcopy and readelf
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 big|little DIR BASE..." >&2; exit 2; }
fw=$(cd "$(dirname "$0")/../../../examples/firmware" && pwd)
order=$1 dir=$2
shift 2
case $order in
    big) target=mips-linux-gnu el=EB e=be ;;
    little) target=mipsel-linux-gnu el=EL e=le ;;
    *) echo "$0: byte order big or little, not $order" >&2; exit 2 ;;
esac
name=fw
compile=(clang --target="$target")
if [ "${FW_CC:-clang}" = gcc ]; then
    name=fwgcc
    compile=("$target-gcc")
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cflags=(-march=mips32 -O2 -ffreestanding -nostdlib -fno-builtin
        -mno-abicalls -fno-pic -G 8 -mgpopt -fno-asynchronous-unwind-tables
        -Wall -Wno-builtin-requires-header)
objects=()
for src in "$fw"/*.c "$fw"/*.S; do
    obj=$tmp/$(basename "${src%.*}").o
    "${compile[@]}" "${cflags[@]}" -c "$src" -o "$obj"
    objects+=("$obj")
done

for base in "$@"; do
    [[ $base =~ ^[0-9a-f]{8}$ ]] || { echo "$0: base $base is not 8 hex digits" >&2; exit 2; }
    sed -e "s/= 0x80000000;/= 0x$base;/" \
        -e "s/= 0x800f0000;/= 0x$base + 0xf0000;/" \
        -e "s/= 0x80100000;/= 0x$base + 0x100000;/" "$fw/link.ld" >"$tmp/link.ld"
    [ "$(grep -c "= 0x$base" "$tmp/link.ld")" = 3 ] || { echo "$0: link.ld has changed" >&2; exit 1; }
    ld.lld -$el -T "$tmp/link.ld" -z max-page-size=4096 --no-undefined "${objects[@]}" -o "$tmp/fw.elf"
    bin=$dir/${name}_${e}_$base.bin
    llvm-objcopy -O binary "$tmp/fw.elf" "$bin"
    readelf -h "$tmp/fw.elf" | grep -q "Data:.*$order endian" || { echo "$bin: not $order-endian" >&2; exit 1; }
    # The lowest segment with file bytes: its virtual and load address.
    first=$(readelf -lW "$tmp/fw.elf" | awk '$1 == "LOAD" && $5 != "0x000000" { print $3, $4 }' | sort | head -n 1)
    [ "$first" = "0x$base 0x$base" ] || { echo "$bin: loaded from $first, not 0x$base" >&2; exit 1; }
done
