#include "crypto/rsa/mp.h"

#include <atomic>
#include <cstring>

#include "crypto/rsa/mp_adx.h"
#include "crypto/rsa/mp_internal.h"

namespace pelvane {

namespace {

using u64 = std::uint64_t;
__extension__ typedef unsigned __int128 u128;

constexpr std::size_t kMax = MpMaxDigits;       // single-length capacity
constexpr std::size_t kMax2 = 2 * kMax;         // double-length capacity
constexpr std::size_t kLimbs = (kMax + 1) / 2;  // 64-bit limbs of a single-length number

// Zeroes a temporary so the optimiser keeps the stores.
template <typename T>
inline void Wipe(T* p, std::size_t count) {
  WipeBytes(p, 0, count * sizeof(T));
}

// Significant digits of x: count with the leading zero digits dropped.
inline std::size_t Sig(const MpDigit* x, std::size_t n) {
  while (n > 0 && x[n - 1] == 0)
    --n;
  return n;
}

// t[0 .. kx + ky) := x * y over the significant digits kx, ky (both > 0). t must not overlap
// x or y.
void MulSig(MpDigit* t, const MpDigit* x, std::size_t kx, const MpDigit* y, std::size_t ky) {
  for (std::size_t j = 0; j < ky; ++j)
    t[j] = 0;
  for (std::size_t i = 0; i < kx; ++i) {
    const u64 xi = x[i];
    u64 carry = 0;
    MpDigit* row = t + i;
    for (std::size_t j = 0; j < ky; ++j) {
      const u64 s = xi * y[j] + row[j] + carry;
      row[j] = static_cast<MpDigit>(s);
      carry = s >> 32;
    }
    row[ky] = static_cast<MpDigit>(carry);
  }
}

// Long division over significant digits: u (ku significant digits) by v (k significant
// digits, k > 0, ku >= k). The quotient's ku - k + 1 digits go to q (when q is not null) and
// the remainder's k digits to r. uu (ku + 1 digits) and vv (k digits) are the caller's
// scratch, left holding intermediate values for the caller to wipe.
void DivSig(MpDigit* q, MpDigit* r, const MpDigit* u, std::size_t ku, const MpDigit* v,
            std::size_t k, MpDigit* uu, MpDigit* vv) {
  const unsigned s = 32 - DigitBitCount(v[k - 1]);
  // Normalise: shift both so that the divisor's top bit is set.
  if (s == 0) {
    std::memcpy(vv, v, k * sizeof(MpDigit));
    std::memcpy(uu, u, ku * sizeof(MpDigit));
    uu[ku] = 0;
  } else {
    for (std::size_t i = k - 1; i > 0; --i)
      vv[i] = (v[i] << s) | (v[i - 1] >> (32 - s));
    vv[0] = v[0] << s;
    uu[ku] = u[ku - 1] >> (32 - s);
    for (std::size_t i = ku - 1; i > 0; --i)
      uu[i] = (u[i] << s) | (u[i - 1] >> (32 - s));
    uu[0] = u[0] << s;
  }
  const u64 vtop = vv[k - 1];
  const u64 vnext = k >= 2 ? vv[k - 2] : 0;
  for (std::size_t jj = ku - k + 1; jj-- > 0;) {
    MpDigit* w = uu + jj;
    // Estimate the quotient digit from the top two digits, refine with the third; the
    // estimate is then at most one too large.
    const u64 num = (static_cast<u64>(w[k]) << 32) | w[k - 1];
    u64 qhat = num / vtop;
    u64 rhat = num % vtop;
    if (qhat > 0xFFFFFFFFu) {
      qhat = 0xFFFFFFFFu;
      rhat = num - qhat * vtop;
    }
    if (k >= 2) {
      while (rhat <= 0xFFFFFFFFu && qhat * vnext > ((rhat << 32) | w[k - 2])) {
        --qhat;
        rhat += vtop;
      }
    }
    // w -= qhat * vv
    u64 borrow = 0;
    for (std::size_t i = 0; i < k; ++i) {
      const u64 p = qhat * vv[i] + borrow;
      const MpDigit lo = static_cast<MpDigit>(p);
      borrow = (p >> 32) + (w[i] < lo ? 1 : 0);
      w[i] -= lo;
    }
    const bool negative = w[k] < borrow;
    w[k] = static_cast<MpDigit>(w[k] - borrow);
    if (negative) {
      // The estimate was one too large: add the divisor back once.
      --qhat;
      u64 carry = 0;
      for (std::size_t i = 0; i < k; ++i) {
        const u64 s2 = static_cast<u64>(w[i]) + vv[i] + carry;
        w[i] = static_cast<MpDigit>(s2);
        carry = s2 >> 32;
      }
      w[k] = static_cast<MpDigit>(w[k] + carry);
    }
    if (q != nullptr) q[jj] = static_cast<MpDigit>(qhat);
  }
  // Remainder: the low k digits of uu, shifted back.
  if (s == 0) {
    std::memcpy(r, uu, k * sizeof(MpDigit));
  } else {
    for (std::size_t i = 0; i + 1 < k; ++i)
      r[i] = (uu[i] >> s) | (uu[i + 1] << (32 - s));
    r[k - 1] = uu[k - 1] >> s;
  }
}

// a[0 .. k) := u mod m for u of un digits, m of k significant digits (k > 0).
void ModSig(MpDigit* a, const MpDigit* u, std::size_t un, const MpDigit* m, std::size_t k) {
  const std::size_t ku = Sig(u, un);
  if (ku < k) {
    std::memmove(a, u, ku * sizeof(MpDigit));
    for (std::size_t i = ku; i < k; ++i)
      a[i] = 0;
    return;
  }
  MpDigit uu[kMax2 + 1];
  MpDigit vv[kMax];
  DivSig(nullptr, a, u, ku, m, k, uu, vv);
  Wipe(uu, ku + 1);
  Wipe(vv, k);
}

// ---- Montgomery arithmetic on 64-bit limbs (odd moduli) ----
//
// Numbers are n limbs; N > 0 fixes the limb count at compile time for the common key sizes
// (the loops then unroll), N == 0 takes it from the argument. Products are formed column by
// column into a three-limb accumulator (c2:c1:c0), which keeps the carry chains short.

// (c2:c1:c0) += a * b
inline void MulAcc(u64& c0, u64& c1, u64& c2, u64 a, u64 b) {
  const u128 p = static_cast<u128>(a) * b;
  const u128 s = ((static_cast<u128>(c1) << 64) | c0) + p;
  c2 += s < p ? 1 : 0;
  c0 = static_cast<u64>(s);
  c1 = static_cast<u64>(s >> 64);
}

// (c2:c1:c0) += 2 a b
inline void MulAcc2(u64& c0, u64& c1, u64& c2, u64 a, u64 b) {
  const u128 p = static_cast<u128>(a) * b;
  const u128 acc = (static_cast<u128>(c1) << 64) | c0;
  u128 s = acc + p;
  c2 += s < p ? 1 : 0;
  const u128 s2 = s + p;
  c2 += s2 < p ? 1 : 0;
  c0 = static_cast<u64>(s2);
  c1 = static_cast<u64>(s2 >> 64);
}

// t (2 n limbs) := a * b
template <int N>
inline void MulFull(u64* t, const u64* a, const u64* b, int nd) {
  const int n = N > 0 ? N : nd;
  u64 c0 = 0, c1 = 0, c2 = 0;
#pragma GCC unroll 64
  for (int k = 0; k < 2 * n - 1; ++k) {
    const int lo = k < n ? 0 : k - n + 1;
    const int hi = k < n ? k : n - 1;
#pragma GCC unroll 32
    for (int i = lo; i <= hi; ++i)
      MulAcc(c0, c1, c2, a[i], b[k - i]);
    t[k] = c0;
    c0 = c1;
    c1 = c2;
    c2 = 0;
  }
  t[2 * n - 1] = c0;
}

// t (2 n limbs) := a * a, each cross product formed once.
template <int N>
inline void SqrFull(u64* t, const u64* a, int nd) {
  const int n = N > 0 ? N : nd;
  u64 c0 = 0, c1 = 0, c2 = 0;
#pragma GCC unroll 64
  for (int k = 0; k < 2 * n - 1; ++k) {
    const int lo = k < n ? 0 : k - n + 1;
    const int hi = k < n ? k : n - 1;
    const int end = (k + 1) / 2 < hi + 1 ? (k + 1) / 2 : hi + 1;  // i < k - i, i <= hi
#pragma GCC unroll 32
    for (int i = lo; i < end; ++i)
      MulAcc2(c0, c1, c2, a[i], a[k - i]);
    if (k % 2 == 0) MulAcc(c0, c1, c2, a[k / 2], a[k / 2]);
    t[k] = c0;
    c0 = c1;
    c1 = c2;
    c2 = 0;
  }
  t[2 * n - 1] = c0;
}

// r := t * 2^(-64 n) mod m for t of 2 n limbs below m * 2^(64 n); minv = -m^(-1) mod 2^64.
// q (n limbs) is scratch.
template <int N>
inline void Redc(u64* r, const u64* t, const u64* m, u64 minv, u64* q, int nd) {
  const int n = N > 0 ? N : nd;
  u64 c0 = 0, c1 = 0, c2 = 0;
#pragma GCC unroll 32
  for (int i = 0; i < n; ++i) {
#pragma GCC unroll 32
    for (int j = 0; j < i; ++j)
      MulAcc(c0, c1, c2, q[j], m[i - j]);
    const u128 s = static_cast<u128>(c0) + t[i];
    c0 = static_cast<u64>(s);
    const u128 s1 = static_cast<u128>(c1) + static_cast<u64>(s >> 64);
    c1 = static_cast<u64>(s1);
    c2 += static_cast<u64>(s1 >> 64);
    q[i] = c0 * minv;
    MulAcc(c0, c1, c2, q[i], m[0]);  // clears c0
    c0 = c1;
    c1 = c2;
    c2 = 0;
  }
#pragma GCC unroll 32
  for (int i = n; i < 2 * n; ++i) {
#pragma GCC unroll 32
    for (int j = i - n + 1; j < n; ++j)
      MulAcc(c0, c1, c2, q[j], m[i - j]);
    const u128 s = static_cast<u128>(c0) + t[i];
    c0 = static_cast<u64>(s);
    const u128 s1 = static_cast<u128>(c1) + static_cast<u64>(s >> 64);
    c1 = static_cast<u64>(s1);
    c2 += static_cast<u64>(s1 >> 64);
    r[i - n] = c0;
    c0 = c1;
    c1 = c2;
    c2 = 0;
  }
  // The result is below 2 m; subtract m once when it is at or above it.
  bool ge = c0 != 0;
  if (!ge) {
    ge = true;
    for (int i = n; i-- > 0;) {
      if (r[i] != m[i]) {
        ge = r[i] > m[i];
        break;
      }
    }
  }
  if (ge) {
    u64 borrow = 0;
    for (int i = 0; i < n; ++i) {
      const u64 x = r[i];
      r[i] = x - m[i] - borrow;
      borrow = (x < m[i] || (x == m[i] && borrow)) ? 1 : 0;
    }
  }
}

struct Mont {
  const u64* m;
  u64 minv;  // -m^(-1) mod 2^64
  int n;
  u64* scratch;  // 2 n limbs
  u64* q;        // n limbs
  u64 minv2[2];  // -m^(-1) mod 2^128 (n > 1)
};

template <int N>
struct MontOps {
  const Mont& c;
  __attribute__((noinline)) void Mul(u64* r, const u64* a, const u64* b) const {
    MulFull<N>(c.scratch, a, b, c.n);
    Redc<N>(r, c.scratch, c.m, c.minv, c.q, c.n);
  }
  __attribute__((noinline)) void Sqr(u64* r, const u64* a) const {
    SqrFull<N>(c.scratch, a, c.n);
    Redc<N>(r, c.scratch, c.m, c.minv, c.q, c.n);
  }
};

// Division-based modular products over k significant digits (any non-zero modulus).
struct PlainOps {
  const MpDigit* m;
  std::size_t k;
  MpDigit* prod;  // 2 k digits
  void Mul(MpDigit* r, const MpDigit* a, const MpDigit* b) const {
    const std::size_t ka = Sig(a, k), kb = Sig(b, k);
    if (ka == 0 || kb == 0) {
      for (std::size_t i = 0; i < k; ++i)
        r[i] = 0;
      return;
    }
    MulSig(prod, a, ka, b, kb);
    ModSig(r, prod, ka + kb, m, k);
  }
  void Sqr(MpDigit* r, const MpDigit* a) const { Mul(r, a, a); }
};

#if PELVANE_MP_ADX
// Montgomery products through the mulx/ADX routines (call only when AdxAvailable()).

// r := (t[n .. 2 n) + t[0 .. n)) - m when that is not negative, else the sum, after the
// reduction rows have left the row carries in t[0 .. n). t[0 .. n) is overwritten.
inline void AdxRedcFinish(u64* r, u64* t, const u64* m, int n) {
  u64 carry = 0;
  for (int j = 0; j < n; ++j) {
    const u128 s = static_cast<u128>(t[n + j]) + t[j] + carry;
    r[j] = static_cast<u64>(s);
    carry = static_cast<u64>(s >> 64);
  }
  u64 borrow = 0;
  for (int j = 0; j < n; ++j) {
    const u128 d = static_cast<u128>(r[j]) - m[j] - borrow;
    t[j] = static_cast<u64>(d);
    borrow = static_cast<u64>(d >> 64) & 1;
  }
  // Keep the sum only when it is below m: no carry out and the subtraction borrowed.
  const u64 keep = ~(u64{0}) * ((carry ^ 1) & borrow);
  for (int j = 0; j < n; ++j)
    r[j] = (r[j] & keep) | (t[j] & ~keep);
}

// Eight limbs (512-bit moduli): product and reduction with the window in registers.
struct AdxOps8 {
  const Mont& c;
  void Mul(u64* r, const u64* a, const u64* b) const {
    pelvane_adx_mont_mul8(r, c.scratch, a, b, c.m, c.minv2);
  }
  void Sqr(u64* r, const u64* a) const { pelvane_adx_mont_sqr8(r, c.scratch, a, c.m, c.minv2); }
};

// Adds the carry c (0 or 1) into t[pos .. end); returns the carry out of t[end - 1].
inline u64 PropagateCarry(u64* t, int pos, int end, u64 c) {
  for (; c != 0 && pos < end; ++pos) {
    t[pos] += 1;
    c = t[pos] == 0 ? 1 : 0;
  }
  return c;
}

// Multiples of eight limbs (1024, 1536, 2048 bits, ...): the product and the reduction are
// composed of 8 x 8-limb blocks, each done with its window in registers.
struct AdxOpsBlocks {
  const Mont& c;
  void Mul(u64* r, const u64* a, const u64* b) const {
    u64* t = c.scratch;
    const int n = c.n, blocks = n / 8;
    // The diagonal blocks tile t; the others add in.
    for (int k = 0; k < blocks; ++k)
      pelvane_adx_mul8(t + 16 * k, a + 8 * k, b + 8 * k);
    for (int k = 0; k < blocks; ++k) {
      for (int l = 0; l < blocks; ++l) {
        if (k == l) continue;
        const int pos = 8 * (k + l);
        PropagateCarry(t, pos + 16, 2 * n, pelvane_adx_addmul8(t + pos, a + 8 * k, b + 8 * l));
      }
    }
    Reduce(r);
  }
  // The cross products once (those within a block by the triangle routine, which also tiles
  // t), then doubled with the squares added.
  void Sqr(u64* r, const u64* a) const {
    u64* t = c.scratch;
    const int n = c.n, blocks = n / 8;
    for (int k = 0; k < blocks; ++k)
      pelvane_adx_sqr8_cross(t + 16 * k, a + 8 * k);
    for (int k = 0; k < blocks; ++k) {
      for (int l = k + 1; l < blocks; ++l) {
        const int pos = 8 * (k + l);
        PropagateCarry(t, pos + 16, 2 * n, pelvane_adx_addmul8(t + pos, a + 8 * k, a + 8 * l));
      }
    }
    pelvane_adx_double_add_squares(t, a, static_cast<std::size_t>(n));
    Reduce(r);
  }
  // r := t 2^(-64 n) mod m for t = scratch (2 n limbs) below m 2^(64 n).
  void Reduce(u64* r) const {
    u64* t = c.scratch;
    const int n = c.n, blocks = n / 8;
    u64 top = 0;  // the bit above t[2 n - 1]
    for (int row = 0; row < blocks; ++row) {
      u64* tr = t + 8 * row;
      top += PropagateCarry(t, 8 * row + 16, 2 * n, pelvane_adx_redc8_part(tr, c.m, c.minv, c.q));
      for (int k = 1; k < blocks; ++k) {
        const u64 carry = pelvane_adx_addmul8(tr + 8 * k, c.q, c.m + 8 * k);
        top += PropagateCarry(t, 8 * (row + k) + 16, 2 * n, carry);
      }
    }
    // The value top:t[n .. 2 n) is below 2 m: subtract m once unless it is below m.
    pelvane_adx_sub_select(r, t + n, c.m, static_cast<std::size_t>(n), top);
  }
};

// Any other limb count: row by row.
struct AdxOpsRows {
  const Mont& c;
  void Mul(u64* r, const u64* a, const u64* b) const {
    for (int i = 0; i < c.n; ++i)
      c.scratch[i] = 0;
    pelvane_adx_mul_rows(c.scratch, a, b, static_cast<std::size_t>(c.n));
    Reduce(r);
  }
  void Sqr(u64* r, const u64* a) const { Mul(r, a, a); }
  void Reduce(u64* r) const {
    pelvane_adx_redc_rows(c.scratch, c.m, static_cast<std::size_t>(c.n), c.minv);
    AdxRedcFinish(r, c.scratch, c.m, c.n);
  }
};
#endif

std::atomic<bool> g_force_portable{false};

inline unsigned ExpBit(const MpDigit* e, std::size_t i) {
  return (e[i / 32] >> (i % 32)) & 1u;
}

// Window width for an exponent of `bits` bits: the table costs 2^(w-1) products, the scan
// about bits / (w + 1); these bounds minimise the sum.
inline unsigned WindowBits(std::size_t bits) {
  if (bits > 671) return 6;
  if (bits > 239) return 5;
  if (bits > 79) return 4;
  if (bits > 23) return 3;
  if (bits > 6) return 2;
  return 1;
}

// acc := base^e by left-to-right sliding windows over the bits of e (bits > 0). base and the
// table hold numbers of `len` words in the representation of Ops; table has room for 32.
template <typename Word, typename Ops>
void SlidingPow(const Ops& ops, Word* acc, const Word* base, const MpDigit* e, std::size_t bits,
                Word* table, std::size_t len, Word* tmp) {
  const unsigned w = WindowBits(bits);
  const std::size_t entries = std::size_t{1} << (w - 1);
  // table[i] = base^(2 i + 1)
  std::memcpy(table, base, len * sizeof(Word));
  if (entries > 1) {
    ops.Sqr(tmp, base);
    for (std::size_t i = 1; i < entries; ++i)
      ops.Mul(table + i * len, table + (i - 1) * len, tmp);
  }
  bool started = false;
  std::size_t i = bits;  // bits still to process are i-1 .. 0
  while (i > 0) {
    const std::size_t top = i - 1;
    if (ExpBit(e, top) == 0) {
      ops.Sqr(acc, acc);
      i = top;
      continue;
    }
    std::size_t low = top + 1 >= w ? top + 1 - w : 0;
    while (ExpBit(e, low) == 0)
      ++low;
    unsigned val = 0;
    for (std::size_t b = top + 1; b-- > low;)
      val = (val << 1) | ExpBit(e, b);
    const Word* entry = table + (val >> 1) * len;
    if (started) {
      for (std::size_t s = 0; s < top - low + 1; ++s)
        ops.Sqr(acc, acc);
      ops.Mul(acc, acc, entry);
    } else {
      std::memcpy(acc, entry, len * sizeof(Word));
      started = true;
    }
    i = low;
  }
  Wipe(table, entries * len);
  Wipe(tmp, len);
}

// a[0 .. k) := x^e mod m for an odd modulus m of k significant digits, x reduced below m,
// e of `bits` significant bits (> 0).
void MontPow(MpDigit* a, const MpDigit* x, const MpDigit* e, std::size_t bits, const MpDigit* m,
             std::size_t k) {
  const int nl = static_cast<int>((k + 1) / 2);
  u64 ml[kLimbs], xl[kLimbs], acc[kLimbs], tmp[kLimbs];
  u64 scratch[2 * kLimbs + 1], qbuf[kLimbs];
  u64 table[32 * kLimbs];
  MpDigit r1[2 * kLimbs + 1], r2[kMax];
  MpDigit prod[kMax2];

  auto to_limbs = [&](u64* out, const MpDigit* d) {
    for (int i = 0; i < nl; ++i) {
      const std::size_t lo = 2 * static_cast<std::size_t>(i);
      out[i] = d[lo] | (lo + 1 < k ? static_cast<u64>(d[lo + 1]) << 32 : 0);
    }
  };
  to_limbs(ml, m);
  // minv = -m^(-1) mod 2^64 by Newton's iteration (each step doubles the correct bits).
  u64 inv = ml[0];
  for (int i = 0; i < 5; ++i)
    inv *= 2 - ml[0] * inv;
  // One more step on 128 bits gives the inverse modulo 2^128.
  const u128 m128 = ml[0] | (nl > 1 ? static_cast<u128>(ml[1]) << 64 : 0);
  u128 inv2 = inv;
  inv2 *= 2 - m128 * inv2;
  inv2 = ~inv2 + 1;
  const Mont c{ml,      ~inv + 1, nl,
               scratch, qbuf,     {static_cast<u64>(inv2), static_cast<u64>(inv2 >> 64)}};

  // R mod m with R = 2^(64 nl), then R^2 mod m, both by division.
  const std::size_t rdig = 2 * static_cast<std::size_t>(nl);  // R = 2^(32 rdig)
  for (std::size_t i = 0; i < rdig; ++i)
    r1[i] = 0;
  r1[rdig] = 1;
  ModSig(r2, r1, rdig + 1, m, k);  // r2 = R mod m
  const std::size_t kr = Sig(r2, k);
  if (kr == 0) {
    for (std::size_t i = 0; i < k; ++i)
      r1[i] = 0;
  } else {
    MulSig(prod, r2, kr, r2, kr);
    ModSig(r1, prod, 2 * kr, m, k);  // r1 = R^2 mod m
  }
  for (std::size_t i = k; i < rdig; ++i)
    r1[i] = 0;
  u64 r2l[kLimbs], one[kLimbs];
  to_limbs(r2l, r1);
  to_limbs(xl, x);
  for (int i = 0; i < nl; ++i)
    one[i] = i == 0 ? 1 : 0;
  // x into Montgomery form (x R^2 R^(-1)), the powers, and back out (acc 1 R^(-1)), all with
  // the same products; tmp receives the result.
  auto run = [&](const auto& ops) {
    ops.Mul(acc, xl, r2l);
    std::memcpy(xl, acc, nl * sizeof(u64));
    SlidingPow<u64>(ops, acc, xl, e, bits, table, nl, tmp);
    ops.Mul(tmp, acc, one);
  };
  bool done = false;
#if PELVANE_MP_ADX
  if (MpFastKernelsActive()) {
    if (nl == 8)
      run(AdxOps8{c});
    else if (nl % 8 == 0)
      run(AdxOpsBlocks{c});
    else
      run(AdxOpsRows{c});
    done = true;
  }
#endif
  if (!done) {
    switch (nl) {
      case 8:
        run(MontOps<8>{c});
        break;
      case 16:
        run(MontOps<16>{c});
        break;
      case 32:
        run(MontOps<32>{c});
        break;
      default:
        run(MontOps<0>{c});
        break;
    }
  }
  Wipe(r2l, nl);
  for (std::size_t i = 0; i < k; ++i) {
    const u64 limb = tmp[i / 2];
    a[i] = static_cast<MpDigit>(i % 2 == 0 ? limb : limb >> 32);
  }
  Wipe(xl, nl);
  Wipe(acc, nl);
  Wipe(tmp, nl);
  Wipe(scratch, 2 * nl + 1);
  Wipe(r1, rdig + 1);
  Wipe(r2, k);
  Wipe(prod, 2 * k);
  Wipe(qbuf, nl);
  Wipe(ml, nl);
}

// a[0 .. k) := x^e mod m for any modulus m of k significant digits, x reduced below m.
void PlainPow(MpDigit* a, const MpDigit* x, const MpDigit* e, std::size_t bits, const MpDigit* m,
              std::size_t k) {
  MpDigit acc[kMax], tmp[kMax], prod[kMax2];
  MpDigit table[32 * kMax];
  const PlainOps ops{m, k, prod};
  SlidingPow<MpDigit>(ops, acc, x, e, bits, table, k, tmp);
  std::memcpy(a, acc, k * sizeof(MpDigit));
  Wipe(acc, k);
  Wipe(prod, 2 * k);
}

}  // namespace

void MpForcePortableKernels(bool force) {
  g_force_portable.store(force, std::memory_order_relaxed);
}

bool MpFastKernelsActive() {
  return !g_force_portable.load(std::memory_order_relaxed) && AdxAvailable();
}

void WipeBytes(void* p, unsigned char value, std::size_t count) {
  if (p == nullptr || count == 0) return;
  std::memset(p, value, count);
  // Tell the optimiser the bytes are read, so the stores stay.
  __asm__ __volatile__("" : : "r"(p) : "memory");
}

void MpAssign(MpDigit* a, const MpDigit* x, std::size_t n) {
  if (n > 0 && a != x) std::memmove(a, x, n * sizeof(MpDigit));
}

void MpAssignZero(MpDigit* a, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    a[i] = 0;
}

void MpAssignPow2(MpDigit* a, std::size_t k, std::size_t n) {
  MpAssignZero(a, n);
  if (k / 32 < n) a[k / 32] = MpDigit{1} << (k % 32);
}

MpDigit MpAdd(MpDigit* a, const MpDigit* x, const MpDigit* y, std::size_t n) {
  u64 carry = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const u64 s = static_cast<u64>(x[i]) + y[i] + carry;
    a[i] = static_cast<MpDigit>(s);
    carry = s >> 32;
  }
  return static_cast<MpDigit>(carry);
}

