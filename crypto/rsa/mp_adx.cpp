// The mulx/adcx/adox routines declared in mp_adx.h, written as whole functions in assembly
// (System V calling convention) so that every general register is ours: the 8-limb product
// and reduction keep their whole running window in registers.
#include "crypto/rsa/mp_adx.h"

#if PELVANE_MP_ADX
#include <cpuid.h>
#endif

namespace pelvane {

#if PELVANE_MP_ADX

bool AdxAvailable() {
  static const bool available = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    return (ebx & bit_BMI2) != 0 && (ebx & bit_ADX) != 0;
  }();
  return available;
}

// clang-format off

// Function frame: the six callee-saved registers are free for use.
#define PV_FUNC(name)                                                                  \
  ".globl " #name "\n\t"                                                               \
  ".hidden " #name "\n\t"                                                              \
  ".type " #name ", @function\n\t"                                                     \
  ".p2align 5\n"                                                                       \
  #name ":\n\t"                                                                        \
  "endbr64\n\t" /* landing pad for tracked indirect branches; a no-op elsewhere */   \
  "push %rbx\n\t" "push %rbp\n\t" "push %r12\n\t" "push %r13\n\t" "push %r14\n\t"      \
  "push %r15\n\t"
#define PV_END(name)                                                                   \
  "pop %r15\n\t" "pop %r14\n\t" "pop %r13\n\t" "pop %r12\n\t" "pop %rbp\n\t"           \
  "pop %rbx\n\t"                                                                       \
  "ret\n\t"                                                                            \
  ".size " #name ", .-" #name "\n\t"

// One column step: rdx times the limb at OFF(SRC) gives lo (rax) and hi (rbx); lo joins W
// on the carry chain (CF), hi joins WNEXT on the overflow chain (OF).
#define PV_STEP(SRC, OFF, W, WNEXT)                                                    \
  "mulx " #OFF "(" SRC "), %rax, %rbx\n\t"                                             \
  "adcx %rax, " W "\n\t"                                                               \
  "adox %rbx, " WNEXT "\n\t"

// ---- pelvane_adx_mul8(t = rdi, a = rsi, b = rdx) ----
// Row i adds a * b[i] into a window of nine registers holding limbs i .. i + 8; limb i is then
// final and stored, and its register becomes the next row's top limb.
#define PV_MUL8_ROW(BOFF, W0, W1, W2, W3, W4, W5, W6, W7, Z)                           \
  "mov " #BOFF "(%rcx), %rdx\n\t"                                                      \
  "xor " Z ", " Z "\n\t"                                                               \
  PV_STEP("%rsi", 0, W0, W1) PV_STEP("%rsi", 8, W1, W2) PV_STEP("%rsi", 16, W2, W3)    \
  PV_STEP("%rsi", 24, W3, W4) PV_STEP("%rsi", 32, W4, W5) PV_STEP("%rsi", 40, W5, W6)  \
  PV_STEP("%rsi", 48, W6, W7) PV_STEP("%rsi", 56, W7, Z)                               \
  "adc $0, " Z "\n\t"                                                                  \
  "mov " W0 ", " #BOFF "(%rdi)\n\t"

// After eight rows the window holds limbs 8 .. 15 in rbp, r8 .. r14: t[8 .. 16) := window +
// t[8 .. 16); the carry out is returned in rax.
#define PV_ADD_TOP_HALF                                                                \
  "add 64(%rdi), %rbp\n\t"  "mov %rbp, 64(%rdi)\n\t"                                   \
  "adc 72(%rdi), %r8\n\t"   "mov %r8, 72(%rdi)\n\t"                                    \
  "adc 80(%rdi), %r9\n\t"   "mov %r9, 80(%rdi)\n\t"                                    \
  "adc 88(%rdi), %r10\n\t"  "mov %r10, 88(%rdi)\n\t"                                   \
  "adc 96(%rdi), %r11\n\t"  "mov %r11, 96(%rdi)\n\t"                                   \
  "adc 104(%rdi), %r12\n\t" "mov %r12, 104(%rdi)\n\t"                                  \
  "adc 112(%rdi), %r13\n\t" "mov %r13, 112(%rdi)\n\t"                                  \
  "adc 120(%rdi), %r14\n\t" "mov %r14, 120(%rdi)\n\t"                                  \
  "mov $0, %eax\n\t"                                                                    \
  "adc $0, %eax\n\t"

