// Digest throughput beside OpenSSL's MD5 (4 KiB and 64 bytes) and SHA-1 (4 KiB) on identical
// inputs; SHA (no rotation) beside our own SHA-1 on 4 KiB. Each iteration is a whole digest:
// reset, update, finish.
#include <benchmark/benchmark.h>
#include <openssl/md5.h>
#include <openssl/sha.h>

#include <cstdint>
#include <string>

#include "crypto/hash/hash.h"

namespace {

std::string Data(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>(i * 29 + 7);
  return s;
}

template <class Hash>
void Ours(benchmark::State& state, std::size_t size) {
  const std::string data = Data(size);
  Hash hash;
  for (auto _ : state) {
    hash.Reset();
    hash.Update(data.data(), data.size());
    hash.Finish();
    benchmark::DoNotOptimize(hash.DigestBytes()[0]);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void OpenSslMd5(benchmark::State& state, std::size_t size) {
  const std::string data = Data(size);
  unsigned char digest[MD5_DIGEST_LENGTH];
  for (auto _ : state) {
    MD5_CTX ctx;
    MD5_Init(&ctx);
    MD5_Update(&ctx, data.data(), data.size());
    MD5_Final(digest, &ctx);
    benchmark::DoNotOptimize(digest[0]);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void OpenSslSha1(benchmark::State& state, std::size_t size) {
  const std::string data = Data(size);
  unsigned char digest[SHA_DIGEST_LENGTH];
  for (auto _ : state) {
    SHA_CTX ctx;
    SHA1_Init(&ctx);
    SHA1_Update(&ctx, data.data(), data.size());
    SHA1_Final(digest, &ctx);
    benchmark::DoNotOptimize(digest[0]);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void OursMd5(benchmark::State& state, std::size_t size) {
  Ours<pelvane::THash_MD5>(state, size);
}
void OursSha1(benchmark::State& state, std::size_t size) {
  Ours<pelvane::THash_SHA1>(state, size);
}
void OursSha0(benchmark::State& state, std::size_t size) {
  Ours<pelvane::THash_SHA>(state, size);
}

BENCHMARK_CAPTURE(OursMd5, 4096, 4096)->Name("MD5 4KiB:ours");
BENCHMARK_CAPTURE(OpenSslMd5, 4096, 4096)->Name("MD5 4KiB:reference");
BENCHMARK_CAPTURE(OursMd5, 64, 64)->Name("MD5 64B:ours");
BENCHMARK_CAPTURE(OpenSslMd5, 64, 64)->Name("MD5 64B:reference");
BENCHMARK_CAPTURE(OursSha1, 4096, 4096)->Name("SHA-1:ours");
BENCHMARK_CAPTURE(OpenSslSha1, 4096, 4096)->Name("SHA-1:reference");
BENCHMARK_CAPTURE(OursSha0, 4096, 4096)->Name("SHA-0:ours");
BENCHMARK_CAPTURE(OursSha1, 4096, 4096)->Name("SHA-0:reference");

}  // namespace