MpDigit MpSub(MpDigit* a, const MpDigit* x, const MpDigit* y, std::size_t n) {
  MpDigit borrow = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const MpDigit xi = x[i], yi = y[i];
    const MpDigit d = xi - yi - borrow;
    borrow = (xi < yi || (xi == yi && borrow != 0)) ? 1 : 0;
    a[i] = d;
  }
  return borrow;
}

void MpMul(MpDigit* a, const MpDigit* x, const MpDigit* y, std::size_t n) {
  MpDigit t[kMax2];
  const std::size_t kx = Sig(x, n), ky = Sig(y, n);
  const std::size_t used = kx + ky;
  if (kx > 0 && ky > 0) MulSig(t, x, kx, y, ky);
  const std::size_t filled = (kx > 0 && ky > 0) ? used : 0;
  // Write the result only after x and y have been read, since a may be one of them.
  for (std::size_t i = 0; i < filled; ++i)
    a[i] = t[i];
  for (std::size_t i = filled; i < 2 * n; ++i)
    a[i] = 0;
  Wipe(t, filled);
}

MpDigit MpShiftLeft(MpDigit* a, const MpDigit* x, unsigned s, std::size_t n) {
  if (s >= 32) return 0;
  if (s == 0) {
    MpAssign(a, x, n);
    return 0;
  }
  MpDigit carry = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const MpDigit xi = x[i];
    a[i] = (xi << s) | carry;
    carry = xi >> (32 - s);
  }
  return carry;
}