// The product proper: rdi = t, rsi = a, rcx = b. Row 0 starts the window as a * b[0] on one
// carry chain.
#define PV_MUL8_BODY \
  "mov (%rcx), %rdx\n\t"                                                               \
  "xor %eax, %eax\n\t"                                                                 \
  "mulx 0(%rsi), %r8, %r9\n\t"                                                         \
  "mulx 8(%rsi), %rax, %r10\n\t"  "adcx %rax, %r9\n\t"                                 \
  "mulx 16(%rsi), %rax, %r11\n\t" "adcx %rax, %r10\n\t"                                \
  "mulx 24(%rsi), %rax, %r12\n\t" "adcx %rax, %r11\n\t"                                \
  "mulx 32(%rsi), %rax, %r13\n\t" "adcx %rax, %r12\n\t"                                \
  "mulx 40(%rsi), %rax, %r14\n\t" "adcx %rax, %r13\n\t"                                \
  "mulx 48(%rsi), %rax, %r15\n\t" "adcx %rax, %r14\n\t"                                \
  "mulx 56(%rsi), %rax, %rbp\n\t" "adcx %rax, %r15\n\t"                                \
  "adc $0, %rbp\n\t"                                                                   \
  "mov %r8, 0(%rdi)\n\t"                                                               \
  PV_MUL8_ROW(8,  "%r9",  "%r10", "%r11", "%r12", "%r13", "%r14", "%r15", "%rbp", "%r8")\
  PV_MUL8_ROW(16, "%r10", "%r11", "%r12", "%r13", "%r14", "%r15", "%rbp", "%r8",  "%r9")\
  PV_MUL8_ROW(24, "%r11", "%r12", "%r13", "%r14", "%r15", "%rbp", "%r8",  "%r9",  "%r10")\
  PV_MUL8_ROW(32, "%r12", "%r13", "%r14", "%r15", "%rbp", "%r8",  "%r9",  "%r10", "%r11")\
  PV_MUL8_ROW(40, "%r13", "%r14", "%r15", "%rbp", "%r8",  "%r9",  "%r10", "%r11", "%r12")\
  PV_MUL8_ROW(48, "%r14", "%r15", "%rbp", "%r8",  "%r9",  "%r10", "%r11", "%r12", "%r13")\
  PV_MUL8_ROW(56, "%r15", "%rbp", "%r8",  "%r9",  "%r10", "%r11", "%r12", "%r13", "%r14")\
  "mov %rbp, 64(%rdi)\n\t"                                                             \
  "mov %r8, 72(%rdi)\n\t"                                                              \
  "mov %r9, 80(%rdi)\n\t"                                                              \
  "mov %r10, 88(%rdi)\n\t"                                                             \
  "mov %r11, 96(%rdi)\n\t"                                                             \
  "mov %r12, 104(%rdi)\n\t"                                                            \
  "mov %r13, 112(%rdi)\n\t"                                                            \
  "mov %r14, 120(%rdi)\n\t"

__asm__(
  ".text\n\t"
  PV_FUNC(pelvane_adx_mul8)
  "mov %rdx, %rcx\n\t"
  PV_MUL8_BODY
  PV_END(pelvane_adx_mul8));

// ---- pelvane_adx_addmul8(t = rdi, a = rsi, b = rdx) -> carry ----
// As pelvane_adx_mul8, with the window starting as t[0 .. 8); t[8 .. 16) is added at the end.
// The window never overflows: before each row it is below 2^512, and a * b[i] below
// 2^576 - 2^512.
__asm__(
  ".text\n\t"
  PV_FUNC(pelvane_adx_addmul8)
  "mov %rdx, %rcx\n\t"
  "mov 0(%rdi), %r8\n\t"
  "mov 8(%rdi), %r9\n\t"
  "mov 16(%rdi), %r10\n\t"
  "mov 24(%rdi), %r11\n\t"
  "mov 32(%rdi), %r12\n\t"
  "mov 40(%rdi), %r13\n\t"
  "mov 48(%rdi), %r14\n\t"
  "mov 56(%rdi), %r15\n\t"
  PV_MUL8_ROW(0,  "%r8",  "%r9",  "%r10", "%r11", "%r12", "%r13", "%r14", "%r15", "%rbp")
  PV_MUL8_ROW(8,  "%r9",  "%r10", "%r11", "%r12", "%r13", "%r14", "%r15", "%rbp", "%r8")
  PV_MUL8_ROW(16, "%r10", "%r11", "%r12", "%r13", "%r14", "%r15", "%rbp", "%r8",  "%r9")
  PV_MUL8_ROW(24, "%r11", "%r12", "%r13", "%r14", "%r15", "%rbp", "%r8",  "%r9",  "%r10")
  PV_MUL8_ROW(32, "%r12", "%r13", "%r14", "%r15", "%rbp", "%r8",  "%r9",  "%r10", "%r11")
  PV_MUL8_ROW(40, "%r13", "%r14", "%r15", "%rbp", "%r8",  "%r9",  "%r10", "%r11", "%r12")
  PV_MUL8_ROW(48, "%r14", "%r15", "%rbp", "%r8",  "%r9",  "%r10", "%r11", "%r12", "%r13")
  PV_MUL8_ROW(56, "%r15", "%rbp", "%r8",  "%r9",  "%r10", "%r11", "%r12", "%r13", "%r14")
  PV_ADD_TOP_HALF
  PV_END(pelvane_adx_addmul8));

