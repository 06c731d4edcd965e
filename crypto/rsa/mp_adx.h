// Montgomery building blocks for x86-64 processors with BMI2 (mulx) and ADX (adcx, adox):
// two independent carry chains let each 64 x 64-bit product join the accumulator without
// waiting for the previous addition. Only call them when AdxAvailable() is true.
//
// All numbers are little-endian arrays of 64-bit limbs. The routines keep no state and touch
// only the arrays they are given.
#pragma once

#include <cstddef>
#include <cstdint>

// The routines exist on x86-64 ELF targets (System V calling convention, GNU assembler syntax).
#if defined(__x86_64__) && defined(__ELF__)
#define PELVANE_MP_ADX 1
#else
#define PELVANE_MP_ADX 0
#endif

namespace pelvane {

// True when the processor executes mulx, adcx and adox (checked once, by cpuid).
bool AdxAvailable();

#if PELVANE_MP_ADX
extern "C" {
// t (16 limbs) := a * b for 8-limb a and b. t must not overlap a or b.
void pelvane_adx_mul8(std::uint64_t* t, const std::uint64_t* a, const std::uint64_t* b);
// t (16 limbs) += a * b for 8-limb a and b; returns the carry out of t[15] (0 or 1).
std::uint64_t pelvane_adx_addmul8(std::uint64_t* t, const std::uint64_t* a, const std::uint64_t* b);
// t (16 limbs) := the sum of a[i] a[j] 2^(64 (i + j)) over i < j, for 8-limb a; t[0] and
// t[15] are 0. t must not overlap a.
void pelvane_adx_sqr8_cross(std::uint64_t* t, const std::uint64_t* a);
// t (2 n limbs) := 2 t + the sum of a[i]^2 2^(128 i), for n-limb a; the result must fit.
// With t the cross products of a, this completes a * a.
void pelvane_adx_double_add_squares(std::uint64_t* t, const std::uint64_t* a, std::size_t n);
// Eight Montgomery reduction rows with the low eight limbs of m: q (8 limbs) := the
// multipliers, t (16 limbs) += q * m[0 .. 8), which makes t[0 .. 8) zero (those limbs are not
// written back); returns the carry out of t[15]. minv = -m^-1 mod 2^64.
std::uint64_t pelvane_adx_redc8_part(std::uint64_t* t, const std::uint64_t* m, std::uint64_t minv,
                                     std::uint64_t* q);
// r (8 limbs) := a^2 * 2^-512 mod m for a below m (a square and its Montgomery reduction in
// one); minv2 (2 limbs) = -m^-1 mod 2^128. t (16 limbs) is scratch; r may be a but must not
// overlap t or m.
void pelvane_adx_mont_sqr8(std::uint64_t* r, std::uint64_t* t, const std::uint64_t* a,
                           const std::uint64_t* m, const std::uint64_t* minv2);
// r (n limbs, n > 0) := top:v - m when that is not negative, else v; for top:v below 2 m this
// is top:v mod m. top is 0 or 1; r must not overlap v or m.
void pelvane_adx_sub_select(std::uint64_t* r, const std::uint64_t* v, const std::uint64_t* m,
                            std::size_t n, std::uint64_t top);
// r (8 limbs) := a b 2^-512 mod m for a and b below m, as pelvane_adx_mont_sqr8. r may be a
// or b but must not overlap t or m.
void pelvane_adx_mont_mul8(std::uint64_t* r, std::uint64_t* t, const std::uint64_t* a,
                           const std::uint64_t* b, const std::uint64_t* m,
                           const std::uint64_t* minv2);
// t (2 n limbs) := a * b for n-limb a and b (n > 0). t[0 .. n) must be zero on entry; t must
// not overlap a or b.
void pelvane_adx_mul_rows(std::uint64_t* t, const std::uint64_t* a, const std::uint64_t* b,
                          std::size_t n);
// Montgomery reduction rows over t (2 n limbs): for each i below n, t gains q m 2^(64 i) with
// q making limb i zero, and t[i] then receives the row's carry, which belongs to limb i + n.
// The reduced value is t[n .. 2 n) + t[0 .. n), below 2 m when t was below m 2^(64 n).
void pelvane_adx_redc_rows(std::uint64_t* t, const std::uint64_t* m, std::size_t n,
                           std::uint64_t minv);
}
#endif

}  // namespace pelvane
