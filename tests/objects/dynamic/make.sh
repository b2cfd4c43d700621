#!/usr/bin/env bash
# Makes the dynamically linked MIPS programs and libraries that -E lists, and
# their references from GNU binutils, in out/ (README.md tells the lines of a
# reference). Each file is made big-endian (.eb, mips-linux-gnu-gcc) and
# little-endian (.el, mipsel-linux-gnu-gcc), with gcc -O2 against Debian's
# glibc for MIPS:
#   libdemo.so.<e>        libdemo.c, -shared -fPIC, soname libdemo.so;
#   prog.pie.<e>          prog.c, -fPIE -pie, linked with libdemo.so: a
#                         position-independent executable;
#   prog.nopie.<e>        the same object, -no-pie: a dynamically linked
#                         executable at 0x400000 whose PIC code calls the
#                         imports through the lazy-binding stubs of .MIPS.stubs;
#   prog.plt.<e>          prog.c, -fno-pic -mplt, -no-pie: non-PIC code that
#                         calls the imports through .plt (R_MIPS_JUMP_SLOT
#                         relocations in .rel.plt, slots in .got.plt); the C
#                         library's start-up code still calls through
#                         .MIPS.stubs;
#   tiny.static.<e>       start.S and tiny.c, -fPIC -static -nostdlib
#                         -ffreestanding: no C library, no dynamic section, a
#                         GOT of local entries only (readelf -A: "Static GOT");
#   <file>.stripped.<e>   each of those without .symtab and .strtab (objcopy
#                         --strip-all): tiny.static.stripped.<e> has no _gp,
#                         only the ri_gp_value of .reginfo (PT_MIPS_REGINFO);
#   prog.nosh.<e>, libdemo.so.nosh.<e>   the stripped PIE and library without
#                         section headers, as OpenWrt's sstrip makes them:
#                         e_shoff, e_shnum and e_shstrndx 0 and the file cut
#                         after the end of the last segment's file bytes;
#   <file>.ref            the reference of each file that has .symtab: its
#                         stripped and headerless copies have the same
#                         segments, and readelf reads the same GOT and
#                         dynamic section from them (refs.py checks it);
#   manifest.txt          every file, its reference, whether it has .symtab
#                         and section headers.
# The linker's --build-id note, .comment and .pdr are left out. The sources are
# compiled from this directory by their bare names, so that the files do not
# depend on where the tree is. The results are committed, so the tests need
# neither the cross compilers nor binutils.
#
# The strings of a reference: a copy of each link made with -Wl,--emit-relocs
# (used for nothing else) keeps the R_MIPS_GOT16 and R_MIPS_LO16 relocations
# of the code, against gcc's $LC labels of the string literals, whose values
# readelf -r prints; refs.py pairs each LO16 with the GOT16 of the same label
# before it, takes the text from the file at the label's address, and checks
# that the copy's segments are the file's (but for the section indexes that
# .dynsym, DT_MIPS_UNREFEXTNO and the ELF header hold), that the lw reads a
# local GOT entry (readelf -A) and that its value plus the addiu's immediate
# (objdump -d) is the label's address.
#
# Flags tried that give no .plt: -no-pie -mplt and -no-pie -fno-pic (gcc's
# default here is -mno-plt), -no-pie -mno-shared (PIC-less $gp set-up, still
# calls through the GOT). -no-pie -mno-shared -mplt also gives a .plt, and so
# does -fno-pic -mno-abicalls, with a warning that it links abicalls and
# non-abicalls files.
#   apt-get install -y gcc-mips-linux-gnu gcc-mipsel-linux-gnu python3
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/out
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rm -rf "$out"
mkdir -p "$out"
cd "$here"
objcopy=mips-linux-gnu-objcopy   # reads and writes both byte orders
ld=(-Wl,--build-id=none)

link() { # output, then the compiler's link arguments
    local o=$1
    shift
    "$cc" "${ld[@]}" "$@" -o "$out/$o"
    "$cc" "${ld[@]}" -Wl,--emit-relocs "$@" -o "$tmp/$o.relocs"
    "$objcopy" -R .comment -R .pdr "$out/$o"
    "$objcopy" --strip-all "$out/$o" "$out/${o%.*}.stripped.${o##*.}"
}

for e in eb el; do
    case $e in
        eb) cc=mips-linux-gnu-gcc ;;
        el) cc=mipsel-linux-gnu-gcc ;;
    esac
    o=$tmp/$e
    mkdir -p "$o"
    "$cc" -O2 -fPIC -c libdemo.c -o "$o/libdemo.o"
    "$cc" -O2 -fPIE -c prog.c -o "$o/prog.pic.o"
    "$cc" -O2 -fno-pic -mplt -c prog.c -o "$o/prog.plt.o"
    "$cc" -O2 -fPIC -ffreestanding -c tiny.c -o "$o/tiny.o"
    "$cc" -fPIC -c start.S -o "$o/start.o"

    link libdemo.so.$e -shared -Wl,-soname,libdemo.so "$o/libdemo.o"
    cp "$out/libdemo.so.$e" "$o/libdemo.so"
    link prog.pie.$e -pie "$o/prog.pic.o" -L"$o" -ldemo
    link prog.nopie.$e -no-pie "$o/prog.pic.o" -L"$o" -ldemo
    link prog.plt.$e -no-pie "$o/prog.plt.o" -L"$o" -ldemo
    link tiny.static.$e -static -nostdlib "$o/start.o" "$o/tiny.o"

    python3 - "$out" prog.pie.stripped.$e prog.nosh.$e libdemo.so.stripped.$e libdemo.so.nosh.$e <<'PY'
import struct, sys
out = sys.argv[1]
for src, dst in zip(sys.argv[2::2], sys.argv[3::2]):
    data = bytearray(open(f"{out}/{src}", "rb").read())
    o = "<" if data[5] == 1 else ">"
    phoff, = struct.unpack_from(o + "I", data, 28)
    phentsize, phnum = struct.unpack_from(o + "HH", data, 42)
    end = max(p[1] + p[4] for p in (struct.unpack_from(o + "8I", data, phoff + phentsize * i)
                                    for i in range(phnum)) if p[0] != 0)
    struct.pack_into(o + "I", data, 32, 0)            # e_shoff
    struct.pack_into(o + "HH", data, 48, 0, 0)        # e_shnum, e_shstrndx
    open(f"{out}/{dst}", "wb").write(data[:end])
PY
done

echo "# file reference symtab|nosymtab sections|nosections" >"$out/manifest.txt"
for e in eb el; do
    python3 refs.py "$out" libdemo.so.$e "$tmp/libdemo.so.$e.relocs" libdemo.so.stripped.$e libdemo.so.nosh.$e
    python3 refs.py "$out" prog.pie.$e "$tmp/prog.pie.$e.relocs" prog.pie.stripped.$e prog.nosh.$e
    python3 refs.py "$out" prog.nopie.$e "$tmp/prog.nopie.$e.relocs" prog.nopie.stripped.$e
    python3 refs.py "$out" prog.plt.$e - prog.plt.stripped.$e
    python3 refs.py "$out" tiny.static.$e "$tmp/tiny.static.$e.relocs" tiny.static.stripped.$e
done