MpDigit MpShiftRight(MpDigit* a, const MpDigit* x, unsigned s, std::size_t n) {
  if (s >= 32) return 0;
  if (s == 0) {
    MpAssign(a, x, n);
    return 0;
  }
  MpDigit carry = 0;
  for (std::size_t i = n; i-- > 0;) {
    const MpDigit xi = x[i];
    a[i] = (xi >> s) | carry;
    carry = xi << (32 - s);
  }
  return carry;
}

void MpDivMod(MpDigit* q, MpDigit* r, const MpDigit* u, std::size_t un, const MpDigit* v,
              std::size_t vn) {
  const std::size_t k = Sig(v, vn);
  if (k == 0) return;
  const std::size_t ku = Sig(u, un);
  if (ku < k) {
    // Quotient 0, remainder u. Copy through a buffer: r may overlap u or q.
    MpDigit t[kMax];
    std::memcpy(t, u, ku * sizeof(MpDigit));
    MpAssignZero(q, un);
    std::memcpy(r, t, ku * sizeof(MpDigit));
    MpAssignZero(r + ku, vn - ku);
    Wipe(t, ku);
    return;
  }
  MpDigit uu[kMax2 + 1], vv[kMax], qt[kMax2], rt[kMax];
  DivSig(qt, rt, u, ku, v, k, uu, vv);
  const std::size_t qn = ku - k + 1;
  std::memcpy(q, qt, qn * sizeof(MpDigit));
  MpAssignZero(q + qn, un - qn);
  std::memcpy(r, rt, k * sizeof(MpDigit));
  MpAssignZero(r + k, vn - k);
  Wipe(uu, ku + 1);
  Wipe(vv, k);
  Wipe(qt, qn);
  Wipe(rt, k);
}

