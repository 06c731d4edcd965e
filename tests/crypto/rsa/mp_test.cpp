#include "crypto/rsa/mp.h"

#include <gmp.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "crypto/rsa/mp_adx.h"
#include "crypto/rsa/mp_internal.h"

namespace pelvane {
namespace {

using Num = std::vector<MpDigit>;

// A GMP integer that frees itself.
class Z {
 public:
  Z() { mpz_init(z_); }
  explicit Z(const Num& digits) : Z() {
    if (!digits.empty()) mpz_import(z_, digits.size(), -1, sizeof(MpDigit), 0, 0, digits.data());
  }
  Z(const Z&) = delete;
  Z& operator=(const Z&) = delete;
  ~Z() { mpz_clear(z_); }
  mpz_ptr get() { return z_; }
  mpz_srcptr get() const { return z_; }

  // The value over exactly n digits (it must fit).
  Num Digits(std::size_t n) const {
    Num out(n + 1, 0);
    std::size_t count = 0;
    mpz_export(out.data(), &count, -1, sizeof(MpDigit), 0, 0, z_);
    EXPECT_LE(count, n);
    out.resize(n);
    return out;
  }

 private:
  mpz_t z_;
};

// Random numbers whose digits favour the values that break carries and quotient estimates.
class Gen {
 public:
  explicit Gen(std::uint64_t seed) : rng_(seed) {}
  std::size_t Size(std::size_t lo, std::size_t hi) {
    return std::uniform_int_distribution<std::size_t>(lo, hi)(rng_);
  }
  MpDigit Digit() {
    switch (rng_() % 8) {
      case 0:
        return 0;
      case 1:
        return 0xFFFFFFFFu;
      case 2:
        return 0x80000000u;
      default:
        return static_cast<MpDigit>(rng_());
    }
  }
  // n digits; the top `sig` digits below n may be zero padding.
  Num Number(std::size_t n, bool nonzero_top = false) {
    Num x(n);
    for (auto& d : x)
      d = Digit();
    // Sometimes leave leading zero digits, as callers pass fixed counts.
    if (!nonzero_top && n > 1 && rng_() % 3 == 0) {
      const std::size_t sig = Size(1, n);
      for (std::size_t i = sig; i < n; ++i)
        x[i] = 0;
    }
    if (nonzero_top && x[n - 1] == 0) x[n - 1] = 1;
    return x;
  }
  std::mt19937_64& rng() { return rng_; }