// ---- pelvane_adx_redc8_part(t = rdi, m = rsi, minv = rdx, q = rcx) -> carry ----
// Eight reduction rows with the first eight limbs of m: row i takes q[i] = (limb i) minv,
// stores it, and adds q[i] * m[0 .. 8) at limb i, which clears that limb. The window works as
// in pelvane_adx_addmul8; minv sits on the stack, as every register is taken.
#define PV_REDC8_PART_ROW(QOFF, W0, W1, W2, W3, W4, W5, W6, W7, Z)                     \
  "mov " W0 ", %rdx\n\t"                                                               \
  "imul (%rsp), %rdx\n\t"                                                              \
  "mov %rdx, " #QOFF "(%rcx)\n\t"                                                      \
  "xor " Z ", " Z "\n\t"                                                               \
  PV_STEP("%rsi", 0, W0, W1) PV_STEP("%rsi", 8, W1, W2) PV_STEP("%rsi", 16, W2, W3)    \
  PV_STEP("%rsi", 24, W3, W4) PV_STEP("%rsi", 32, W4, W5) PV_STEP("%rsi", 40, W5, W6)  \
  PV_STEP("%rsi", 48, W6, W7) PV_STEP("%rsi", 56, W7, Z)                               \
  "adc $0, " Z "\n\t"

__asm__(
  ".text\n\t"
  PV_FUNC(pelvane_adx_redc8_part)
  "push %rdx\n\t"
  "mov 0(%rdi), %r8\n\t"
  "mov 8(%rdi), %r9\n\t"
  "mov 16(%rdi), %r10\n\t"
  "mov 24(%rdi), %r11\n\t"
  "mov 32(%rdi), %r12\n\t"
  "mov 40(%rdi), %r13\n\t"
  "mov 48(%rdi), %r14\n\t"
  "mov 56(%rdi), %r15\n\t"
  PV_REDC8_PART_ROW(0,  "%r8",  "%r9",  "%r10", "%r11", "%r12", "%r13", "%r14", "%r15", "%rbp")
  PV_REDC8_PART_ROW(8,  "%r9",  "%r10", "%r11", "%r12", "%r13", "%r14", "%r15", "%rbp", "%r8")
  PV_REDC8_PART_ROW(16, "%r10", "%r11", "%r12", "%r13", "%r14", "%r15", "%rbp", "%r8",  "%r9")
  PV_REDC8_PART_ROW(24, "%r11", "%r12", "%r13", "%r14", "%r15", "%rbp", "%r8",  "%r9",  "%r10")
  PV_REDC8_PART_ROW(32, "%r12", "%r13", "%r14", "%r15", "%rbp", "%r8",  "%r9",  "%r10", "%r11")
  PV_REDC8_PART_ROW(40, "%r13", "%r14", "%r15", "%rbp", "%r8",  "%r9",  "%r10", "%r11", "%r12")
  PV_REDC8_PART_ROW(48, "%r14", "%r15", "%rbp", "%r8",  "%r9",  "%r10", "%r11", "%r12", "%r13")
  PV_REDC8_PART_ROW(56, "%r15", "%rbp", "%r8",  "%r9",  "%r10", "%r11", "%r12", "%r13", "%r14")
  PV_ADD_TOP_HALF
  "add $8, %rsp\n\t"
  PV_END(pelvane_adx_redc8_part));

