.set noreorder
# Listed at 0x80002000 with -n 4: the long function is cut into pages of
# about 152 words, so a page starts inside it. Every address a page links to
# has an anchor, also where no label line stands: jump targets, page starts,
# and a target inside a run of folded data words. Jumps are written as words
# so that their targets are absolute.
start:                          # 80002000
    .word 0x0c000806            # jal 0x80002018 (inner, no label)
    nop
    .word 0x080008b4            # j 0x800022d0 (inside the folded run of table)
    nop
    jr $ra
    nop
inner:                          # 80002018: the long function
    .word 0x0c000840            # jal 0x80002100 (no label)
    .fill 169, 4, 0x24420001    # addiu $v0,$v0,1
    jr $ra                      # 800022c0
    nop
table:                          # 800022c8: @table, folded words
    .fill 6, 4, 0x11111111
    .word 0x22222222
tail:                           # 800022e4
    jr $ra
    nop
