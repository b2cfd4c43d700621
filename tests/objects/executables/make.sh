#!/usr/bin/env bash
# Makes the ELF executables that the -E cases list or refuse, in
# tests/cli/shared/exec_*.elf:
#   exec_far.elf       big-endian: far_code.s at 0x80000000 and the boot vector
#                      far_boot.s at 0xbfc00000 (the entry), linked by far.ld;
#   exec_two.elf       little-endian: two_main.s and two_other.s (a static
#                      helper in each), code and data segments a gap apart
#                      (two.ld), a .bss, a read through $gp;
#   exec_stripped.elf  exec_two.elf without symbols (no .symtab);
#   exec_nophdr.elf    exec_two.elf without program headers;
#   exec_64.elf, exec_x86.elf  a 64-bit MIPS and a 32-bit x86 executable;
#   exec_beyond.elf    exec_two.elf with its data segment reaching past the
#                      end of the file;
#   exec_noload.elf    exec_two.elf with its PT_LOAD entries made PT_NULL.
# The results are committed, so the tests need no tools of their own.
# ld.lld -n (no page alignment) keeps the files below 1 KiB; the linker
# scripts discard the ABI notes (.MIPS.abiflags, .reginfo) and the linker's
# .comment, so that every allocated section is code or data.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
shared=$here/../../cli/shared
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

link() { # triple script output source...
    local triple=$1 script=$2 out=$3 objects=() f
    shift 3
    for f; do
        llvm-mc -triple="$triple-linux-gnu" -mcpu=mips32r2 -filetype=obj "$here/$f.s" -o "$tmp/$f.o"
        objects+=("$tmp/$f.o")
    done
    ld.lld -T "$here/$script" -n --no-pie "${objects[@]}" -o "$shared/$out"
}
link mips far.ld exec_far.elf far_code far_boot
link mipsel two.ld exec_two.elf two_main two_other
llvm-objcopy --strip-all "$shared/exec_two.elf" "$shared/exec_stripped.elf"

# Executables of another class and of another machine: one return each.
printf '\t.globl\t_start\n_start:\n\tjr\t$ra\n\tnop\n' |
    clang --target=mips64-linux-gnu -c -x assembler - -o "$tmp/m64.o"
ld.lld -n -s --no-pie -e _start "$tmp/m64.o" -o "$shared/exec_64.elf"
printf '\t.globl\t_start\n_start:\n\tret\n' |
    clang --target=i386-linux-gnu -c -x assembler - -o "$tmp/x86.o"
ld.lld -n -s --no-pie -e _start "$tmp/x86.o" -o "$shared/exec_x86.elf"

# Patched copies of exec_two.elf, in the byte order of its EI_DATA. Neither
# ld.lld nor GNU ld writes an executable without program headers (an empty
# PHDRS is ignored) and llvm-objcopy cannot drop them, so exec_nophdr.elf
# gets e_phoff and e_phnum 0 here (e_phentsize and the table's bytes stay).
python3 - "$shared" <<'PY'
import struct, sys
shared = sys.argv[1]
src = open(f"{shared}/exec_two.elf", "rb").read()
order = {1: "<", 2: ">"}[src[5]]
phoff, = struct.unpack_from(order + "I", src, 28)
phentsize, phnum = struct.unpack_from(order + "HH", src, 42)

def phdrs(data):  # (offset of the entry, p_type, p_offset ... p_align)
    for i in range(phnum):
        at = phoff + i * phentsize
        yield (at,) + struct.unpack_from(order + "8I", data, at)

def write(name, data):
    open(f"{shared}/{name}", "wb").write(data)

data = bytearray(src)
struct.pack_into(order + "I", data, 28, 0)
struct.pack_into(order + "H", data, 44, 0)
write("exec_nophdr.elf", data)

# The last PT_LOAD (data and bss) moved to end a few bytes past the end of
# the file, its offset still congruent to its address modulo its alignment.
data = bytearray(src)
at, _, _, vaddr, _, filesz, _, _, align = [p for p in phdrs(src) if p[1] == 1][-1]
offset = len(src) - filesz + 1
offset += (vaddr - offset) % max(align, 1)
struct.pack_into(order + "I", data, at + 4, offset)
write("exec_beyond.elf", data)

data = bytearray(src)
for p in phdrs(src):
    if p[1] == 1:
        struct.pack_into(order + "I", data, p[0], 0)
write("exec_noload.elf", data)
PY
