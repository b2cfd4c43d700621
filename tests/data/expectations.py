"""What the by-hand objdump checks share: reading an expectations file of the
decoder (tests/data/decode_words.txt and decode_words_r2.txt), and comparing
and showing operands."""
import re


def unescape(s):
    out, i = [], 0
    while i < len(s):
        if s[i] == "\\" and i + 1 < len(s):
            i += 1
            out.append({"t": "\t", "n": "\n"}.get(s[i], s[i]))
        else:
            out.append(s[i])
        i += 1
    return "".join(out)


def read_cases(path):
    cases = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line[0] == "#":
                continue
            m = re.match(r"\s*(\S+)", line)
            word = int(m.group(1), 16)
            rest = line[m.end():]
            options = []
            while True:
                m = re.match(r"\s*(-\S*)", rest)
                if not m:
                    break
                options.append(m.group(1))
                rest = rest[m.end():]
            cases.append((number, word, " ".join(options) or "-",
                          set(options), unescape(rest.lstrip())))
    return cases


# An operand: ("r", n) register, ("f", n) FPU register, ("c", n) condition
# code, ("i", v) number; ZERO a bare 0 under -g -P: register 0 or the number 0.
R0, I0 = ("r", 0), ("i", 0)
ZERO = ("z",)


def same(a, b):
    """True when operands a (pelorin's, possibly ZERO) read as b (objdump's)."""
    if len(a) != len(b):
        return False
    for x, y in zip(a, b):
        if x == ZERO:
            if y not in (R0, I0):
                return False
        elif x != y:
            return False
    return True


def show(mnemonic, items):
    def one(x):
        if x == ZERO:
            return "0?"
        if x[0] == "i":
            return str(x[1]) if -1024 < x[1] < 1024 else hex(x[1])
        return {"r": "$%d", "f": "$f%d", "c": "$fcc%d"}[x[0]] % x[1]
    return mnemonic + " " + ",".join(one(x) for x in items)
