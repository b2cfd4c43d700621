.set noreorder
# 160 equal data words, then a short function. With -n 50 no function ends
# in time, so the page is cut by length: at the word 608 bytes in, the next
# page starting two words later, in the middle of the folded run.
    .fill 160, 4, 0x41424344
code:                           # 00001280
    jr $ra
    nop
