# One switch of 3 cases in an object: the table of absolute addresses in
# .rodata (R_MIPS_32 entries), its address from lui %hi and addiu %lo.
        .set noreorder
        .text
        .globl  dispatch
dispatch:
        sltiu   $2, $4, 3
        beqz    $2, 1f
        sll     $4, $4, 2
        lui     $3, %hi(table)
        addiu   $3, $3, %lo(table)
        addu    $4, $3, $4
        lw      $2, 0($4)
        jr      $2
        nop
case0:  jr      $31
        addiu   $2, $0, 10
case1:  jr      $31
        addiu   $2, $0, 11
case2:  jr      $31
        addiu   $2, $0, 12
1:      jr      $31
        or      $2, $0, $0
        .section .rodata
table:  .word   case0, case1, case2
