# Calls of a raw dump at 0x80000000 without a map: a jal, a jalr of a
# lui/addiu pair, a bal, a tail call through jr $t9, a jalr whose register a
# call in between makes unknown, and a function that only a jal reaches after
# padding nops. Listed with -X -b: each callee gets a fun_ label.
        .set noreorder
        .text
start:
        lui     $25, 0x8000
        addiu   $25, $25, 0x60
        jalr    $25
        nop
        jal     0x80000070
        addiu   $4, $0, 7
        bal     helper
        nop
        lui     $25, 0x8000
        jal     0x80000070
        ori     $25, $25, 0x60
        jalr    $25
        nop
        lui     $25, 0x8000
        addiu   $25, $25, 0x70
        jr      $25
        nop
        nop
helper:
        jr      $31
        addiu   $2, $0, 1
        nop
        nop
        jr      $31
        addiu   $2, $0, 2
        nop
        nop
        addiu   $2, $0, 3
        jr      $31
        nop
