#!/usr/bin/env bash
# Builds the sample for -R2 in r2/: a few functions of freestanding C and a
# start-up file using MIPS32 Release 2 bit operations (rotr, wsbh, seb/seh,
# ext/ins, clz/clo), the FPU (single and double arithmetic, sqrt, conversions,
# c.cond.fmt with bc1t/bc1f and movt/movf, lwxc1/ldxc1, mthc1/mfhc1, cfc1/ctc1,
# madd/msub/nmadd through inline asm) and CP0 (mfc0/mtc0, di/ei, ehb, eret,
# wait), the DSP ASE (dsp.c, compiled with -mdspr2: saturating arithmetic
# and indexed loads) and the MT ASE (mt.S). Big-endian, hard float, linked at
# 0x80000000; makes r2/r2sample.bin
# (raw image) and r2/r2sample.map (functions by name, data objects with '@').
#
# Needs clang, ld.lld, llvm-objcopy and llvm-nm.
set -euo pipefail
cd "$(dirname "$0")/r2"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cflags=(--target=mips-linux-gnu -march=mips32r2 -mhard-float -O2 -ffreestanding -nostdlib
        -fno-builtin -fno-math-errno -mno-abicalls -fno-pic -G 0
        -fno-asynchronous-unwind-tables -Wall)
objects=()
for src in start.S fpu.c bits.c dsp.c mt.S; do
    obj=$out/${src%.*}.o
    extra=()
    [ "$src" = dsp.c ] && extra=(-mdspr2)
    clang "${cflags[@]}" "${extra[@]}" -c "$src" -o "$obj"
    objects+=("$obj")
done
ld.lld -EB -T link.ld --no-undefined "${objects[@]}" -o "$out/r2sample.elf"
llvm-objcopy -O binary "$out/r2sample.elf" r2sample.bin

{
    echo "# MIPS32 Release 2 and FPU sample, made by make_r2_sample.sh"
    llvm-nm -n --defined-only "$out/r2sample.elf" | awk '
        # address type name
        $3 ~ /^[._$]/ && $3 != "_start" { next }
        $3 !~ /^[A-Za-z_][A-Za-z0-9_.]*$/ { next }
        seen[$3]++ { next }
        $2 ~ /[Tt]/ { printf "%s %s\n", $1, $3; next }
        $2 ~ /[DdRrBb]/ { printf "%s @%s\n", $1, $3 }'
} > r2sample.map
printf '%s: %d bytes, %d map lines\n' r2/r2sample.bin "$(stat -c %s r2sample.bin)" "$(wc -l < r2sample.map)"
