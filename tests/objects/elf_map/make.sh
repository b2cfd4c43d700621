#!/usr/bin/env bash
# Makes the ELF files of the command-line cases tests/cli/elfmap_*: the
# program of first.s and other.s linked by prog.ld, big- and little-endian,
# with the bytes of its .text and .data as a raw dump, and a 64-bit MIPS
# object. The results are committed, so the tests need no tools of their own.
# llvm-mc keeps the local label $L_again in the symbol table, which clang's
# assembler would leave out.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cli=$here/../../cli
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# A case's file, or the shared file that its .from names (tests/cli/README.md).
resolve() { if [ -f "$1.from" ]; then echo "$cli/$(head -n 1 "$1.from")"; else echo "$1"; fi; }

link() { # triple case
    for f in first other; do
        llvm-mc -triple="$1-linux-gnu" -mcpu=mips32r2 -filetype=obj -save-temp-labels \
            "$here/$f.s" -o "$tmp/$f.o"
    done
    elf=$(resolve "$cli/$2/prog.elf")
    ld.lld -T "$here/prog.ld" -e main --no-pie "$tmp/first.o" "$tmp/other.o" -o "$elf"
    llvm-objcopy -O binary -j .text -j .data "$elf" "$(resolve "$cli/$2/prog.bin")"
}
link mips elfmap_listing
link mipsel elfmap_little

clang --target=mips64-linux-gnu -c -x assembler /dev/null -o "$cli/elfmap_not_32bit/prog64.o"
