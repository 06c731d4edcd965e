// String formats beside OpenSSL on 4 KiB, one encode and one decode per iteration: hexadecimal
// (reference OPENSSL_buf2hexstr_ex and OPENSSL_hexstr2buf_ex without separators) and MIME
// Base 64 (reference EVP_EncodeBlock and EVP_DecodeBlock). Both sides encode the same bytes
// and decode the same text. Ours runs through the public entry points, registry lookup and
// input test included, and returns new strings; the references write into buffers allocated
// once.
#include <benchmark/benchmark.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

#include "crypto/formats/formats.h"

namespace {

constexpr std::size_t kSize = 4096;

const std::string& Data() {
  static const std::string data = [] {
    std::mt19937 rng(4096);
    std::string d(kSize, '\0');
    for (char& c : d)
      c = static_cast<char>(rng());
    return d;
  }();
  return data;
}

const std::string& HexText() {
  static const std::string text = pelvane::StrToFormat(Data(), pelvane::kFormatHex);
  return text;
}

const std::string& Base64Text() {
  static const std::string text = pelvane::StrToFormat(Data(), pelvane::kFormatMIME64);
  return text;
}

void HexOurs(benchmark::State& state) {
  const std::string& data = Data();
  const std::string& text = HexText();
  for (auto _ : state) {
    std::string encoded = pelvane::StrToFormat(data, pelvane::kFormatHex);
    benchmark::DoNotOptimize(encoded.data());
    std::string decoded = pelvane::FormatToStr(text, pelvane::kFormatHex);
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void HexReference(benchmark::State& state) {
  const std::string& data = Data();
  const std::string& text = HexText();
  std::vector<char> encoded(2 * kSize + 1);
  std::vector<unsigned char> decoded(kSize);
  for (auto _ : state) {
    size_t length = 0;
    OPENSSL_buf2hexstr_ex(encoded.data(), encoded.size(), &length,
                          reinterpret_cast<const unsigned char*>(data.data()), data.size(), '\0');
    benchmark::DoNotOptimize(encoded.data());
    OPENSSL_hexstr2buf_ex(decoded.data(), decoded.size(), &length, text.c_str(), '\0');
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void Base64Ours(benchmark::State& state) {
  const std::string& data = Data();
  const std::string& text = Base64Text();
  for (auto _ : state) {
    std::string encoded = pelvane::StrToFormat(data, pelvane::kFormatMIME64);
    benchmark::DoNotOptimize(encoded.data());
    std::string decoded = pelvane::FormatToStr(text, pelvane::kFormatMIME64);
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void Base64Reference(benchmark::State& state) {
  const std::string& data = Data();
  const std::string& text = Base64Text();
  std::vector<unsigned char> encoded(text.size() + 1);
  std::vector<unsigned char> decoded(text.size());
  for (auto _ : state) {
    int n = EVP_EncodeBlock(encoded.data(), reinterpret_cast<const unsigned char*>(data.data()),
                            static_cast<int>(data.size()));
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(encoded.data());
    n = EVP_DecodeBlock(decoded.data(), reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

BENCHMARK(HexOurs)->Name("hex:ours");
BENCHMARK(HexReference)->Name("hex:reference");
BENCHMARK(Base64Ours)->Name("Base64:ours");
BENCHMARK(Base64Reference)->Name("Base64:reference");

}  // namespace
