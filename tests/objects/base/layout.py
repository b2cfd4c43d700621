"""Writes the memory image of a 32-bit ELF executable's loaded segments: from
the start of the lowest PT_LOAD (which must be 4 KiB aligned) to the end of
the last one's file bytes, zeros between them and where a segment's memory
goes past its file bytes. Prints the image's base address.

usage: python3 layout.py ELF IMAGE
"""
import struct
import sys

data = open(sys.argv[1], "rb").read()
if data[:4] != b"\x7fELF" or data[4] != 1:
    sys.exit(f"{sys.argv[1]}: not a 32-bit ELF file")
o = "<" if data[5] == 1 else ">"
phoff, = struct.unpack_from(o + "I", data, 28)
phentsize, phnum = struct.unpack_from(o + "HH", data, 42)
# p_type, p_offset, p_vaddr, p_paddr, p_filesz, p_memsz, p_flags, p_align
loads = [p for p in (struct.unpack_from(o + "8I", data, phoff + phentsize * i)
                     for i in range(phnum)) if p[0] == 1 and p[4]]
base = min(p[2] for p in loads)
if base % 4096:
    sys.exit(f"{sys.argv[1]}: lowest segment at {base:#x}, not 4 KiB aligned")
image = bytearray(max(p[2] + p[4] for p in loads) - base)
for _, off, vaddr, _, filesz, *_ in loads:
    image[vaddr - base:vaddr - base + filesz] = data[off:off + filesz]
open(sys.argv[2], "wb").write(image)
print(f"{base:08x}")
