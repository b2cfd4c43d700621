#!/usr/bin/env bash
# Raw memory images of known byte order and load address, for trying -FB on.
# Run by hand, not in CI.
#
# usage: bench/base_images.sh DIR
#
# Writes into DIR the images and DIR/manifest.tsv, one line per image:
# file, order (big or little), base (the address of its first byte, 8 hex
# digits) and kind (whole or piece), tab-separated:
#   fw_<e>_<base>.bin   the sample firmware of examples/firmware, compiled as
#       make_sample.sh does (clang, no PIC) and linked at each base below,
#       big-endian (be) and little-endian (le); tests/objects/base/
#       firmware_at.sh makes them;
#   fwgcc_<e>_<base>.bin   the same compiled by mips-linux-gnu-gcc (mipsel-)
#       without PIC;
#   <prog>_<e>_<base>.bin   records.c (base_src/), tests/objects/calls/calls.c
#       and tests/objects/switches/switches.c, Linux programs in gcc's default
#       code (PIC, abicalls), mips-linux-gnu-gcc and mipsel-linux-gnu-gcc -O2
#       -static, linked at -Ttext-segment=<base>: the image of their loaded
#       segments from the ELF header on (tests/objects/base/layout.py);
#   <image>_head.bin, <image>_mid.bin   pieces of every whole image: its first
#       64 KiB, and 64 KiB from the 4 KiB boundary nearest to its middle (16
#       KiB each when the image is shorter than 128 KiB: the firmware).
# readelf checks every link's byte order and that its lowest loaded bytes are
# at the base.
#
# Needs clang, ld.lld, llvm-objcopy, python3 and the cross compilers with the
# C library for both byte orders (installed when missing):
#   apt-get install -y binutils-mips-linux-gnu gcc-mips-linux-gnu gcc-mipsel-linux-gnu
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
base_dir=$root/tests/objects/base
[ $# -eq 1 ] || { echo "usage: $0 DIR" >&2; exit 2; }
dir=$(mkdir -p "$1" && cd "$1" && pwd)
bases=(80000000 bfc00000 9fc00000 00400000 10000000 80010000)

need_apt=()
command -v mips-linux-gnu-readelf >/dev/null || need_apt+=(binutils-mips-linux-gnu)
command -v mips-linux-gnu-gcc >/dev/null || need_apt+=(gcc-mips-linux-gnu)
command -v mipsel-linux-gnu-gcc >/dev/null || need_apt+=(gcc-mipsel-linux-gnu)
if [ ${#need_apt[@]} -gt 0 ]; then
    apt-get update -qq && apt-get install -y -qq "${need_apt[@]}" >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

manifest=$dir/manifest.tsv
: >"$manifest"
whole() { # file order base
    printf '%s\t%s\t%s\twhole\n' "$@" >>"$manifest"
}

for fw in fw fwgcc; do
    for base in "${bases[@]}"; do
        whole ${fw}_be_$base.bin big $base
        whole ${fw}_le_$base.bin little $base
    done
done
"$base_dir/firmware_at.sh" big "$dir" "${bases[@]}"
"$base_dir/firmware_at.sh" little "$dir" "${bases[@]}"
FW_CC=gcc "$base_dir/firmware_at.sh" big "$dir" "${bases[@]}"
FW_CC=gcc "$base_dir/firmware_at.sh" little "$dir" "${bases[@]}"

cp "$here/base_src/records.c" "$root/tests/objects/calls/calls.c" \
   "$root/tests/objects/switches/switches.c" "$work"
cd "$work"
for order in big little; do
    case $order in
        big) cc=mips-linux-gnu-gcc e=be ;;
        little) cc=mipsel-linux-gnu-gcc e=le ;;
    esac
    for prog in records calls switches; do
        "$cc" -O2 -c $prog.c -o $prog.$e.o
        for base in "${bases[@]}"; do
            name=${prog}_${e}_$base
            if ! "$cc" -static -Wl,--build-id=none,-Ttext-segment=0x$base $prog.$e.o -o $name 2>$name.log; then
                echo "not linked: $name ($(grep -m1 -i error $name.log))" >&2
                continue
            fi
            readelf -h $name | grep -q "Data:.*$order endian"
            readelf -lW $name | grep -q "^ *LOAD *0x000000 0x$base "
            [ "$(python3 "$base_dir/layout.py" $name "$dir/$name.bin")" = $base ]
            whole $name.bin $order $base
        done
    done
done

# The pieces, after the whole images.
while IFS=$'\t' read -r file order base _; do
    size=$(stat -c %s "$dir/$file")
    len=65536
    [ "$size" -lt 131072 ] && len=16384
    mid=$(( (size / 2 + 2048) / 4096 * 4096 ))
    [ $((mid + len)) -le "$size" ] || mid=$(( (size - len) / 4096 * 4096 ))
    dd if="$dir/$file" of="$dir/${file%.bin}_head.bin" bs=4096 count=$((len / 4096)) status=none
    dd if="$dir/$file" of="$dir/${file%.bin}_mid.bin" bs=4096 skip=$((mid / 4096)) \
       count=$((len / 4096)) status=none
    printf '%s\t%s\t%s\tpiece\n' "${file%.bin}_head.bin" $order $base \
        "${file%.bin}_mid.bin" $order "$(printf %08x $((0x$base + mid)))"
done <"$manifest" >"$work/pieces.tsv"
cat "$work/pieces.tsv" >>"$manifest"

awk -F'\t' '{ n[$4]++ } END { printf "%d images (%d whole, %d pieces) in %s\n", NR, n["whole"], n["piece"], dir }' \
    dir="$dir" "$manifest"
