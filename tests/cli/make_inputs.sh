#!/usr/bin/env bash
# Assembles the raw inputs of the command-line cases: every x.s becomes x.bin
# (big-endian) and every x.le.s becomes x.le.bin (little-endian), holding the
# bytes of the .text section. Sources should start with ".set noreorder".
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
for s in */*.s; do
    case $s in
    *.le.s) triple=mipsel; out=${s%.s}.bin ;;
    *) triple=mips; out=${s%.s}.bin ;;
    esac
    llvm-mc -triple=$triple -mcpu=mips32r2 -filetype=obj "$s" -o "$tmp"
    llvm-objcopy -O binary -j .text "$tmp" "$out"
done