// ---- pelvane_adx_sqr8_cross(t = rdi, a = rsi) ----
// Row i adds a[i] * a[i+1 .. 8) at limb 2 i + 1. Limbs 2 i + 1 and 2 i + 2 are final after
// row i and are stored; the live limbs stay in r8 .. r15, limb p in the register of p - 1
// modulo 8 (at most eight are live at once, in row 0).
#define PV_SQR8_CROSS_BODY \
  "movq $0, 0(%rdi)\n\t"                                                               \
  "movq $0, 120(%rdi)\n\t"                                                             \
  "mov 0(%rsi), %rdx\n\t"                                                              \
  "xor %eax, %eax\n\t"                                                                 \
  "mulx 8(%rsi), %r8, %r9\n\t"                                                         \
  "mulx 16(%rsi), %rax, %r10\n\t" "adcx %rax, %r9\n\t"                                 \
  "mulx 24(%rsi), %rax, %r11\n\t" "adcx %rax, %r10\n\t"                                \
  "mulx 32(%rsi), %rax, %r12\n\t" "adcx %rax, %r11\n\t"                                \
  "mulx 40(%rsi), %rax, %r13\n\t" "adcx %rax, %r12\n\t"                                \
  "mulx 48(%rsi), %rax, %r14\n\t" "adcx %rax, %r13\n\t"                                \
  "mulx 56(%rsi), %rax, %r15\n\t" "adcx %rax, %r14\n\t"                                \
  "adc $0, %r15\n\t"                                                                   \
  "mov %r8, 8(%rdi)\n\t" "mov %r9, 16(%rdi)\n\t"                                       \
  "mov 8(%rsi), %rdx\n\t"                                                              \
  "xor %r8, %r8\n\t"                                                                   \
  PV_STEP("%rsi", 16, "%r10", "%r11") PV_STEP("%rsi", 24, "%r11", "%r12")              \
  PV_STEP("%rsi", 32, "%r12", "%r13") PV_STEP("%rsi", 40, "%r13", "%r14")              \
  PV_STEP("%rsi", 48, "%r14", "%r15") PV_STEP("%rsi", 56, "%r15", "%r8")               \
  "adc $0, %r8\n\t"                                                                    \
  "mov %r10, 24(%rdi)\n\t" "mov %r11, 32(%rdi)\n\t"                                    \
  "mov 16(%rsi), %rdx\n\t"                                                             \
  "xor %r9, %r9\n\t"                                                                   \
  PV_STEP("%rsi", 24, "%r12", "%r13") PV_STEP("%rsi", 32, "%r13", "%r14")              \
  PV_STEP("%rsi", 40, "%r14", "%r15") PV_STEP("%rsi", 48, "%r15", "%r8")               \
  PV_STEP("%rsi", 56, "%r8", "%r9")                                                    \
  "adc $0, %r9\n\t"                                                                    \
  "mov %r12, 40(%rdi)\n\t" "mov %r13, 48(%rdi)\n\t"                                    \
  "mov 24(%rsi), %rdx\n\t"                                                             \
  "xor %r10, %r10\n\t"                                                                 \
  PV_STEP("%rsi", 32, "%r14", "%r15") PV_STEP("%rsi", 40, "%r15", "%r8")               \
  PV_STEP("%rsi", 48, "%r8", "%r9") PV_STEP("%rsi", 56, "%r9", "%r10")                 \
  "adc $0, %r10\n\t"                                                                   \
  "mov %r14, 56(%rdi)\n\t" "mov %r15, 64(%rdi)\n\t"                                    \
  "mov 32(%rsi), %rdx\n\t"                                                             \
  "xor %r11, %r11\n\t"                                                                 \
  PV_STEP("%rsi", 40, "%r8", "%r9") PV_STEP("%rsi", 48, "%r9", "%r10")                 \
  PV_STEP("%rsi", 56, "%r10", "%r11")                                                  \
  "adc $0, %r11\n\t"                                                                   \
  "mov %r8, 72(%rdi)\n\t" "mov %r9, 80(%rdi)\n\t"                                      \
  "mov 40(%rsi), %rdx\n\t"                                                             \
  "xor %r12, %r12\n\t"                                                                 \
  PV_STEP("%rsi", 48, "%r10", "%r11") PV_STEP("%rsi", 56, "%r11", "%r12")              \
  "adc $0, %r12\n\t"                                                                   \
  "mov %r10, 88(%rdi)\n\t" "mov %r11, 96(%rdi)\n\t"                                    \
  "mov 48(%rsi), %rdx\n\t"                                                             \
  "xor %r13, %r13\n\t"                                                                 \
  PV_STEP("%rsi", 56, "%r12", "%r13")                                                  \
  "adc $0, %r13\n\t"                                                                   \
  "mov %r12, 104(%rdi)\n\t" "mov %r13, 112(%rdi)\n\t"

__asm__(
  ".text\n\t"
  PV_FUNC(pelvane_adx_sqr8_cross)
  PV_SQR8_CROSS_BODY
  PV_END(pelvane_adx_sqr8_cross));

// ---- pelvane_adx_double_add_squares(t = rdi, a = rsi, n = rdx) ----
// adcx of a limb with itself is the one-bit left shift on the carry chain; the squares join on
// the overflow chain. Only caller-saved registers are used.
__asm__(
  ".text\n\t"
  ".globl pelvane_adx_double_add_squares\n\t"
  ".hidden pelvane_adx_double_add_squares\n\t"
  ".type pelvane_adx_double_add_squares, @function\n\t"
  ".p2align 5\n"
  "pelvane_adx_double_add_squares:\n\t"
  "endbr64\n\t"
  "mov %rdx, %rcx\n\t"
  "xor %eax, %eax\n\t"
  "1:\n\t"
  "jrcxz 2f\n\t"
  "mov (%rsi), %rdx\n\t"
  "mulx %rdx, %r8, %r9\n\t"
  "mov (%rdi), %r10\n\t"
  "adcx %r10, %r10\n\t"
  "adox %r8, %r10\n\t"
  "mov %r10, (%rdi)\n\t"
  "mov 8(%rdi), %r11\n\t"
  "adcx %r11, %r11\n\t"
  "adox %r9, %r11\n\t"
  "mov %r11, 8(%rdi)\n\t"
  "lea 8(%rsi), %rsi\n\t"
  "lea 16(%rdi), %rdi\n\t"
  "lea -1(%rcx), %rcx\n\t"
  "jmp 1b\n\t"
  "2:\n\t"
  "ret\n\t"
  ".size pelvane_adx_double_add_squares, .-pelvane_adx_double_add_squares\n\t");