void MpMod(MpDigit* a, const MpDigit* u, std::size_t un, const MpDigit* v, std::size_t vn) {
  const std::size_t k = Sig(v, vn);
  if (k == 0) return;
  MpDigit t[kMax];
  ModSig(t, u, un, v, k);
  std::memcpy(a, t, k * sizeof(MpDigit));
  MpAssignZero(a + k, vn - k);
  Wipe(t, k);
}

void MpModMul(MpDigit* a, const MpDigit* x, const MpDigit* y, const MpDigit* m, std::size_t n) {
  const std::size_t k = Sig(m, n);
  if (k == 0) return;
  MpDigit prod[kMax2];
  const std::size_t kx = Sig(x, n), ky = Sig(y, n);
  if (kx == 0 || ky == 0) {
    MpAssignZero(a, n);
    return;
  }
  MulSig(prod, x, kx, y, ky);
  MpMod(a, prod, kx + ky, m, n);
  Wipe(prod, kx + ky);
}

void MpModPow(MpDigit* a, const MpDigit* x, const MpDigit* e, std::size_t en, const MpDigit* m,
              std::size_t mn) {
  const std::size_t k = Sig(m, mn);
  if (k == 0) return;
  const std::size_t bits = MpBitCount(e, en);
  if (bits == 0) {
    // x^0 = 1, reduced: 0 modulo 1.
    MpAssignZero(a, mn);
    a[0] = (k == 1 && m[0] == 1) ? 0 : 1;
    return;
  }
  MpDigit base[kMax], res[kMax];
  ModSig(base, x, mn, m, k);
  if (Sig(base, k) == 0) {
    MpAssignZero(res, k);
  } else if ((m[0] & 1) != 0) {
    MontPow(res, base, e, bits, m, k);
  } else {
    PlainPow(res, base, e, bits, m, k);
  }
  std::memcpy(a, res, k * sizeof(MpDigit));
  MpAssignZero(a + k, mn - k);
  Wipe(base, k);
  Wipe(res, k);
}

