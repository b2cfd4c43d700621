#!/usr/bin/env python3
"""Compares the callees that pelorin names at call sites with the compiler's
call relocations. Run by calls_share.sh, which builds the files.

usage: calls_share.py PELORIN FILE...

Each FILE is a MIPS ELF object, or an executable linked with --emit-relocs.
Its call sites, from `objdump -dr` and `readelf -sW`:
  - jal with R_MIPS_26;
  - jalr (or bal, when the linker turned a jalr into one) with R_MIPS_JALR;
  - bal, bgezal, bltzal with R_MIPS_PC16;
  - jalr without R_MIPS_JALR whose register was loaded, alone or through
    moves, by an lw with R_MIPS_CALL16 (or R_MIPS_CALL_LO16).
j, jr and b with those relocations are tail jumps: counted apart, not as calls.
A site is found when pelorin's line at its address names the callee in the
text after its last '#': the relocation's symbol, or any symbol at the
callee's address (fib and its alias fib.localalias), or fun_XXXXXXXX where
the callee has no name. Names are compared with every character outside
[A-Za-z0-9_] made '_' (pelorin writes fib.localalias as fib_localalias), a
leading '@' and a version (printf@GLIBC_2.0) dropped, and the '_' that pelorin
puts before a name that reads as a hex number (_add for add) taken off.

pelorin runs with $PELORIN_FLAGS (default "-E -X -c"; a -B there sets the
look-back that a jalr's register setting is measured against); when it
refuses them, the listing is made without -X and the figures tell what -c
alone names.
In an object, pelorin places the sections at addresses of its own: the
address of each code section is found from the label lines of its symbols.
"""
import collections
import os
import re
import shlex
import subprocess
import sys

LOOK_BACK = 9          # words before a jalr that pelorin looks at (-B 10, its default)
CALLS = {"jal", "jalr", "jalr.hb", "bal", "bgezal", "bltzal", "jalx"}
TAILS = {"j", "jr", "jr.hb", "b"}
CALL_RELOCS = {"R_MIPS_26", "R_MIPS_JALR", "R_MIPS_PC16"}
LOADS = {"R_MIPS_CALL16", "R_MIPS_CALL_LO16"}
NO_DEST = {"sw", "sh", "sb", "swl", "swr", "sc", "sdc1", "swc1", "mult",
           "multu", "div", "divu", "madd", "maddu", "msub", "msubu", "mthi",
           "mtlo", "mtc0", "mtc1", "teq", "tne", "tge", "tlt", "nop", "sync",
           "cache", "pref", "break", "syscall", "sdbbp", "ssnop", "ehb"}


def tool(name, *args):
    r = subprocess.run([name, *args], capture_output=True, text=True)
    if r.returncode:
        sys.exit(f"{name} {' '.join(args)}: {r.stderr.strip()}")
    return r.stdout


def norm(name):
    name = name.lstrip("@").split("@")[0]
    if re.fullmatch(r"_[0-9A-Fa-f]+", name):    # pelorin's form of a name that reads as hex
        name = name[1:]
    return re.sub(r"[^A-Za-z0-9_]", "_", name)


def sext16(v):
    return v - 0x10000 if v & 0x8000 else v


