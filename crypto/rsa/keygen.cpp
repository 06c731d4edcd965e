#include "crypto/rsa/keygen.h"

#include <array>
#include <vector>

#include "crypto/exception.h"
#include "crypto/secure.h"

namespace pelvane {

namespace {

constexpr std::size_t kMax = MpMaxDigits;
constexpr int kMillerRabinRounds = 40;

// Odd primes below 2000, for trial division before the Miller-Rabin rounds.
const std::vector<MpDigit>& SmallPrimes() {
  static const std::vector<MpDigit> primes = [] {
    constexpr int kLimit = 2000;
    std::vector<bool> composite(kLimit, false);
    std::vector<MpDigit> out;
    for (int i = 3; i < kLimit; i += 2) {
      if (composite[i]) continue;
      out.push_back(static_cast<MpDigit>(i));
      for (int j = i * i; j < kLimit; j += 2 * i)
        composite[j] = true;
    }
    return out;
  }();
  return primes;
}

MpDigit ModDigit(const MpDigit* x, std::size_t n, MpDigit v) {
  std::uint64_t r = 0;
  for (std::size_t i = n; i-- > 0;)
    r = ((r << 32) | x[i]) % v;
  return static_cast<MpDigit>(r);
}

bool IsOne(const MpDigit* x, std::size_t n) {
  return n > 0 && x[0] == 1 && MpIsZero(x + 1, n - 1);
}

// Key field bytes of a number of `digits` digits: big-endian words, least significant first.
std::string KeyField(const MpDigit* x, std::size_t digits) {
  std::string out;
  for (std::size_t i = 0; i < digits; ++i) {
    out.push_back(static_cast<char>(x[i] >> 24));
    out.push_back(static_cast<char>(x[i] >> 16));
    out.push_back(static_cast<char>(x[i] >> 8));
    out.push_back(static_cast<char>(x[i]));
  }
  return out;
}

// A random probable prime of exactly 32 * digits bits whose two top bits are set.
void RandomPrime(MpDigit* p, std::size_t digits) {
  for (;;) {
    SecureRandomBytes(p, digits * sizeof(MpDigit));
    p[digits - 1] |= 0xC0000000u;
    p[0] |= 1;
    if (IsProbablePrime(p, digits, kMillerRabinRounds)) return;
  }
}

}  // namespace

RsaKeyPair::~RsaKeyPair() {
  SecureWipe(private_key);
}

bool IsProbablePrime(const MpDigit* p, std::size_t n, int rounds) {
  const std::size_t k = MpDigitCount(p, n);
  if (k == 0) return false;
  if (k == 1 && p[0] < 4) return p[0] >= 2;
  if ((p[0] & 1) == 0) return false;
  for (MpDigit sp : SmallPrimes()) {
    if (k == 1 && p[0] == sp) return true;
    if (ModDigit(p, k, sp) == 0) return false;
  }
  // p - 1 = 2^s * d with d odd.
  std::array<MpDigit, kMax> pm1{}, d{}, pm3{}, a{}, x{};
  MpAssign(pm1.data(), p, k);
  pm1[0] -= 1;  // p is odd: no borrow
  std::size_t s = 0;
  while (((pm1[s / 32] >> (s % 32)) & 1) == 0)
    ++s;
  MpAssign(d.data(), pm1.data(), k);
  const std::size_t words = s / 32;
  for (std::size_t i = 0; i < k; ++i)
    d[i] = i + words < k ? d[i + words] : 0;
  MpShiftRight(d.data(), d.data(), static_cast<unsigned>(s % 32), k);
  // Bases from 2 to p - 2: a random number modulo p - 3, plus 2.
  std::array<MpDigit, kMax> small{};
  small[0] = 3;
  MpSub(pm3.data(), p, small.data(), k);
  small[0] = 2;
  bool prime = true;
  for (int round = 0; round < rounds && prime; ++round) {
    SecureRandomBytes(a.data(), k * sizeof(MpDigit));
    MpMod(a.data(), a.data(), k, pm3.data(), k);
    MpAdd(a.data(), a.data(), small.data(), k);
    MpModPow(x.data(), a.data(), d.data(), k, p, k);
    if (IsOne(x.data(), k) || MpCompare(x.data(), pm1.data(), k) == 0) continue;
    bool witness = true;
    for (std::size_t i = 1; i < s; ++i) {
      MpModMul(x.data(), x.data(), x.data(), p, k);
      if (MpCompare(x.data(), pm1.data(), k) == 0) {
        witness = false;
        break;
      }
      if (IsOne(x.data(), k)) break;
    }
    if (witness) prime = false;
  }
  SecureWipe(pm1);
  SecureWipe(d);
  SecureWipe(pm3);
  SecureWipe(a);
  SecureWipe(x);
  return prime;
}

RsaKeyPair GenerateRsaKeyPair(TKeyBits bits) {
  const std::size_t kd = bits == kb2048 ? 64 : bits == kb1024 ? 32 : 16;  // key digits
  const std::size_t hd = kd / 2;                                          // prime digits
  std::array<MpDigit, kMax> p{}, q{}, pm1{}, qm1{}, phi{}, n{}, e{}, d{}, g{}, check{};
  std::array<MpDigit, 2 * kMax> wide{};
  for (;;) {
    RandomPrime(p.data(), hd);
    RandomPrime(q.data(), hd);
    if (MpCompare(p.data(), q.data(), hd) == 0) continue;
    pm1 = p;
    qm1 = q;
    pm1[0] -= 1;
    qm1[0] -= 1;
    MpMul(wide.data(), pm1.data(), qm1.data(), hd);
    MpAssign(phi.data(), wide.data(), kd);
    MpMul(wide.data(), p.data(), q.data(), hd);
    MpAssign(n.data(), wide.data(), kd);
    e.fill(0);
    e[0] = 65537;
    MpGcd(g.data(), e.data(), phi.data(), kd);
    if (!IsOne(g.data(), kd)) continue;
    MpModInverse(d.data(), e.data(), phi.data(), kd);
    MpModMul(check.data(), d.data(), e.data(), phi.data(), kd);
    if (!IsOne(check.data(), kd)) continue;
    // Round trip of a test value as a last guard against an unusable pair.
    std::array<MpDigit, kMax> m{}, c{}, back{};
    m[0] = 0x12345678u;
    m[hd] = 0x9ABCDEF0u;
    MpModPow(c.data(), m.data(), e.data(), kd, n.data(), kd);
    MpModPow(back.data(), c.data(), d.data(), kd, n.data(), kd);
    if (MpCompare(back.data(), m.data(), kd) != 0) continue;
    break;
  }
  RsaKeyPair pair;
  const std::string exponent_field("\x00\x01\x00\x01", 4);
  const std::string modulus_text = TRSA::EncodeBase64(KeyField(n.data(), kd));
  pair.public_key = TRSA::EncodeBase64(exponent_field) + ":" + modulus_text;
  WipedString d_field(KeyField(d.data(), kd));
  pair.private_key = modulus_text + ":" + TRSA::EncodeBase64(*d_field);
  SecureWipe(p);
  SecureWipe(q);
  SecureWipe(pm1);
  SecureWipe(qm1);
  SecureWipe(phi);
  SecureWipe(d);
  SecureWipe(check);
  SecureWipe(wide);
  return pair;
}

}  // namespace pelvane
