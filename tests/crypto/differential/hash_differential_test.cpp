// MD5 and SHA-1 beside OpenSSL, on random inputs of 0 to 10000 bytes fed in random pieces,
// through both SHA code paths (the processor's SHA extensions where present, and the portable
// code); SHA, which OpenSSL no longer has, is compared between its two code paths.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "crypto/hash/hash.h"
#include "crypto/hash/hash_internal.h"
#include "random_input.h"

namespace pelvane {
namespace {

using test::RandomBytes;
using test::RandomSize;

// Lengths around the padding boundaries, then random ones.
std::vector<std::size_t> Lengths(std::mt19937_64& rng) {
  std::vector<std::size_t> sizes = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 10000};
  for (int i = 0; i < 150; ++i)
    sizes.push_back(RandomSize(rng, 10000));
  return sizes;
}

std::string Reference(const EVP_MD* md, const std::string& data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EXPECT_EQ(EVP_Digest(data.data(), data.size(), digest, &size, md, nullptr), 1);
  return std::string(reinterpret_cast<const char*>(digest), size);
}

// Our digest of data, absorbed in random pieces (some empty) so that the buffering between
// Update calls is exercised as well as whole blocks.
std::string Ours(THash& hash, const std::string& data, std::mt19937_64& rng) {
  hash.Reset();
  std::size_t pos = 0;
  while (pos < data.size()) {
    const std::size_t piece = std::min(data.size() - pos, RandomSize(rng, 200));
    hash.Update(data.data() + pos, piece);
    pos += piece;
  }
  hash.Finish();
  return std::string(reinterpret_cast<const char*>(hash.DigestBytes()), hash.DigestSize());
}

// Selects the SHA code path for its lifetime.
class ShaPath {
 public:
  explicit ShaPath(bool extensions) : saved_(hash_internal::g_sha_use_extensions) {
    hash_internal::g_sha_use_extensions = extensions;
  }
  ~ShaPath() { hash_internal::g_sha_use_extensions = saved_; }
  ShaPath(const ShaPath&) = delete;
  ShaPath& operator=(const ShaPath&) = delete;

 private:
  bool saved_;
};

TEST(HashDifferential, Md5EqualsOpenSsl) {
  std::mt19937_64 rng(5);
  THash_MD5 hash;  // one object throughout: Reset must start afresh
  for (std::size_t n : Lengths(rng)) {
    SCOPED_TRACE(n);
    const std::string data = RandomBytes(rng, n);
    ASSERT_EQ(Ours(hash, data, rng), Reference(EVP_md5(), data));
  }
}

class ShaPaths : public ::testing::TestWithParam<bool> {};

TEST_P(ShaPaths, Sha1EqualsOpenSsl) {
  const ShaPath path(GetParam());
  std::mt19937_64 rng(1);
  THash_SHA1 hash;
  for (std::size_t n : Lengths(rng)) {
    SCOPED_TRACE(n);
    const std::string data = RandomBytes(rng, n);
    ASSERT_EQ(Ours(hash, data, rng), Reference(EVP_sha1(), data));
  }
}

INSTANTIATE_TEST_SUITE_P(HashDifferential, ShaPaths, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Extensions" : "Portable";
                         });

TEST(HashDifferential, ShaEqualOnBothPaths) {
  std::mt19937_64 rng(0);
  THash_SHA hash;
  for (std::size_t n : Lengths(rng)) {
    SCOPED_TRACE(n);
    const std::string data = RandomBytes(rng, n);
    std::string with, without;
    {
      const ShaPath path(true);
      with = Ours(hash, data, rng);
    }
    {
      const ShaPath path(false);
      without = Ours(hash, data, rng);
    }
    ASSERT_EQ(with, without);
  }
}

}  // namespace
}  // namespace pelvane
