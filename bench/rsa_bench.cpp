// RSA: modular exponentiation beside OpenSSL's BN_mod_exp and GMP's mpz_powm on the same
// operands (moduli of 512, 1024 and 2048 bits, exponents two bits shorter), and one private-key
// block of the wallet's key size beside OpenSSL's raw RSA private operation on the same key.
#include <benchmark/benchmark.h>
#include <gmp.h>
#include <openssl/bn.h>
#include <openssl/rsa.h>

#include <array>
#include <cstring>
#include <random>
#include <string>

#include "crypto/rsa/keygen.h"
#include "crypto/rsa/mp.h"
#include "crypto/rsa/rsa.h"

namespace {

using pelvane::MpDigit;

// Fixed operands of `Digits` digits: an odd modulus with the top bit set, a base below it and
// an exponent of exactly 32 Digits - 2 bits.
template <std::size_t Digits>
struct Operands {
  std::array<MpDigit, Digits> m{}, x{}, e{};
  Operands() {
    std::mt19937 rng(20240611 + Digits);
    for (auto& d : m)
      d = rng();
    for (auto& d : x)
      d = rng();
    for (auto& d : e)
      d = rng();
    m[Digits - 1] |= 0x80000000u;
    m[0] |= 1;
    x[Digits - 1] &= 0x7FFFFFFFu;
    e[Digits - 1] = (e[Digits - 1] & 0x3FFFFFFFu) | 0x20000000u;
  }
};

template <std::size_t Digits>
const Operands<Digits>& Ops() {
  static const Operands<Digits> ops;
  return ops;
}

// Big-endian bytes of a number of `n` digits, least significant digit first.
void ToBn(BIGNUM* bn, const MpDigit* d, std::size_t n) {
  std::string be(4 * n, '\0');
  for (std::size_t i = 0; i < n; ++i) {
    const MpDigit w = d[n - 1 - i];
    be[4 * i] = static_cast<char>(w >> 24);
    be[4 * i + 1] = static_cast<char>(w >> 16);
    be[4 * i + 2] = static_cast<char>(w >> 8);
    be[4 * i + 3] = static_cast<char>(w);
  }
  BN_bin2bn(reinterpret_cast<const unsigned char*>(be.data()), static_cast<int>(be.size()), bn);
}

void ToMpz(mpz_t z, const MpDigit* d, std::size_t n) {
  mpz_import(z, n, -1, sizeof(MpDigit), 0, 0, d);
}

template <std::size_t Digits>
void BM_MpModPowOurs(benchmark::State& state) {
  const auto& o = Ops<Digits>();
  std::array<MpDigit, Digits> a{};
  for (auto _ : state) {
    pelvane::MpModPow(a.data(), o.x.data(), o.e.data(), Digits, o.m.data(), Digits);
    benchmark::DoNotOptimize(a);
  }
}

template <std::size_t Digits>
void BM_MpModPowOpenSsl(benchmark::State& state) {
  const auto& o = Ops<Digits>();
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM *m = BN_new(), *x = BN_new(), *e = BN_new(), *r = BN_new();
  ToBn(m, o.m.data(), Digits);
  ToBn(x, o.x.data(), Digits);
  ToBn(e, o.e.data(), Digits);
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

template <std::size_t Digits>
void BM_MpModPowGmp(benchmark::State& state) {
  const auto& o = Ops<Digits>();
  mpz_t m, x, e, r;
  mpz_inits(m, x, e, r, nullptr);
  ToMpz(m, o.m.data(), Digits);
  ToMpz(x, o.x.data(), Digits);
  ToMpz(e, o.e.data(), Digits);
  for (auto _ : state) {
    mpz_powm(r, x, e, m);
    benchmark::DoNotOptimize(r);
  }
  mpz_clears(m, x, e, r, nullptr);
}

// ---- One private-key block of the wallet's key size (512 bits) ----

constexpr std::size_t kKeyDigits = 16;

// A 512-bit key pair, its modulus and exponents as numbers, and one cipher block.
struct RsaBlock {
  pelvane::RsaKeyPair pair = pelvane::GenerateRsaKeyPair(pelvane::kb0512);
  std::array<MpDigit, kKeyDigits> n{}, d{}, c{};
  MpDigit e = 0;
  std::string cipher_text;  // one block in TRSA's Base64 form

  RsaBlock() {
    // Key texts: "exponent:modulus" and "modulus:private exponent", each field big-endian
    // 32-bit words, least significant word first.
    const std::string& pub = pair.public_key;
    const std::string& priv = pair.private_key;
    const std::string ebytes = pelvane::TRSA::DecodeBase64(pub.substr(0, pub.find(':')));
    const std::string nbytes = pelvane::TRSA::DecodeBase64(priv.substr(0, priv.find(':')));
    const std::string dbytes = pelvane::TRSA::DecodeBase64(priv.substr(priv.find(':') + 1));
    Words(ebytes, &e, 1);
    Words(nbytes, n.data(), kKeyDigits);
    Words(dbytes, d.data(), kKeyDigits);
    pelvane::TRSA rsa;
    rsa.SetKeyBits(pelvane::kb0512);
    rsa.SetPublicKey(pair.public_key);
    // 62 text bytes and one pad byte fill exactly one plain block (63 bytes).
    cipher_text = rsa.EncryptString(std::string(62, 'k'));
    const std::string block = pelvane::TRSA::DecodeBase64(cipher_text);
    for (std::size_t i = 0; i < 4 * kKeyDigits; ++i)  // little-endian block bytes
      c[i / 4] |= static_cast<MpDigit>(static_cast<unsigned char>(block[i])) << (8 * (i % 4));
  }
  static void Words(const std::string& bytes, MpDigit* out, std::size_t n) {
    for (std::size_t w = 0; w < n && 4 * w + 3 < bytes.size(); ++w) {
      const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * w;
      out[w] = (MpDigit{p[0]} << 24) | (MpDigit{p[1]} << 16) | (MpDigit{p[2]} << 8) | p[3];
    }
  }
};

const RsaBlock& Block() {
  static const RsaBlock block;
  return block;
}

void BM_RsaPrivateBlockOurs(benchmark::State& state) {
  const RsaBlock& b = Block();
  pelvane::TRSA rsa;
  rsa.SetKeyBits(pelvane::kb0512);
  rsa.SetPublicKey(b.pair.public_key);
  rsa.SetPrivateKey(b.pair.private_key);
  for (auto _ : state)
    benchmark::DoNotOptimize(rsa.DecryptString(b.cipher_text));
}

// OpenSSL's raw private operation (no padding) on a key that holds only n, e and d, so the
// exponentiation runs with the full private exponent and without CRT; blinding is off, as
// ours has none.
void BM_RsaPrivateBlockOpenSsl(benchmark::State& state) {
  const RsaBlock& b = Block();
  RSA* key = RSA_new();
  BIGNUM *n = BN_new(), *e = BN_new(), *d = BN_new();
  ToBn(n, b.n.data(), kKeyDigits);
  BN_set_word(e, b.e);
  ToBn(d, b.d.data(), kKeyDigits);
  RSA_set0_key(key, n, e, d);
  RSA_blinding_off(key);
  RSA_set_flags(key, RSA_FLAG_NO_BLINDING);
  unsigned char in[4 * kKeyDigits], out[4 * kKeyDigits];
  for (std::size_t i = 0; i < kKeyDigits; ++i) {
    const MpDigit w = b.c[kKeyDigits - 1 - i];
    for (int j = 0; j < 4; ++j)
      in[4 * i + j] = static_cast<unsigned char>(w >> (24 - 8 * j));
  }
  if (RSA_private_decrypt(sizeof in, in, out, key, RSA_NO_PADDING) != sizeof out) {
    state.SkipWithError("RSA_private_decrypt failed");
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(RSA_private_decrypt(sizeof in, in, out, key, RSA_NO_PADDING));
    benchmark::ClobberMemory();
  }
  RSA_free(key);
}

BENCHMARK(BM_MpModPowOurs<16>)->Name("MpModPow vs OpenSSL:ours");
BENCHMARK(BM_MpModPowOpenSsl<16>)->Name("MpModPow vs OpenSSL:reference");
BENCHMARK(BM_MpModPowOurs<16>)->Name("MpModPow vs GMP:ours");
BENCHMARK(BM_MpModPowGmp<16>)->Name("MpModPow vs GMP:reference");
BENCHMARK(BM_MpModPowOurs<32>)->Name("MpModPow 1024 vs OpenSSL:ours");
BENCHMARK(BM_MpModPowOpenSsl<32>)->Name("MpModPow 1024 vs OpenSSL:reference");
BENCHMARK(BM_MpModPowOurs<32>)->Name("MpModPow 1024 vs GMP:ours");
BENCHMARK(BM_MpModPowGmp<32>)->Name("MpModPow 1024 vs GMP:reference");
BENCHMARK(BM_MpModPowOurs<64>)->Name("MpModPow 2048 vs OpenSSL:ours");
BENCHMARK(BM_MpModPowOpenSsl<64>)->Name("MpModPow 2048 vs OpenSSL:reference");
BENCHMARK(BM_MpModPowOurs<64>)->Name("MpModPow 2048 vs GMP:ours");
BENCHMARK(BM_MpModPowGmp<64>)->Name("MpModPow 2048 vs GMP:reference");
BENCHMARK(BM_RsaPrivateBlockOurs)->Name("RSA 512 private block vs OpenSSL:ours");
BENCHMARK(BM_RsaPrivateBlockOpenSsl)->Name("RSA 512 private block vs OpenSSL:reference");

}  // namespace
