// Known answers of the block functions: public DES, triple DES and Blowfish vectors, and the
// family's own vectors that pin down byte order, the triple composition, the exchange of the
// 16- and 24-byte classes and the vector rule.
#include <gtest/gtest.h>

#include "crypto/cipher/blowfish.h"
#include "crypto/cipher/des.h"
#include "tests/crypto/cipher/test_util.h"

namespace pelvane {
namespace {

using test::Decrypt;
using test::Encrypt;
using test::Hex;
using test::Keyed;
using test::Unhex;

// EncryptBlock over every full block, and DecryptBlock back.
void CheckBlocks(TCipherClassRef cls, const char* key_hex, const char* plain_hex,
                 const char* cipher_hex) {
  SCOPED_TRACE(std::string(cls->ClassName()) + " key " + key_hex);
  auto c = Keyed(cls, Unhex(key_hex));
  const std::size_t b = static_cast<std::size_t>(c->BlockSize());
  std::string data = Unhex(plain_hex);
  ASSERT_EQ(data.size() % b, 0u);
  for (std::size_t pos = 0; pos < data.size(); pos += b)
    c->EncryptBlock(data.data() + pos);
  EXPECT_EQ(Hex(data), cipher_hex);
  for (std::size_t pos = 0; pos < data.size(); pos += b)
    c->DecryptBlock(data.data() + pos);
  EXPECT_EQ(Hex(data), plain_hex);
}

// FIPS 81 (ECB example) and NIST SP 800-17 (variable plaintext and variable key tables).
TEST(DesBlock, PublicKnownAnswers) {
  const auto des = TCipher_1DES::StaticClass();
  CheckBlocks(des, "0123456789ABCDEF", "4E6F77206973207468652074696D6520666F7220616C6C20",
              "3FA40E8A984D48156A271787AB8883F9893D51EC4B563B53");
  CheckBlocks(des, "133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405");
  CheckBlocks(des, "0101010101010101", "8000000000000000", "95F8A5E5DD31D900");
  CheckBlocks(des, "0101010101010101", "4000000000000000", "DD7F121CA5015619");
  CheckBlocks(des, "8001010101010101", "0000000000000000", "95A8D72813DAA94D");
  CheckBlocks(des, "4001010101010101", "0000000000000000", "0EEC1487DD8C26D5");
  // Parity bits are ignored: the FIPS 81 key with every low bit flipped.
  CheckBlocks(des, "0022446688AACCEE", "4E6F772069732074", "3FA40E8A984D4815");
}

// NIST SP 800-67 example: three-key EDE.
TEST(DesBlock, TripleDesPublicKnownAnswer) {
  CheckBlocks(TCipher_3DES::StaticClass(), "0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123",
              "5468652071756663"
              "6B2062726F776E20"
              "666F78206A756D70",
              "A826FD8CE53B855FCCE21C8112256FE668D5C05DD9B6B900");
}

// Blowfish reference vectors (64-bit keys).
TEST(BlowfishBlock, ReferenceVectors) {
  const auto bf = TCipher_Blowfish::StaticClass();
  CheckBlocks(bf, "0000000000000000", "0000000000000000", "4EF997456198DD78");
  CheckBlocks(bf, "FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A");
  CheckBlocks(bf, "3000000000000000", "1000000000000001", "7D856F9A613063F2");
  CheckBlocks(bf, "0123456789ABCDEF", "1111111111111111", "61F9C3802281B096");
  CheckBlocks(bf, "FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D");
}

constexpr const char* kPatternHex =
    "3044ED6E45A496F5F635A2EB3D1A5DD6CB1D09822DBDF560C2B858A191F981B1";

// Each class keyed with its own class name, no vector, cmCTS, one EncryptBuffer of the pattern.
TEST(DesFamily, ClassNameKeyedPattern) {
  struct Case {
    TCipherClassRef cls;
    const char* vector;
    const char* cipher;
  };
  const Case cases[] = {
      {TCipher_1DES::StaticClass(), "D96C613D9FEBB9C2",
       "AD6942BBF668204D53CDC762139398C0300D850BE2AA72096FDB5F8ED3E4CF8A"},
      {TCipher_3DES::StaticClass(), "76CB93893E5FC7B4",
       "074C14F3E22E08D964BF6F82B5DFF0A22F2D3BDB17DB25B6B51EFA71372FD172"},
      {TCipher_3TDES::StaticClass(), "FE0F63E756F732DDAA8FC02459788F9D528DA41134E3FEA2",
       "0B12E48BD9CD08BFCAAE3E5FF6FE13CD3F706ECD53563F5A800F1B1EFB9A5796"},
  };
  const std::string pattern = Unhex(kPatternHex);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cls->ClassName());
    auto cipher = Keyed(c.cls, c.cls->ClassName());
    EXPECT_EQ(Hex(cipher->InitVectorBytes()), c.vector);
    const std::string ct = Encrypt(*cipher, pattern);
    EXPECT_EQ(Hex(ct), c.cipher);
    cipher->ResetChain();
    EXPECT_EQ(Hex(Decrypt(*cipher, ct)), kPatternHex);
  }
}

