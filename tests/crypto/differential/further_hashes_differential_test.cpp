// HAVAL, Tiger and the checksums beside independent implementations, used as black boxes, on
// random inputs of 0 to 10000 bytes fed in random pieces: mhash (HAVAL in all five lengths with
// three passes, Tiger, CRC-32), Crypto++ (Tiger), zlib (CRC-32), and for the CRC-16s and XORs
// plain bit-by-bit and byte-by-byte loops written from their parameter definitions.
#include <crypto++/tiger.h>
#include <gtest/gtest.h>
#include <mhash.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "crypto/hash/checksum.h"
#include "crypto/hash/haval.h"
#include "crypto/hash/tiger.h"
#include "random_input.h"

namespace pelvane {
namespace {

using test::RandomBytes;
using test::RandomSize;

// Lengths around the padding boundaries of 64- and 128-byte blocks, then random ones.
std::vector<std::size_t> Lengths(std::mt19937_64& rng) {
  std::vector<std::size_t> sizes = {0,  1,   2,   3,   4,   5,   55,  56,  57,  63,  64,
                                    65, 117, 118, 119, 127, 128, 129, 245, 246, 256, 10000};
  for (int i = 0; i < 120; ++i)
    sizes.push_back(RandomSize(rng, 10000));
  return sizes;
}

// Our digest of data, absorbed in random pieces (some empty).
std::string Ours(THash& hash, const std::string& data, std::mt19937_64& rng) {
  hash.Reset();
  std::size_t pos = 0;
  while (pos < data.size()) {
    const std::size_t piece = std::min(data.size() - pos, RandomSize(rng, 300));
    hash.Update(data.data() + pos, piece);
    pos += piece;
  }
  hash.Finish();
  return std::string(reinterpret_cast<const char*>(hash.DigestBytes()), hash.DigestSize());
}

std::string Mhash(hashid id, const std::string& data) {
  MHASH td = mhash_init(id);
  EXPECT_NE(td, MHASH_FAILED);
  mhash(td, data.data(), static_cast<mutils_word32>(data.size()));
  auto* digest = static_cast<unsigned char*>(mhash_end(td));
  std::string out(reinterpret_cast<const char*>(digest), mhash_get_block_size(id));
  std::free(digest);
  return out;
}

// mhash prints each 64-bit word of Tiger with its most significant byte first; the designers'
// byte order (ours) is least significant first.
std::string ReverseEachWord(std::string s, std::size_t word) {
  for (std::size_t at = 0; at + word <= s.size(); at += word)
    std::reverse(s.begin() + static_cast<std::ptrdiff_t>(at),
                 s.begin() + static_cast<std::ptrdiff_t>(at + word));
  return s;
}

std::string BigEndian(std::uint32_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i)
    out.push_back(static_cast<char>(value >> (8 * i)));
  return out;
}

struct HavalCase {
  THashClassRef cls;
  hashid id;
};

void PrintTo(const HavalCase& c, std::ostream* os) {
  *os << c.cls->ClassName();
}

class HavalLengths : public ::testing::TestWithParam<HavalCase> {};

TEST_P(HavalLengths, EqualsMhash) {
  std::mt19937_64 rng(3);
  const std::unique_ptr<THash> hash = GetParam().cls->Create();
  for (std::size_t n : Lengths(rng)) {
    SCOPED_TRACE(n);
    const std::string data = RandomBytes(rng, n);
    ASSERT_EQ(Ours(*hash, data, rng), Mhash(GetParam().id, data));
  }
}

INSTANTIATE_TEST_SUITE_P(FurtherHashDifferential, HavalLengths,
                         ::testing::Values(HavalCase{THash_Haval128::StaticClass(), MHASH_HAVAL128},
                                           HavalCase{THash_Haval160::StaticClass(), MHASH_HAVAL160},
                                           HavalCase{THash_Haval192::StaticClass(), MHASH_HAVAL192},
                                           HavalCase{THash_Haval224::StaticClass(), MHASH_HAVAL224},
                                           HavalCase{THash_Haval256::StaticClass(),
                                                     MHASH_HAVAL256}),
                         [](const ::testing::TestParamInfo<HavalCase>& info) {
                           return std::string(info.param.cls->ClassName());
                         });

TEST(FurtherHashDifferential, TigerEqualsMhashAndCryptopp) {
  std::mt19937_64 rng(7);
  THash_Tiger hash;
  for (std::size_t n : Lengths(rng)) {
    SCOPED_TRACE(n);
    const std::string data = RandomBytes(rng, n);
    const std::string ours = Ours(hash, data, rng);
    ASSERT_EQ(ours, ReverseEachWord(Mhash(MHASH_TIGER192, data), 8));
    CryptoPP::Tiger tiger;
    std::string reference(CryptoPP::Tiger::DIGESTSIZE, '\0');
    tiger.CalculateDigest(reinterpret_cast<CryptoPP::byte*>(reference.data()),
                          reinterpret_cast<const CryptoPP::byte*>(data.data()), data.size());
    ASSERT_EQ(ours, reference);
  }
}

TEST(FurtherHashDifferential, Crc32EqualsZlibAndMhash) {
  std::mt19937_64 rng(11);
  THash_CRC32 hash;
  for (std::size_t n : Lengths(rng)) {
    SCOPED_TRACE(n);
    const std::string data = RandomBytes(rng, n);
    const std::string ours = Ours(hash, data, rng);
    const auto zlib = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    ASSERT_EQ(ours, BigEndian(zlib, 4));
    // mhash's CRC32B is this CRC, its bytes least significant first.
    ASSERT_EQ(ours, ReverseEachWord(Mhash(MHASH_CRC32B, data), 4));
  }
}

// A CRC straight from the parameter model of the CRC catalogue: the register shifted most
// significant bit first, input bytes bit-reversed when reflected, the result bit-reversed when
// reflected, then XORed with xorout.
std::uint32_t Reflect(std::uint32_t v, int bits) {
  std::uint32_t r = 0;
  for (int i = 0; i < bits; ++i)
    if (v & (1u << i)) r |= 1u << (bits - 1 - i);
  return r;
}

std::uint32_t ModelCrc(const std::string& data, int width, std::uint32_t poly, std::uint32_t init,
                       bool reflected, std::uint32_t xorout) {
  const std::uint32_t top = 1u << (width - 1);
  const std::uint32_t mask = width == 32 ? 0xFFFFFFFFu : (1u << width) - 1;
  std::uint32_t reg = init;
  for (unsigned char c : data) {
    const std::uint32_t byte = reflected ? Reflect(c, 8) : c;
    for (int bit = 7; bit >= 0; --bit) {
      const bool in = ((byte >> bit) & 1u) != 0;
      const bool out = (reg & top) != 0;
      reg = (reg << 1) & mask;
      if (in != out) reg ^= poly;
    }
  }
  if (reflected) reg = Reflect(reg, width);
  return (reg ^ xorout) & mask;
}

TEST(FurtherHashDifferential, ChecksumsEqualTheirDefinitions) {
  std::mt19937_64 rng(13);
  THash_CRC16_CCITT ccitt;
  Thash_CRC16_Standard arc;
  THash_CRC32 crc32;
  THash_XOR16 xor16;
  THash_XOR32 xor32;
  for (std::size_t n : Lengths(rng)) {
    SCOPED_TRACE(n);
    const std::string data = RandomBytes(rng, n);
    ASSERT_EQ(Ours(ccitt, data, rng), BigEndian(ModelCrc(data, 16, 0x1021, 0xFFFF, false, 0), 2));
    ASSERT_EQ(Ours(arc, data, rng), BigEndian(ModelCrc(data, 16, 0x8005, 0, true, 0), 2));
    ASSERT_EQ(Ours(crc32, data, rng),
              BigEndian(ModelCrc(data, 32, 0x04C11DB7, 0xFFFFFFFF, true, 0xFFFFFFFF), 4));
    // XOR of little-endian words, the last one completed with zeros.
    std::uint32_t x16 = 0, x32 = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
      const auto b = static_cast<std::uint32_t>(static_cast<unsigned char>(data[i]));
      x16 ^= b << (8 * (i % 2));
      x32 ^= b << (8 * (i % 4));
    }
    ASSERT_EQ(Ours(xor16, data, rng), BigEndian(x16, 2));
    ASSERT_EQ(Ours(xor32, data, rng), BigEndian(x32, 4));
  }
}

}  // namespace
}  // namespace pelvane
