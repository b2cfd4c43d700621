#!/usr/bin/env bash
# Checks the expectations of decode_words.txt against GNU objdump for MIPS.
#
# Run by hand; it is not a CTest test (the MIPS binutils are not on the CI
# machines). On Debian:
#
#   apt-get install binutils-mips-linux-gnu
#   tests/data/check_with_objdump.sh [-v] [decode_words.txt]
#
# -v lists every skipped line with objdump's reading of its word.
# OBJDUMP=... names another objdump (default mips-linux-gnu-objdump).
# Exit status: 0 no mismatch, 1 mismatches, 2 cannot run.
#
# Every distinct word goes into a 4-byte file of its own and all the files
# are disassembled in one objdump run at 0x80001000 (the address the unit test
# decodes at), so branch and jump targets come out as the test expects them:
#
#   objdump -D -z -b binary -EB -m mips:isa64 --adjust-vma=0x80001000
#           -M gpr-names=numeric,cp0-names=numeric,no-aliases
#
# mips:isa64 (MIPS64 release 1) holds the whole classic integer set pelorin
# decodes: MIPS III ld/sd/dadd..., MIPS IV movn/movz/pref, the MIPS32
# SPECIAL2 mul/madd/msub and cache. It has no lwc3/swc3 (their opcodes are
# pref and a reserved one there), so a word that isa64 shows as .word is
# disassembled again with mips:3000 (MIPS I), which has swc3.
#
# What is compared: the mnemonic and the operand values, as a list of
# registers and numbers. Presentation differences normalised:
#   registers   $N, $fN (objdump), GCC names under -g, R12 / R12.1 for CP0
#               registers (objdump: $12 / $12,1); under -g -P pelorin writes
#               register 0 as a bare 0, which matches register 0 or number 0
#   numbers     decimal or hex alike; pelorin's echo "10=0x000a" must be the
#               low 16 bits of the value; -r targets "8000102cr" count from
#               the last label, and no label is seen here, so are the target
#   comments    everything from '#' on is dropped (jump names, -c CP0 names);
#               so are the padding tabs
#   nop         pelorin's nop is sll $0,$0,0
#   objdump     neg/negu/dneg/dnegu rd,rt (kept under no-aliases) are
#               sub/subu/dsub/dsubu rd,$0,rt; dli is ori/addiu/daddiu rt,$0;
#               div/divu/ddiv/ddivu $0,rs,rt drop the $0; jalr rs is
#               jalr $31,rs; break c1,c2 is the 20-bit code (c1<<10)|c2;
#               break, syscall, sync without operand and the register traps
#               without code have code 0
#   -S, -P      a short form "op d,x" is "op d,d,x" (the GNU as reading),
#               for instructions whose first operand is a destination
#               register (not branches, traps or coprocessor moves); the
#               two sources of add/addu/dadd/daddu/and/or/xor/nor/mul of
#               such a short form may be in either order (never those of a
#               full form)
#   -P          "move d,s" is or/addu/add/daddu d,s,$0 or d,$0,s, and
#               "move d,imm" is addiu/addi/ori/daddiu d,$0,imm
#
# Skip classes (counted, and listed with -v):
#   const       pelorin shows the word as a constant: it is in no entry of
#               pelorin's table (objdump may know it: clz, jalx, ...)
#   catch-all   pelorin shows cop0/cop1/cop2/cop3 with the raw bits: objdump
#               decodes these as eret, add.s, c1, c2 ... or .word, so there
#               is nothing to compare
#   undecoded   objdump shows .word under isa64 and mips:3000 while pelorin
#               decodes the word (always listed: worth a look)
# A const or catch-all word is still a mismatch when objdump decodes it as a
# mnemonic that pelorin shows on some other line of the file: pelorin's table
# should then have taken it.
set -euo pipefail

verbose=0
data=
for arg in "$@"; do
    case $arg in
        -v) verbose=1 ;;
        -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        -*) echo "unknown option $arg" >&2; exit 2 ;;
        *) data=$arg ;;
    esac