// ---- The 8-limb Montgomery reduction: r := t 2^-512 mod m ----
// The window W0 .. W7 holds limbs i .. i + 7 of t. A row adds q m at limb i with q making that
// limb zero; the row's carry out of limb i + 7 is kept in t[i] (free by then) instead of being
// propagated, and t[i + 8] joins the window in the register W0 leaves free. At the end the kept
// carries are added to the window in one pass.
//
// The multipliers are found two at a time: (q1:q0) = (W1:W0) minv2 mod 2^128, so the second
// row need not wait for the first row's result before its multiplier is known.
#define PV_REDC8_Q2(W0, W1)                                                            \
  "mov " W0 ", %rdx\n\t"                                                               \
  "mulx (%rcx), %rax, %rbx\n\t"                                                        \
  "imul 8(%rcx), %rdx\n\t"                                                             \
  "add %rdx, %rbx\n\t"                                                                 \
  "mov " W1 ", %rdx\n\t"                                                               \
  "imul (%rcx), %rdx\n\t"                                                              \
  "add %rdx, %rbx\n\t"                                                                 \
  "mov %rbx, -8(%rsp)\n\t" /* q1, in the red zone */                                   \
  "mov %rax, %rdx\n\t"
// One row with its multiplier in rdx.
#define PV_REDC8_ROW(TOFF, NEXTOFF, W0, W1, W2, W3, W4, W5, W6, W7)                    \
  "xor %eax, %eax\n\t"                                                                 \
  PV_STEP("%rbp", 0, W0, W1) PV_STEP("%rbp", 8, W1, W2) PV_STEP("%rbp", 16, W2, W3)    \
  PV_STEP("%rbp", 24, W3, W4) PV_STEP("%rbp", 32, W4, W5) PV_STEP("%rbp", 40, W5, W6)  \
  PV_STEP("%rbp", 48, W6, W7)                                                          \
  "mulx 56(%rbp), %rax, %rbx\n\t"                                                      \
  "adcx %rax, " W7 "\n\t"                                                              \
  "adox " W0 ", %rbx\n\t" /* W0 is zero now */                                         \
  "adcx " W0 ", %rbx\n\t"                                                              \
  "mov %rbx, " #TOFF "(%rsi)\n\t"                                                      \
  "mov " #NEXTOFF "(%rsi), " W0 "\n\t"
#define PV_REDC8_PAIR(TOFF, TOFF1, NEXTOFF, NEXTOFF1, W0, W1, W2, W3, W4, W5, W6, W7)  \
  PV_REDC8_Q2(W0, W1)                                                                  \
  PV_REDC8_ROW(TOFF, NEXTOFF, W0, W1, W2, W3, W4, W5, W6, W7)                          \
  "mov -8(%rsp), %rdx\n\t"                                                             \
  PV_REDC8_ROW(TOFF1, NEXTOFF1, W1, W2, W3, W4, W5, W6, W7, W0)

// Final step of r: r[j] := S_j when the value (carry:window) is at or above m, else window.
#define PV_PICK(OFF, W)                                                                \
  "mov " #OFF "(%rdi), %rax\n\t"                                                       \
  "cmovc " W ", %rax\n\t"                                                              \
  "mov %rax, " #OFF "(%rdi)\n\t"

