#!/usr/bin/env bash
# Makes the inputs of the tests of the object loader (-E on a relocatable
# object) and the linker-made bytes that they are compared with, in out/:
#   <file>.<compiler>.<pic|nopic>.<eb|el>.o  shell.c, errors.c and sched.c
#       compiled by mips-linux-gnu-gcc and clang, -O2 -c, with their default
#       flags (PIC, abicalls) or non-PIC (-fno-pic -mno-abicalls -G 8, so that
#       small globals go to .sdata and .sbss), big- or little-endian;
#   tls.<compiler>.<gd|ie|le|cpic>.<eb|el>.o  tls.c, its thread-local
#       variables reached in the general dynamic model (gd: -fPIC, local
#       dynamic for the static ones), initial exec (ie: -fPIC) or local exec
#       (le: the non-PIC flags); cpic is non-PIC code with abicalls (-fno-pic,
#       as programs for Linux are built), which reaches a variable of another
#       object by initial exec;
#   shell.gcc.nopic.eb.rela.o  shell.gcc.nopic.eb.o with RELA relocations:
#       the implicit addends as r_addend, the relocated fields overwritten;
#   <object>.ref  for every object but the .pic. and .cpic. ones: the
#       bytes of its placed sections from 0x10000000 to the image end as
#       ld.lld relocated them (link.py says how they are placed; NOBITS and
#       gaps are zeros);
#   manifest.txt  object, reference, image end and GP of each linked object
#       (the RELA object names its original's reference);
#   slots.txt     the words of the linked objects that select a GOT slot,
#       with what lld's slot holds;
#   layout.txt    every object's placed sections and relocation types.
# The results are committed, so the tests need no tools of their own.
# The sources are compiled from this directory by their bare names, so that
# the objects' file symbols do not depend on where the tree is.
#   apt-get install -y gcc-mips-linux-gnu clang lld python3
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/out
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rm -rf "$out"
mkdir -p "$out"
cd "$here"
nopic=(-fno-pic -mno-abicalls -G 8)
objects=()

compile() { # file compiler pic|nopic|gd|ie|le|cpic eb|el
    local flags=(-O2 -c) o=$1.$2.$3.$4.o
    case $3 in
        nopic) flags+=("${nopic[@]}") ;;
        gd) flags+=(-fPIC) ;;
        ie) flags+=(-fPIC -ftls-model=initial-exec) ;;
        le) flags+=("${nopic[@]}" -ftls-model=local-exec -DOTHER_OBJECT) ;;
        cpic) flags+=(-fno-pic -DOTHER_OBJECT) ;;
    esac
    case $2.$4 in
        gcc.eb) cc=(mips-linux-gnu-gcc) ;;
        gcc.el) cc=(mips-linux-gnu-gcc -EL) ;;
        clang.eb) cc=(clang --target=mips-linux-gnu) ;;
        clang.el) cc=(clang --target=mipsel-linux-gnu) ;;
    esac
    "${cc[@]}" "${flags[@]}" "$1.c" -o "$out/$o"
    objects+=("$o")
}
for f in shell errors sched; do
    compile $f gcc pic eb
    compile $f gcc nopic eb
done
compile errors gcc pic el
compile sched gcc nopic el
compile sched clang pic eb
compile shell clang pic el
compile errors clang nopic eb
compile shell clang nopic el
compile tls gcc gd eb
compile tls clang gd el
compile tls gcc ie el
compile tls clang ie eb
compile tls gcc le eb
compile tls clang le el
compile tls gcc cpic eb

python3 "$here/link.py" "$out" "$tmp" shell.gcc.nopic.eb.o "${objects[@]}"
