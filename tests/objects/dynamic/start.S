/* The entry of the tiny static program: $gp from the address of label 1
   (as .cpload does with $t9 in a function), then main's status to exit. */
	.text
	.globl	__start
	.ent	__start
	.set	noreorder
__start:
	bal	1f
	nop
1:	.cpload	$ra
	lw	$t9, %call16(main)($gp)
	jalr	$t9
	nop
	lw	$t9, %call16(tiny_exit)($gp)
	jalr	$t9
	move	$a0, $v0
	.end	__start
