# An object whose symbol names hold markup. Made with
#   llvm-mc -triple=mips -mcpu=mips32r2 -filetype=obj names.asm -o names.o
#   perl -pi -e 's/x&\\"y\\"/x&_"y_"/g' names.o
# (llvm-mc keeps the backslashes of a quoted name; the patch turns them into
# '_' so that the name holds double quotes of its own.)
.set noreorder
.text
.globl "operator<"
.type "operator<",@function
"operator<":
    jal "x&\"y\""
    nop
    jr $ra
    nop
.size "operator<", 16
.globl "x&\"y\""
.type "x&\"y\"",@function
"x&\"y\"":
    lui $a0, %hi("<tbl>")
    jr $ra
    addiu $a0, $a0, %lo("<tbl>")
    nop
.size "x&\"y\"", 16
.data
.globl "<tbl>"
"<tbl>":
    .word 1, 2
.size "<tbl>", 8
