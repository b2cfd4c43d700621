#!/usr/bin/env bash
# Makes, in out/, the compiled forms of calls.c that the call comments (-X)
# and the call list (-C) are tried on:
#   calls.pic.o     mips-linux-gnu-gcc -O2 -fPIC -c (big-endian): calls through
#                   $t9 loaded from the GOT (R_MIPS_CALL16, R_MIPS_JALR), tail
#                   calls as jr $t9, the static helpers through GOT page
#                   entries;
#   calls.nopic.o   mipsel-linux-gnu-gcc -O2 -fno-pic -mno-abicalls -c
#                   (little-endian): jal and j (R_MIPS_26), the pointer call
#                   as jalr of a loaded register;
#   calls.pie       mipsel-linux-gnu-gcc -O2 -fPIE -pie, linked against
#                   Debian's glibc for MIPS: imports through the GOT and
#                   .MIPS.stubs; its symbols are kept.
# .comment, .pdr (and its relocations) and the linker's --build-id note are
# left out. calls.c is compiled from this directory by its bare name, so that
# the files do not depend on where the tree is; two runs give the same bytes.
#   apt-get install -y gcc-mips-linux-gnu gcc-mipsel-linux-gnu
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/out
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rm -rf "$out"
mkdir -p "$out"
cd "$here"
objcopy=mips-linux-gnu-objcopy   # reads and writes both byte orders

mips-linux-gnu-gcc -O2 -fPIC -c calls.c -o "$tmp/calls.pic.o"
mipsel-linux-gnu-gcc -O2 -fno-pic -mno-abicalls -c calls.c -o "$tmp/calls.nopic.o"
mipsel-linux-gnu-gcc -O2 -fPIE -c calls.c -o "$tmp/calls.pie.o"
mipsel-linux-gnu-gcc -Wl,--build-id=none -pie "$tmp/calls.pie.o" -o "$tmp/calls.pie"

for f in calls.pic.o calls.nopic.o calls.pie; do
    "$objcopy" -R .comment -R .pdr -R .rel.pdr "$tmp/$f" "$out/$f"
done
