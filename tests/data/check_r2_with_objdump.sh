#!/usr/bin/env bash
# Checks the Release 2 table (-R2) against GNU objdump for MIPS.
#
# Run by hand; it is not a CTest test (the MIPS binutils are not on the CI
# machines). On Debian:
#
#   apt-get install binutils-mips-linux-gnu
#   tests/data/check_r2_with_objdump.sh [-v]
#
# -v lists the skipped lines and objdump's reading of every constant word.
# OBJDUMP=... names another objdump (default mips-linux-gnu-objdump).
# Exit status: 0 no mismatch, 1 mismatches, 2 cannot run.
#
# Three checks, all with -m mips:isa32r2 -M no-aliases,gpr-names=numeric
# (and cp0-names=numeric,hwr-names=numeric, so that CP0 and hardware
# registers come out as numbers):
#
# 1. decode_words_r2.txt: every distinct word in a 4-byte file of its own,
#    all disassembled in one run at 0x80001000 (the address the unit test
#    decodes at). The mnemonic and the operand values must agree, and the
#    padding after the operands must follow the rule (three tabs below 8
#    operand characters, two below 16, one below 24). Normalised:
#      registers  $N, GCC names under -g (and a bare 0 for register 0 under
#                 -g -P); the second register of cfc1, ctc1 and rdhwr is $N
#                 under -g too, and objdump's c1_fcsr, c1_fir, ... are FPU
#                 control registers 31, 0, ...; FPU registers $fN and
#                 condition codes $fccN are kinds of their own, so a GPR
#                 written for an FPU register is a mismatch; R16.1 is
#                 objdump's $16,1
#      numbers    decimal or hex alike; ins and ext sizes as 32-bit signed
#      comments   everything from '#' on is dropped (the -c CP0 names)
#      objdump    ror and rorv are rotr and rotrv; pause is sll $0,$0,5;
#                 clz "rd or rt,rs" is rd,rs; jalr and jalr.hb without rd
#                 have rd 31; sdbbp and wait without code have code 0; di
#                 and ei without rt have rt 0
#      pelorin    wait without code has code 0; ssnop, ehb and pause are
#                 sll $0,$0,1, 3 and 5, bal is bgezal $0 (objdump's names
#                 without -M no-aliases)
#      -S, -P     a two-operand rotr, sll or srl "op d,sa" is "op d,d,sa"
#    Lines that pelorin shows as const or as a cop0 ... cop3 catch-all are
#    skipped, but objdump must not decode their word as an instruction of
#    the table.
#
# 2. const_words_r2.txt: words no row takes under -R2. objdump may show them
#    as .word, c0, c1 or as an instruction of an ASE the table leaves out
#    (DSP, MT, MIPS-3D, MSA, ...), but never as an instruction of the table.
#
# 3. src/mips/release2_rows.h: for every row, random words within its mask
#    (register fields often 0, 1, 31 or equal) must be that instruction, and
#    the same words with one bit outside the mask flipped must not be (but
#    for rows that name words of another row: ssnop, ehb, pause, bal); a word
#    that a row before takes is left out (the forms of mftr and mttr); both
#    byte orders (-EB, and -EL on byte-swapped input).
set -euo pipefail

verbose=0
for arg in "$@"; do
    case $arg in
        -v) verbose=1 ;;
        -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown argument $arg" >&2; exit 2 ;;
    esac
done
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../../src" && pwd)
objdump=${OBJDUMP:-mips-linux-gnu-objdump}

if ! command -v "$objdump" >/dev/null; then
    echo "$objdump not found (apt-get install binutils-mips-linux-gnu)" >&2
    exit 2
fi
if ! command -v python3 >/dev/null; then
    echo "python3 not found" >&2
    exit 2
fi
for f in "$here/decode_words_r2.txt" "$here/const_words_r2.txt" \
         "$src/mips/release2_rows.h" "$src/mips/mips32_rows.h"; do
    [ -r "$f" ] || { echo "cannot read $f" >&2; exit 2; }
done

PYTHONPATH="$here${PYTHONPATH:+:$PYTHONPATH}" exec python3 - "$objdump" "$here" "$src" "$verbose" <<'PYTHON'
import os
import random
import re
import struct
import subprocess
import sys
import tempfile