// The reduction proper: r8 .. r15 hold t[0 .. 8); rsi = t, rbp = m, rcx = minv2, rdi = r.
#define PV_REDC8_BODY \
  PV_REDC8_PAIR(0,  8,  64,  72,  "%r8",  "%r9",  "%r10", "%r11", "%r12", "%r13", "%r14", "%r15")\
  PV_REDC8_PAIR(16, 24, 80,  88,  "%r10", "%r11", "%r12", "%r13", "%r14", "%r15", "%r8",  "%r9")\
  PV_REDC8_PAIR(32, 40, 96,  104, "%r12", "%r13", "%r14", "%r15", "%r8",  "%r9",  "%r10", "%r11")\
  PV_REDC8_PAIR(48, 56, 112, 120, "%r14", "%r15", "%r8",  "%r9",  "%r10", "%r11", "%r12", "%r13")\
  /* Window (limbs 8 .. 15 in r8 .. r15) plus the kept carries; rbx := -(carry out). */\
  "add 0(%rsi), %r8\n\t"                                                               \
  "adc 8(%rsi), %r9\n\t"                                                               \
  "adc 16(%rsi), %r10\n\t"                                                             \
  "adc 24(%rsi), %r11\n\t"                                                             \
  "adc 32(%rsi), %r12\n\t"                                                             \
  "adc 40(%rsi), %r13\n\t"                                                             \
  "adc 48(%rsi), %r14\n\t"                                                             \
  "adc 56(%rsi), %r15\n\t"                                                             \
  "sbb %rbx, %rbx\n\t"                                                                 \
  /* r := window - m, then keep the window instead when the carry is 0 and the         \
     subtraction borrowed (the value was below m): rbx - borrow borrows exactly then. */ \
  "mov %r8, %rax\n\t"  "sub 0(%rbp), %rax\n\t"  "mov %rax, 0(%rdi)\n\t"                \
  "mov %r9, %rax\n\t"  "sbb 8(%rbp), %rax\n\t"  "mov %rax, 8(%rdi)\n\t"                \
  "mov %r10, %rax\n\t" "sbb 16(%rbp), %rax\n\t" "mov %rax, 16(%rdi)\n\t"               \
  "mov %r11, %rax\n\t" "sbb 24(%rbp), %rax\n\t" "mov %rax, 24(%rdi)\n\t"               \
  "mov %r12, %rax\n\t" "sbb 32(%rbp), %rax\n\t" "mov %rax, 32(%rdi)\n\t"               \
  "mov %r13, %rax\n\t" "sbb 40(%rbp), %rax\n\t" "mov %rax, 40(%rdi)\n\t"               \
  "mov %r14, %rax\n\t" "sbb 48(%rbp), %rax\n\t" "mov %rax, 48(%rdi)\n\t"               \
  "mov %r15, %rax\n\t" "sbb 56(%rbp), %rax\n\t" "mov %rax, 56(%rdi)\n\t"               \
  "sbb $0, %rbx\n\t"                                                                   \
  PV_PICK(0, "%r8") PV_PICK(8, "%r9") PV_PICK(16, "%r10") PV_PICK(24, "%r11")          \
  PV_PICK(32, "%r12") PV_PICK(40, "%r13") PV_PICK(48, "%r14") PV_PICK(56, "%r15")      \
  "movq $0, -8(%rsp)\n\t" /* no multiplier left behind on the stack */

// ---- pelvane_adx_mont_sqr8(r = rdi, t = rsi, a = rdx, m = rcx, minv2 = r8) ----
// The triangle of pelvane_adx_sqr8_cross, then the doubling with the squares added (limbs
// 0 .. 7 straight into the registers the reduction starts from, 8 .. 15 back to t), then the
// 8-limb reduction, in one function.
__asm__(
  ".text\n\t"
  PV_FUNC(pelvane_adx_mont_sqr8)
  "push %rdi\n\t"
  "push %rcx\n\t"
  "push %r8\n\t"
  "mov %rsi, %rdi\n\t"
  "mov %rdx, %rsi\n\t"
  PV_SQR8_CROSS_BODY
  "xor %eax, %eax\n\t"
  "mov 0(%rsi), %rdx\n\t" "mulx %rdx, %rax, %rbx\n\t"
  "mov 0(%rdi), %r8\n\t" "adcx %r8, %r8\n\t" "adox %rax, %r8\n\t"
  "mov 8(%rdi), %r9\n\t" "adcx %r9, %r9\n\t" "adox %rbx, %r9\n\t"
  "mov 8(%rsi), %rdx\n\t" "mulx %rdx, %rax, %rbx\n\t"
  "mov 16(%rdi), %r10\n\t" "adcx %r10, %r10\n\t" "adox %rax, %r10\n\t"
  "mov 24(%rdi), %r11\n\t" "adcx %r11, %r11\n\t" "adox %rbx, %r11\n\t"
  "mov 16(%rsi), %rdx\n\t" "mulx %rdx, %rax, %rbx\n\t"
  "mov 32(%rdi), %r12\n\t" "adcx %r12, %r12\n\t" "adox %rax, %r12\n\t"
  "mov 40(%rdi), %r13\n\t" "adcx %r13, %r13\n\t" "adox %rbx, %r13\n\t"
  "mov 24(%rsi), %rdx\n\t" "mulx %rdx, %rax, %rbx\n\t"
  "mov 48(%rdi), %r14\n\t" "adcx %r14, %r14\n\t" "adox %rax, %r14\n\t"
  "mov 56(%rdi), %r15\n\t" "adcx %r15, %r15\n\t" "adox %rbx, %r15\n\t"
  "mov 32(%rsi), %rdx\n\t" "mulx %rdx, %rax, %rbx\n\t"
  "mov 64(%rdi), %rcx\n\t" "adcx %rcx, %rcx\n\t" "adox %rax, %rcx\n\t" "mov %rcx, 64(%rdi)\n\t"
  "mov 72(%rdi), %rcx\n\t" "adcx %rcx, %rcx\n\t" "adox %rbx, %rcx\n\t" "mov %rcx, 72(%rdi)\n\t"
  "mov 40(%rsi), %rdx\n\t" "mulx %rdx, %rax, %rbx\n\t"
  "mov 80(%rdi), %rcx\n\t" "adcx %rcx, %rcx\n\t" "adox %rax, %rcx\n\t" "mov %rcx, 80(%rdi)\n\t"
  "mov 88(%rdi), %rcx\n\t" "adcx %rcx, %rcx\n\t" "adox %rbx, %rcx\n\t" "mov %rcx, 88(%rdi)\n\t"
  "mov 48(%rsi), %rdx\n\t" "mulx %rdx, %rax, %rbx\n\t"
  "mov 96(%rdi), %rcx\n\t" "adcx %rcx, %rcx\n\t" "adox %rax, %rcx\n\t" "mov %rcx, 96(%rdi)\n\t"
  "mov 104(%rdi), %rcx\n\t" "adcx %rcx, %rcx\n\t" "adox %rbx, %rcx\n\t" "mov %rcx, 104(%rdi)\n\t"
  "mov 56(%rsi), %rdx\n\t" "mulx %rdx, %rax, %rbx\n\t"
  "mov 112(%rdi), %rcx\n\t" "adcx %rcx, %rcx\n\t" "adox %rax, %rcx\n\t" "mov %rcx, 112(%rdi)\n\t"
  "mov 120(%rdi), %rcx\n\t" "adcx %rcx, %rcx\n\t" "adox %rbx, %rcx\n\t" "mov %rcx, 120(%rdi)\n\t"
  "mov %rdi, %rsi\n\t"
  "pop %rcx\n\t"
  "pop %rbp\n\t"
  "pop %rdi\n\t"
  PV_REDC8_BODY
  PV_END(pelvane_adx_mont_sqr8));

