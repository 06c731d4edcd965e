// Throughput of the further block ciphers in cmECB over 4 KiB, beside the fastest independent
// implementation Debian ships for each: Rijndael-128 beside OpenSSL's AES-128-ECB, Twofish and
// CAST-128 beside Botan, the fastest of OpenSSL, Botan and Crypto++ here (the others run as
// unpaired lines so that this can be checked again).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <botan/block_cipher.h>
#include <crypto++/cast.h>
#include <crypto++/modes.h>
#include <crypto++/twofish.h>

#include <cstdint>
#include <memory>
#include <string>

#include "crypto/cipher/cast.h"
#include "crypto/cipher/rijndael.h"
#include "crypto/cipher/twofish.h"

namespace {

constexpr std::size_t kBytes = 4096;
const unsigned char kKey[32] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x23, 0x45, 0x67,
                                0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                0x01, 0x23, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45};

std::string Data(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>(i * 29 + 7);
  return s;
}

// Our class in cmECB through EncryptBuffer, the path every caller takes.
template <typename Cipher>
void OursEcb(benchmark::State& state, std::int32_t key_size) {
  const std::string data = Data(kBytes);
  std::string out(kBytes, '\0');
  Cipher cipher;
  cipher.SetMode(pelvane::cmECB);
  cipher.Init(kKey, key_size, nullptr);
  for (auto _ : state) {
    cipher.EncryptBuffer(data.data(), out.data(), kBytes);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

// OpenSSL's EVP interface in ECB without padding.
void OpenSslEcb(benchmark::State& state, const char* name, int key_size) {
  OSSL_PROVIDER_load(nullptr, "legacy");
  OSSL_PROVIDER_load(nullptr, "default");
  const std::string data = Data(kBytes);
  std::string out(kBytes, '\0');
  EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, name, nullptr);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  if (cipher == nullptr || ctx == nullptr) {
    state.SkipWithError("cipher not available");
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
    return;
  }
  EVP_EncryptInit_ex(ctx, cipher, nullptr, nullptr, nullptr);
  EVP_CIPHER_CTX_set_key_length(ctx, key_size);
  EVP_EncryptInit_ex(ctx, nullptr, nullptr, kKey, nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  for (auto _ : state) {
    int n = 0;
    EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n,
                      reinterpret_cast<const unsigned char*>(data.data()),
                      static_cast<int>(kBytes));
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
  EVP_CIPHER_CTX_free(ctx);
  EVP_CIPHER_free(cipher);
}

// Botan's block cipher interface over all blocks at once.
void BotanEcb(benchmark::State& state, const char* name, std::size_t key_size) {
  std::string data = Data(kBytes);
  std::string out(kBytes, '\0');
  auto cipher = Botan::BlockCipher::create_or_throw(name);
  cipher->set_key(kKey, key_size);
  const std::size_t blocks = kBytes / cipher->block_size();
  for (auto _ : state) {
    cipher->encrypt_n(reinterpret_cast<const std::uint8_t*>(data.data()),
                      reinterpret_cast<std::uint8_t*>(out.data()), blocks);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

// One block per call, for the pairs of block functions: ours through EncryptBlock, Botan's
// through encrypt_n with a count of one.
template <typename Cipher>
void OursPerBlock(benchmark::State& state, std::int32_t key_size) {
  std::string data = Data(kBytes);
  Cipher cipher;
  cipher.Init(kKey, key_size, nullptr);
  const std::size_t b = static_cast<std::size_t>(cipher.BlockSize());
  for (auto _ : state) {
    for (std::size_t pos = 0; pos < kBytes; pos += b)
      cipher.EncryptBlock(data.data() + pos);
    benchmark::DoNotOptimize(data.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

void BotanPerBlock(benchmark::State& state, const char* name, std::size_t key_size) {
  std::string data = Data(kBytes);
  auto cipher = Botan::BlockCipher::create_or_throw(name);
  cipher->set_key(kKey, key_size);
  const std::size_t b = cipher->block_size();
  for (auto _ : state) {
    for (std::size_t pos = 0; pos < kBytes; pos += b) {
      auto* block = reinterpret_cast<std::uint8_t*>(data.data() + pos);
      cipher->encrypt_n(block, block, 1);
    }
    benchmark::DoNotOptimize(data.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

// Crypto++'s ECB mode over all blocks at once.
template <typename Cipher>
void CryptoPpEcb(benchmark::State& state, std::size_t key_size) {
  const std::string data = Data(kBytes);
  std::string out(kBytes, '\0');
  typename CryptoPP::ECB_Mode<Cipher>::Encryption ecb(kKey, key_size);
  for (auto _ : state) {
    ecb.ProcessData(reinterpret_cast<CryptoPP::byte*>(out.data()),
                    reinterpret_cast<const CryptoPP::byte*>(data.data()), kBytes);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

void RijndaelOurs(benchmark::State& state) {
  OursEcb<pelvane::TCipher_Rijndael>(state, 16);
}
void TwofishOurs(benchmark::State& state) {
  OursEcb<pelvane::TCipher_Twofish>(state, 32);
}
void TwofishCryptoPp(benchmark::State& state) {
  CryptoPpEcb<CryptoPP::Twofish>(state, 32);
}
void Cast128Ours(benchmark::State& state) {
  OursEcb<pelvane::TCipher_Cast128>(state, 16);
}
void Cast128CryptoPp(benchmark::State& state) {
  CryptoPpEcb<CryptoPP::CAST128>(state, 16);
}

// Our whole-block runs called directly, in place (eight blocks at a time through the AES
// instructions): cmECB without the framework around it.
void RijndaelOursWholeBlocks(benchmark::State& state) {
  std::string out = Data(kBytes);
  pelvane::TCipher_Rijndael cipher;
  cipher.Init(kKey, 16, nullptr);
  for (auto _ : state) {
    // In place, over the previous pass's output.
    cipher.EncryptBlocks(reinterpret_cast<const std::uint8_t*>(out.data()),
                         reinterpret_cast<std::uint8_t*>(out.data()), kBytes / 16);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

void RijndaelOursPerBlock(benchmark::State& state) {
  OursPerBlock<pelvane::TCipher_Rijndael>(state, 16);
}
void TwofishOursPerBlock(benchmark::State& state) {
  OursPerBlock<pelvane::TCipher_Twofish>(state, 32);
}
void Cast128OursPerBlock(benchmark::State& state) {
  OursPerBlock<pelvane::TCipher_Cast128>(state, 16);
}

// The main pairs go through EncryptBuffer in cmECB, which hands whole runs of blocks to the
// classes' multi-block code; the "block" pairs compare the block functions one block per call.
BENCHMARK(RijndaelOurs)->Name("Rijndael-128 ECB:ours");
BENCHMARK_CAPTURE(OpenSslEcb, aes, "AES-128-ECB", 16)->Name("Rijndael-128 ECB:reference");

BENCHMARK(TwofishOurs)->Name("Twofish:ours");
BENCHMARK_CAPTURE(BotanEcb, twofish, "Twofish", 32)->Name("Twofish:reference");
BENCHMARK(TwofishCryptoPp)->Name("Twofish Crypto++");

BENCHMARK(Cast128Ours)->Name("CAST-128:ours");
BENCHMARK_CAPTURE(BotanEcb, cast, "CAST-128", 16)->Name("CAST-128:reference");
BENCHMARK_CAPTURE(OpenSslEcb, cast, "CAST5-ECB", 16)->Name("CAST-128 OpenSSL");
BENCHMARK(Cast128CryptoPp)->Name("CAST-128 Crypto++");

BENCHMARK(RijndaelOursWholeBlocks)->Name("Rijndael-128 runs:ours");
BENCHMARK_CAPTURE(OpenSslEcb, aes_runs, "AES-128-ECB", 16)->Name("Rijndael-128 runs:reference");
BENCHMARK(RijndaelOursPerBlock)->Name("Rijndael-128 block:ours");
BENCHMARK_CAPTURE(BotanPerBlock, aes, "AES-128", 16)->Name("Rijndael-128 block:reference");
BENCHMARK(TwofishOursPerBlock)->Name("Twofish block:ours");
BENCHMARK_CAPTURE(BotanPerBlock, twofish, "Twofish", 32)->Name("Twofish block:reference");
BENCHMARK(Cast128OursPerBlock)->Name("CAST-128 block:ours");
BENCHMARK_CAPTURE(BotanPerBlock, cast, "CAST-128", 16)->Name("CAST-128 block:reference");

}  // namespace
