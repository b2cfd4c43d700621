# Reset entry: enable the FPU (Status.CU1) and, with the FR bit clear, the
# 32-bit register model; set the stack; call main; then wait for interrupts.
    .set noreorder
    .section .text.start, "ax"
    .globl _start
    .ent _start
_start:
    mfc0    $t0, $12
    lui     $t1, 0x2400             # CU1 | FR
    or      $t0, $t0, $t1
    lui     $t1, 0x0400
    xor     $t0, $t0, $t1           # FR off again
    mtc0    $t0, $12
    ehb
    ctc1    $zero, $31
    lui     $sp, %hi(_stack_top)
    jal     main
    addiu   $sp, $sp, %lo(_stack_top)
1:  jal     cpu_idle
    nop
    b       1b
    nop
    .end _start

# The general exception vector: count the exception and return.
    .globl exception_entry
    .ent exception_entry
exception_entry:
    mfc0    $k0, $13
    mfc0    $k1, $14
    ext     $k0, $k0, 2, 5          # Cause.ExcCode
    addiu   $k1, $k1, 4
    mtc0    $k1, $14
    ehb
    eret
    .end exception_entry
