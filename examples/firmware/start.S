# Reset entry: set up $gp and the stack, clear .bss, call main.
    .set noreorder
    .section .text.start, "ax"
    .globl _start
    .ent _start
_start:
    lui     $gp, %hi(_gp)
    addiu   $gp, $gp, %lo(_gp)
    lui     $sp, %hi(_stack_top)
    addiu   $sp, $sp, %lo(_stack_top)
    lui     $t0, %hi(_bss_start)
    addiu   $t0, $t0, %lo(_bss_start)
    lui     $t1, %hi(_bss_end)
    addiu   $t1, $t1, %lo(_bss_end)
1:  sltu    $t2, $t0, $t1
    beqz    $t2, 2f
    nop
    sw      $zero, 0($t0)
    b       1b
    addiu   $t0, $t0, 4
2:  jal     main
    nop
3:  b       3b
    nop
    .end _start

# The general exception vector calls the C handler with cause, epc, badvaddr.
    .globl exception_entry
    .ent exception_entry
exception_entry:
    addiu   $sp, $sp, -32
    sw      $ra, 28($sp)
    mfc0    $a0, $13
    mfc0    $a1, $14
    mfc0    $a2, $8
    jal     exception_handler
    nop
    lw      $ra, 28($sp)
    addiu   $sp, $sp, 32
    eret
    .end exception_entry

# context_switch(old_sp, new_sp): save callee-saved registers on the old
# stack (unless old_sp is null), switch stacks, restore and return.
    .globl context_switch
    .ent context_switch
context_switch:
    beqz    $a0, 1f
    addiu   $sp, $sp, -64
    sw      $s0, 0($sp)
    sw      $s1, 4($sp)
    sw      $s2, 8($sp)
    sw      $s3, 12($sp)
    sw      $s4, 16($sp)
    sw      $s5, 20($sp)
    sw      $s6, 24($sp)
    sw      $s7, 28($sp)
    sw      $fp, 32($sp)
    sw      $ra, 60($sp)
    sw      $sp, 0($a0)
1:  move    $sp, $a1
    lw      $s0, 0($sp)
    lw      $s1, 4($sp)
    lw      $s2, 8($sp)
    lw      $s3, 12($sp)
    lw      $s4, 16($sp)
    lw      $s5, 20($sp)
    lw      $s6, 24($sp)
    lw      $s7, 28($sp)
    lw      $fp, 32($sp)
    lw      $ra, 60($sp)
    jr      $ra
    addiu   $sp, $sp, 64
    .end context_switch
