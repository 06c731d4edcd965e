// Published known answers of the further block ciphers, block by block through Init with the
// raw key bytes, and the same blocks through EncryptBuffer/DecryptBuffer in cmECB.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "crypto/cipher/gost.h"
#include "crypto/cipher/mars.h"
#include "crypto/cipher/misty.h"
#include "crypto/cipher/safer.h"
#include "crypto/cipher/skipjack.h"
#include "crypto/cipher/square.h"
#include "crypto/cipher/tea.h"
#include "crypto/cipher/threeway.h"
#include "tests/crypto/cipher/kat_file.h"
#include "tests/crypto/cipher/test_util.h"

namespace pelvane {
namespace {

using test::Hex;
using test::KnownAnswer;
using test::ReadKatColumns;
using test::ReadKatSection;
using test::Unhex;

struct KatSet {
  const char* label;
  TCipherClassRef cls;
  std::function<std::vector<KnownAnswer>()> load;
  std::size_t minimum_count;  // guards against a file that silently yields nothing
};

std::vector<KnownAnswer> Slice(std::vector<KnownAnswer> all, std::size_t first, std::size_t count) {
  if (first + count > all.size()) return {};
  return {all.begin() + static_cast<std::ptrdiff_t>(first),
          all.begin() + static_cast<std::ptrdiff_t>(first + count)};
}

const std::vector<KatSet>& Sets() {
  static const std::vector<KatSet> sets = {
      {"Square", TCipher_Square::StaticClass(), [] { return ReadKatColumns("squareva.dat"); }, 8},
      {"MARS", TCipher_Mars::StaticClass(), [] { return ReadKatColumns("marsval.dat"); }, 9},
      {"MARS submission", TCipher_Mars::StaticClass(),
       [] { return ReadKatSection("mars.txt", "MARS/ECB"); }, 10},
      // The SAFER file: lines 1-4 SAFER K-64 (6 rounds), 5-8 K-128 at 12 rounds, 9-12 SK-64
      // at 6 rounds, 13-16 SK-128 (10 rounds); the other round counts are tested below.
      {"SAFER-K64", TCipher_SAFER_K64::StaticClass(),
       [] { return Slice(ReadKatColumns("saferval.dat"), 0, 4); }, 4},
      {"SAFER-SK128", TCipher_SAFER_SK128::StaticClass(),
       [] { return Slice(ReadKatColumns("saferval.dat"), 12, 4); }, 4},
      {"3-Way", TCipher_3Way::StaticClass(), [] { return ReadKatColumns("3wayval.dat"); }, 4},
      // The example of the algorithm's definition (key byte i is cv_i, word 1 first), and SP
      // 800-17's variable key, variable text and table known answers. The file writes the
      // latter with key, plain and cipher text each in reversed byte order.
      {"Skipjack SP 800-17", TCipher_Skipjack::StaticClass(),
       [] {
         auto answers = ReadKatSection("skipjack.txt", "SKIPJACK/ECB");
         for (KnownAnswer& a : answers) {
           std::reverse(a.key.begin(), a.key.end());
           std::reverse(a.plain.begin(), a.plain.end());
           std::reverse(a.cipher.begin(), a.cipher.end());
         }
         return answers;
       },
       80},
      {"Skipjack example", TCipher_Skipjack::StaticClass(),
       [] {
         return std::vector<KnownAnswer>{
             {Unhex("00998877665544332211"), Unhex("33221100DDCCBBAA"), Unhex("2587CAE27A12D300")}};
       },
       1},
      // RFC 2994, Appendix A (two blocks in ECB).
      {"MISTY1", TCipher_Misty::StaticClass(),
       [] {
         return std::vector<KnownAnswer>{{Unhex("00112233445566778899AABBCCDDEEFF"),
                                          Unhex("0123456789ABCDEFFEDCBA9876543210"),
                                          Unhex("8B1DA5F56AB3D07C04B68240B13BE95D")}};
       },
       1},
      // GOST with the S-boxes of id-GostR3411-94-TestParamSet (RFC 4357).
      {"GOST", TCipher_Gost::StaticClass(), [] { return ReadKatColumns("gostval.dat"); }, 8},
      {"TEA", TCipher_TEA::StaticClass(), [] { return ReadKatSection("tea.txt", "TEA/ECB"); }, 64},
      {"XTEA", TCipher_TEAN::StaticClass(),
       [] { return ReadKatSection("tea.txt", "XTEA/ECB", 32); }, 1},
  };
  return sets;
}

TEST(PublishedKnownAnswers, EveryBlockEncryptsAndDecrypts) {
  for (const KatSet& set : Sets()) {
    const std::vector<KnownAnswer> answers = set.load();
    ASSERT_GE(answers.size(), set.minimum_count) << set.label;
    const std::size_t b = static_cast<std::size_t>(set.cls->BlockSize());
    for (std::size_t i = 0; i < answers.size(); ++i) {
      const KnownAnswer& a = answers[i];
      SCOPED_TRACE(std::string(set.label) + " #" + std::to_string(i) + " key " + Hex(a.key));
      ASSERT_EQ(a.plain.size() % b, 0u);
      auto cipher = test::Keyed(set.cls, a.key, nullptr, cmECB);
      std::string block = a.plain.substr(0, b);
      cipher->EncryptBlock(block.data());
      EXPECT_EQ(Hex(block), Hex(a.cipher.substr(0, b)));
      cipher->DecryptBlock(block.data());
      EXPECT_EQ(Hex(block), Hex(a.plain.substr(0, b)));
      EXPECT_EQ(Hex(test::Encrypt(*cipher, a.plain)), Hex(a.cipher));
      EXPECT_EQ(Hex(test::Decrypt(*cipher, a.cipher)), Hex(a.plain));
    }
  }
}

// SAFER K-128 and SK-64 at the round counts of the published answers (12 and 6): the
// registered classes differ from these only in their number of rounds, which the differential
// test pins.
template <typename Base>
class SaferWithRounds : public Base {
 public:
  explicit SaferWithRounds(int rounds) : rounds_(rounds) {}

