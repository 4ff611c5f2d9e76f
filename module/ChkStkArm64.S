// __chkstk for AArch64 Windows, which the compiler calls before it lowers sp
// by more than a page (the decoder's frame is about 40 KB). x15 holds the
// frame size in 16-byte units; every 4 KB page below sp is touched in order,
// so that the stack's guard page is met first and the system grows the stack
// one page at a time. Only x16 and x17 are used, as the convention allows.
    .text
    .globl __chkstk
    .p2align 2
__chkstk:
    lsl x16, x15, #4
    mov x17, sp
1:
    sub x17, x17, #4096
    subs x16, x16, #4096
    ldr xzr, [x17]
    b.gt 1b
    ret
