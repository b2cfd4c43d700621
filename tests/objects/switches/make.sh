#!/usr/bin/env bash
# Makes, in out/, the compiled forms of switches.c that the switch tables of
# -X are tried on:
#   switches.pic.o        mips-linux-gnu-gcc -O2 -fPIC -c (big-endian): tables
#                         of .gpword (R_MIPS_GPREL32), entry + $gp, the
#                         table's address from lw %got(L)($gp) and addiu %lo(L);
#   switches.nopic.o      mipsel-linux-gnu-gcc -O2 -fno-pic -mno-abicalls -c
#                         (little-endian): tables of .word (R_MIPS_32), the
#                         address from lui %hi(L) and addiu %lo(L);
#   switches.pie          mipsel-linux-gnu-gcc -O2 -fPIE -pie, linked against
#                         Debian's glibc for MIPS, its symbols kept: .gpword
#                         tables at their final addresses;
#   switches.clang.pic.o  clang --target=mipsel-linux-gnu -O2 -fPIC -c
#                         -fno-addrsig: %lo(L) folded into the lw of the entry,
#                         $gp's value in a register of its own (made from
#                         _gp_disp and $t9);
#   dispatch.o            mips-linux-gnu-as dispatch.s: one switch of 3 cases,
#                         small enough for a golden case of -D.
# Each has 7 tables: run (12 entries), weekday (7; gcc's has 8, index 0 going
# to the default), colour (5), mode (5; gcc's 7, from 0), nested (5, and 6 for
# the switch inside it) and count_classes (21, 'a' to 'u'); port's sparse cases
# become a tree of compares. bench/switch_share.sh lists the tables, entries,
# targets and jr of every variant from the compiler's relocations.
# .comment, .pdr (and its relocations) and the linker's --build-id note are
# left out. switches.c is compiled from this directory by its bare name, so
# that the files do not depend on where the tree is; two runs give the same
# bytes.
#   apt-get install -y gcc-mips-linux-gnu gcc-mipsel-linux-gnu clang
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/out
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rm -rf "$out"
mkdir -p "$out"
cd "$here"
objcopy=mips-linux-gnu-objcopy   # reads and writes both byte orders

mips-linux-gnu-gcc -O2 -fPIC -c switches.c -o "$tmp/switches.pic.o"
mipsel-linux-gnu-gcc -O2 -fno-pic -mno-abicalls -c switches.c -o "$tmp/switches.nopic.o"
mipsel-linux-gnu-gcc -O2 -fPIE -c switches.c -o "$tmp/switches.pie.o"
mipsel-linux-gnu-gcc -Wl,--build-id=none -pie "$tmp/switches.pie.o" -o "$tmp/switches.pie"
clang --target=mipsel-linux-gnu -O2 -fPIC -fno-addrsig -c switches.c -o "$tmp/switches.clang.pic.o"
mips-linux-gnu-as dispatch.s -o "$tmp/dispatch.o"

for f in switches.pic.o switches.nopic.o switches.pie switches.clang.pic.o; do
    "$objcopy" -R .comment -R .pdr -R .rel.pdr "$tmp/$f" "$out/$f"
done
"$objcopy" -R .pdr -R .rel.pdr -R .MIPS.abiflags -R .gnu.attributes -R .reginfo \
    "$tmp/dispatch.o" "$out/dispatch.o"