 protected:
  int Rounds() const noexcept override { return rounds_; }

 private:
  int rounds_;
};

TEST(PublishedKnownAnswers, SaferSchedulesAtOtherRoundCounts) {
  const std::vector<KnownAnswer> all = ReadKatColumns("saferval.dat");
  ASSERT_EQ(all.size(), 16u);
  for (std::size_t i = 4; i < 12; ++i) {
    SCOPED_TRACE(i + 1);
    std::unique_ptr<TCipher> cipher;
    if (i < 8) {
      cipher = std::make_unique<SaferWithRounds<TCipher_SAFER_K128>>(12);
    } else {
      cipher = std::make_unique<SaferWithRounds<TCipher_SAFER_SK64>>(6);
    }
    cipher->Init(all[i].key.data(), static_cast<std::int32_t>(all[i].key.size()), nullptr);
    std::string block = all[i].plain;
    cipher->EncryptBlock(block.data());
    EXPECT_EQ(Hex(block), Hex(all[i].cipher));
    cipher->DecryptBlock(block.data());
    EXPECT_EQ(Hex(block), Hex(all[i].plain));
  }
}

// RFC 2994, Appendix A: the CBC example is the framework's cmCBC with the vector given.
TEST(PublishedKnownAnswers, MistyCbcExample) {
  const std::string iv = Unhex("0102030405060708");
  auto cipher = test::Keyed(TCipher_Misty::StaticClass(), Unhex("00112233445566778899AABBCCDDEEFF"),
                            &iv, cmCBC);
  EXPECT_EQ(Hex(test::Encrypt(*cipher, Unhex("0123456789ABCDEFFEDCBA9876543210"))),
            "461C1E879C18C27FB9ADF2D80C89031F");
}

}  // namespace
}  // namespace pelvane
