#!/usr/bin/env python3
"""Random pieces of the whole reference images that base_images.sh makes,
checked with -FB: N pieces of each size from random 4 KiB boundaries of each
image, counted by family (the firmware, the Linux programs) and size as
right, none ("no base found") or wrong (a wrong byte order or best base).
Run by hand, not in CI.

usage: [PELORIN=path] bench/base_pieces.py DIR [N [SEED]]
"""
import collections
import os
import random
import subprocess
import sys
import tempfile

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
pelorin = os.environ.get("PELORIN", os.path.join(root, "build", "pelorin"))
folder = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 6
rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
sizes = [1 << k for k in (10, 12, 13, 14, 15, 16, 17, 18, 19)]

tally = collections.defaultdict(lambda: collections.Counter())
wrong = []
piece = os.path.join(tempfile.mkdtemp(), "piece.bin")
for line in open(os.path.join(folder, "manifest.tsv")):
    name, order, base, kind = line.rstrip("\n").split("\t")
    if kind != "whole":
        continue
    image = open(os.path.join(folder, name), "rb").read()
    family = "firmware" if name.startswith("fw") else "program"
    for size in (s for s in sizes if s < len(image)):
        for _ in range(count):
            at = rng.randrange(0, len(image) - size) // 4096 * 4096
            open(piece, "wb").write(image[at:at + size])
            lines = subprocess.run([pelorin, "-FB", piece], capture_output=True,
                                   text=True).stdout.split("\n")
            found = lines[1][:8] if " score " in lines[1] and ":" not in lines[1][:14] else None
            if found is None:
                verdict = "none"
            elif found == "%08x" % (int(base, 16) + at) and lines[0].startswith(order):
                verdict = "right"
            else:
                verdict = "wrong"
                wrong.append((name, at, size))
            tally[(family, size)][verdict] += 1
os.remove(piece)

total = collections.Counter()
for (family, size), c in sorted(tally.items()):
    print(f"{family:9} {size >> 10:4} KiB  right {c['right']:5}  none {c['none']:5}  wrong {c['wrong']}")
    total.update(c)
print(f"all pieces {sum(total.values())}: right {total['right']}, none {total['none']}, "
      f"wrong {total['wrong']}")
for w in wrong:
    print("wrong:", *w)
