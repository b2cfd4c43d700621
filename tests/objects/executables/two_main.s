# The first file of exec_two.elf: the entry point start sets $gp and calls a
# static helper, a global function of the other file and get_count, which
# reads a word of .data through $gp.
        .set    noreorder
        .text
        .globl  start
        .type   start,@function
start:
        lui     $gp,%hi(_gp)
        addiu   $gp,$gp,%lo(_gp)
        jal     helper
        nop
        jal     fill
        move    $a0,$v0
        jal     get_count
        nop
1:      b       1b
        nop
        .size   start,.-start

        .type   helper,@function  # static: two_other.s has one of its own
helper:
        jr      $ra
        li      $v0,3
        .size   helper,.-helper

        .globl  get_count
        .type   get_count,@function
get_count:
        lw      $v0,%gp_rel(count)($gp)
        jr      $ra
        nop
        .size   get_count,.-get_count

        .data
        .globl  count
        .type   count,@object
count:
        .word   5
        .size   count,4
