// The chaining modes, the tail rule, key set-up, the state of a cipher object and its errors.
#include <gtest/gtest.h>

#include <cstring>

#include "crypto/cipher/blowfish.h"
#include "crypto/cipher/cipher_registry.h"
#include "crypto/cipher/des.h"
#include "crypto/formats/formats.h"
#include "crypto/hash/hash.h"
#include "tests/crypto/cipher/test_util.h"

namespace pelvane {
namespace {

using test::Decrypt;
using test::Encrypt;
using test::Hex;
using test::Keyed;
using test::Pattern;
using test::Unhex;

const TCipherClassRef kAllClasses[] = {TCipher_1DES::StaticClass(),    TCipher_2DES::StaticClass(),
                                       TCipher_2DDES::StaticClass(),   TCipher_3DES::StaticClass(),
                                       TCipher_3DDES::StaticClass(),   TCipher_3TDES::StaticClass(),
                                       TCipher_Blowfish::StaticClass()};

// FIPS 81 examples: key 0123456789ABCDEF, vector 1234567890ABCDEF, "Now is the time for all ".
TEST(CipherModes, PublicDesModeExamples) {
  const std::string key = Unhex("0123456789ABCDEF");
  const std::string iv = Unhex("1234567890ABCDEF");
  const std::string text = "Now is the time for all ";
  struct Case {
    TCipherMode mode;
    std::size_t length;
    const char* cipher;
  };
  const Case cases[] = {
      {cmCBC, 24, "E5C7CDDE872BF27C43E934008C389C0F683788499A7C05F6"},
      {cmCFB, 10, "F31FDA07011462EE187F"},
      {cmOFB, 10, "F34A2850C9C64985D684"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(CipherModeName(c.mode));
    auto cipher = Keyed(TCipher_1DES::StaticClass(), key, &iv, c.mode);
    const std::string ct = Encrypt(*cipher, text.substr(0, c.length));
    EXPECT_EQ(Hex(ct), c.cipher);
    cipher->ResetChain();
    EXPECT_EQ(Decrypt(*cipher, ct), text.substr(0, c.length));
  }
}

// Every invertible mode restores every length, and both directions leave the same chaining
// value behind.
TEST(CipherModes, EveryInvertibleModeRoundTrips) {
  for (const TCipherClassRef cls : kAllClasses) {
    for (const TCipherMode mode : {cmCTS, cmCBC, cmCFB, cmOFB, cmECB}) {
      const std::size_t b = static_cast<std::size_t>(cls->BlockSize());
      for (const std::size_t n :
           {std::size_t{0}, std::size_t{1}, b - 1, b, b + 1, 3 * b + 5, std::size_t{100}}) {
        SCOPED_TRACE(std::string(cls->ClassName()) + " " + std::string(CipherModeName(mode)) + " " +
                     std::to_string(n));
        auto c = Keyed(cls, "key bytes", nullptr, mode);
        const std::string plain = Pattern(n);
        const std::string ct = Encrypt(*c, plain);
        ASSERT_EQ(ct.size(), n);
        if (n >= 8) {
          EXPECT_NE(ct, plain);
        }
        const std::string f_after_encrypt = c->FeedbackBytes();
        c->ResetChain();
        EXPECT_EQ(Decrypt(*c, ct), plain);
        EXPECT_EQ(c->FeedbackBytes(), f_after_encrypt);
      }
    }
  }
}

// In place and out of place give the same bytes; the chain carries across calls that split
// the data on a block boundary.
TEST(CipherModes, InPlaceAndSplitCallsAgree) {
  for (const TCipherMode mode : {cmCTS, cmCBC, cmCFB, cmOFB, cmECB}) {
    SCOPED_TRACE(CipherModeName(mode));
    const std::string plain = Pattern(24 * 4 + 7);
    auto a = Keyed(TCipher_3TDES::StaticClass(), "k", nullptr, mode);
    const std::string whole = Encrypt(*a, plain);
    a->ResetChain();
    std::string in_place = plain;
    a->EncryptBuffer(in_place.data(), in_place.data(), in_place.size());
    EXPECT_EQ(Hex(in_place), Hex(whole));
    a->ResetChain();
    std::string split = Encrypt(*a, plain.substr(0, 48));
    split += Encrypt(*a, plain.substr(48));
    EXPECT_EQ(Hex(split), Hex(whole));
  }
}

// The chaining written out one block at a time through EncryptBlock and DecryptBlock, for
// cmECB, cmCBC and cmCTS with the stream tail; the framework hands runs of blocks to
// EncryptBlocks and DecryptBlocks instead.
std::string ChainOneBlockAtATime(TCipher& c, std::string data, bool encrypt) {
  const std::size_t b = static_cast<std::size_t>(c.BlockSize());
  std::string f = c.FeedbackBytes();
  const std::size_t full = data.size() - data.size() % b;
  for (std::size_t pos = 0; pos < full; pos += b) {
    char* block = data.data() + pos;
    const std::string in(block, b);
    if (encrypt) {
      if (c.Mode() != cmECB) {
        for (std::size_t i = 0; i < b; ++i)
          block[i] = static_cast<char>(block[i] ^ f[i]);
      }
      c.EncryptBlock(block);
      for (std::size_t i = 0; i < b && c.Mode() != cmECB; ++i)
        f[i] = static_cast<char>(c.Mode() == cmCTS ? f[i] ^ block[i] : block[i]);
    } else {
      c.DecryptBlock(block);
      for (std::size_t i = 0; i < b && c.Mode() != cmECB; ++i) {
        block[i] = static_cast<char>(block[i] ^ f[i]);
        f[i] = static_cast<char>(c.Mode() == cmCTS ? f[i] ^ in[i] : in[i]);
      }
    }
  }
  if (full < data.size()) {
    std::string s = f;
    c.EncryptBlock(s.data());
    for (std::size_t i = full; i < data.size(); ++i)
      data[i] = static_cast<char>(data[i] ^ s[i - full]);
    for (std::size_t i = 0; i < b; ++i)
      f[i] = static_cast<char>(f[i] ^ s[i]);
  }
  return data + f;  // the coded bytes, then the chaining value
}

// Every registered cipher, runs of blocks longer and shorter than the framework's runs, with
// and without a tail, in place and into other memory: the bytes and the chaining value equal
// those of one block at a time.
TEST(CipherModes, BlockRunsEqualOneBlockAtATime) {
  for (const TCipherRegistryEntry& entry : CipherRegistryEntries()) {
    const TCipherClassRef cls = entry.cls;
    SCOPED_TRACE(cls->ClassName());
    const std::size_t b = static_cast<std::size_t>(cls->BlockSize());
    const std::string key = Pattern(static_cast<std::size_t>(cls->KeySize())).substr(3);
    for (const TCipherMode mode : {cmECB, cmCBC, cmCTS}) {
      for (const std::size_t size :
           {b, 5 * b + 1, 4096 / b * b, std::size_t{4096 + 3}, 3 * 1024 + 2 * b}) {
        SCOPED_TRACE(std::string(CipherModeName(mode)) + " " + std::to_string(size));
        const std::string plain = Pattern(size + 11).substr(11);
        for (const bool encrypt : {true, false}) {
          auto framework = Keyed(cls, key, nullptr, mode);
          auto by_block = Keyed(cls, key, nullptr, mode);
          const std::string out = encrypt ? Encrypt(*framework, plain) : Decrypt(*framework, plain);
          const std::string expected = ChainOneBlockAtATime(*by_block, plain, encrypt);
          ASSERT_EQ(Hex(out + framework->FeedbackBytes()), Hex(expected)) << encrypt;
          auto in_place = Keyed(cls, key, nullptr, mode);
          std::string data = plain;
          if (encrypt) {
            in_place->EncryptBuffer(data.data(), data.data(), data.size());
          } else {
            in_place->DecryptBuffer(data.data(), data.data(), data.size());
          }
          ASSERT_EQ(Hex(data + in_place->FeedbackBytes()), Hex(expected)) << encrypt;
          const std::string_view scratch(reinterpret_cast<const char*>(framework->Scratch()), b);
          EXPECT_EQ(Hex({reinterpret_cast<const char*>(in_place->Scratch()), b}), Hex(scratch));
        }
      }
    }
  }
}

// The tail of cmCTS is a stream: S := E(F), output := input xor S, F := F xor S.
TEST(CipherModes, TailRuleOfChainedModes) {
  const std::string key = "tail key";
  for (const TCipherMode mode : {cmCTS, cmCBC, cmECB}) {
    SCOPED_TRACE(CipherModeName(mode));
    auto c = Keyed(TCipher_1DES::StaticClass(), key, nullptr, mode);
    std::string s = c->FeedbackBytes();
    c->EncryptBlock(s.data());
    const std::string tail = Pattern(5);
    const std::string ct = Encrypt(*c, tail);
    for (std::size_t i = 0; i < tail.size(); ++i) {
      EXPECT_EQ(static_cast<char>(tail[i] ^ s[i]), ct[i]) << i;
    }
    std::string f = c->InitVectorBytes();
    for (std::size_t i = 0; i < f.size(); ++i)
      f[i] ^= s[i];
    EXPECT_EQ(c->FeedbackBytes(), f);
  }
}

// cmCTS chains the XOR of all ciphertext blocks: a flipped bit in a full block garbles that
// block, flips the same bit in every later full block and garbles the tail; a flipped bit in
// the tail flips only that bit.
TEST(CipherModes, CtsBitFlipPropagation) {
  auto c = Keyed(TCipher_3TDES::StaticClass(), "flip", nullptr, cmCTS);
  const std::string plain = Pattern(24 * 4 + 10);
  const std::string ct = Encrypt(*c, plain);

  std::string bad = ct;
  bad[24 + 3] ^= 0x10;  // block 1
  c->ResetChain();
  const std::string out = Decrypt(*c, bad);
  EXPECT_EQ(out.substr(0, 24), plain.substr(0, 24));
  EXPECT_NE(out.substr(24, 24), plain.substr(24, 24));
  for (const std::size_t block : {2, 3}) {
    std::string expected = plain.substr(block * 24, 24);
    expected[3] ^= 0x10;
    EXPECT_EQ(out.substr(block * 24, 24), expected) << block;
  }
  EXPECT_NE(out.substr(96), plain.substr(96));

  bad = ct;
  bad[96 + 4] ^= 0x01;  // inside the tail
  c->ResetChain();
  std::string expected = plain;
  expected[96 + 4] ^= 0x01;
  EXPECT_EQ(Decrypt(*c, bad), expected);
}

// The MAC modes write nothing, move the chaining value, and decrypting equals encrypting.
TEST(CipherModes, MacModesWriteNothing) {
  for (const TCipherMode mode : {cmCTSMAC, cmCBCMAC, cmCFBMAC}) {
    for (const std::size_t n : {8, 24, 29}) {
      SCOPED_TRACE(std::string(CipherModeName(mode)) + " " + std::to_string(n));
      auto c = Keyed(TCipher_3DES::StaticClass(), "mac", nullptr, mode);
      const std::string plain = Pattern(n);
      std::string dest(n, '\x5A');
      c->EncryptBuffer(plain.data(), dest.data(), n);
      EXPECT_EQ(dest, std::string(n, '\x5A'));
      const std::string mac = c->FeedbackBytes();
      EXPECT_NE(mac, c->InitVectorBytes());
      c->ResetChain();
      c->DecryptBuffer(plain.data(), dest.data(), n);
      EXPECT_EQ(dest, std::string(n, '\x5A'));
      EXPECT_EQ(c->FeedbackBytes(), mac);
    }
  }
  // cmCBCMAC over full blocks is the last block of cmCBC.
  auto mac = Keyed(TCipher_1DES::StaticClass(), "k", nullptr, cmCBCMAC);
  auto cbc = Keyed(TCipher_1DES::StaticClass(), "k", nullptr, cmCBC);
  const std::string plain = Pattern(32);
  std::string sink(32, '\0');
  mac->EncryptBuffer(plain.data(), sink.data(), plain.size());
  EXPECT_EQ(mac->FeedbackBytes(), Encrypt(*cbc, plain).substr(24));
}

TEST(CipherState, NotReadyRaisesCodeThree) {
  auto c = TCipher_3TDES::StaticClass()->Create();
  std::string buf(8, 'x');
  try {
    c->EncryptBuffer(buf.data(), buf.data(), buf.size());
    FAIL() << "no exception";
  } catch (const ECipherException& e) {
    EXPECT_EQ(e.ErrorCode(), 3);
    EXPECT_EQ(e.Message(), "TCipher_3TDES is not initialized call Init() or InitKey() before.");
  }
  EXPECT_EQ(buf, std::string(8, 'x'));
  c->Init("k", 1, nullptr);
  c->WipeState();
  EXPECT_THROW(c->DecryptBuffer(buf.data(), buf.data(), buf.size()), ECipherException);
  // The protection operations check too, except for an empty text.
  EXPECT_THROW(c->ProcessString("abc", actEncode), ECipherException);
  EXPECT_EQ(c->ProcessString("", actEncode), "");
}

TEST(CipherState, WipeStateAndFlags) {
  auto c = Keyed(TCipher_3TDES::StaticClass(), "key");
  EXPECT_EQ(c->StateFlags(), 2u);  // ready, not from a key text
  c->InitKey("key");
  EXPECT_EQ(c->StateFlags(), 3u);
  c->WipeState();
  EXPECT_EQ(c->StateFlags(), 0u);
  EXPECT_EQ(c->InitVectorBytes(), std::string(24, '\xFF'));
  EXPECT_EQ(c->FeedbackBytes(), std::string(24, '\xFF'));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(c->Scratch()), 24), std::string(24, '\0'));
  const std::string schedule(reinterpret_cast<const char*>(c->Schedule()),
                             static_cast<std::size_t>(c->ScheduleSize()));
  EXPECT_EQ(schedule, std::string(768, '\0'));
}

TEST(CipherState, VectorRuleAndResetChain) {
  // Without a vector: E(all FF) under the key; with one: its first BlockSize bytes.
  auto c = Keyed(TCipher_1DES::StaticClass(), Unhex("0123456789ABCDEF"));
  auto ecb = Keyed(TCipher_1DES::StaticClass(), Unhex("0123456789ABCDEF"), nullptr, cmECB);
  EXPECT_EQ(c->InitVectorBytes(), Encrypt(*ecb, std::string(8, '\xFF')));
  const std::string iv = Unhex("1122334455667788AABB");
  auto d = Keyed(TCipher_1DES::StaticClass(), "k", &iv);
  EXPECT_EQ(Hex(d->InitVectorBytes()), "1122334455667788");
  EXPECT_EQ(d->FeedbackBytes(), d->InitVectorBytes());
  Encrypt(*d, Pattern(16));
  const std::string moved = d->FeedbackBytes();
  ASSERT_NE(moved, d->InitVectorBytes());
  d->ResetChain();
  EXPECT_EQ(d->FeedbackBytes(), d->InitVectorBytes());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(d->Scratch()), 8), moved);
  // Changing the mode touches neither key nor chain.
  d->SetMode(cmOFB);
  EXPECT_EQ(d->FeedbackBytes(), d->InitVectorBytes());
}