class Elf:
    """What binutils tell of one file: sections, symbols, code, relocations."""

    def __init__(self, path):
        self.path = path
        self.object = "REL (Relocatable" in tool("mips-linux-gnu-readelf", "-hW", path)
        self.sections = {}                       # index -> (name, address)
        for m in re.finditer(r"^\s*\[\s*(\d+)\]\s+(\S+)\s+\S+\s+([0-9a-f]{8})\s",
                             tool("mips-linux-gnu-readelf", "-SW", path), re.M):
            self.sections[int(m.group(1))] = (m.group(2), int(m.group(3), 16))
        self.section_names = {n for n, _ in self.sections.values()}
        self.symbols = collections.defaultdict(list)   # name -> [(section, value)]
        self.at = collections.defaultdict(set)          # (section, value) -> names
        sym = re.compile(r"^\s*\d+:\s+([0-9a-f]{8})\s+\S+\s+(\w+)\s+\w+\s+\w+"
                         r"(?:\s+\[[^\]]*\])?\s+(\w+)\s+(\S+)")
        for line in tool("mips-linux-gnu-readelf", "-sW", path).splitlines():
            m = sym.match(line)
            if not m or m.group(2) in ("SECTION", "FILE") or not m.group(3).isdigit():
                continue
            name = m.group(4).split("@")[0]
            # an object's values are section offsets, an executable's addresses
            where = (self.sections[int(m.group(3))][0], int(m.group(1), 16))
            self.symbols[name].append(where)
            self.at[where].add(name)
        self.code = {}           # (section, address) -> (word, mnemonic, operands)
        self.order = collections.defaultdict(list)      # section -> addresses
        self.starts = set()      # (section, address) of objdump's labels
        self.relocs = collections.defaultdict(list)     # (section, address) -> [(type, symbol)]
        section = None
        for line in tool("mips-linux-gnu-objdump", "-dr", "-z", "-M",
                         "reg-names=numeric", path).splitlines():
            if line.startswith("Disassembly of section "):
                section = line[23:].rstrip(":")
            elif m := re.match(r"^([0-9a-f]+) <.*>:$", line):
                self.starts.add((section, int(m.group(1), 16)))
            elif m := re.match(r"^\s*([0-9a-f]+):\t([0-9a-f]{8}) \t(\S+)\t?(.*)$", line):
                a = int(m.group(1), 16)
                ops = re.sub(r"\s*<.*>$", "", m.group(4))
                self.code[(section, a)] = (int(m.group(2), 16), m.group(3), ops)
                self.order[section].append(a)
            elif m := re.match(r"^\t+([0-9a-f]+): (R_\w+)\t(\S+)", line):
                sym = re.sub(r"[+-]0x[0-9a-f]+$", "", m.group(3))
                self.relocs[(section, int(m.group(1), 16))].append((m.group(2), sym))
        self.index = {s: {a: i for i, a in enumerate(addrs)} for s, addrs in self.order.items()}

    def section_of(self, address):
        """The code section that holds an executable's address."""
        for section, addrs in self.order.items():
            if addrs and addrs[0] <= address <= addrs[-1]:
                return section
        return None

    def before(self, section, address):
        """The instructions before one, nearest first, back to its function's label."""
        i = self.index[section][address]
        for a in reversed(self.order[section][max(0, i - 64):i]):
            yield a
            if (section, a) in self.starts:
                return

    def writer(self, section, address, reg):
        """The nearest instruction before address that sets reg, and its distance in words."""
        for n, a in enumerate(self.before(section, address), 1):
            _, mnem, ops = self.code[(section, a)]
            if mnem in NO_DEST or mnem.startswith(("b", "j")) and mnem not in ("jal", "jalr", "bal"):
                continue
            dest = "$31" if mnem in ("jal", "bal") else ops.split(",")[0]
            if mnem == "jalr" and "," not in ops:
                dest = "$31"
            if dest == reg:
                return a, n
        return None, None

    def setting(self, section, address, reg):
        """How reg came to hold its value: the chain of writers, moves followed,
        and how many words before address the chain starts."""
        steps, distance = [], None
        for _ in range(3):
            a, n = self.writer(section, address, reg)
            if a is None:
                steps.append(f"{reg} not set in its function")
                break
            distance = n + (distance or 0)      # words back to the chain's first value
            _, mnem, ops = self.code[(section, a)]
            kinds = [t for t, _ in self.relocs.get((section, a), [])]
            text = f"{mnem} " + re.sub(r"(?<![$\w])-?(?:0x[0-9a-f]+|\d+)\b", "N", ops)
            steps.append(text + (f" [{','.join(kinds)}]" if kinds else ""))
            regs = re.findall(r"\$\d+", ops)[1:]
            if mnem in ("move", "addu", "or", "addiu", "ori") and regs and regs[0] not in ("$0", "$28"):
                address, reg = a, regs[0]
            else:
                break
        return " <- ".join(steps), distance

    def targets(self, section, address, mnem, word, rtype, sym):
        """The callee's place, if the instruction or the symbol tells it."""
        if not self.object and mnem == "jal":
            a = ((address + 4) & 0xF0000000) | (word & 0x3FFFFFF) << 2
            return (self.section_of(a), a)
        if not self.object and mnem in ("bal", "bgezal", "bltzal"):
            a = address + 4 + (sext16(word & 0xFFFF) << 2)
            return (self.section_of(a), a)
        if sym in self.section_names:
            if self.object and rtype == "R_MIPS_26":
                return (sym, (word & 0x3FFFFFF) << 2)
            return None
        places = self.symbols.get(sym, [])
        return places[0] if len(places) == 1 else None

    def sites(self):
        """Each call site: (section, address, kind, names the callee may have, place)."""
        found, tails = [], 0
        for (section, address), relocs in sorted(self.relocs.items()):
            calls = [(t, s) for t, s in relocs if t in CALL_RELOCS]
            if not calls or (section, address) not in self.code:
                continue
            word, mnem, ops = self.code[(section, address)]
            rtype, sym = calls[0]
            if mnem in TAILS or mnem.startswith("b") and mnem not in CALLS:
                tails += 1
                continue
            if mnem not in CALLS:
                continue
            kind = mnem
            if mnem == "bal" and rtype == "R_MIPS_JALR":
                kind = "bal (a jalr the linker made a bal)"
            found.append(self.site(section, address, kind, word, mnem, rtype, sym))
        # jalr with no R_MIPS_JALR: the CALL16 load of its register names the callee
        for (section, address), (word, mnem, ops) in self.code.items():
            if mnem != "jalr" or any(t == "R_MIPS_JALR" for t, _ in self.relocs.get((section, address), [])):
                continue
            reg = ops.split(",")[-1]
            for _ in range(3):
                a, _n = self.writer(section, address, reg)
                if a is None:
                    break
                loads = [s for t, s in self.relocs.get((section, a), []) if t in LOADS]
                if loads:
                    found.append(self.site(section, address, "jalr (CALL16 load, no R_MIPS_JALR)",
                                           word, mnem, "R_MIPS_CALL16", loads[0]))
                    break
                _, m2, ops2 = self.code[(section, a)]
                regs = re.findall(r"\$\d+", ops2)[1:]
                if m2 != "move" or not regs:
                    break
                address, reg = a, regs[0]
        return found, tails

    def site(self, section, address, kind, word, mnem, rtype, sym):
        names = set()
        if sym not in self.section_names:
            names.add(sym.split("@")[0])
        place = self.targets(section, address, mnem, word, rtype, sym)
        if place:
            names |= self.at.get(place, set())
        return section, address, kind, {norm(n) for n in names}, place


