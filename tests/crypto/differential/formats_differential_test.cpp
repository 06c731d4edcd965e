// MIME Base 64 beside OpenSSL's EVP_EncodeBlock and EVP_DecodeBlock, and hexadecimal beside a
// plain loop, on random bytes of 0 to 10000 bytes; decoding must give the bytes back.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

#include "crypto/formats/formats.h"
#include "random_input.h"

namespace pelvane {
namespace {

using test::RandomBytes;
using test::RandomSize;

std::vector<std::size_t> Lengths(std::mt19937_64& rng) {
  std::vector<std::size_t> sizes = {0, 1, 2, 3, 4, 5, 6, 10000};
  for (int i = 0; i < 150; ++i)
    sizes.push_back(RandomSize(rng, 10000));
  return sizes;
}

std::string ReferenceBase64(const std::string& data) {
  std::string text(4 * ((data.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                reinterpret_cast<const unsigned char*>(data.data()),
                                static_cast<int>(data.size()));
  text.resize(static_cast<std::size_t>(n));
  return text;
}

// EVP_DecodeBlock returns whole groups of three bytes; the padding tells how many are real.
std::string ReferenceBase64Decode(const std::string& text) {
  std::string bytes(text.size(), '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  EXPECT_GE(n, 0);
  std::size_t size = static_cast<std::size_t>(n);
  for (auto it = text.rbegin(); it != text.rend() && *it == '='; ++it)
    --size;
  bytes.resize(size);
  return bytes;
}

std::string LoopHex(const std::string& data, const char* digits) {
  std::string text;
  for (unsigned char c : data) {
    text += digits[c >> 4];
    text += digits[c & 15];
  }
  return text;
}

TEST(FormatsDifferential, Base64EqualsOpenSsl) {
  std::mt19937_64 rng(64);
  for (std::size_t n : Lengths(rng)) {
    SCOPED_TRACE(n);
    const std::string data = RandomBytes(rng, n);
    const std::string text = StrToFormat(data, kFormatMIME64);
    ASSERT_EQ(text, ReferenceBase64(data));
    ASSERT_EQ(FormatToStr(text, kFormatMIME64), data);
    ASSERT_EQ(ReferenceBase64Decode(text), data);
  }
}

TEST(FormatsDifferential, HexEqualsPlainLoop) {
  std::mt19937_64 rng(16);
  for (std::size_t n : Lengths(rng)) {
    SCOPED_TRACE(n);
    const std::string data = RandomBytes(rng, n);
    const std::string upper = LoopHex(data, "0123456789ABCDEF");
    const std::string lower = LoopHex(data, "0123456789abcdef");
    ASSERT_EQ(StrToFormat(data, kFormatHex), upper);
    ASSERT_EQ(StrToFormat(data, kFormatHexLower), lower);
    ASSERT_EQ(FormatToStr(upper, kFormatHex), data);
    ASSERT_EQ(FormatToStr(lower, kFormatHexLower), data);
  }
}

}  // namespace
}  // namespace pelvane