 private:
  std::mt19937_64 rng_;
};

TEST(MpDifferential, MulMatchesGmp) {
  Gen g(1);
  for (int iter = 0; iter < 400; ++iter) {
    const std::size_t n = g.Size(1, MpMaxDigits);
    const Num x = g.Number(n), y = g.Number(n);
    Num a(2 * n, 0xA5A5A5A5u);
    MpMul(a.data(), x.data(), y.data(), n);
    Z zx(x), zy(y), zp;
    mpz_mul(zp.get(), zx.get(), zy.get());
    ASSERT_EQ(a, zp.Digits(2 * n)) << "n=" << n;
    // In place: the product may overwrite an operand.
    Num inplace(2 * n, 0);
    std::copy(x.begin(), x.end(), inplace.begin());
    MpMul(inplace.data(), inplace.data(), y.data(), n);
    ASSERT_EQ(inplace, a);
  }
}

TEST(MpDifferential, DivModMatchesGmp) {
  Gen g(2);
  for (int iter = 0; iter < 1500; ++iter) {
    const std::size_t vn = g.Size(1, MpMaxDigits);
    const std::size_t un = g.Size(1, 2 * MpMaxDigits);
    const Num u = g.Number(un);
    Num v = g.Number(vn);
    if (MpIsZero(v.data(), vn)) v[0] = 1;
    Num q(un, 0x5A5A5A5Au), r(vn, 0x5A5A5A5Au);
    MpDivMod(q.data(), r.data(), u.data(), un, v.data(), vn);
    Z zu(u), zv(v), zq, zr;
    mpz_tdiv_qr(zq.get(), zr.get(), zu.get(), zv.get());
    ASSERT_EQ(q, zq.Digits(un)) << "un=" << un << " vn=" << vn;
    ASSERT_EQ(r, zr.Digits(vn)) << "un=" << un << " vn=" << vn;
    Num m(vn, 0x5A5A5A5Au);
    MpMod(m.data(), u.data(), un, v.data(), vn);
    ASSERT_EQ(m, r);
  }
}

// Quotient digits whose first estimate is too large: a divisor just above a power of the
// digit base and a dividend built as q * v + r with all-ones quotient digits.
TEST(MpDifferential, DivModAddBackCases) {
  Gen g(3);
  for (int iter = 0; iter < 300; ++iter) {
    const std::size_t vn = g.Size(2, 40);
    Num v(vn, 0);
    v[vn - 1] = 0x80000000u;
    v[vn - 2] = static_cast<MpDigit>(g.rng()() % 4);
    v[0] |= static_cast<MpDigit>(g.rng()());
    Num qd(g.Size(1, 40), 0xFFFFFFFFu);
    qd[0] = static_cast<MpDigit>(g.rng()());
    Z zv(v), zqd(qd), zu;
    mpz_mul(zu.get(), zv.get(), zqd.get());
    mpz_add_ui(zu.get(), zu.get(), static_cast<unsigned long>(g.rng()() % 1000));
    const std::size_t un = vn + qd.size();
    const Num u = zu.Digits(un);
    Num q(un), r(vn);
    MpDivMod(q.data(), r.data(), u.data(), un, v.data(), vn);
    Z zq, zr;
    mpz_tdiv_qr(zq.get(), zr.get(), zu.get(), zv.get());
    ASSERT_EQ(q, zq.Digits(un));
    ASSERT_EQ(r, zr.Digits(vn));
  }
}

// The exponentiation has two kernels: the mulx/ADX one where the processor has those
// instructions, and the portable one. Each test runs on each kernel, selected explicitly.
enum class Kernel { kFast, kPortable };

class MpModPowKernel : public ::testing::TestWithParam<Kernel> {
 protected:
  void SetUp() override {
    if (GetParam() == Kernel::kFast && !AdxAvailable()) {
      GTEST_SKIP() << "the processor lacks mulx/ADX";
    }
    MpForcePortableKernels(GetParam() == Kernel::kPortable);
    ASSERT_EQ(MpFastKernelsActive(), GetParam() == Kernel::kFast);
  }
  void TearDown() override { MpForcePortableKernels(false); }