TEST(CipherState, LongKeysAreCutUnlessStrict) {
  const std::string key = Pattern(30);
  auto cut = Keyed(TCipher_3DES::StaticClass(), key);
  auto exact = Keyed(TCipher_3DES::StaticClass(), key.substr(0, 24));
  EXPECT_EQ(cut->InitVectorBytes(), exact->InitVectorBytes());

  SetCheckCipherKeySize(true);
  try {
    cut->Init(key.data(), 30, nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const ECipherException& e) {
    EXPECT_EQ(e.ErrorCode(), 2);
    EXPECT_EQ(e.Message(),
              "Length from Encryptionkey is invalid.\r\nKeysize for TCipher_3DES must be to "
              "0-24 bytes");
  }
  SetCheckCipherKeySize(false);
  // The refused key left the previous one in place.
  EXPECT_TRUE(cut->Ready());
  EXPECT_EQ(cut->InitVectorBytes(), exact->InitVectorBytes());
}

TEST(CipherKey, InitKeyUsesTheKeyHash) {
  // Default key hash: RIPEMD-256, of whose 32 digest bytes a 24-byte key takes the first 24.
  auto c = TCipher_3TDES::StaticClass()->Create();
  EXPECT_EQ(c->KeyHashClass(), THash_RipeMD256::StaticClass());
  c->InitKey("session key");
  const std::string ripemd =
      THash::HashString(THash_RipeMD256::StaticClass(), "session key", nullptr, kFormatCopy);
  auto direct = Keyed(TCipher_3TDES::StaticClass(), ripemd.substr(0, 24));
  EXPECT_EQ(c->InitVectorBytes(), direct->InitVectorBytes());
  EXPECT_EQ(c->FeedbackBytes(), c->InitVectorBytes());

  // MD5: 16 bytes, K3 zero. The key hash object is replaced with the class.
  c->SetKeyHashClass(THash_MD5::StaticClass());
  c->InitKey("session key");
  const std::string md5 =
      THash::HashString(THash_MD5::StaticClass(), "session key", nullptr, kFormatCopy);
  auto direct_md5 = Keyed(TCipher_3TDES::StaticClass(), md5 + std::string(8, '\0'));
  EXPECT_EQ(c->InitVectorBytes(), direct_md5->InitVectorBytes());
  EXPECT_EQ(c->FeedbackBytes(), c->InitVectorBytes());
  // The digest in the hash object no longer shows the key.
  EXPECT_NE(std::string(reinterpret_cast<const char*>(c->KeyHash().DigestBytes()), 16), md5);

  // A given vector is used as it is.
  const std::string iv = Pattern(24);
  c->InitKey("session key", iv.data());
  EXPECT_EQ(c->InitVectorBytes(), iv);
  EXPECT_EQ(c->FeedbackBytes(), iv);
}

TEST(CipherKey, InitKeyInMacModeWipesTheDigest) {
  auto c = TCipher_1DES::StaticClass()->Create();
  c->SetKeyHashClass(THash_MD5::StaticClass());
  c->SetMode(cmCBCMAC);
  c->InitKey("secret");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(c->KeyHash().DigestBytes()), 16),
            std::string(16, '\0'));
  EXPECT_EQ(c->FeedbackBytes(), c->InitVectorBytes());
}

// ProcessString moves the data in pieces of 4096 bytes; a 24-byte block does not divide 4096,
// so every full piece ends with a tail and the chain carries on to the next piece.
TEST(CipherProtection, PiecesOf4096BytesEachEndWithATail) {
  auto c = Keyed(TCipher_3TDES::StaticClass(), "pieces");
  const std::string plain = Pattern(4096 + 4096 + 30);
  const std::string encoded = c->ProcessString(plain, actEncode, kFormatCopy);
  EXPECT_EQ(c->FeedbackBytes(), c->InitVectorBytes());
  std::string by_pieces = Encrypt(*c, plain.substr(0, 4096));
  by_pieces += Encrypt(*c, plain.substr(4096, 4096));
  by_pieces += Encrypt(*c, plain.substr(8192));
  EXPECT_TRUE(encoded == by_pieces);
  c->ResetChain();
  EXPECT_FALSE(encoded == Encrypt(*c, plain));
  EXPECT_TRUE(c->ProcessString(encoded, actDecode, kFormatCopy) == plain);
}

}  // namespace
}  // namespace pelvane
