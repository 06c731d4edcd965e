// Unsigned multi-precision arithmetic on fixed-capacity arrays of 32-bit digits, least
// significant digit first. No length or sign is stored with a number: every routine receives
// the digit count of each operand, and leading zero digits are allowed.
//
// The routines keep no state, never allocate, never throw and wipe every temporary buffer
// before they return. Outputs come first in each argument list.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pelvane {

using MpDigit = std::uint32_t;

// Capacity of a single-length operand; double-length values (products, dividends) have up to
// twice as many digits.
inline constexpr std::size_t MpMaxDigits = 257;

// a := x over n digits.
void MpAssign(MpDigit* a, const MpDigit* x, std::size_t n);
// a := 0 over n digits.
void MpAssignZero(MpDigit* a, std::size_t n);
// a := 2^k over n digits; a stays 0 when k >= 32 n.
void MpAssignPow2(MpDigit* a, std::size_t k, std::size_t n);

// a := x + y over n digits; returns the carry out (0 or 1). a may be x or y.
MpDigit MpAdd(MpDigit* a, const MpDigit* x, const MpDigit* y, std::size_t n);
// a := x - y over n digits (modulo 2^(32 n)); returns the borrow out (0 or 1). a may be x or y.
MpDigit MpSub(MpDigit* a, const MpDigit* x, const MpDigit* y, std::size_t n);
// a (2 n digits) := x * y, x and y of n digits. a may be x or y.
void MpMul(MpDigit* a, const MpDigit* x, const MpDigit* y, std::size_t n);

// a := x * 2^s over n digits for s from 0 to 31; returns the bits shifted out at the top as
// the low bits of a digit. s >= 32: returns 0 and writes nothing.
MpDigit MpShiftLeft(MpDigit* a, const MpDigit* x, unsigned s, std::size_t n);
// a := x / 2^s over n digits for s from 0 to 31; returns the bits shifted out at the bottom
// as the high bits of a digit. s >= 32: returns 0 and writes nothing.
MpDigit MpShiftRight(MpDigit* a, const MpDigit* x, unsigned s, std::size_t n);

// q (un digits) := u / v and r (vn digits) := u mod v. A zero v writes nothing.
void MpDivMod(MpDigit* q, MpDigit* r, const MpDigit* u, std::size_t un, const MpDigit* v,
              std::size_t vn);
// a (vn digits) := u mod v. A zero v writes nothing.
void MpMod(MpDigit* a, const MpDigit* u, std::size_t un, const MpDigit* v, std::size_t vn);
// a := x * y mod m, all of n digits. a may be x or y. A zero m writes nothing.
void MpModMul(MpDigit* a, const MpDigit* x, const MpDigit* y, const MpDigit* m, std::size_t n);
// a (mn digits) := x^e mod m; x and m have mn digits, e has en digits. x may be at or above m.
// A zero exponent gives 1 mod m; a zero m writes nothing.
void MpModPow(MpDigit* a, const MpDigit* x, const MpDigit* e, std::size_t en, const MpDigit* m,
              std::size_t mn);
// a := the inverse of x modulo m (0 <= a < m), for x and m without common factor.
void MpModInverse(MpDigit* a, const MpDigit* x, const MpDigit* m, std::size_t n);
// a := greatest common divisor of x and y.
void MpGcd(MpDigit* a, const MpDigit* x, const MpDigit* y, std::size_t n);

// +1 when x > y, 0 when equal, -1 when x < y, over n digits.
int MpCompare(const MpDigit* x, const MpDigit* y, std::size_t n);
// True when all n digits are zero.
bool MpIsZero(const MpDigit* a, std::size_t n);
// Number of significant bits; 0 for zero.
std::size_t MpBitCount(const MpDigit* a, std::size_t n);
// Index of the highest non-zero digit plus one; 0 for zero.
std::size_t MpDigitCount(const MpDigit* a, std::size_t n);

// a := x + w * y over n digits; returns the carry digit. a may be x or y.
MpDigit MpAddDigitMul(MpDigit* a, const MpDigit* x, MpDigit w, const MpDigit* y, std::size_t n);
// a := x - w * y over n digits; returns the borrow digit. a may be x or y.
MpDigit MpSubDigitMul(MpDigit* a, const MpDigit* x, MpDigit w, const MpDigit* y, std::size_t n);

// Number of significant bits of one digit, 0 to 32.
unsigned DigitBitCount(MpDigit w);
// a[0] (low digit), a[1] (high digit) := w * z.
void DigitMul(MpDigit a[2], MpDigit w, MpDigit z);
// (b[1] * 2^32 + b[0]) / v as one digit; requires b[1] < v. Outside that contract the result
// is 2^32 - 1 (no trap, also for v = 0).
MpDigit DigitDiv(const MpDigit b[2], MpDigit v);

// Fills count bytes at p with value; the optimiser cannot drop the writes.
void WipeBytes(void* p, unsigned char value, std::size_t count);

}  // namespace pelvane
