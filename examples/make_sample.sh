#!/usr/bin/env bash
# Builds the bundled sample: the "tinyrtos" firmware in firmware/, compiled for
# big-endian MIPS32 and linked at 0x80000000, as the linked executable
# (firmware.elf), a raw image of it (firmware.bin) and a map file
# (firmware.map) made from its symbol table.
#
# Needs clang, ld.lld, llvm-objcopy and llvm-nm. Small data (up to 8 bytes) goes
# to .sdata/.sbss and is reached through $gp, so the listing shows gp-relative
# loads and stores next to the usual lui/addiu pairs.
set -euo pipefail
cd "$(dirname "$0")"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

cflags=(--target=mips-linux-gnu -march=mips32 -O2 -ffreestanding -nostdlib -fno-builtin
        -mno-abicalls -fno-pic -G 8 -mgpopt -fno-asynchronous-unwind-tables
        -Wall -Wno-builtin-requires-header)
objects=()
for src in firmware/*.c firmware/*.S; do
    obj=$out/$(basename "${src%.*}").o
    clang "${cflags[@]}" -c "$src" -o "$obj"
    objects+=("$obj")
done
# 4 KiB pages rather than lld's 64 KiB for MIPS keep the committed ELF small
# (the addresses, and so the image and the map, are the same).
ld.lld -EB -T firmware/link.ld -z max-page-size=4096 --no-undefined "${objects[@]}" -o firmware.elf
llvm-objcopy -O binary firmware.elf firmware.bin

# The map: functions by name, data objects with the '@' prefix that switches
# the listing to data lines, the $gp value at the entry point, and a few
# comments. Local symbols of the same name in two files keep the first.
gp=$(llvm-nm firmware.elf | awk '$3 == "_gp" { print $1 }')
entry=$(llvm-nm firmware.elf | awk '$3 == "_start" { print $1 }')
{
    echo "# tinyrtos sample firmware, made by make_sample.sh"
    echo "$entry // \$gp=$gp"
    llvm-nm -n -S --defined-only firmware.elf | awk -v end="$(stat -c %s firmware.bin)" '
        # address [size] type name
        NF == 4 { addr = $1; type = $3; name = $4 }
        NF == 3 { addr = $1; type = $2; name = $3 }
        name ~ /^\./ || name ~ /^\$/ || name ~ /^_(gp|heap_start|heap_end|stack_top|bss_start|bss_end)$/ { next }
        name !~ /^[A-Za-z_][A-Za-z0-9_]*$/ { next }
        seen[name]++ { next }
        type ~ /[Tt]/ { printf "%s %s\n", addr, name; next }
        type ~ /[DdRrGgSsBbVv]/ { printf "%s @%s\n", addr, name }'
} > firmware.map.tmp
# Comments at a few places worth a note.
for pair in "uart_init:configures baud rate, ring and interrupt" \
            "crc32:table-driven CRC-32, reflected 0xedb88320" \
            "exception_entry:general exception vector target"; do
    name=${pair%%:*}
    addr=$(awk -v n="$name" '$2 == n { print $1 }' firmware.map.tmp)
    [ -n "$addr" ] && echo "$addr // ${pair#*:}" >> firmware.map.tmp
done
mv firmware.map.tmp firmware.map
printf '%s: %d bytes, %d map lines\n' firmware.bin "$(stat -c %s firmware.bin)" "$(wc -l < firmware.map)"