void MpModInverse(MpDigit* a, const MpDigit* x, const MpDigit* m, std::size_t n) {
  // Extended Euclid keeping one cofactor and the sign of the step count.
  MpDigit f[kMax], g[kMax], h[kMax], h2[kMax], q[kMax], rest[kMax], next[kMax2];
  MpAssignZero(f, n);
  MpAssignZero(g, n);
  if (n > 0) f[0] = 1;
  MpAssign(h, x, n);
  MpAssign(h2, m, n);
  bool negative = false;
  while (!MpIsZero(h2, n)) {
    MpDivMod(q, rest, h, n, h2, n);
    MpMul(next, q, g, n);
    MpAdd(next, next, f, n);
    MpAssign(f, g, n);
    MpAssign(g, next, n);
    MpAssign(h, h2, n);
    MpAssign(h2, rest, n);
    negative = !negative;
  }
  if (negative) {
    MpSub(f, m, f, n);
  }
  // f == m only when x is a multiple of m: the one inverse there is (modulo 1) is 0.
  if (MpCompare(f, m, n) == 0) MpAssignZero(f, n);
  MpAssign(a, f, n);
  Wipe(f, n);
  Wipe(g, n);
  Wipe(h, n);
  Wipe(h2, n);
  Wipe(q, n);
  Wipe(rest, n);
  Wipe(next, 2 * n);
}

