.set noreorder
# Release 2 and FPU words, little-endian, listed with -R2 -LE -c -g.
start:
    ext     $2, $3, 3, 5
    ins     $2, $3, 3, 1
    rotr    $2, $3, 7
    rotrv   $2, $3, $4
    seb     $5, $6
    wsbh    $5, $6
    clz     $2, $3
    add.d   $f2, $f4, $f6
    c.eq.s  $f2, $f4
    c.lt.d  $fcc3, $f2, $f4
    bc1t    $fcc2, start
    nop
    lwxc1   $f1, $2($3)
    madd.s  $f0, $f2, $f4, $f6
    mfc1    $2, $f4
    cfc1    $2, $31
    lwc1    $f6, 12($4)
    mfc0    $2, $16, 1
    mtc0    $2, $15, 1
    di      $0
    eret
    jr.hb   $ra
    nop