from expectations import I0, R0, ZERO, read_cases, same, show  # tests/data/expectations.py

objdump, here, src, verbose = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4] == "1"
ADDRESS = 0x80001000
ARCH = "mips:isa32r2"
OPTIONS = "no-aliases,gpr-names=numeric,cp0-names=numeric,hwr-names=numeric"
OPERAND_BITS = 0x03ffffff

GCC = ["zero", "at", "v0", "v1", "a0", "a1", "a2", "a3",
       "t0", "t1", "t2", "t3", "t4", "t5", "t6", "t7",
       "s0", "s1", "s2", "s3", "s4", "s5", "s6", "s7",
       "t8", "t9", "k0", "k1", "gp", "sp", "fp", "ra"]
FCR = {"c1_fir": 0, "c1_ufr": 1, "c1_unfr": 4, "c1_fccr": 25, "c1_fexr": 26,
       "c1_fenr": 28, "c1_fcsr": 31}
OBJDUMP_NAMES = {"ror": "rotr", "rorv": "rotrv"}
# Rows that name words of another row, and that row's name.
NAMED_WORDS = {"ssnop": ("sll", 1), "ehb": ("sll", 3), "pause": ("sll", 5), "bal": ("bgezal", 0)}
NUMERIC_SECOND = {"cfc1", "ctc1", "rdhwr"}
SHORTENED = {"rotr", "sll", "srl"}
R31 = ("r", 31)


class Skip(Exception):
    pass


class Bad(Exception):
    pass


# --- pelorin's tables --------------------------------------------------------

def table_rows(path):
    text = open(path, encoding="utf-8").read()
    return [(n, int(m, 16), int(k, 16)) for n, m, k in re.findall(
        r'\{"([a-z0-9.]+)",\s*(0x[0-9a-f]+),\s*(0x[0-9a-f]+),', text)]


release2 = table_rows(os.path.join(src, "mips/release2_rows.h"))
default = table_rows(os.path.join(src, "mips/mips32_rows.h"))
if not release2 or not default:
    sys.exit("no rows read from the table sources")
# The names of the -R2 table, catch-alls aside.
TABLE_NAMES = {n for n, _, _ in release2 + default} - {"cop0", "cop1", "cop2", "cop3"}


# --- objdump -----------------------------------------------------------------

def run_objdump(paths, endian="EB", vma=ADDRESS):
    cmd = [objdump, "-D", "-z", "-b", "binary", "-" + endian, "-m", ARCH,
           "--adjust-vma=0x%x" % vma, "-M", OPTIONS] + paths
    return subprocess.run(cmd, check=True, capture_output=True, text=True).stdout


def instruction_line(line):
    m = re.match(r"\s*([0-9a-f]+):\s+([0-9a-f]{8})\s+(\S+)\s*(.*)$", line)
    return m and (int(m.group(1), 16), int(m.group(2), 16), m.group(3), m.group(4).strip())


def disassemble_apart(words, tmp):
    """Each word at ADDRESS, in a file of its own: {word: (mnemonic, operands)}."""
    paths = []
    for i, w in enumerate(words):
        p = os.path.join(tmp, "w%05d.bin" % i)
        with open(p, "wb") as f:
            f.write(struct.pack(">I", w))
        paths.append(p)
    result, current = {}, None
    for line in run_objdump(paths).splitlines():
        m = re.match(r"(\S+):\s+file format", line)
        if m:
            current = paths.index(m.group(1))
            continue
        got = instruction_line(line)
        if got and current is not None and got[0] == ADDRESS:
            w = words[current]
            if got[1] != w:
                sys.exit("objdump read 0x%08x for 0x%08x: wrong byte order?" % (got[1], w))
            result[w] = (got[2], got[3])
    missing = [w for w in words if w not in result]
    if missing:
        sys.exit("objdump gave no line for " + ", ".join("0x%08x" % w for w in missing))
    return result


