#!/usr/bin/env bash
# How many function starts does pelorin find in a stripped static program?
# Run by hand, not in CI.
#
# usage: [PELORIN=path] bench/function_starts.sh
#
# Builds in a temporary directory (removed at the end) the generated program
# of calls_gen.py (300 functions that call each other and the C library)
# with mipsel-linux-gnu-gcc -O2 -static, once with gcc's default code (PIC
# calls through $t9) and once with -fno-pic -mno-abicalls (jal), keeps each
# unstripped and makes a copy without symbols (objcopy --strip-all). pelorin
# lists the stripped copy with -E -b and with -E -X -b; a function of the
# unstripped copy (a FUNC symbol of size > 0 in an executable section, each
# address once) counts as found when the line right before its first
# instruction line (past other labels, braces and '#' lines) is a label
# (`name:`, `}{name:`) or a brace line (`}{`). The figures: the number of
# functions, the share found, and by what: a name label, a generated label
# (fun_XXXXXXXX), a label that is a section's name (_text, _init: counted,
# but shown apart), a brace alone; for all the functions (most are the C
# library's) and for the generated program's own (fnNNN and main).
# Until pelorin knows -X, that row says so.
#
# Needs the little-endian cross compiler and binutils with the C library for
# MIPS, and python3:
#   apt-get install -y gcc-mipsel-linux-gnu python3
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
pelorin=$(realpath "${PELORIN:-$root/build/pelorin}")
[ -x "$pelorin" ] || { echo "no program $pelorin (build it first)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 "$here/calls_gen.py" 300 >gen.c
mipsel-linux-gnu-gcc -O2 -static gen.c -o pic
# ld warns that the C library's files are abicalls and gen.o is not
mipsel-linux-gnu-gcc -O2 -fno-pic -mno-abicalls -static gen.c -o nopic 2>nopic.log ||
    { cat nopic.log >&2; exit 1; }
for v in pic nopic; do
    mips-linux-gnu-objcopy --strip-all $v $v.stripped
    for x in "" -X; do
        "$pelorin" -E $x -b $v.stripped >$v$x.txt 2>$v$x.err || true
    done
done

python3 - <<'PY'
import collections, re, subprocess

def readelf(*args):
    return subprocess.run(["mips-linux-gnu-readelf", *args], capture_output=True,
                          text=True, check=True).stdout

def norm(name):
    return re.sub(r"[^A-Za-z0-9_]", "_", name)

def functions(path):
    """Addresses of the FUNC symbols of size > 0 in executable sections, with a name each."""
    code = {m.group(1) for m in re.finditer(r"^\s*\[\s*(\d+)\]\s+\S+\s+\S+\s+[0-9a-f]+\s+[0-9a-f]+"
                                             r"\s+[0-9a-f]+\s+[0-9a-f]+\s+(\w*X\w*)\s", readelf("-SW", path), re.M)}
    found = {}
    for m in re.finditer(r"^\s*\d+:\s+([0-9a-f]{8})\s+(\d+|0x[0-9a-f]+)\s+FUNC\s+\w+\s+\w+"
                         r"(?:\s+\[[^\]]*\])?\s+(\d+)\s+(\S+)", readelf("-sW", path), re.M):
        if int(m.group(2), 0) > 0 and m.group(3) in code:
            found.setdefault(int(m.group(1), 16), m.group(4))
    return found

def starts(text, sections):
    """What marks each instruction line's address: the label or brace lines right before it."""
    marks, block = {}, []
    for line in text.splitlines():
        if m := re.match(r"^\t([0-9a-f]{8}):\s+[0-9a-f]{8}\t", line):
            if block:
                names = [n for n in block if n]
                if any(n not in sections and not n.startswith("fun_") for n in names):
                    kind = "label"
                elif any(n.startswith("fun_") for n in names):
                    kind = "fun_"
                elif names:
                    kind = "section"
                else:
                    kind = "brace"
                marks[int(m.group(1), 16)] = kind
            block = []
        elif m := re.match(r"^(\}\{)?(\S+):$", line.rstrip()):
            block.append(m.group(2).lstrip("@"))
        elif line.rstrip() == "}{":
            block.append("")
        elif not line.lstrip().startswith("#"):
            block = []
    return marks

print(f"{'program':<7} {'functions':<9} {'run':<10} {'count':>6} {'found':>6} {'share':>7}"
      f" {'label':>6} {'fun_':>6} {'section':>7} {'brace':>6}")
for v in ("pic", "nopic"):
    funcs = functions(v)
    sections = {norm(m.group(1)) for m in re.finditer(r"^\s*\[\s*\d+\]\s+(\S+)", readelf("-SW", v + ".stripped"), re.M)}
    own = {a for a, n in funcs.items() if re.fullmatch(r"fn\d+|main", n)}   # the generated ones
    for x in ("", "-X"):
        text = open(f"{v}{x}.txt", errors="replace").read()
        if not re.search(r"^\t[0-9a-f]{8}:", text, re.M):
            err = (open(f"{v}{x}.err").read() or text).strip().splitlines()
            print(f"{v:<7} {'':<9} {'-E -X -b':<10} pelorin refuses it: {err[0] if err else '?'}")
            continue
        marks = starts(text, sections)
        run = "-E -X -b" if x else "-E -b"
        for label, group in (("all", set(funcs)), ("fnNNN", own)):
            c = collections.Counter(marks.get(a, "none") for a in group)
            found = len(group) - c["none"]
            print(f"{v:<7} {label:<9} {run:<10} {len(group):>6} {found:>6} {100 * found / len(group):6.1f}%"
                  f" {c['label']:>6} {c['fun_']:>6} {c['section']:>7} {c['brace']:>6}")
PY
