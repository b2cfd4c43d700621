# The second file: a static helper of the same name as the first file's, and
# a global function that calls it, a global label and a local one.
        .set    noreorder
        .text
        .globl  other
        .type   other,@function
other:
        j       helper
        nop
        .size   other,.-other

        .type   helper,@function
helper:
        jal     main.cold
        nop
        .globl  other_tail      # a label for others: no type, no size
other_tail:
        bnez    $v0,spin
        nop
spin:                           # a label of its own, without size: no name
        jr      $ra
        nop
        .size   helper,.-helper

        .data
        .type   table,@object
table:
        .word   main, other
        .size   table,8