done
here=$(cd "$(dirname "$0")" && pwd)
data=${data:-$here/decode_words.txt}
objdump=${OBJDUMP:-mips-linux-gnu-objdump}

if ! command -v "$objdump" >/dev/null; then
    echo "$objdump not found (apt-get install binutils-mips-linux-gnu)" >&2
    exit 2
fi
if ! command -v python3 >/dev/null; then
    echo "python3 not found" >&2
    exit 2
fi
[ -r "$data" ] || { echo "cannot read $data" >&2; exit 2; }

PYTHONPATH="$here${PYTHONPATH:+:$PYTHONPATH}" exec python3 - "$objdump" "$data" "$verbose" <<'PYTHON'
import os
import re
import struct
import subprocess
import sys
import tempfile

from expectations import I0, R0, ZERO, read_cases, same, show  # tests/data/expectations.py

objdump, data_path, verbose = sys.argv[1], sys.argv[2], sys.argv[3] == "1"
ADDRESS = 0x80001000
PRIMARY, FALLBACK = "mips:isa64", "mips:3000"

GCC = ["zero", "at", "v0", "v1", "a0", "a1", "a2", "a3",
       "t0", "t1", "t2", "t3", "t4", "t5", "t6", "t7",
       "s0", "s1", "s2", "s3", "s4", "s5", "s6", "s7",
       "t8", "t9", "k0", "k1", "gp", "sp", "fp", "ra"]
COMMUTATIVE = {"add", "addu", "dadd", "daddu", "and", "or", "xor", "nor", "mul"}
MOVE_REGISTER = {"or", "addu", "add", "daddu"}
MOVE_IMMEDIATE = {"addiu", "addi", "ori", "daddiu"}
REGISTER_TRAPS = {"teq", "tge", "tgeu", "tlt", "tltu", "tne"}


class Skip(Exception):
    pass


class Bad(Exception):
    pass


# --- the data file, read as decode_test.cpp reads it ------------------------

# --- objdump ---------------------------------------------------------------

def disassemble(words, arch, tmp):
    paths = []
    for i, w in enumerate(words):
        p = os.path.join(tmp, "%s-%04d.bin" % (arch.replace(":", "_"), i))
        with open(p, "wb") as f:
            f.write(struct.pack(">I", w))
        paths.append(p)
    cmd = [objdump, "-D", "-z", "-b", "binary", "-EB", "-m", arch,
           "--adjust-vma=0x%x" % ADDRESS,
           "-M", "gpr-names=numeric,cp0-names=numeric,no-aliases"] + paths
    out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    result, current = {}, None
    for line in out.splitlines():
        m = re.match(r"(\S+):\s+file format", line)
        if m:
            current = paths.index(m.group(1))
            continue
        m = re.match(r"\s*([0-9a-f]+):\s+([0-9a-f]{8})\s+(\S+)\s*(.*)$", line)
        if m and current is not None and int(m.group(1), 16) == ADDRESS:
            w = words[current]
            if int(m.group(2), 16) != w:
                sys.exit("objdump read 0x%s for 0x%08x: wrong byte order?" % (m.group(2), w))
            result[w] = (m.group(3), m.group(4).strip())
    missing = [w for w in words if w not in result]
    if missing:
        sys.exit("objdump gave no line for " + ", ".join("0x%08x" % w for w in missing))
    return result


def objdump_operand(tok):
    m = re.fullmatch(r"\$f?(\d+)", tok)
    if m:
        return [("r", int(m.group(1)))]
    m = re.fullmatch(r"(-?(?:0x[0-9a-f]+|\d+))\(\$(\d+)\)", tok)
    if m:
        return [("i", int(m.group(1), 0)), ("r", int(m.group(2)))]
    m = re.fullmatch(r"-?(?:0x[0-9a-f]+|\d+)", tok)
    if m:
        return [("i", int(tok, 0))]
    raise Bad("objdump operand %r not understood" % tok)


