# The same switch as position-independent code writes it: the table's page
# from a GOT slot (the word at 0x80000054, $gp - 0x7ff0) completed by an
# addiu, .gpword entries, each added to $gp.
        .set noreorder
        .text
dispatch:
        sltiu   $2, $4, 3
        beqz    $2, 0x40
        sll     $4, $4, 2
        lw      $3, -32752($28)
        addiu   $3, $3, 0x48
        addu    $4, $3, $4
        lw      $2, 0($4)
        addu    $2, $2, $28
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
        .word   0xffff7fe4, 0xffff7fec, 0xffff7ff4
        .word   0x80000000