// The stored reference ciphertext of every class follows the same rule.
TEST(DesFamily, ReferenceCiphertextsFollowTheClassNameRule) {
  const TCipherClassRef classes[] = {TCipher_1DES::StaticClass(),    TCipher_2DES::StaticClass(),
                                     TCipher_2DDES::StaticClass(),   TCipher_3DES::StaticClass(),
                                     TCipher_3DDES::StaticClass(),   TCipher_3TDES::StaticClass(),
                                     TCipher_Blowfish::StaticClass()};
  for (const TCipherClassRef cls : classes) {
    SCOPED_TRACE(cls->ClassName());
    auto cipher = Keyed(cls, cls->ClassName());
    const std::string ct = Encrypt(*cipher, Unhex(kPatternHex));
    ASSERT_NE(cls->reference_ciphertext, nullptr);
    EXPECT_EQ(ct, std::string(reinterpret_cast<const char*>(cls->reference_ciphertext), 32));
  }
}

TEST(DesFamily, TripleDesWithEqualKeysIsSingleDes) {
  const std::string k = Unhex("0123456789ABCDEF");
  const std::string plain = Unhex("4E6F772069732074");
  auto single = Keyed(TCipher_1DES::StaticClass(), k, nullptr, cmECB);
  auto triple = Keyed(TCipher_3DES::StaticClass(), k + k + k, nullptr, cmECB);
  auto dbl = Keyed(TCipher_2DES::StaticClass(), k + k, nullptr, cmECB);
  EXPECT_EQ(Hex(Encrypt(*triple, plain)), "3FA40E8A984D4815");
  EXPECT_EQ(Hex(Encrypt(*dbl, plain)), "3FA40E8A984D4815");
  EXPECT_EQ(Hex(Encrypt(*single, plain)), "3FA40E8A984D4815");
}

TEST(DesFamily, ShortKeysAreCompletedWithZeros) {
  const std::string k16 = Unhex("0123456789ABCDEF23456789ABCDEF01");
  const std::string zeros(8, '\0');
  const std::string block = test::Pattern(24);
  for (const TCipherClassRef cls : {TCipher_3DES::StaticClass(), TCipher_3TDES::StaticClass()}) {
    SCOPED_TRACE(cls->ClassName());
    auto a = Keyed(cls, k16, nullptr, cmECB);
    auto b = Keyed(cls, k16 + zeros, nullptr, cmECB);
    EXPECT_EQ(a->InitVectorBytes(), b->InitVectorBytes());
    EXPECT_EQ(Encrypt(*a, block), Encrypt(*b, block));
  }
  // An empty key is three zero keys; a negative size counts as empty.
  auto empty = TCipher_3DES::StaticClass()->Create();
  empty->Init(nullptr, -5, nullptr);
  auto zero = Keyed(TCipher_3DES::StaticClass(), std::string(24, '\0'));
  EXPECT_EQ(empty->InitVectorBytes(), zero->InitVectorBytes());
}

// In a 24-byte block only the first two thirds mix; the last third is triple DES on its own.
TEST(DesFamily, ThreeThirdsMixOnlyTheFirstTwo) {
  const std::string key = Unhex("0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123");
  auto tdes = Keyed(TCipher_3TDES::StaticClass(), key, nullptr, cmECB);
  auto des3 = Keyed(TCipher_3DES::StaticClass(), key, nullptr, cmECB);
  const std::string base = test::Pattern(24);
  const std::string c0 = Encrypt(*tdes, base);
  EXPECT_EQ(c0.substr(16), Encrypt(*des3, base.substr(16)));

  std::string changed_last = base;
  changed_last[20] ^= 0x01;
  const std::string c1 = Encrypt(*tdes, changed_last);
  EXPECT_EQ(c1.substr(0, 16), c0.substr(0, 16));
  EXPECT_NE(c1.substr(16), c0.substr(16));

  for (const int pos : {0, 7, 8, 15}) {
    std::string changed = base;
    changed[pos] ^= 0x80;
    const std::string c2 = Encrypt(*tdes, changed);
    EXPECT_EQ(c2.substr(16), c0.substr(16)) << pos;
    // Both of the first thirds change: the exchange carries the change across.
    EXPECT_NE(c2.substr(0, 8), c0.substr(0, 8)) << pos;
    EXPECT_NE(c2.substr(8, 8), c0.substr(8, 8)) << pos;
  }
}

// Every class decrypts what it encrypts, block by block, for several keys.
TEST(DesFamily, BlockRoundTrip) {
  const TCipherClassRef classes[] = {TCipher_1DES::StaticClass(),    TCipher_2DES::StaticClass(),
                                     TCipher_2DDES::StaticClass(),   TCipher_3DES::StaticClass(),
                                     TCipher_3DDES::StaticClass(),   TCipher_3TDES::StaticClass(),
                                     TCipher_Blowfish::StaticClass()};
  for (const TCipherClassRef cls : classes) {
    for (const std::size_t key_len : {0, 5, 8, 16, 24, 56}) {
      SCOPED_TRACE(std::string(cls->ClassName()) + " key " + std::to_string(key_len));
      auto c = Keyed(cls, test::Pattern(key_len));
      const std::string plain =
          test::Pattern(static_cast<std::size_t>(c->BlockSize()) + 3).substr(3);
      std::string block = plain;
      c->EncryptBlock(block.data());
      EXPECT_NE(block, plain);
      c->DecryptBlock(block.data());
      EXPECT_EQ(block, plain);
    }
  }
}

}  // namespace
}  // namespace pelvane
