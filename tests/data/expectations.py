"""What the by-hand objdump checks share: reading an expectations file of the
decoder (tests/data/decode_words.txt and decode_words_r2.txt)."""
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
