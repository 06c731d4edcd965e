// Tiger throughput on 4 KiB beside the Debian implementations, used as black boxes: Crypto++
// (the faster of the two here, the "Tiger" pair) and mhash ("Tiger vs mhash"). Each iteration
// is a whole digest: reset, update, finish.
#include <benchmark/benchmark.h>
#include <crypto++/tiger.h>
#include <mhash.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "crypto/hash/tiger.h"

namespace {

constexpr std::size_t kSize = 4096;

std::string Data(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>(i * 29 + 7);
  return s;
}

void OursTiger(benchmark::State& state) {
  const std::string data = Data(kSize);
  pelvane::THash_Tiger hash;
  for (auto _ : state) {
    hash.Reset();
    hash.Update(data.data(), data.size());
    hash.Finish();
    benchmark::DoNotOptimize(hash.DigestBytes()[0]);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void CryptoppTiger(benchmark::State& state) {
  const std::string data = Data(kSize);
  CryptoPP::Tiger hash;
  CryptoPP::byte digest[CryptoPP::Tiger::DIGESTSIZE];
  for (auto _ : state) {
    hash.CalculateDigest(digest, reinterpret_cast<const CryptoPP::byte*>(data.data()), data.size());
    benchmark::DoNotOptimize(digest[0]);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void MhashTiger(benchmark::State& state) {
  const std::string data = Data(kSize);
  for (auto _ : state) {
    MHASH td = mhash_init(MHASH_TIGER192);
    mhash(td, data.data(), static_cast<mutils_word32>(data.size()));
    void* digest = mhash_end(td);
    benchmark::DoNotOptimize(static_cast<unsigned char*>(digest)[0]);
    std::free(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

BENCHMARK(OursTiger)->Name("Tiger:ours");
BENCHMARK(CryptoppTiger)->Name("Tiger:reference");
BENCHMARK(OursTiger)->Name("Tiger vs mhash:ours");
BENCHMARK(MhashTiger)->Name("Tiger vs mhash:reference");

}  // namespace