class Listing:
    """pelorin's listing: the trailing comment of each line, the label addresses."""

    line = re.compile(r"^\t([0-9a-f]{8}):\s+[0-9a-f]{8}\t(\S+)\t?(.*)$")

    def __init__(self, text):
        self.comment = {}       # address -> the words after its last '#'
        self.mnemonic = {}
        self.labels = collections.defaultdict(set)      # name -> addresses
        pending = []
        for raw in text.splitlines():
            m = self.line.match(raw)
            if m:
                a = int(m.group(1), 16)
                rest = m.group(3)
                self.comment[a] = rest.rsplit("#", 1)[1].split() if "#" in rest else []
                self.mnemonic[a] = m.group(2)
                for name in pending:
                    self.labels[name].add(a)
                pending = []
            elif m := re.match(r"^(?:\}\{)?(\S+):$", raw.rstrip()):
                pending.append(norm(m.group(1)))
            elif raw.strip() and not raw.lstrip().startswith("#"):
                pending = []


def pelorin_listing(pelorin, flags, path):
    r = subprocess.run([pelorin, *flags, path], capture_output=True, text=True, errors="replace")
    ok = r.returncode == 0 and any(Listing.line.match(l) for l in r.stdout.splitlines()[:50])
    return (r.stdout if ok else None), r


