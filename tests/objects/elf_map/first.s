# The first file of the program that the -m cases read as a map: a global
# function, a static helper, a name with a '.', a local label kept in the
# symbol table, data in .data and .bss, and an absolute symbol.
        .set    noreorder
        .text
        .globl  main
        .type   main,@function
main:
        addiu   $sp,$sp,-24
        sw      $ra,20($sp)
        jal     helper
        nop
        jal     other
        nop
$L_again:                       # a compiler's label: never a name
        lw      $ra,20($sp)
        jr      $ra
        addiu   $sp,$sp,24
        .size   main,.-main

        .type   helper,@function  # static: other.s has one of its own
helper:
        lui     $v0,%hi(counter)
        lw      $v0,%lo(counter)($v0)
        jr      $ra
        nop
        .size   helper,.-helper

        .globl  main.cold
        .type   main.cold,@function
main.cold:
        lw      $v0,%gp_rel(buffer)($gp)
        jr      $ra
        nop
        .size   main.cold,.-main.cold

        .data
        .globl  counter
        .type   counter,@object
counter:
        .word   7
        .size   counter,4

        .bss
        .type   buffer,@object
buffer:
        .space  16
        .size   buffer,16

        .globl  io_base
        io_base = 0xbfc00000
