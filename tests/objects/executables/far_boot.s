# The boot vector of exec_far.elf at 0xbfc00000 (the entry point): sets the
# status register, the stack and $gp, and jumps to main, which lies in
# another 256 MiB region than j could reach, through a register.
        .set    noreorder
        .section .boot,"ax",@progbits
        .globl  reset
        .type   reset,@function
reset:
        mtc0    $zero,$12
        lui     $sp,0x8010
        lui     $gp,%hi(_gp)
        addiu   $gp,$gp,%lo(_gp)
        lui     $t9,%hi(main)
        addiu   $t9,$t9,%lo(main)
        jr      $t9
        nop
        .size   reset,.-reset
