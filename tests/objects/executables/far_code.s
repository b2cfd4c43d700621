# The code of exec_far.elf at 0x80000000: main prints a string of .rodata
# (its address made by lui/addiu) through print, called with jal, and counts
# its runs in a word of .data.
        .set    noreorder
        .text
        .globl  main
        .type   main,@function
main:
        addiu   $sp,$sp,-24
        sw      $ra,20($sp)
        lui     $a0,%hi(greeting)
        jal     print
        addiu   $a0,$a0,%lo(greeting)
        lui     $v0,%hi(runs)
        lw      $v1,%lo(runs)($v0)
        addiu   $v1,$v1,1
        sw      $v1,%lo(runs)($v0)
        lw      $ra,20($sp)
        jr      $ra
        addiu   $sp,$sp,24
        .size   main,.-main

        .globl  print
        .type   print,@function
print:                          # the bytes of the string at $a0 to the UART
        lui     $t0,0xbf00
1:      lbu     $v0,0($a0)
        beqz    $v0,2f
        addiu   $a0,$a0,1
        b       1b
        sb      $v0,0($t0)
2:      jr      $ra
        nop
        .size   print,.-print

        .section .rodata,"a",@progbits
        .type   greeting,@object
greeting:
        .asciz  "hello\n"
        .size   greeting,7

        .data
        .globl  runs
        .type   runs,@object
runs:
        .word   0
        .size   runs,4