// ---- pelvane_adx_mont_mul8(r = rdi, t = rsi, a = rdx, b = rcx, m = r8, minv2 = r9) ----
// pelvane_adx_mul8 and the 8-limb reduction in one function.
__asm__(
  ".text\n\t"
  PV_FUNC(pelvane_adx_mont_mul8)
  "push %rdi\n\t"
  "push %r8\n\t"
  "push %r9\n\t"
  "mov %rsi, %rdi\n\t"
  "mov %rdx, %rsi\n\t"
  PV_MUL8_BODY
  "mov %rdi, %rsi\n\t"
  "pop %rcx\n\t"
  "pop %rbp\n\t"
  "pop %rdi\n\t"
  "mov 0(%rsi), %r8\n\t"
  "mov 8(%rsi), %r9\n\t"
  "mov 16(%rsi), %r10\n\t"
  "mov 24(%rsi), %r11\n\t"
  "mov 32(%rsi), %r12\n\t"
  "mov 40(%rsi), %r13\n\t"
  "mov 48(%rsi), %r14\n\t"
  "mov 56(%rsi), %r15\n\t"
  PV_REDC8_BODY
  PV_END(pelvane_adx_mont_mul8));

// ---- pelvane_adx_sub_select(r = rdi, v = rsi, m = rdx, n = rcx, top = r8) ----
// r := v - m, then v copied back over it when top:v is below m. dec leaves the carry flag alone,
// so it can count the loops of the borrow chain; the selection is by cmov, without branches on
// the value.
__asm__(
  ".text\n\t"
  ".globl pelvane_adx_sub_select\n\t"
  ".hidden pelvane_adx_sub_select\n\t"
  ".type pelvane_adx_sub_select, @function\n\t"
  ".p2align 5\n"
  "pelvane_adx_sub_select:\n\t"
  "endbr64\n\t"
  "xor %r9d, %r9d\n\t"
  "mov %rcx, %r10\n\t"
  "1:\n\t"
  "mov (%rsi,%r9,8), %rax\n\t"
  "sbb (%rdx,%r9,8), %rax\n\t"
  "mov %rax, (%rdi,%r9,8)\n\t"
  "lea 1(%r9), %r9\n\t"
  "dec %r10\n\t"
  "jnz 1b\n\t"
  "sbb $0, %r8\n\t"  // borrows exactly when top is 0 and v - m borrowed
  "mov $0, %r9d\n\t"
  "mov %rcx, %r10\n\t"
  "2:\n\t"
  "mov (%rdi,%r9,8), %rax\n\t"
  "cmovc (%rsi,%r9,8), %rax\n\t"
  "mov %rax, (%rdi,%r9,8)\n\t"
  "lea 1(%r9), %r9\n\t"
  "dec %r10\n\t"
  "jnz 2b\n\t"
  "ret\n\t"
  ".size pelvane_adx_sub_select, .-pelvane_adx_sub_select\n\t");

