#!/usr/bin/env bash
# The jump tables of C switches as the compilers make them, found from their
# relocations, and how many of them pelorin recognises under -X. Run by hand,
# not in CI.
#
# usage: [PELORIN=path] bench/switch_share.sh DIR     build, write DIR, compare
#        [PELORIN=path] bench/switch_share.sh -c DIR  compare with DIR only
#
# Builds in a temporary directory (removed at the end), from
# tests/objects/switches/switches.c and a generated file of 100 functions with
# a switch each (switch_gen.py: 4 to 40 cases, dense, with holes or sparse,
# some with calls in the cases), every variant:
#   compiler   gcc (mips-linux-gnu-gcc, mipsel-linux-gnu-gcc), and clang
#              (--target=mips-linux-gnu, mipsel-linux-gnu) where it compiles;
#   code       pic:   -fPIC objects, -fPIE -pie executables (.gpword tables,
#                     entry + _gp);
#              nopic: -fno-pic -mno-abicalls, executables -no-pie (.word);
#              cpic:  -fno-pic with the default -mabicalls, executables
#                     -no-pie, as Debian builds programs that are not PIE;
#   -O0, -O2, -Os, big-endian (eb) and little-endian (el);
#   objects (NAME.o) and executables linked against Debian's glibc for MIPS
#   with -Wl,--emit-relocs, which keeps the relocations (NAME).
# switch_share.py reference finds every table from the relocations, its
# entries and targets, the jr that dispatches through it and the form of the
# code from the bound check and the table's address to that jr; it checks
# each executable's entries against its object placed as ld's map tells. It
# prints per variant the tables and entries, and the distinct dispatch forms
# with their counts and an example each; DIR gets a copy of every file and
# its reference, NAME.json (table address, entries, targets, jr). Then
# switch_share.py compare runs `$PELORIN -E -X -c` on each file of DIR
# (PELORIN defaults to build/pelorin) and counts the tables that pelorin
# reports rightly on the jr line: `# switch, N cases, table XXXXXXXX`.
#
# Needs the cross compilers and binutils with the C library for both byte
# orders, python3, and for the clang variants clang:
#   apt-get install -y gcc-mips-linux-gnu gcc-mipsel-linux-gnu python3 clang
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
compare_only=
if [ "${1:-}" = -c ]; then
    compare_only=1
    shift
fi
[ $# -eq 1 ] || { echo "usage: $0 [-c] DIR" >&2; exit 2; }
dir=$(mkdir -p "$1" && cd "$1" && pwd)
PELORIN=$(realpath -m "${PELORIN:-$root/build/pelorin}")
export PELORIN
if [ -n "$compare_only" ]; then
    exec python3 "$here/switch_share.py" compare "$dir"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cp "$root/tests/objects/switches/switches.c" .
python3 "$here/switch_gen.py" 100 >gen.c
cat >gen_main.c <<'C'
#include <stdio.h>
int ext(int v) { return v * 3; }
void note(const char *s, int v) { printf("%s %d\n", s, v); }
int f0(unsigned char, int);
int main(int argc, char **argv) { (void)argv; return f0(argc, 1); }
C

compilers=(gcc)
if echo 'int main(void) { return 0; }' >probe.c &&
   clang --target=mipsel-linux-gnu -O2 probe.c -o probe 2>/dev/null; then
    compilers+=(clang)
else
    echo "clang cannot compile and link for MIPS here: gcc only" >&2
fi

specs=()
run() { # log name, then the command
    local log=$1
    shift
    "$@" 2>>"$log.log" || { echo "not built: $log ($(grep -m1 -i error "$log.log" || true))" >&2; return 1; }
}
for c in "${compilers[@]}"; do
    for e in eb el; do
        case $c.$e in
            gcc.eb) cc=(mips-linux-gnu-gcc) ;;
            gcc.el) cc=(mipsel-linux-gnu-gcc) ;;
            clang.eb) cc=(clang --target=mips-linux-gnu) ;;
            clang.el) cc=(clang --target=mipsel-linux-gnu) ;;
        esac
        for mode in pic nopic cpic; do
            case $mode in
                pic) obj=(-fPIC) exe=(-fPIE) link=(-pie) ;;
                nopic) obj=(-fno-pic -mno-abicalls) exe=("${obj[@]}") link=(-no-pie) ;;
                cpic) obj=(-fno-pic) exe=("${obj[@]}") link=(-no-pie) ;;
            esac
            for opt in O0 O2 Os; do
                for src in switches gen; do
                    v=$src.$c.$mode.$opt.$e
                    run "$v" "${cc[@]}" -"$opt" "${obj[@]}" -c $src.c -o "$v.o" && specs+=("$work/$v.o")
                    more=()
                    if [ $src = gen ]; then
                        run "$v" "${cc[@]}" -"$opt" "${exe[@]}" -c gen_main.c -o "$v.main.o" || continue
                        more=("$v.main.o")
                    fi
                    run "$v" "${cc[@]}" -"$opt" "${exe[@]}" -c $src.c -o "$v.exe.o" &&
                    run "$v" "${cc[@]}" "${link[@]}" -Wl,--emit-relocs -Wl,--build-id=none \
                        -Wl,-Map="$v.map" "$v.exe.o" "${more[@]}" -o "$v" &&
                    specs+=("$work/$v,$work/$v.exe.o,$work/$v.map")
                done
            done
        done
    done
done

python3 "$here/switch_share.py" reference "$dir" "${specs[@]}"
echo
python3 "$here/switch_share.py" compare "$dir"
