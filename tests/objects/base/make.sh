#!/usr/bin/env bash
# Makes, beside this script, the raw memory images whose byte order and load
# address -FB is tried on:
#   fw_le_bfc00000.bin   the sample firmware (examples/firmware) as
#                        make_sample.sh compiles it, little-endian, linked at
#                        0xbfc00000 (firmware_at.sh);
#   pic_be_10000000.bin  the same C sources and start.S compiled by
#                        mips-linux-gnu-gcc -O2 in its default code (PIC,
#                        abicalls: calls through $t9 loaded from the GOT),
#                        linked -static -nostdlib at 0x10000000 with 4 KiB
#                        pages; the image of its loaded segments (layout.py),
#                        the ELF header first.
# start.S is written for code without PIC: as warns that its jal have no
# .cprestore, which does not matter here (what they call never returns, or
# needs no $gp of the caller). The symbols that link.ld would set are put
# after the program's end. The results are committed, so the tests need no
# tools of their own.
#   apt-get install -y gcc-mips-linux-gnu clang lld python3
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fw=$here/../../../examples/firmware
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$here/firmware_at.sh" little "$here" bfc00000

objects=()
for src in "$fw"/*.c "$fw"/*.S; do
    obj=$tmp/$(basename "${src%.*}").o
    quiet=()
    [[ $src = *.S ]] && quiet=("-Wa,--no-warn")
    mips-linux-gnu-gcc -O2 -ffreestanding -fno-builtin -nostdlib "${quiet[@]}" -c "$src" -o "$obj"
    objects+=("$obj")
done
syms=_bss_start=__bss_start,_bss_end=_end,_heap_start=_end,_heap_end=_end+0x10000,_stack_top=_end+0x20000
mips-linux-gnu-gcc -static -nostdlib -Wl,-e,_start,--build-id=none,-z,max-page-size=4096 \
    -Wl,-Ttext-segment=0x10000000,--defsym=${syms//,/,--defsym=} "${objects[@]}" -o "$tmp/pic.elf"
readelf -h "$tmp/pic.elf" | grep -q "Data:.*big endian"
readelf -lW "$tmp/pic.elf" | grep -q "^ *LOAD *0x000000 0x10000000 "
[ "$(python3 "$here/layout.py" "$tmp/pic.elf" "$here/pic_be_10000000.bin")" = 10000000 ]
cd "$here"
chmod 644 ./*.bin
for f in ./*.bin; do echo "${f#./}: $(stat -c %s "$f") bytes"; done
