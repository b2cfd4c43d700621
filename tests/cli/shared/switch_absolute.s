# A switch of 3 cases in a raw dump at 0x80000000, as gcc -O2 -fno-pic
# writes it: the table of absolute addresses right after the function.
        .set noreorder
        .text
dispatch:
        sltiu   $2, $4, 3
        beqz    $2, 0x3c
        sll     $4, $4, 2
        lui     $3, 0x8000
        addiu   $3, $3, 0x44
        addu    $4, $3, $4
        lw      $2, 0($4)
        jr      $2
        nop
        jr      $31
        addiu   $2, $0, 10
        jr      $31
        addiu   $2, $0, 11
        jr      $31
        addiu   $2, $0, 12
        jr      $31
        or      $2, $0, $0
        .word   0x80000024, 0x8000002c, 0x80000034