def objdump_canonical(word, mnemonic, operands):
    """objdump's line as (mnemonic, [items]), or None for .word."""
    if mnemonic == ".word":
        return None
    items = []
    for tok in filter(None, operands.split(",")):
        items += objdump_operand(tok)
    if mnemonic in ("neg", "negu", "dneg", "dnegu"):
        mnemonic = {"neg": "sub", "negu": "subu", "dneg": "dsub", "dnegu": "dsubu"}[mnemonic]
        items = [items[0], R0, items[1]]
    elif mnemonic in ("li", "dli"):
        mnemonic = {0x09: "addiu", 0x0d: "ori", 0x19: "daddiu"}[word >> 26]
        items = [items[0], R0, items[1]]
    elif mnemonic in ("div", "divu", "ddiv", "ddivu") and len(items) == 3 and items[0] == R0:
        items = items[1:]
    elif mnemonic == "jalr" and len(items) == 1:
        items = [("r", 31)] + items
    elif mnemonic == "break" and len(items) == 2:
        items = [("i", (items[0][1] << 10) | items[1][1])]
    elif mnemonic in ("break", "syscall", "sync") and not items:
        items = [("i", 0)]
    elif mnemonic in REGISTER_TRAPS and len(items) == 2:
        items.append(("i", 0))
    return mnemonic, items


# --- pelorin's expected text -------------------------------------------------

def pelorin_register(tok, options):
    gcc, pseudo = "-g" in options, "-P" in options
    if gcc and pseudo and tok == "0":
        return ZERO
    if not tok.startswith("$"):
        raise Bad("register %r" % tok)
    name = tok[1:]
    if gcc:
        if name not in GCC:
            raise Bad("register %r is no GCC name under -g" % tok)
        return ("r", GCC.index(name))
    if not re.fullmatch(r"\d+", name) or int(name) > 31:
        raise Bad("register %r is not numeric without -g" % tok)
    return ("r", int(name))


def pelorin_operand(tok, options):
    m = re.fullmatch(r"(-?(?:0x[0-9a-f]+|\d+))\((.+)\)", tok)
    if m:
        return [("i", int(m.group(1), 0)), pelorin_register(m.group(2), options)]
    m = re.fullmatch(r"R(\d+)(?:\.(\d+))?", tok)
    if m:
        return [("r", int(m.group(1)))] + ([("i", int(m.group(2)))] if m.group(2) else [])
    if tok.startswith("$") or ("-g" in options and "-P" in options and tok == "0"):
        return [pelorin_register(tok, options)]
    m = re.fullmatch(r"(-?\d+)=0x([0-9a-f]{4})", tok)
    if m:
        value = int(m.group(1))
        if value & 0xffff != int(m.group(2), 16):
            raise Bad("echo %s is not the low 16 bits of %s" % (m.group(2), m.group(1)))
        return [("i", value)]
    if re.fullmatch(r"-?(?:0x[0-9a-f]+|\d+)", tok):
        return [("i", int(tok, 0))]
    m = re.fullmatch(r"([0-9a-f]+)r", tok)
    if m and "-r" in options:
        return [("i", int(m.group(1), 16))]  # no label seen: relative to 0
    raise Bad("operand %r not understood" % tok)


def pelorin_canonical(text, options):
    mnemonic, _, rest = text.partition("\t")
    if mnemonic == "const":
        raise Skip("const")
    if mnemonic in ("cop0", "cop1", "cop2", "cop3"):
        raise Skip("catch-all")
    operands = rest.split("#", 1)[0].rstrip("\t")
    if "\t" in operands or " " in operands:
        raise Bad("blank inside the operands %r" % operands)
    if mnemonic == "nop":
        if operands:
            raise Bad("nop with operands")
        return "sll", [R0, R0, ("i", 0)]
    items = []
    for tok in filter(None, operands.split(",")):
        items += pelorin_operand(tok, options)
    return mnemonic, items


