/* A kernel whose rarely taken path stands at its end and jumps back into
   the main path, as a compiler lays out an unlikely branch: no loop, which
   the straight-line check must accept. Written in assembly so that the
   layout is this one whatever the compiler. */
__asm__(
    ".text\n"
    ".p2align 4\n"
    ".globl bipedkin_kernel\n"
    ".hidden bipedkin_kernel\n"
    ".type bipedkin_kernel, @function\n"
    "bipedkin_kernel:\n"
    "  movsd (%rsi), %xmm0\n"
    "  ucomisd %xmm0, %xmm0\n"
    "  jp 1f\n"
    "2:\n"
    "  movsd %xmm0, (%rdi)\n"
    "  ret\n"
    "1:\n"
    "  xorpd %xmm0, %xmm0\n"
    "  jmp 2b\n"
    ".size bipedkin_kernel, .-bipedkin_kernel\n");

void bipedkin_kernel(double* out, const double* x);

void planted_entry(double* out, const double* x) { bipedkin_kernel(out, x); }
