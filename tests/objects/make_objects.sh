#!/usr/bin/env bash
# Makes the object files of the command-line cases tests/cli/object_*: the
# compiled program.c (big- and little-endian, GNU gcc for MIPS) and the
# hand-made objects of make_crafted.py. The results are committed, so the
# tests need neither the cross compiler nor Python.
#   apt-get install -y gcc-mips-linux-gnu python3
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=$here/../cli
cc=mips-linux-gnu-gcc
# -mno-relax-pic-calls keeps R_MIPS_JALR (type 37), which the loader refuses,
# out of the calls; -fcommon makes shared_block a common symbol.
flags=(-O2 -mno-relax-pic-calls -fcommon -c)

compile() { # case endian-flag
    mkdir -p "$cli/$1"
    out=$cli/$1/program.o
    # A case that holds program.o.from gets the shared file that it names
    # (tests/cli/README.md).
    if [ -f "$out.from" ]; then out=$cli/$(head -n 1 "$out.from"); fi
    $cc "${flags[@]}" $2 "$here/program.c" -o "$out"
}
compile object_big_endian -EB
compile object_little_endian -EL
compile object_gcc_dump -EB
compile object_gcc_no_gpa -EB

python3 "$here/make_crafted.py" "$cli"
python3 "$here/make_robust.py" "$cli"
# The ELF files that -m reads as maps (llvm-mc, ld.lld, llvm-objcopy, clang).
"$here/elf_map/make.sh"
# The ELF executables of the -E cases (llvm-mc, ld.lld, llvm-objcopy, clang).
"$here/executables/make.sh"
# The relocatable objects that -E places and relocates, with the bytes that
# ld.lld makes of them at the same addresses (gcc, clang, ld.lld, python3).
"$here/linked/make.sh"
# The dynamically linked programs and libraries of -E and their references
# from GNU binutils (gcc for both byte orders, binutils, python3).
"$here/dynamic/make.sh"