// ---- One addmul row of any length ----
// Entry: rdx the multiplier, r13 the source limbs, r14 the accumulator limbs, r15 the length.
// The accumulator's r15 limbs gain rdx * source; on exit r14 points just past them and r9
// holds the carry limb. Lengths are split into r15 mod 4 single steps and then groups of
// four; the loop counters live in rcx and are tested with jrcxz, which leaves both carry
// flags alone. Uses rax, rbx, rcx, r9, r10.
#define PV_ADDMUL_ROW                                                                  \
  "mov %r15, %rcx\n\t"                                                                 \
  "and $3, %rcx\n\t"                                                                   \
  "mov %r15, %rbx\n\t"                                                                 \
  "shr $2, %rbx\n\t"                                                                   \
  "xor %r9d, %r9d\n\t"                                                                 \
  "10:\n\t"                                                                            \
  "jrcxz 11f\n\t"                                                                      \
  "mulx (%r13), %rax, %r10\n\t"                                                        \
  "adcx (%r14), %rax\n\t"                                                              \
  "adox %r9, %rax\n\t"                                                                 \
  "mov %rax, (%r14)\n\t"                                                               \
  "mov %r10, %r9\n\t"                                                                  \
  "lea 8(%r13), %r13\n\t"                                                              \
  "lea 8(%r14), %r14\n\t"                                                              \
  "lea -1(%rcx), %rcx\n\t"                                                             \
  "jmp 10b\n\t"                                                                        \
  "11:\n\t"                                                                            \
  "mov %rbx, %rcx\n\t"                                                                 \
  "12:\n\t"                                                                            \
  "jrcxz 13f\n\t"                                                                      \
  "mulx 0(%r13), %rax, %r10\n\t"                                                       \
  "adcx 0(%r14), %rax\n\t"                                                             \
  "adox %r9, %rax\n\t"                                                                 \
  "mov %rax, 0(%r14)\n\t"                                                              \
  "mulx 8(%r13), %rax, %r9\n\t"                                                        \
  "adcx 8(%r14), %rax\n\t"                                                             \
  "adox %r10, %rax\n\t"                                                                \
  "mov %rax, 8(%r14)\n\t"                                                              \
  "mulx 16(%r13), %rax, %r10\n\t"                                                      \
  "adcx 16(%r14), %rax\n\t"                                                            \
  "adox %r9, %rax\n\t"                                                                 \
  "mov %rax, 16(%r14)\n\t"                                                             \
  "mulx 24(%r13), %rax, %r9\n\t"                                                       \
  "adcx 24(%r14), %rax\n\t"                                                            \
  "adox %r10, %rax\n\t"                                                                \
  "mov %rax, 24(%r14)\n\t"                                                             \
  "lea 32(%r13), %r13\n\t"                                                             \
  "lea 32(%r14), %r14\n\t"                                                             \
  "lea -1(%rcx), %rcx\n\t"                                                             \
  "jmp 12b\n\t"                                                                        \
  "13:\n\t"                                                                            \
  "mov $0, %eax\n\t"                                                                   \
  "adcx %rax, %r9\n\t"                                                                 \
  "adox %rax, %r9\n\t"

__asm__(
  ".text\n\t"
  // pelvane_adx_mul_rows(t = rdi, a = rsi, b = rdx, n = rcx): row i adds a * b[i] at limb i
  // and stores its carry as limb i + n, which no earlier row has written.
  PV_FUNC(pelvane_adx_mul_rows)
  "mov %rdx, %r8\n\t"
  "mov %rcx, %r11\n\t"
  "mov %rcx, %r12\n\t"
  "1:\n\t"
  "mov (%r8), %rdx\n\t"
  "mov %rsi, %r13\n\t"
  "mov %rdi, %r14\n\t"
  "mov %r11, %r15\n\t"
  PV_ADDMUL_ROW
  "mov %r9, (%r14)\n\t"
  "add $8, %rdi\n\t"
  "add $8, %r8\n\t"
  "dec %r12\n\t"
  "jnz 1b\n\t"
  PV_END(pelvane_adx_mul_rows)

  // pelvane_adx_redc_rows(t = rdi, m = rsi, n = rdx, minv = rcx)
  PV_FUNC(pelvane_adx_redc_rows)
  "mov %rdx, %r11\n\t"
  "mov %rcx, %r8\n\t"
  "mov %rdx, %r12\n\t"
  "4:\n\t"
  "mov (%rdi), %rdx\n\t"
  "imul %r8, %rdx\n\t"
  "mov %rsi, %r13\n\t"
  "mov %rdi, %r14\n\t"
  "mov %r11, %r15\n\t"
  PV_ADDMUL_ROW
  "mov %r9, (%rdi)\n\t"
  "add $8, %rdi\n\t"
  "dec %r12\n\t"
  "jnz 4b\n\t"
  PV_END(pelvane_adx_redc_rows));

// clang-format on

#else

bool AdxAvailable() {
  return false;
}

#endif

}  // namespace pelvane
