.set noreorder
# Listed at 0x80001000 with -n 4: a page ends at the first jr $ra that has
# more than 4 words of its page before it. Jumps are written as words so
# that their targets are absolute.
start:                          # 80001000, page 1
    addiu $sp,$sp,-8
    .word 0x0c000410            # jal 0x80001040 (last_fn, page 2)
    nop
    jr $ra                      # 3 words in: the page goes on
    nop
    addiu $v0,$zero,1           # 80001014: brace line, no label
    .word 0x0c0003fc            # jal 0x80000ff0 (before the range: no link)
    nop                         # 8000101c: no label, no brace
    jr $ra                      # 8 words in: the page ends after the delay slot
    nop
    .word 0x08000405            # 80001028, page 2: j 0x80001014 (brace anchor)
    nop
    .word 0x0c000407            # jal 0x8000101c (no anchor of its own)
    nop
    jr $ra                      # 4 words in: the page goes on
    nop
last_fn:                        # 80001040
    .word 0x0c000415            # jal 0x80001054 (end of the range: no link)
    .word 0x0c00040a            # jal 0x80001028 (page 2 start)
    .word 0x08000414            # j 0x80001050 (last word of the range)
    jr $ra                      # 9 words in: a page start at the end of the range
    nop