def main():
    pelorin, files = sys.argv[1], sys.argv[2:]
    flags = shlex.split(os.environ.get("PELORIN_FLAGS", "-E -X -c"))
    global LOOK_BACK
    if "-B" in flags[:-1]:      # -B counts the jalr too
        LOOK_BACK = int(flags[flags.index("-B") + 1]) - 1
    text, r = pelorin_listing(pelorin, flags, files[0])
    if text is None and "-X" in flags:
        first = (r.stderr or r.stdout).strip().splitlines()[:1]
        print(f"pelorin refuses {' '.join(flags)} ({first[0] if first else f'exit {r.returncode}'}):"
              " the listings are made without -X")
        flags.remove("-X")
    print(f"pelorin {' '.join(flags)} FILE\n")
    misses, examples = collections.Counter(), {}
    head = f"{'variant':<28} {'sites':>6} {'right':>6} {'other':>6} {'missed':>6} {'share':>6} {'tails':>6}"
    print(head)
    total = collections.Counter()
    for path in files:
        elf = Elf(path)
        text, r = pelorin_listing(pelorin, flags, path)
        if text is None:
            print(f"{os.path.basename(path):<28} pelorin failed: {(r.stderr or r.stdout).strip()[:60]}")
            continue
        listing = Listing(text)
        base = {}
        if elf.object:
            for section in elf.order:
                votes = collections.Counter()
                for (s, value), names in elf.at.items():
                    if s == section:
                        for n in names:
                            for a in listing.labels.get(norm(n), ()):
                                votes[a - value] += 1
                if votes:
                    base[section] = votes.most_common(1)[0][0]
        sites, tails = elf.sites()
        c = collections.Counter(sites=len(sites), tails=tails)
        for section, address, kind, names, place in sites:
            if elf.object and section not in base:
                status, shown, at = "missed", None, address
            else:
                at = address + base.get(section, 0)
                shown = listing.comment.get(at)
                if place and not names and (not elf.object or place[0] in base):
                    names = names | {f"fun_{place[1] + base.get(place[0], 0):08x}"}
                if shown is None:
                    status = "missed"
                elif names & {norm(n) for n in shown}:
                    status = "right"
                elif shown:
                    status = "other"
                else:
                    status = "missed"
            c[status] += 1
            if status != "right":
                how = kind
                if "jalr" in kind and "bal" not in kind:
                    reg = elf.code[(section, address)][2].split(",")[-1]
                    chain, distance = elf.setting(section, address, reg)
                    far = "" if distance is None else (
                        f"  [{'within' if distance <= LOOK_BACK else 'beyond'} {LOOK_BACK} words]")
                    how = f"{kind}: {chain}{far}"
                    if distance:   # what pelorin made of the words from the chain's start on
                        between = [listing.mnemonic.get(at - 4 * k, "?") for k in range(distance, 0, -1)]
                        how_seen = "; pelorin's words before it: " + " ".join(between)
                    else:
                        how_seen = ""
                else:
                    how_seen = ""
                key = (status, how)
                misses[key] += 1
                examples.setdefault(key, f"{os.path.basename(path)} {section}+{address:#x} at {at:08x}"
                                    f" -> {' '.join(sorted(names)) or '?'}"
                                    f"{'; shown: ' + ' '.join(shown) if shown else ''}{how_seen}")
        total += c
        print(line(os.path.basename(path), c))
    print(line("total", total))
    if misses:
        print("\nnot found right, by kind (for jalr: how its register was set; one example each):")
        for (status, how), n in sorted(misses.items(), key=lambda kv: (-kv[1], kv[0])):
            print(f"{n:6} {status:<6} {how}\n{'':14}e.g. {examples[(status, how)]}")


def line(name, c):
    share = f"{100 * c['right'] / c['sites']:5.1f}%" if c["sites"] else "    -"
    return (f"{name:<28} {c['sites']:>6} {c['right']:>6} {c['other']:>6} {c['missed']:>6}"
            f" {share:>6} {c['tails']:>6}")


if __name__ == "__main__":
    main()
