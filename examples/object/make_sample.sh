#!/usr/bin/env bash
# Compiles sample.c into the bundled sample object sample.o (big-endian MIPS).
#   apt-get install -y gcc-mips-linux-gnu
# -mno-relax-pic-calls keeps the calls free of R_MIPS_JALR relocations, which
# pelorin does not handle; -O2 keeps the code in .text (main would go to
# .text.startup, which is not listed, so the sample has no main).
set -euo pipefail
cd "$(dirname "$0")"
mips-linux-gnu-gcc -O2 -mno-relax-pic-calls -c sample.c -o sample.o
