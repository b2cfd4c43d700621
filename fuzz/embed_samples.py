#!/usr/bin/env python3
# Writes sample_files.h: the small fixed files that the fuzzers put beside
# their inputs (a stretch of the sample firmware, a map for it, the sample
# object). Run from the repository's top directory after changing them:
#   python3 fuzz/embed_samples.py > fuzz/sample_files.h
import sys

def array(name, data):
    out = [f"inline constexpr unsigned char {name}[] = {{"]
    for i in range(0, len(data), 16):
        out.append("    " + ", ".join(f"0x{b:02x}" for b in data[i:i + 16]) + ",")
    out.append("};")
    return "\n".join(out)

code = open("examples/firmware.bin", "rb").read()[:0x800]
names = []
for line in open("examples/firmware.map"):
    parts = line.split()
    if len(parts) >= 2 and not line.startswith("#"):
        try:
            if int(parts[0], 16) < 0x80000800:
                names.append(line)
        except ValueError:
            pass
names.append("80000400 @table_area a data area\n")
names.append("80000600 // a comment-only line\n")
sample_map = "".join(names).encode()
obj = open("examples/object/sample.o", "rb").read()

print("// Made by embed_samples.py: the fixed files of the fuzzers. Do not edit.")
print("#pragma once")
print()
print("// 2 KiB of the sample firmware, linked at 0x80000000 (big-endian).")
print(array("sample_code", code))
print()
print("// Names for the stretch above, in the map-file format.")
print(array("sample_map", sample_map))
print()
print("// The sample object (big-endian, with relocations).")
print(array("sample_object", obj))
