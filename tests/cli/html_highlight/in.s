.set noreorder
.set noat
# One word of each highlight class: jumps and branches blue, loads green,
# stores red; regimm branches, cache, pref, coprocessor and doubleword
# accesses, other instructions, nop, constants and data stay plain.
    .word 0x08000010            # j 0x40
    .word 0x0c000010            # jal 0x40
    jr $ra
    jalr $t9
    beq $a0,$a1,.+16
    bne $a0,$a1,.+16
    blez $a0,.+16
    bgtz $a0,.+16
    beql $a0,$a1,.+16
    bnel $a0,$a1,.+16
    blezl $a0,.+16
    bgtzl $a0,.+16
    bltz $a0,.+16
    lb $t0,1($a0)
    lh $t0,2($a0)
    lwl $t0,3($a0)
    lw $t0,4($a0)
    lbu $t0,5($a0)
    lhu $t0,6($a0)
    lwr $t0,7($a0)
    .word 0x9c880008            # lwu $t0,8($a0)
    ll $t0,9($a0)
    sb $t0,1($a0)
    sh $t0,2($a0)
    swl $t0,3($a0)
    sw $t0,4($a0)
    .word 0xb0880005            # sdl $t0,5($a0)
    .word 0xb4880006            # sdr $t0,6($a0)
    swr $t0,7($a0)
    sc $t0,8($a0)
    cache 1,0($a0)
    pref 0,0($a0)
    lwc1 $f0,0($a0)
    .word 0xdc880000            # ld $t0,0($a0)
    addiu $t0,$t0,1
    nop
    .word 0x7c000000            # no table entry: a constant
data:                           # 0x94
    .word 0x8fbf0004            # shown as data, not as lw
    .word 0x03e00008