  // a := x^e mod m through MpModPow, compared with GMP; also with the result written over
  // the base.
  static void Check(const Num& x, const Num& e, const Num& m) {
    const std::size_t mn = m.size(), en = e.size();
    Num a(mn, 0x77777777u);
    MpModPow(a.data(), x.data(), e.data(), en, m.data(), mn);
    Z zx(x), ze(e), zm(m), za;
    mpz_powm(za.get(), zx.get(), ze.get(), zm.get());
    ASSERT_EQ(a, za.Digits(mn)) << "mn=" << mn << " en=" << en;
    Num inplace = x;
    MpModPow(inplace.data(), inplace.data(), e.data(), en, m.data(), mn);
    ASSERT_EQ(inplace, a) << "in place, mn=" << mn;
  }
};

INSTANTIATE_TEST_SUITE_P(Kernels, MpModPowKernel,
                         ::testing::Values(Kernel::kFast, Kernel::kPortable),
                         [](const ::testing::TestParamInfo<Kernel>& info) {
                           return info.param == Kernel::kFast ? "Fast" : "Portable";
                         });

TEST_P(MpModPowKernel, MatchesGmp) {
  Gen g(4);
  for (int iter = 0; iter < 160; ++iter) {
    // Most cases small, some up to the full capacity; odd and even moduli alike.
    const std::size_t mn = iter % 10 == 0 ? g.Size(100, MpMaxDigits) : g.Size(1, 40);
    const std::size_t en = iter % 10 == 0 ? g.Size(1, 4) : g.Size(1, 20);
    Num m = g.Number(mn);
    if (MpIsZero(m.data(), mn)) m[0] = 3;
    if (iter % 2 == 0) m[0] |= 1;
    Check(g.Number(mn), g.Number(en), m);
    if (HasFatalFailure()) return;
  }
}

// Key-sized moduli (512, 1024, 2048 bits and neighbours, and the other multiples of eight
// 64-bit limbs up to 4096 bits) with exponents as long as the modulus, as RSA uses them.
TEST_P(MpModPowKernel, KeySizesMatchGmp) {
  Gen g(10);
  for (std::size_t mn : {1, 2, 15, 16, 17, 31, 32, 33, 47, 48, 63, 64, 65, 128}) {
    const int reps = mn > 100 ? 1 : 3;
    for (int rep = 0; rep < reps; ++rep) {
      Num m = g.Number(mn, true), x = g.Number(mn), e = g.Number(mn);
      m[0] |= 1;
      if (mn == 1 && m[0] == 1) m[0] = 0xFFFFFFFBu;
      Check(x, e, m);
      if (HasFatalFailure()) return;
    }
  }
}

// Operands at the carry limits of the Montgomery products: moduli of all one bits and just
// above a power of two, bases m - 1, 1 and all ones, short exponents.
// Powers that vanish modulo m (m a power of 3, x a multiple of 3): the Montgomery products
// must land on 0 itself, not on m.
TEST_P(MpModPowKernel, VanishingPowersGiveZero) {
  for (unsigned long power : {20ul, 320ul, 640ul}) {
    Z zm, zx, ze;
    mpz_ui_pow_ui(zm.get(), 3, power);
    const std::size_t mn = (mpz_sizeinbase(zm.get(), 2) + 31) / 32;
    const Num m = zm.Digits(mn);
    mpz_ui_pow_ui(zx.get(), 3, power - 1);
    mpz_mul_ui(zx.get(), zx.get(), 2);
    Check(zx.Digits(mn), Num{2}, m);  // (2 3^(k-1))^2 = 4 3^(2k-2)
    if (HasFatalFailure()) return;
    Check(Num(mn, 0), Num{5}, m);
    if (HasFatalFailure()) return;
    mpz_set_ui(zx.get(), 21);
    Check(zx.Digits(mn), Num{0x10001u}, m);
    if (HasFatalFailure()) return;
  }
}

TEST_P(MpModPowKernel, ExtremeOperandsMatchGmp) {
  for (std::size_t mn : {2, 16, 24, 32, 64, 128}) {
    const Num ones(mn, 0xFFFFFFFFu);
    Num pow2plus(mn, 0);
    pow2plus[0] = 1;
    pow2plus[mn - 1] = 0x80000000u;
    Num high(mn, 0xFFFFFFFFu);
    high[mn - 1] = 0x80000000u;
    for (const Num& m : {ones, pow2plus, high}) {
      Num below = m, one(mn, 0);
      below[0] -= 1;  // m - 1: every modulus here is odd and above 1
      one[0] = 1;
      for (const Num& x : {below, one, ones}) {
        Check(x, Num{0xFFFFFFFFu, 0xFFFFFFFFu}, m);
        if (HasFatalFailure()) return;
        Check(x, Num{0x10001u}, m);
        if (HasFatalFailure()) return;
      }
    }
  }
}

TEST(MpDifferential, ModMulMatchesGmp) {
  Gen g(5);
  for (int iter = 0; iter < 300; ++iter) {
    const std::size_t n = g.Size(1, MpMaxDigits);
    Num m = g.Number(n);
    if (MpIsZero(m.data(), n)) m[0] = 7;
    Num x = g.Number(n);
    const Num y = g.Number(n);
    Z zx(x), zy(y), zm(m), za;
    mpz_mul(za.get(), zx.get(), zy.get());
    mpz_mod(za.get(), za.get(), zm.get());
    MpModMul(x.data(), x.data(), y.data(), m.data(), n);  // in place
    ASSERT_EQ(x, za.Digits(n));
  }
}

TEST(MpDifferential, ModInverseMatchesGmp) {
  Gen g(6);
  int checked = 0;
  for (int iter = 0; iter < 400 && checked < 200; ++iter) {
    const std::size_t n = g.Size(1, MpMaxDigits);
    const Num m = g.Number(n), x = g.Number(n);
    Z zx(x), zm(m), zg, za;
    if (mpz_cmp_ui(zm.get(), 1) <= 0) continue;
    mpz_gcd(zg.get(), zx.get(), zm.get());
    if (mpz_cmp_ui(zg.get(), 1) != 0) continue;
    ++checked;
    ASSERT_NE(mpz_invert(za.get(), zx.get(), zm.get()), 0);
    Num a(n, 0x33333333u);
    MpModInverse(a.data(), x.data(), m.data(), n);
    ASSERT_EQ(a, za.Digits(n)) << "n=" << n;
  }
  EXPECT_GE(checked, 100);
}

TEST(MpDifferential, GcdMatchesGmp) {
  Gen g(7);
  for (int iter = 0; iter < 300; ++iter) {
    const std::size_t n = g.Size(1, MpMaxDigits);
    const std::size_t fn = g.Size(1, (n + 1) / 2);
    // Plant a common factor so the result is not always 1.
    const std::size_t sn = n > fn ? n - fn : 1;
    const Num f = g.Number(fn), s = g.Number(sn), t = g.Number(sn);
    Z zf(f), zs(s), zt(t), zx, zy, zg;
    mpz_mul(zx.get(), zf.get(), zs.get());
    mpz_mul(zy.get(), zf.get(), zt.get());
    if (mpz_sizeinbase(zx.get(), 2) > 32 * n || mpz_sizeinbase(zy.get(), 2) > 32 * n) continue;
    const Num x = zx.Digits(n), y = zy.Digits(n);
    mpz_gcd(zg.get(), zx.get(), zy.get());
    Num a(n, 0x11111111u);
    MpGcd(a.data(), x.data(), y.data(), n);
    ASSERT_EQ(a, zg.Digits(n)) << "n=" << n;
  }
}

TEST(MpDigit, DivIsExactForEveryDivisorShape) {
  // High halves all ones (the estimate's special case), just above a half, and top bit only.
  const MpDigit divisors[] = {0xFFFFFFFEu, 0xFFFFFFFFu, 0xFFFF0000u, 0xFFFF8001u,
                              0x80000000u, 0x80000001u, 0x8000FFFFu, 0xC0000000u};
  std::mt19937_64 rng(8);
  for (MpDigit v : divisors) {
    const MpDigit highs[] = {0, 1, v - 1, v / 2, static_cast<MpDigit>(rng() % v)};
    const MpDigit lows[] = {0, 1, 0xFFFFFFFFu, 0x0000FFFFu, static_cast<MpDigit>(rng())};
    for (MpDigit b1 : highs) {
      for (MpDigit b0 : lows) {
        const MpDigit b[2] = {b0, b1};
        const std::uint64_t num = (static_cast<std::uint64_t>(b1) << 32) | b0;
        EXPECT_EQ(DigitDiv(b, v), static_cast<MpDigit>(num / v)) << v << " " << b1 << " " << b0;
      }
    }
  }
}

TEST(MpDigit, MulAndBitCount) {
  MpDigit p[2];
  DigitMul(p, 0xFFFFFFFFu, 0xFFFFFFFFu);
  EXPECT_EQ(p[0], 1u);
  EXPECT_EQ(p[1], 0xFFFFFFFEu);
  EXPECT_EQ(DigitBitCount(0), 0u);
  EXPECT_EQ(DigitBitCount(1), 1u);
  EXPECT_EQ(DigitBitCount(0x80000000u), 32u);
  const MpDigit x[3] = {5, 0, 0};
  EXPECT_EQ(MpBitCount(x, 3), 3u);
  EXPECT_EQ(MpDigitCount(x, 3), 1u);
  const MpDigit z[2] = {0, 0};
  EXPECT_EQ(MpBitCount(z, 2), 0u);
}

TEST(MpModPowEdge, ZeroExponentGivesOneReduced) {
  const MpDigit x[2] = {12345, 6}, e[3] = {0, 0, 0};
  const MpDigit m7[2] = {7, 0}, m1[2] = {1, 0};
  MpDigit a[2] = {9, 9};
  MpModPow(a, x, e, 3, m7, 2);
  EXPECT_EQ(a[0], 1u);
  EXPECT_EQ(a[1], 0u);
  // Modulo 1 every number is 0, x^0 included.
  MpModPow(a, x, e, 3, m1, 2);
  EXPECT_EQ(a[0], 0u);
  EXPECT_EQ(a[1], 0u);
  const MpDigit e1[1] = {5};
  a[0] = 9;
  MpModPow(a, x, e1, 1, m1, 2);
  EXPECT_EQ(a[0], 0u);
}

TEST(MpModPowEdge, ZeroModulusWritesNothing) {
  const MpDigit x[2] = {3, 0}, e[1] = {3}, m[2] = {0, 0};
  MpDigit a[2] = {0xDEAD, 0xBEEF};
  MpModPow(a, x, e, 1, m, 2);
  EXPECT_EQ(a[0], 0xDEADu);
  EXPECT_EQ(a[1], 0xBEEFu);
}

TEST(MpModPowEdge, WideCountsAndUnreducedBase) {
  // A 16-digit odd modulus in 132-digit arrays: the digits above stay zero, and a base above
  // the modulus gives the same result as the reduced base.
  Gen g(9);
  constexpr std::size_t kN = 132;
  Num m(kN, 0), x(kN, 0), e(kN, 0);
  for (std::size_t i = 0; i < 16; ++i)
    m[i] = static_cast<MpDigit>(g.rng()());
  m[0] |= 1;
  m[15] |= 0x80000000u;
  for (std::size_t i = 0; i < 20; ++i)
    x[i] = static_cast<MpDigit>(g.rng()());
  for (std::size_t i = 0; i < 16; ++i)
    e[i] = static_cast<MpDigit>(g.rng()());
  Num a(kN, 0xFFFFFFFFu), b(kN, 0xFFFFFFFFu), xr(kN, 0);
  MpModPow(a.data(), x.data(), e.data(), kN, m.data(), kN);
  for (std::size_t i = 16; i < kN; ++i)
    ASSERT_EQ(a[i], 0u) << i;
  MpMod(xr.data(), x.data(), kN, m.data(), kN);
  MpModPow(b.data(), xr.data(), e.data(), kN, m.data(), kN);
  EXPECT_EQ(a, b);
  Z zx(x), ze(e), zm(m), za;
  mpz_powm(za.get(), zx.get(), ze.get(), zm.get());
  EXPECT_EQ(a, za.Digits(kN));
}

TEST(MpDivModEdge, ShortDividendAndZeroDivisor) {
  const MpDigit u[3] = {7, 8, 0}, v[3] = {1, 2, 3};
  MpDigit q[3] = {9, 9, 9}, r[3] = {9, 9, 9};
  MpDivMod(q, r, u, 3, v, 3);
  EXPECT_EQ(q[0] | q[1] | q[2], 0u);
  EXPECT_EQ(r[0], 7u);
  EXPECT_EQ(r[1], 8u);
  EXPECT_EQ(r[2], 0u);

  const MpDigit zero[2] = {0, 0};
  MpDigit q2[3] = {1, 2, 3}, r2[2] = {4, 5};
  MpDivMod(q2, r2, u, 3, zero, 2);
  EXPECT_EQ(q2[0], 1u);
  EXPECT_EQ(q2[2], 3u);
  EXPECT_EQ(r2[0], 4u);
  EXPECT_EQ(r2[1], 5u);
  MpMod(r2, u, 3, zero, 2);
  EXPECT_EQ(r2[0], 4u);
}

TEST(MpBasics, ShiftsAddSubCompare) {
  const MpDigit x[2] = {0x80000001u, 0x12345678u};
  MpDigit a[2] = {1, 1};
  EXPECT_EQ(MpShiftLeft(a, x, 0, 2), 0u);
  EXPECT_EQ(a[0], x[0]);
  EXPECT_EQ(a[1], x[1]);
  a[0] = a[1] = 42;
  EXPECT_EQ(MpShiftLeft(a, x, 32, 2), 0u);
  EXPECT_EQ(MpShiftRight(a, x, 32, 2), 0u);
  EXPECT_EQ(a[0], 42u);
  EXPECT_EQ(a[1], 42u);
  EXPECT_EQ(MpShiftLeft(a, x, 4, 2), 0x1u);
  EXPECT_EQ(a[0], 0x00000010u);
  EXPECT_EQ(a[1], 0x23456788u);
  EXPECT_EQ(MpShiftRight(a, x, 4, 2), 0x10000000u);
  EXPECT_EQ(a[0], 0x88000000u);
  EXPECT_EQ(a[1], 0x01234567u);

  // Smaller minus larger: borrow 1 and the difference plus 2^64.
  const MpDigit small[2] = {1, 0}, big[2] = {2, 0};
  EXPECT_EQ(MpSub(a, small, big, 2), 1u);
  EXPECT_EQ(a[0], 0xFFFFFFFFu);
  EXPECT_EQ(a[1], 0xFFFFFFFFu);
  EXPECT_EQ(MpAdd(a, a, big, 2), 1u);  // in place
  EXPECT_EQ(a[0], 1u);
  EXPECT_EQ(a[1], 0u);

  // Only the n digits given are compared.
  const MpDigit p[3] = {5, 6, 1}, q[3] = {5, 6, 2};
  EXPECT_EQ(MpCompare(p, q, 2), 0);
  EXPECT_EQ(MpCompare(p, q, 3), -1);
  EXPECT_EQ(MpCompare(q, p, 3), 1);

  MpDigit pw[3];
  MpAssignPow2(pw, 65, 3);
  EXPECT_EQ(pw[2], 2u);
  EXPECT_EQ(pw[0] | pw[1], 0u);
  MpAssignPow2(pw, 96, 3);
  EXPECT_TRUE(MpIsZero(pw, 3));
}

TEST(MpBasics, DigitMulAccumulate) {
  const MpDigit y[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
  MpDigit a[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
  // (2^64 - 1) + (2^32 - 1)(2^64 - 1) = 2^32 (2^64 - 1): low digits 0, 0xFFFFFFFF, carry
  // 0xFFFFFFFF.
  EXPECT_EQ(MpAddDigitMul(a, a, 0xFFFFFFFFu, y, 2), 0xFFFFFFFFu);
  EXPECT_EQ(a[0], 0u);
  EXPECT_EQ(a[1], 0xFFFFFFFFu);
  // And back: subtracting the same product restores the operand with the same borrow digit.
  EXPECT_EQ(MpSubDigitMul(a, a, 0xFFFFFFFFu, y, 2), 0xFFFFFFFFu);
  EXPECT_EQ(a[0], 0xFFFFFFFFu);
  EXPECT_EQ(a[1], 0xFFFFFFFFu);
}

}  // namespace
}  // namespace pelvane
