// RSA: one 512-bit private-key block, and the modular exponentiation underneath beside
// OpenSSL's BN_mod_exp and GMP's mpz_powm on the same operands (512-bit modulus, 510-bit
// exponent).
#include <benchmark/benchmark.h>
#include <gmp.h>
#include <openssl/bn.h>

#include <array>
#include <random>
#include <string>

#include "crypto/rsa/keygen.h"
#include "crypto/rsa/mp.h"
#include "crypto/rsa/rsa.h"

namespace {

using pelvane::MpDigit;

constexpr std::size_t kDigits = 16;  // 512 bits

// Fixed operands: an odd 512-bit modulus, a base below it and a 510-bit exponent.
struct Operands {
  std::array<MpDigit, kDigits> m{}, x{}, e{};
  Operands() {
    std::mt19937 rng(20240611);
    for (auto& d : m)
      d = rng();
    for (auto& d : x)
      d = rng();
    for (auto& d : e)
      d = rng();
    m[kDigits - 1] |= 0x80000000u;
    m[0] |= 1;
    x[kDigits - 1] &= 0x7FFFFFFFu;
    e[kDigits - 1] = (e[kDigits - 1] & 0x3FFFFFFFu) | 0x20000000u;  // exactly 510 bits
  }
};

const Operands& Ops() {
  static const Operands ops;
  return ops;
}

void BM_RsaDecryptBlock512(benchmark::State& state) {
  const pelvane::RsaKeyPair pair = pelvane::GenerateRsaKeyPair(pelvane::kb0512);
  pelvane::TRSA rsa;
  rsa.SetKeyBits(pelvane::kb0512);
  rsa.SetPublicKey(pair.public_key);
  rsa.SetPrivateKey(pair.private_key);
  const std::string cipher = rsa.EncryptString(std::string(24, 'k'));
  for (auto _ : state)
    benchmark::DoNotOptimize(rsa.DecryptString(cipher));
}
BENCHMARK(BM_RsaDecryptBlock512);

void BM_MpModPowOurs(benchmark::State& state) {
  const Operands& o = Ops();
  std::array<MpDigit, kDigits> a{};
  for (auto _ : state) {
    pelvane::MpModPow(a.data(), o.x.data(), o.e.data(), kDigits, o.m.data(), kDigits);
    benchmark::DoNotOptimize(a);
  }
}

void ToBn(BIGNUM* bn, const std::array<MpDigit, kDigits>& d) {
  unsigned char be[4 * kDigits];
  for (std::size_t i = 0; i < kDigits; ++i) {
    const MpDigit w = d[kDigits - 1 - i];
    be[4 * i] = static_cast<unsigned char>(w >> 24);
    be[4 * i + 1] = static_cast<unsigned char>(w >> 16);
    be[4 * i + 2] = static_cast<unsigned char>(w >> 8);
    be[4 * i + 3] = static_cast<unsigned char>(w);
  }
  BN_bin2bn(be, sizeof be, bn);
}

void BM_MpModPowOpenSsl(benchmark::State& state) {
  const Operands& o = Ops();
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM *m = BN_new(), *x = BN_new(), *e = BN_new(), *r = BN_new();
  ToBn(m, o.m);
  ToBn(x, o.x);
  ToBn(e, o.e);
  for (auto _ : state) {
    BN_mod_exp(r, x, e, m, ctx);
    benchmark::DoNotOptimize(r);
  }
  BN_free(m);
  BN_free(x);
  BN_free(e);
  BN_free(r);
  BN_CTX_free(ctx);
}

void ToMpz(mpz_t z, const std::array<MpDigit, kDigits>& d) {
  mpz_import(z, kDigits, -1, sizeof(MpDigit), 0, 0, d.data());
}

void BM_MpModPowGmp(benchmark::State& state) {
  const Operands& o = Ops();
  mpz_t m, x, e, r;
  mpz_inits(m, x, e, r, nullptr);
  ToMpz(m, o.m);
  ToMpz(x, o.x);
  ToMpz(e, o.e);
  for (auto _ : state) {
    mpz_powm(r, x, e, m);
    benchmark::DoNotOptimize(r);
  }
  mpz_clears(m, x, e, r, nullptr);
}

BENCHMARK(BM_MpModPowOurs)->Name("MpModPow vs OpenSSL:ours");
BENCHMARK(BM_MpModPowOpenSsl)->Name("MpModPow vs OpenSSL:reference");
BENCHMARK(BM_MpModPowOurs)->Name("MpModPow vs GMP:ours");
BENCHMARK(BM_MpModPowGmp)->Name("MpModPow vs GMP:reference");

}  // namespace
