# Code and data of the display cases: a raw image listed at 0x80000000.
        .set noreorder
        .text
# lui, then an instruction that uses its register
        .word 0x3c018000        # 80000000 lui $1,0x8000
        .word 0x8c280400        # 80000004 lw $8,0x400($1): "Hello, world"
        .word 0x3c018000        # 80000008 lui $1,0x8000
        .word 0x24210440        # 8000000c addiu $1,$1,0x440: 46 characters and "..."
        .word 0x3c018000        # 80000010 lui $1,0x8000
        .word 0x34210480        # 80000014 ori $1,$1,0x480: 49 characters and NUL
        .word 0x3c018000        # 80000018 lui $1,0x8000
        .word 0x00220821        # 8000001c addu $1,$1,$2: $1 written
        .word 0x8c2804c0        # 80000020 lw $8,0x4c0($1): no display
        .word 0x3c018000        # 80000024 lui $1,0x8000
        .word 0x08000100        # 80000028 j 0x80000400
        .word 0x00000000        # 8000002c nop
        .word 0x8c2804c0        # 80000030 lw $8,0x4c0($1): unsafe; "A" and NUL is a pointer
        .word 0x3c018000        # 80000034 lui $1,0x8000
        .word 0x00000000        # 80000038 nop
        .word 0x0c000100        # 8000003c jal 0x80000400
        .word 0x8c2804d0        # 80000040 lw $8,0x4d0($1) in the delay slot: safe
        .word 0x3c018000        # 80000044 lui $1,0x8000
        .word 0x04400001        # 80000048 bltz $2,+1: ends the look-back
        .word 0x8c2804e0        # 8000004c lw $8,0x4e0($1): no display
        .word 0x3c018000        # 80000050 lui $1,0x8000
        .word 0x00430018        # 80000054 mult $2,$3: ends the look-back
        .word 0x8c2804e0        # 80000058 lw $8,0x4e0($1): no display
        .word 0x3c018000        # 8000005c lui $1,0x8000
        .word 0x10430001        # 80000060 beq $2,$3,+1: does not end it
        .word 0x8c2804e0        # 80000064 lw $8,0x4e0($1): addiu $sp,$sp,... stops
        .word 0x3c018000        # 80000068 lui $1,0x8000
        .word 0x8c2804f0        # 8000006c lw $8,0x4f0($1): lui $gp,... stops
        .word 0x3c018000        # 80000070 lui $1,0x8000
        .word 0x8c280500        # 80000074 lw $8,0x500($1): lui $v0,... stops
        .word 0x3c018000        # 80000078 lui $1,0x8000
        .word 0x8c280510        # 8000007c lw $8,0x510($1): a word pointing at itself
        .word 0x3c018000        # 80000080 lui $1,0x8000
        .word 0x8c280520        # 80000084 lw $8,0x520($1): depth 5
        .word 0x3c018000        # 80000088 lui $1,0x8000
        .word 0x8c2805a0        # 8000008c lw $8,0x5a0($1): tab, CR, LF as blanks
        .word 0x3c018000        # 80000090 lui $1,0x8000
        .word 0x8c2807ce        # 80000094 lw $8,0x7ce($1): the last 50 bytes
        .word 0x3c018000        # 80000098 lui $1,0x8000
        .word 0x8c2807cf        # 8000009c lw $8,0x7cf($1): 49 bytes left
        .word 0x3c018000        # 800000a0 lui $1,0x8000
        .word 0x8c28ffce        # 800000a4 lw $8,-50($1): below the offset
        .word 0x24020001        # 800000a8 addiu $2,$0,1
        .word 0x24030002        # 800000ac addiu $3,$0,2
        .word 0x24040003        # 800000b0 addiu $4,$0,3

# $gp and $s7 (map comments at 80000100 and 80000110)
        .org 0x100
        .word 0x8f84fd00        # 80000100 lw $4,-0x300($gp): $gp not known yet
        .word 0x8f84fcd0        # 80000104 lw $4,-0x330($gp): 800004d0
        .word 0x00000000        # 80000108 nop
        .word 0x24840007        # 8000010c addiu $4,$4,7: 80000407
        .word 0x00000000        # 80000110 nop
        .word 0x8ee400d0        # 80000114 lw $4,0xd0($s7): 800004d0
        .word 0x8f99fd20        # 80000118 lw $t9,-0x2e0($gp): function pointer
        .word 0x00000000        # 8000011c nop
# the $s7 set-up: bltzal $0,+1 / nop / lui $s7,0 / addiu $s7,$s7,0x2d8 / addu $s7,$s7,$ra
        .word 0x04100001        # 80000120
        .word 0x00000000        # 80000124
        .word 0x3c170000        # 80000128
        .word 0x26f702d8        # 8000012c
        .word 0x02ffb821        # 80000130: 80000128 + 0x2d8 = 80000400
        .word 0x24020001        # 80000134 addiu $2,$0,1

# a lui 50 words before its use
        .org 0x200
        .word 0x3c018000        # 80000200 lui $1,0x8000
        .fill 49, 4, 0          # 80000204 .. 800002c4 nop
        .word 0x8c280400        # 800002c8 lw $8,0x400($1): found with -B 51 only
        .word 0x8c280400        # 800002cc lw $8,0x400($1): 51 words back
        .word 0x24020001        # 800002d0 addiu $2,$0,1

        .org 0x400
        .asciz "Hello, world"
        .org 0x440
        .ascii "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
        .org 0x480
        .asciz "0123456789012345678901234567890123456789abcdefghi"
        .org 0x4c0
        .byte 0x41, 0, 0, 0
        .org 0x4d0
        .word 0x80000400
        .org 0x4e0
        .word 0x27bdffe0
        .org 0x4f0
        .word 0x3c1c0001
        .org 0x500
        .word 0x3c020001
        .org 0x510
        .word 0x80000510
        .org 0x520
        .word 0x80000530
        .org 0x530
        .word 0x80000540
        .org 0x540
        .word 0x80000550
        .org 0x550
        .word 0x80000560
        .org 0x560
        .word 0x80000570
        .org 0x570
        .word 0x80000580
        .org 0x580
        .word 0x80000590
        .org 0x590
        .asciz "deep"
        .org 0x5a0
        .asciz "tab\tcr\rlf\n."
        .org 0x7ce
        .asciz "end"
        .org 0x800
