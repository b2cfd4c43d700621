#!/usr/bin/env bash
# Assembles the raw inputs of the command-line cases: every x.s becomes x.bin
# (big-endian) and every x.le.s becomes x.le.bin (little-endian), holding the
# bytes of the .text section. Sources should start with ".set noreorder".
# A case's x.s.from assembles the shared source that it names, and the result
# goes where x.bin.from points if the case has one (README.md); the sources
# in shared/ make their .bin there.
set -euo pipefail
shopt -s nullglob
cd "$(dirname "$0")"
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
# A case's file, or the shared file that its .from names.
resolve() { if [ -f "$1.from" ]; then head -n 1 "$1.from"; else echo "$1"; fi; }
for s in */*.s */*.s.from; do
    s=${s%.from}
    case $s in
    *.le.s) triple=mipsel ;;
    *) triple=mips ;;
    esac
    llvm-mc -triple=$triple -mcpu=mips32r2 -filetype=obj "$(resolve "$s")" -o "$tmp"
    llvm-objcopy -O binary -j .text "$tmp" "$(resolve "${s%.s}.bin")"
done
