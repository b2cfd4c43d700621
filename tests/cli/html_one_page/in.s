.set noreorder
# main calls helper on the same page and jumps to an address past the range
main:
    addiu $sp,$sp,-8
    jal helper
    sw $ra,4($sp)
    lw $ra,4($sp)
    jr $ra
    addiu $sp,$sp,8
helper:
    beq $a0,$zero,done
    nop
    j 0x80000100
    nop
done:
    jr $ra
    nop
