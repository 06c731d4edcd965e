// The further block ciphers inside the framework: every mode round-trips on each of them, the
// MAC modes write nothing, the manager selects them by name and restores its own texts, the
// stored reference ciphertexts follow the class name rule, and the choices made where the
// algorithms leave something open (RC4 in the block modes, DESX's key and whitening) hold.
#include <gtest/gtest.h>

#include <string>

#include "crypto/cipher/cast.h"
#include "crypto/cipher/cipher_manager.h"
#include "crypto/cipher/cipher_registry.h"
#include "crypto/cipher/des.h"
#include "crypto/cipher/desx.h"
#include "crypto/cipher/idea.h"
#include "crypto/cipher/rc_family.h"
#include "crypto/cipher/rijndael.h"
#include "crypto/cipher/twofish.h"
#include "crypto/hash/hash_manager.h"
#include "tests/crypto/cipher/test_util.h"

namespace pelvane {
namespace {

using test::Decrypt;
using test::Encrypt;
using test::Hex;
using test::Keyed;
using test::Pattern;
using test::Unhex;

struct ClassSizes {
  TCipherClassRef cls;
  std::int32_t block;
  std::int32_t key;
  TCipherClassRef parent;
};

const ClassSizes kClasses[] = {
    {TCipher_IDEA::StaticClass(), 8, 16, TCipher::StaticClass()},
    {TCipher_Twofish::StaticClass(), 16, 32, TCipher::StaticClass()},
    {TCipher_Cast128::StaticClass(), 8, 16, TCipher::StaticClass()},
    {TCipher_Cast256::StaticClass(), 16, 32, TCipher::StaticClass()},
    {TCipher_DESX::StaticClass(), 8, 16, TCipher_1DES::StaticClass()},
    {TCipher_RC2::StaticClass(), 8, 128, TCipher::StaticClass()},
    {TCipher_RC4::StaticClass(), 16, 256, TCipher::StaticClass()},
    {TCipher_RC5::StaticClass(), 8, 256, TCipher::StaticClass()},
    {TCipher_RC6::StaticClass(), 16, 256, TCipher::StaticClass()},
    {TCipher_Rijndael::StaticClass(), 16, 32, TCipher::StaticClass()},
};

TEST(FurtherCiphers, SizesAndParents) {
  for (const ClassSizes& c : kClasses) {
    SCOPED_TRACE(c.cls->ClassName());
    EXPECT_EQ(c.cls->BlockSize(), c.block);
    EXPECT_EQ(c.cls->KeySize(), c.key);
    EXPECT_EQ(c.cls->parent, c.parent);
    auto cipher = c.cls->Create();
    EXPECT_EQ(cipher->ClassType(), c.cls);
    EXPECT_EQ(cipher->BlockSize(), c.block);
  }
}

// Every invertible mode restores every length (whole blocks, tails, less than a block), and
// both directions leave the same chaining value behind. Keys of every length up to KeySize.
TEST(FurtherCiphers, EveryInvertibleModeRoundTrips) {
  for (const ClassSizes& c : kClasses) {
    const std::size_t b = static_cast<std::size_t>(c.block);
    for (const TCipherMode mode : {cmCTS, cmCBC, cmCFB, cmOFB, cmECB}) {
      for (const std::size_t n :
           {std::size_t{0}, std::size_t{1}, b - 1, b, b + 1, 3 * b + 5, std::size_t{100}}) {
        SCOPED_TRACE(std::string(c.cls->ClassName()) + " " + std::string(CipherModeName(mode)) +
                     " " + std::to_string(n));
        auto cipher = Keyed(c.cls, "key bytes", nullptr, mode);
        const std::string plain = Pattern(n);
        const std::string ct = Encrypt(*cipher, plain);
        ASSERT_EQ(ct.size(), n);
        if (n >= 8) {
          EXPECT_NE(ct, plain);
        }
        const std::string f_after_encrypt = cipher->FeedbackBytes();
        cipher->ResetChain();
        EXPECT_EQ(Decrypt(*cipher, ct), plain);
        EXPECT_EQ(cipher->FeedbackBytes(), f_after_encrypt);
        // Calls split on a block boundary continue the chain.
        cipher->ResetChain();
        if (n > b) {
          std::string split = Encrypt(*cipher, plain.substr(0, b));
          split += Encrypt(*cipher, plain.substr(b));
          EXPECT_EQ(Hex(split), Hex(ct));
        }
      }
    }
    for (std::int32_t length = 0; length <= c.key + 1; length += (length < 34 ? 1 : 37)) {
      SCOPED_TRACE(std::string(c.cls->ClassName()) + " key length " + std::to_string(length));
      auto cipher = Keyed(c.cls, Pattern(static_cast<std::size_t>(length)), nullptr, cmCBC);
      const std::string plain = Pattern(3 * b);
      const std::string ct = Encrypt(*cipher, plain);
      cipher->ResetChain();
      ASSERT_EQ(Decrypt(*cipher, ct), plain);
    }
  }
}

// The MAC modes write nothing, move the chaining value, and decrypting equals encrypting.
TEST(FurtherCiphers, MacModesWriteNothing) {
  for (const ClassSizes& c : kClasses) {
    for (const TCipherMode mode : {cmCTSMAC, cmCBCMAC, cmCFBMAC}) {
      SCOPED_TRACE(std::string(c.cls->ClassName()) + " " + std::string(CipherModeName(mode)));
      const std::size_t n = 2 * static_cast<std::size_t>(c.block) + 3;
      auto cipher = Keyed(c.cls, "mac", nullptr, mode);
      const std::string plain = Pattern(n);
      std::string dest(n, '\x5A');
      cipher->EncryptBuffer(plain.data(), dest.data(), n);
      EXPECT_EQ(dest, std::string(n, '\x5A'));
      const std::string mac = cipher->FeedbackBytes();
      EXPECT_NE(mac, cipher->InitVectorBytes());
      cipher->ResetChain();
      cipher->DecryptBuffer(plain.data(), dest.data(), n);
      EXPECT_EQ(cipher->FeedbackBytes(), mac);
    }
  }
}

// Through the manager by description: a key text through MD5, EncodeString of texts around the
// 4096-byte pieces restored by DecodeString, two encodings alike; Description names the key
// size.
TEST(FurtherCiphers, ManagerCodesAndRestoresTexts) {
  THashManager hashes;
  hashes.SetAlgorithm("Message Digest 5");
  for (const ClassSizes& c : kClasses) {
    SCOPED_TRACE(c.cls->ClassName());
    TCipherManager manager;
    manager.SetHashManager(&hashes);
    manager.SetAlgorithm(CipherClassName(c.cls));
    ASSERT_EQ(manager.Algorithm(), CipherClassName(c.cls));
    EXPECT_NE(manager.Description(0).find(std::to_string(c.key * 8) + "bit Key"), std::string::npos)
        << manager.Description(0);
    manager.InitKey("session key");
    for (const std::size_t n : {1, 17, 4097}) {
      const std::string text = Pattern(n);
      const std::string coded = manager.EncodeString(text);
      EXPECT_EQ(manager.EncodeString(text), coded);
      EXPECT_EQ(manager.DecodeString(coded), text);
    }
  }
}

// The stored 32-byte reference ciphertext of each class: the DES family's test pattern under
// the class keyed with its own class name, cmCTS.
TEST(FurtherCiphers, ReferenceCiphertextsFollowTheClassNameRule) {
  const std::string pattern =
      Unhex("3044ED6E45A496F5F635A2EB3D1A5DD6CB1D09822DBDF560C2B858A191F981B1");
  for (const ClassSizes& c : kClasses) {
    SCOPED_TRACE(c.cls->ClassName());
    auto cipher = Keyed(c.cls, c.cls->ClassName());
    ASSERT_NE(c.cls->reference_ciphertext, nullptr);
    EXPECT_EQ(Hex(Encrypt(*cipher, pattern)),
              Hex(std::string(reinterpret_cast<const char*>(c.cls->reference_ciphertext), 32)));
  }
}

// RC4: EncryptBlock and DecryptBlock both add the next 16 key stream bytes. Published
// key/plaintext/ciphertext triples of the stream cipher, each shorter than a block.
TEST(FurtherCiphers, Rc4KeyStream) {
  struct Case {
    const char* key;
    const char* plain;
    const char* cipher;
  };
  const Case cases[] = {
      {"Key", "Plaintext", "BBF316E8D940AF0AD3"},
      {"Wiki", "pedia", "1021BF0420"},
      {"Secret", "Attack at dawn", "45A01F645FC35B383552544B9BF5"},
  };
  const std::string iv(16, '\0');
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    auto cipher = Keyed(TCipher_RC4::StaticClass(), c.key, &iv, cmECB);
    std::string block = c.plain;
    block.resize(16, '\0');
    cipher->EncryptBlock(block.data());
    EXPECT_EQ(Hex(block.substr(0, std::string_view(c.plain).size())), c.cipher);
  }
}

// RC4's key stream is part of the chain: cmECB over whole blocks is the stream cipher itself;
// without a given vector the vector takes the first 16 stream bytes (xor FF) and the data's
// stream starts after them; ResetChain restarts it, so every EncodeString starts alike.
TEST(FurtherCiphers, Rc4StreamPositionFollowsTheChain) {
  const std::string key = "stream key";
  const std::string zero_iv(16, '\0');
  auto from_start = Keyed(TCipher_RC4::StaticClass(), key, &zero_iv, cmECB);
  const std::string stream = Encrypt(*from_start, std::string(64, '\0'));

  auto derived = Keyed(TCipher_RC4::StaticClass(), key, nullptr, cmECB);
  std::string vector = derived->InitVectorBytes();
  for (char& x : vector)
    x = static_cast<char>(x ^ 0xFF);
  EXPECT_EQ(Hex(vector), Hex(stream.substr(0, 16)));
  EXPECT_EQ(Hex(Encrypt(*derived, std::string(48, '\0'))), Hex(stream.substr(16)));
  derived->ResetChain();
  EXPECT_EQ(Hex(Encrypt(*derived, std::string(16, '\0'))), Hex(stream.substr(16, 16)));

  // cmCBC mixes the chain in: the first block is P xor F xor the stream, not P xor the stream.
  auto cbc = Keyed(TCipher_RC4::StaticClass(), key, nullptr, cmCBC);
  const std::string plain = Pattern(16);
  std::string expected = plain;
  for (std::size_t i = 0; i < 16; ++i)
    expected[i] = static_cast<char>(plain[i] ^ cbc->InitVectorBytes()[i] ^ stream[16 + i]);
  EXPECT_EQ(Hex(Encrypt(*cbc, plain)), Hex(expected));
}

// DESX's 16-byte key is K | W1; the output whitening W2 comes from the register rule over
// K | W1 (worked out by hand for this key: A9E68B0EEDA2DD34), so C = W2 xor DES_K(P xor W1).
TEST(FurtherCiphers, DesxWhitensWithW1BeforeAndTheDerivedW2After) {
  const std::string k = Unhex("0123456789ABCDEF");
  const std::string w1 = Unhex("F0E1D2C3B4A59687");
  const std::string w2 = Unhex("A9E68B0EEDA2DD34");
  std::uint8_t derived[8];
  DesxOutputWhitening(reinterpret_cast<const std::uint8_t*>((k + w1).data()), derived);
  EXPECT_EQ(Hex(std::string(reinterpret_cast<const char*>(derived), 8)), Hex(w2));

  const std::string plain = Unhex("4E6F772069732074");
  auto desx = Keyed(TCipher_DESX::StaticClass(), k + w1, nullptr, cmECB);
  auto des = Keyed(TCipher_1DES::StaticClass(), k, nullptr, cmECB);
  std::string whitened = plain;
  for (std::size_t i = 0; i < 8; ++i)
    whitened[i] = static_cast<char>(whitened[i] ^ w1[i]);
  std::string expected = Encrypt(*des, whitened);
  for (std::size_t i = 0; i < 8; ++i)
    expected[i] = static_cast<char>(expected[i] ^ w2[i]);
  const std::string cipher = Encrypt(*desx, plain);
  EXPECT_EQ(Hex(cipher), Hex(expected));
  desx->ResetChain();
  EXPECT_EQ(Hex(Decrypt(*desx, cipher)), Hex(plain));
  EXPECT_EQ(TCipher_DESX::StaticClass()->ScheduleSize(), 272);
}

}  // namespace
}  // namespace pelvane
