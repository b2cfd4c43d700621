#!/usr/bin/env bash
# How many of the calls that the compiler marks does pelorin name rightly
# under -X -c? Run by hand, not in CI.
#
# usage: [PELORIN=path] [PELORIN_FLAGS="-E -X -c"] bench/calls_share.sh
#
# Builds in a temporary directory (removed at the end), from
# tests/objects/calls/calls.c, tests/objects/program.c (with a main of its own
# when linked) and a generated program of 300 functions (calls_gen.py), every
# variant: PIC (-fPIC objects, -fPIE -pie executables) and non-PIC
# (-fno-pic -mno-abicalls, executables -no-pie), -O0 and -O2, big-endian
# (mips-linux-gnu-gcc) and little-endian (mipsel-linux-gnu-gcc), as objects
# and as executables linked with -Wl,--emit-relocs against Debian's glibc for
# MIPS, so that they keep the call relocations. calls_share.py reads those
# (R_MIPS_26 at jal, R_MIPS_JALR at jalr and at the bal the linker makes of
# one, R_MIPS_PC16 at bal, R_MIPS_CALL16 loads of a jalr's register) and
# prints, per variant and in total, the call sites, those where pelorin's
# line names the relocation's callee (right), names another (other) or none
# (missed), and the tail jumps (j, jr, b) set apart; then the sites not named
# rightly by kind: the instruction, and for a jalr how its register was set.
# Until pelorin knows -X, it says so and counts what -E -c names (jal).
#
# Needs the cross compilers and binutils, with the C library for both byte
# orders, and python3:
#   apt-get install -y gcc-mips-linux-gnu gcc-mipsel-linux-gnu python3
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
pelorin=$(realpath "${PELORIN:-$root/build/pelorin}")
[ -x "$pelorin" ] || { echo "no program $pelorin (build it first)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cp "$root/tests/objects/calls/calls.c" "$root/tests/objects/program.c" .
python3 "$here/calls_gen.py" 300 >gen.c
cat >program_main.c <<'C'
int limit = 3;
void report(void);
int main(void) { report(); return 0; }
C

files=()
build() { # output, then the compiler's arguments
    local o=$1
    shift
    if "$cc" "$@" -o "$o" 2>"$o.log"; then
        files+=("$work/$o")
    else
        echo "not built: $o ($(grep -m1 -i error "$o.log"))" >&2
    fi
}

for e in eb el; do
    case $e in
        eb) cc=mips-linux-gnu-gcc ;;
        el) cc=mipsel-linux-gnu-gcc ;;
    esac
    for opt in O0 O2; do
        for src in calls program gen; do
            more=()
            [ $src = program ] && more=(program_main.c)
            build $src.pic.$opt.$e.o -$opt -fPIC -fcommon -c $src.c
            build $src.nopic.$opt.$e.o -$opt -fno-pic -mno-abicalls -fcommon -c $src.c
            build $src.pic.$opt.$e -$opt -fPIE -pie -Wl,--emit-relocs $src.c "${more[@]}"
            build $src.nopic.$opt.$e -$opt -fno-pic -mno-abicalls -no-pie \
                -Wl,--emit-relocs $src.c "${more[@]}"
        done
    done
done

python3 "$here/calls_share.py" "$pelorin" "${files[@]}"
