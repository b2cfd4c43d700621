/* The MT ASE, written in assembly: stop the other processing elements and
 * thread contexts, read and write registers of another thread context,
 * start them again, fork a thread and yield. */
        .set    noreorder
        .set    mt
        .text
        .globl  mt_quiesce
        .type   mt_quiesce, @function
mt_quiesce:
        dvpe    $2
        dmt     $3
        ehb
        mftr    $4, $5, 1, 0, 0         /* $5 of the target thread context */
        mftr    $6, $12, 0, 0, 0        /* its CP0 Status */
        mttr    $4, $7, 1, 1, 0         /* its lo */
        mttr    $6, $12, 0, 2, 0        /* its CP0 SRSCtl */
        evpe
        emt
        fork    $8, $9, $10
        yield   $2, $4
        jr      $31
        nop
        .size   mt_quiesce, . - mt_quiesce