def disassemble_run(words, endian, tmp):
    """The words one after another in one file: the mnemonic of each."""
    p = os.path.join(tmp, "run-%s.bin" % endian)
    with open(p, "wb") as f:
        for w in words:
            f.write(struct.pack(">I" if endian == "EB" else "<I", w))
    names = [None] * len(words)
    for line in run_objdump([p], endian, 0).splitlines():
        got = instruction_line(line)
        if got and got[0] % 4 == 0 and got[0] // 4 < len(words):
            i = got[0] // 4
            if got[1] != words[i]:
                sys.exit("objdump -%s read 0x%08x for 0x%08x" % (endian, got[1], words[i]))
            names[i] = OBJDUMP_NAMES.get(got[2], got[2])
    if None in names:
        sys.exit("objdump -%s left out words" % endian)
    return names


def number(tok):
    return int(tok, 0)


def objdump_operand(tok):
    tok = tok.split(" or ")[0]  # clz "rd or rt" when rd and rt differ
    m = re.fullmatch(r"\$fcc(\d+)", tok)
    if m:
        return [("c", int(m.group(1)))]
    m = re.fullmatch(r"\$f(\d+)", tok)
    if m:
        return [("f", int(m.group(1)))]
    m = re.fullmatch(r"\$ac(\d)", tok)
    if m:
        return [("a", int(m.group(1)))]
    m = re.fullmatch(r"\$(\d+)", tok)
    if m:
        return [("r", int(m.group(1)))]
    if tok in FCR:
        return [("r", FCR[tok])]
    m = re.fullmatch(r"(-?(?:0x[0-9a-f]+|\d+)|\$\d+)\(\$(\d+)\)", tok)
    if m:
        first = m.group(1)
        index = ("r", int(first[1:])) if first.startswith("$") else ("i", number(first))
        return [index, ("r", int(m.group(2)))]
    if re.fullmatch(r"-?(?:0x[0-9a-f]+|\d+)", tok):
        return [("i", number(tok))]
    raise Bad("objdump operand %r not understood" % tok)


def objdump_name(mnemonic):
    """The table's name of objdump's mnemonic, None for .word."""
    if mnemonic == ".word":
        return None
    return "sll" if mnemonic == "pause" else OBJDUMP_NAMES.get(mnemonic, mnemonic)


def objdump_canonical(mnemonic, operands):
    """objdump's line as (mnemonic, [items]), or None for .word."""
    if mnemonic == ".word":
        return None
    mnemonic = OBJDUMP_NAMES.get(mnemonic, mnemonic)
    items = []
    for tok in filter(None, operands.split(",")):
        items += objdump_operand(tok.strip())
    if mnemonic == "pause":
        mnemonic, items = "sll", [R0, R0, ("i", 5)]
    elif mnemonic in ("jalr", "jalr.hb") and len(items) == 1:
        items = [R31] + items
    elif mnemonic in ("sdbbp", "wait", "break", "syscall", "sync") and not items:
        items = [I0]
    elif mnemonic in ("di", "ei") and not items:
        items = [R0]
    elif mnemonic in ("ext", "ins"):
        items = items[:2] + [("i", v - (1 << 32) if v >= 1 << 31 else v) for _, v in items[2:]]
    return mnemonic, items


# --- pelorin's expected text -------------------------------------------------

def read_words(path):
    words = []
    with open(path, encoding="utf-8") as f:
        for number_, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if line:
                words.append((number_, int(line, 16)))
    return words


def pelorin_register(tok, options, numeric):
    gcc, pseudo = "-g" in options, "-P" in options
    if gcc and pseudo and tok == "0" and not numeric:
        return ZERO
    m = re.fullmatch(r"\$fcc(\d)", tok)
    if m:
        return ("c", int(m.group(1)))
    m = re.fullmatch(r"\$ac(\d)", tok)
    if m:
        return ("a", int(m.group(1)))
    m = re.fullmatch(r"\$f(\d+)", tok)
    if m and int(m.group(1)) < 32:
        return ("f", int(m.group(1)))
    if not tok.startswith("$"):
        raise Bad("register %r" % tok)
    name = tok[1:]
    if gcc and not numeric:
        if name not in GCC:
            raise Bad("register %r is no GCC name under -g" % tok)
        return ("r", GCC.index(name))
    if not re.fullmatch(r"\d+", name) or int(name) > 31:
        raise Bad("register %r is not numeric" % tok)
    return ("r", int(name))


