.set noreorder
# Text from the dump holding markup: a string that the -c display quotes and
# data words shown as characters. Both must reach the page escaped.
main:                           # 80000000
    lui $a0,0x8000
    addiu $a0,$a0,0x20          # the string below
    jr $ra
    nop
    nop
    nop
    nop
    nop
msg:                            # 80000020
    .ascii "<b>x & \"y\"</b>\0"
    .align 2
    .ascii "<a&\""              # 80000030: one data word
    .fill 12, 4, 0
