// Triple DES throughput: our three-key block function beside OpenSSL's DES_ecb3_encrypt on
// 8-byte blocks, and the envelope cipher (TCipher_3TDES, cmCTS, EncodeString with its MIME
// Base 64 text) beside our own three-key ECB over the same bytes.
#include <benchmark/benchmark.h>
#include <openssl/des.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "crypto/cipher/cipher_manager.h"
#include "crypto/cipher/des.h"
#include "crypto/hash/hash_manager.h"

namespace {

constexpr std::size_t kBytes = 4096;
const unsigned char kKey[24] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01,
                                0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23};

std::string Data(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>(i * 29 + 7);
  return s;
}

// Our TCipher_3DES, one EncryptBlock per 8-byte block.
void Des3Ours(benchmark::State& state) {
  std::string data = Data(kBytes);
  pelvane::TCipher_3DES cipher;
  cipher.Init(kKey, 24, nullptr);
  for (auto _ : state) {
    for (std::size_t pos = 0; pos < kBytes; pos += 8)
      cipher.EncryptBlock(data.data() + pos);
    benchmark::DoNotOptimize(data.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

// OpenSSL, one DES_ecb3_encrypt per 8-byte block.
void Des3OpenSsl(benchmark::State& state) {
  std::string data = Data(kBytes);
  DES_cblock keys[3];
  std::memcpy(keys, kKey, sizeof keys);
  DES_key_schedule k1, k2, k3;
  DES_set_key_unchecked(&keys[0], &k1);
  DES_set_key_unchecked(&keys[1], &k2);
  DES_set_key_unchecked(&keys[2], &k3);
  for (auto _ : state) {
    for (std::size_t pos = 0; pos < kBytes; pos += 8) {
      auto* block = reinterpret_cast<DES_cblock*>(data.data() + pos);
      DES_ecb3_encrypt(block, block, &k1, &k2, &k3, DES_ENCRYPT);
    }
    benchmark::DoNotOptimize(data.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

// The envelope path: EncodeString of 4 KiB under an MD5-keyed "DES Triple 24byte" in cmCTS.
void EnvelopeEncode(benchmark::State& state) {
  const std::string data = Data(kBytes);
  pelvane::THashManager hashes;
  hashes.SetAlgorithm("Message Digest 5");
  pelvane::TCipherManager manager;
  manager.SetHashManager(&hashes);
  manager.SetAlgorithm("DES Triple 24byte");
  manager.InitKey(std::string(reinterpret_cast<const char*>(kKey), 24));
  for (auto _ : state) {
    std::string text = manager.EncodeString(data);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

// Our three-key ECB over the same 4 KiB.
void Des3EcbBuffer(benchmark::State& state) {
  const std::string data = Data(kBytes);
  std::string out(kBytes, '\0');
  pelvane::TCipher_3DES cipher;
  cipher.SetMode(pelvane::cmECB);
  cipher.Init(kKey, 24, nullptr);
  for (auto _ : state) {
    cipher.EncryptBuffer(data.data(), out.data(), kBytes);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}

BENCHMARK(Des3Ours)->Name("DES:ours");
BENCHMARK(Des3OpenSsl)->Name("DES:reference");
BENCHMARK(EnvelopeEncode)->Name("3TDES:ours");
BENCHMARK(Des3EcbBuffer)->Name("3TDES:reference");

}  // namespace