def readings(mnemonic, items, options, target):
    """The objdump-side forms pelorin's text may stand for."""
    short = "-S" in options or "-P" in options
    forms = [(mnemonic, items)]
    if mnemonic == "move" and "-P" in options and len(items) == 2:
        d, s = items
        forms = []
        if s[0] in ("r", "z"):
            forms += [(m, [d, s, R0]) for m in MOVE_REGISTER]
            forms += [(m, [d, R0, s]) for m in MOVE_REGISTER]
        if s[0] in ("i", "z"):
            forms += [(m, [d, R0, s]) for m in MOVE_IMMEDIATE]
    t_mnemonic, t_items = target
    destination_first = (len(t_items) == 3 and t_items[0][0] == "r" and t_items[1][0] == "r"
                         and not t_mnemonic.startswith(("b", "t", "mf", "mt")))
    if short and destination_first:
        expanded = [(m, [i[0]] + i) for m, i in forms if len(i) == 2]
        # Only a short form may stand for either order of the sources.
        forms += expanded
        forms += [(m, [i[0], i[2], i[1]]) for m, i in expanded if m in COMMUTATIVE]
    return forms


# --- the check ---------------------------------------------------------------

cases = read_cases(data_path)
words = sorted({c[1] for c in cases})
with tempfile.TemporaryDirectory() as tmp:
    primary = disassemble(words, PRIMARY, tmp)
    again = [w for w in words if primary[w][0] == ".word"]
    fallback = disassemble(again, FALLBACK, tmp) if again else {}

checked, skipped, mismatches = 0, {}, []
fallback_words, known = set(), set()
for number, word, option_text, options, expected in cases:
    arch = PRIMARY
    theirs_raw = primary[word]
    if theirs_raw[0] == ".word" and fallback[word][0] != ".word":
        arch, theirs_raw = FALLBACK, fallback[word]
    theirs_text = (theirs_raw[0] + " " + theirs_raw[1]).strip()
    where = "line %d: 0x%08x %-8s" % (number, word, option_text)
    try:
        ours = pelorin_canonical(expected, options)
        theirs = objdump_canonical(word, *theirs_raw)
        if theirs is None:
            raise Skip("undecoded")
        if arch == FALLBACK:
            fallback_words.add(word)
        checked += 1
        if not any(m == theirs[0] and same(i, theirs[1])
                   for m, i in readings(ours[0], ours[1], options, theirs)):
            mismatches.append("%s pelorin %-28r objdump (%s) %-28s [%s | %s]" % (
                where, expected, arch, theirs_text, show(*ours), show(*theirs)))
    except Skip as s:
        skipped.setdefault(str(s), []).append((word, "%s %-30r objdump: %s" % (
            where, expected, theirs_text)))
    except Bad as b:
        checked += 1
        mismatches.append("%s pelorin %-28r objdump (%s) %-28s [%s]" % (
            where, expected, arch, theirs_text, b))
    else:
        known.add(ours[0])

# A const or catch-all word that objdump decodes as an instruction pelorin
# shows elsewhere in the file is a word pelorin's table should have taken.
for reason in ("const", "catch-all"):
    for word, line in skipped.get(reason, []):
        raw = fallback[word] if primary[word][0] == ".word" else primary[word]
        theirs = objdump_canonical(word, *raw)
        if theirs and theirs[0] in known:
            mismatches.append("%s [pelorin shows %s; objdump has %s, which pelorin decodes elsewhere]"
                              % (line, reason, theirs[0]))

print("%s -m %s (then -m %s for .word), at 0x%08x" % (objdump, PRIMARY, FALLBACK, ADDRESS))
print("%d lines, %d distinct words" % (len(cases), len(words)))
print("checked %d lines (%d words only known to %s: %s)" % (
    checked, len(fallback_words), FALLBACK,
    ", ".join("0x%08x" % w for w in sorted(fallback_words)) or "none"))
print("skipped %d lines" % sum(len(v) for v in skipped.values()))
for reason in ("const", "catch-all", "undecoded"):
    lines = skipped.get(reason, [])
    print("  %-10s %d" % (reason, len(lines)))
    if verbose or reason == "undecoded":
        for _, line in lines:
            print("    " + line)
print("mismatches %d" % len(mismatches))
mismatches.sort(key=lambda line: int(re.match(r"line (\d+)", line).group(1)))
for line in mismatches:
    print("  " + line)
sys.exit(1 if mismatches else 0)
PYTHON