def pelorin_operand(tok, options, numeric):
    m = re.fullmatch(r"(-?(?:0x[0-9a-f]+|\d+))\((.+)\)", tok)
    if m:
        return [("i", number(m.group(1))), pelorin_register(m.group(2), options, False)]
    m = re.fullmatch(r"(\$\w+|0)\((.+)\)", tok)
    if m:
        return [pelorin_register(m.group(1), options, False),
                pelorin_register(m.group(2), options, False)]
    m = re.fullmatch(r"R(\d+)(?:\.(\d+))?", tok)
    if m:
        return [("r", int(m.group(1)))] + ([("i", int(m.group(2)))] if m.group(2) else [])
    if tok.startswith("$") or ("-g" in options and "-P" in options and tok == "0"):
        return [pelorin_register(tok, options, numeric)]
    if re.fullmatch(r"-?(?:0x[0-9a-f]+|\d+)", tok):
        return [("i", number(tok))]
    raise Bad("operand %r not understood" % tok)


def pelorin_canonical(text, options):
    mnemonic, tab, rest = text.partition("\t")
    if not tab:
        raise Bad("no tab after the mnemonic")
    if mnemonic == "const":
        raise Skip("const")
    if mnemonic in ("cop0", "cop1", "cop2", "cop3"):
        raise Skip("catch-all")
    before_comment = rest.split("#", 1)[0]
    operands = before_comment.rstrip("\t")
    padding = before_comment[len(operands):]
    if "\t" in operands or " " in operands:
        raise Bad("blank inside the operands %r" % operands)
    if padding != "\t\t\t"[len(operands) // 8:]:
        raise Bad("%d tabs after %d operand characters" % (len(padding), len(operands)))
    if "#" in rest and padding == "" and len(operands) < 24:
        raise Bad("comment without padding")
    if mnemonic == "nop":
        return "sll", [R0, R0, I0]
    if mnemonic in ("ssnop", "ehb", "pause"):
        return "sll", [R0, R0, ("i", NAMED_WORDS[mnemonic][1])]
    items = []
    for i, tok in enumerate(filter(None, operands.split(","))):
        items += pelorin_operand(tok, options, i == 1 and mnemonic in NUMERIC_SECOND)
    if mnemonic == "wait" and not items:
        items = [I0]
    if mnemonic == "bal":
        mnemonic, items = "bgezal", [R0] + items
    if (("-S" in options or "-P" in options) and mnemonic in SHORTENED and len(items) == 2):
        items = [items[0]] + items
    return mnemonic, items


# --- 1 and 2: the data files ---------------------------------------------------

cases = read_cases(os.path.join(here, "decode_words_r2.txt"))
const_words = read_words(os.path.join(here, "const_words_r2.txt"))
words = sorted({c[1] for c in cases} | {w for _, w in const_words})
with tempfile.TemporaryDirectory() as tmp:
    seen = disassemble_apart(words, tmp)

checked, skipped, mismatches = 0, {}, []
for number_, word, option_text, options, expected in cases:
    theirs_raw = seen[word]
    theirs_text = (theirs_raw[0] + " " + theirs_raw[1]).strip()
    where = "decode_words_r2.txt line %d: 0x%08x %-8s" % (number_, word, option_text)
    try:
        ours = pelorin_canonical(expected, options)
        theirs = objdump_canonical(*theirs_raw)
        if theirs is None:
            raise Skip("undecoded")
        checked += 1
        if ours[0] != theirs[0] or not same(ours[1], theirs[1]):
            mismatches.append("%s pelorin %-28r objdump %-28s [%s | %s]" % (
                where, expected, theirs_text, show(*ours), show(*theirs)))
    except Skip as s:
        skipped.setdefault(str(s), []).append("%s %-30r objdump: %s" % (
            where, expected, theirs_text))
        name = objdump_name(theirs_raw[0])
        if str(s) != "undecoded" and name in TABLE_NAMES:
            mismatches.append("%s [pelorin shows %s; objdump has %s, a row of the table]"
                              % (where, s, name))
    except Bad as b:
        checked += 1
        mismatches.append("%s pelorin %-28r objdump %-28s [%s]" % (
            where, expected, theirs_text, b))

const_lines = []
for number_, word in const_words:
    name = objdump_name(seen[word][0])
    text = "const_words_r2.txt line %d: 0x%08x objdump: %s" % (
        number_, word, (seen[word][0] + " " + seen[word][1]).strip())
    const_lines.append(text)
    if name in TABLE_NAMES:
        mismatches.append(text + " [a row of the table]")
    if any((word & ~(k & OPERAND_BITS)) == m for n, m, k in release2 + default
           if n not in ("cop0", "cop1")):
        mismatches.append(text + " [a row of the -R2 table accepts it]")

# --- 3: the rows against objdump ------------------------------------------------

random.seed(2)
FIELD_VALUES = [0, 1, 2, 16, 30, 31]


def random_within(mask):
    w = random.getrandbits(32) & mask
    fields = [s for s in (6, 11, 16, 21) if (mask >> s) & 31 == 31]
    if fields and random.random() < 0.5:
        for s in fields:
            if random.random() < 0.5:
                w = w & ~(31 << s) | random.choice(FIELD_VALUES) << s
    if len(fields) >= 2 and random.random() < 0.2:
        a, b = random.sample(fields, 2)
        w = w & ~(31 << b) | ((w >> a) & 31) << b
    return w


def taken_before(i, w):
    """Whether a row before row i takes w (mftr and mttr after their forms)."""
    return any((w & ~m & 0x03ffffff) | (w & 0xfc000000) == a for _, a, m in release2[:i])


row_words, row_tags = [], []
for i, (name, match, mask) in enumerate(release2):
    for k in range(60):
        w = match | (0 if k == 0 else random_within(mask))
        if taken_before(i, w):
            continue
        row_words.append(w)
        row_tags.append((i, None))
    for bit in range(26):
        if not mask >> bit & 1:
            for _ in range(3):
                row_words.append((match | random_within(mask)) ^ 1 << bit)
                row_tags.append((i, bit))
row_problems = {}
with tempfile.TemporaryDirectory() as tmp:
    for endian in ("EB", "EL"):
        for w, (i, bit), theirs in zip(row_words, row_tags, disassemble_run(row_words, endian, tmp)):
            name = release2[i][0]
            if name in NAMED_WORDS:
                if bit is None and theirs not in (name, NAMED_WORDS[name][0]):
                    row_problems.setdefault((name, "a word within the mask"), []).append(
                        "-%s 0x%08x is %s" % (endian, w, theirs))
                continue
            if bit is None and theirs != name:
                row_problems.setdefault((name, "a word within the mask"), []).append(
                    "-%s 0x%08x is %s" % (endian, w, theirs))
            elif bit is not None and theirs == name:
                row_problems.setdefault((name, "bit %d outside the mask" % bit), []).append(
                    "-%s 0x%08x is still %s" % (endian, w, theirs))
for (name, what), lines in sorted(row_problems.items()):
    mismatches.append("release2_rows.h %s, %s: %s%s" % (
        name, what, lines[0], " (and %d more)" % (len(lines) - 1) if len(lines) > 1 else ""))

# --- the report ---------------------------------------------------------------

print("%s -m %s -M %s" % (objdump, ARCH, OPTIONS))
print("decode_words_r2.txt: %d lines, %d checked, %d skipped" % (
    len(cases), checked, sum(len(v) for v in skipped.values())))
for reason in ("const", "catch-all", "undecoded"):
    lines = skipped.get(reason, [])
    print("  %-10s %d" % (reason, len(lines)))
    if verbose or reason == "undecoded":
        for line in lines:
            print("    " + line)
print("const_words_r2.txt: %d words" % len(const_words))
if verbose:
    for line in const_lines:
        print("    " + line)
print("release2_rows.h: %d rows, %d words each way (-EB, -EL)" % (len(release2), len(row_words)))
print("mismatches %d" % len(mismatches))
for line in mismatches:
    print("  " + line)
sys.exit(1 if mismatches else 0)
PYTHON
