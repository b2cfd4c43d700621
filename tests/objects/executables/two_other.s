# The second file of exec_two.elf: fill stores through its own static helper
# into a buffer of .bss.
        .set    noreorder
        .text
        .globl  fill
        .type   fill,@function
fill:
        addiu   $sp,$sp,-24
        sw      $ra,20($sp)
        jal     helper
        nop
        lw      $ra,20($sp)
        jr      $ra
        addiu   $sp,$sp,24
        .size   fill,.-fill

        .type   helper,@function
helper:
        lui     $t0,%hi(buffer)
        addiu   $t0,$t0,%lo(buffer)
        sw      $a0,0($t0)
        jr      $ra
        sw      $a0,4($t0)
        .size   helper,.-helper

        .data
        .type   table,@object
table:
        .word   fill, helper
        .size   table,8

        .bss
        .globl  buffer
        .type   buffer,@object
buffer:
        .space  64
        .size   buffer,64