void MpGcd(MpDigit* a, const MpDigit* x, const MpDigit* y, std::size_t n) {
  MpDigit first[kMax], second[kMax], rest[kMax];
  MpAssign(first, x, n);
  MpAssign(second, y, n);
  while (!MpIsZero(second, n)) {
    MpMod(rest, first, n, second, n);
    MpAssign(first, second, n);
    MpAssign(second, rest, n);
  }
  MpAssign(a, first, n);
  Wipe(first, n);
  Wipe(second, n);
  Wipe(rest, n);
}

int MpCompare(const MpDigit* x, const MpDigit* y, std::size_t n) {
  for (std::size_t i = n; i-- > 0;) {
    if (x[i] > y[i]) return 1;
    if (x[i] < y[i]) return -1;
  }
  return 0;
}

bool MpIsZero(const MpDigit* a, std::size_t n) {
  return Sig(a, n) == 0;
}

std::size_t MpBitCount(const MpDigit* a, std::size_t n) {
  const std::size_t k = Sig(a, n);
  if (k == 0) return 0;
  return 32 * (k - 1) + DigitBitCount(a[k - 1]);
}

std::size_t MpDigitCount(const MpDigit* a, std::size_t n) {
  return Sig(a, n);
}

MpDigit MpAddDigitMul(MpDigit* a, const MpDigit* x, MpDigit w, const MpDigit* y, std::size_t n) {
  u64 carry = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const u64 s = static_cast<u64>(w) * y[i] + x[i] + carry;
    a[i] = static_cast<MpDigit>(s);
    carry = s >> 32;
  }
  return static_cast<MpDigit>(carry);
}

MpDigit MpSubDigitMul(MpDigit* a, const MpDigit* x, MpDigit w, const MpDigit* y, std::size_t n) {
  u64 borrow = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const u64 p = static_cast<u64>(w) * y[i] + borrow;
    const MpDigit lo = static_cast<MpDigit>(p);
    const MpDigit xi = x[i];
    borrow = (p >> 32) + (xi < lo ? 1 : 0);
    a[i] = xi - lo;
  }
  return static_cast<MpDigit>(borrow);
}

unsigned DigitBitCount(MpDigit w) {
  return w == 0 ? 0 : 32 - static_cast<unsigned>(__builtin_clz(w));
}

void DigitMul(MpDigit a[2], MpDigit w, MpDigit z) {
  const u64 p = static_cast<u64>(w) * z;
  a[0] = static_cast<MpDigit>(p);
  a[1] = static_cast<MpDigit>(p >> 32);
}

MpDigit DigitDiv(const MpDigit b[2], MpDigit v) {
  if (b[1] >= v) return 0xFFFFFFFFu;  // outside the contract (v = 0 included): no trap
  const u64 num = (static_cast<u64>(b[1]) << 32) | b[0];
  return static_cast<MpDigit>(num / v);
}

}  // namespace pelvane
