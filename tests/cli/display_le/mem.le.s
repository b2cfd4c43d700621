# A little-endian image: the pointer at 80000040 is read in the input's byte order.
        .set noreorder
        .text
        .word 0x3c018000        # 80000000 lui $1,0x8000
        .word 0x8c280040        # 80000004 lw $8,0x40($1)
        .word 0x24020001        # 80000008 addiu $2,$0,1
        .org 0x40
        .word 0x80000050
        .org 0x50
        .asciz "little end"
        .org 0x90
