// The cipher registry and TCipherManager, above all the way the envelopes use it: an MD5 hash
// manager, "DES Triple 24byte", cmCTS, InitKey with the session key and no vector.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>

#include "crypto/cipher/blowfish.h"
#include "crypto/cipher/cipher_manager.h"
#include "crypto/cipher/cipher_registry.h"
#include "crypto/cipher/des.h"
#include "crypto/cipher/gost.h"
#include "crypto/cipher/mars.h"
#include "crypto/cipher/misty.h"
#include "crypto/cipher/safer.h"
#include "crypto/cipher/skipjack.h"
#include "crypto/cipher/square.h"
#include "crypto/cipher/tea.h"
#include "crypto/cipher/threeway.h"
#include "crypto/formats/formats.h"
#include "tests/crypto/cipher/test_util.h"

namespace pelvane {
namespace {

using test::Pattern;

TEST(CipherRegistry, EntriesInOrder) {
  const auto entries = CipherRegistryEntries();
  const std::pair<TCipherClassRef, const char*> expected[] = {
      {TCipher_3Way::StaticClass(), "3Way="},
      {TCipher_Blowfish::StaticClass(), "Blowfish="},
      {TCipher_Gost::StaticClass(), "Gost="},
      {TCipher_SAFER_K64::StaticClass(), "SAFER-K64="},
      {TCipher_SAFER_SK64::StaticClass(), "SAFER-SK64=Keyscheduling"},
      {TCipher_SAFER_K128::StaticClass(), "SAFER-K128="},
      {TCipher_SAFER_SK128::StaticClass(), "SAFER-SK128=Keyscheduling"},
      {TCipher_Square::StaticClass(), "Square="},
      {TCipher_TEA::StaticClass(), "TEA="},
      {TCipher_TEAN::StaticClass(), "TEA extended="},
      {TCipher_1DES::StaticClass(), "DES Single 8byte="},
      {TCipher_2DES::StaticClass(), "DES Double 8byte="},
      {TCipher_2DDES::StaticClass(), "DES Double 16byte="},
      {TCipher_3DES::StaticClass(), "DES Triple 8byte="},
      {TCipher_3DDES::StaticClass(), "DES Triple 16byte="},
      {TCipher_3TDES::StaticClass(), "DES Triple 24byte="},
      {TCipher_Mars::StaticClass(), "Mars=Patented"},
      {TCipher_Misty::StaticClass(), "Misty 1=free for non-commercial"},
      {TCipher_Skipjack::StaticClass(), "Skipjack="},
  };
  ASSERT_EQ(entries.size(), std::size(expected));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].cls, expected[i].first) << i;
    EXPECT_EQ(entries[i].text, expected[i].second) << i;
  }
  // Sizes and parents of the family.
  EXPECT_EQ(TCipher_3TDES::StaticClass()->parent, TCipher_3DES::StaticClass());
  EXPECT_TRUE(TCipher_2DDES::StaticClass()->InheritsFrom(TCipher_1DES::StaticClass()));
  EXPECT_EQ(TCipher_2DDES::StaticClass()->ScheduleSize(), 512);
  EXPECT_EQ(TCipher_Blowfish::StaticClass()->KeySize(), 56);
}

TEST(CipherRegistry, FindByNameAndRegister) {
  for (const char* name : {"DES Triple 24byte", "des triple 24BYTE", "3TDES", "3tdes",
                           "TCipher_3TDES", "Cipher_3TDES"}) {
    EXPECT_EQ(FindCipherClass(name), TCipher_3TDES::StaticClass()) << name;
  }
  EXPECT_EQ(FindCipherClass("Blowfish"), TCipher_Blowfish::StaticClass());
  EXPECT_EQ(FindCipherClass("Rijndael"), nullptr);
  EXPECT_EQ(FindCipherClass(""), nullptr);
  EXPECT_EQ(CipherClassName(TCipher_1DES::StaticClass()), "DES Single 8byte");
  EXPECT_EQ(CipherClassName(TCipher::StaticClass()), "TCipher");

  EXPECT_FALSE(RegisterCipher(nullptr, "x", "y"));
  EXPECT_FALSE(UnregisterCipher(TCipher::StaticClass()));
  // Registering a class again replaces its text in place.
  const auto index_of_1des = [] {
    const auto entries = CipherRegistryEntries();
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (entries[i].cls == TCipher_1DES::StaticClass()) return i;
    return entries.size();
  };
  const std::size_t index = index_of_1des();
  ASSERT_TRUE(RegisterCipher(TCipher_1DES::StaticClass(), " Single ", "note"));
  EXPECT_EQ(index_of_1des(), index);
  EXPECT_EQ(CipherRegistryEntries()[index].text, "Single=note");
  ASSERT_TRUE(RegisterCipher(TCipher_1DES::StaticClass(), "DES Single 8byte", ""));
  EXPECT_EQ(CipherRegistryEntries()[index].text, "DES Single 8byte=");
}

TEST(CipherManager, NewManagerDefaults) {
  TCipherManager m;
  EXPECT_EQ(m.Mode(), cmCTS);
  EXPECT_EQ(m.HashManager(), nullptr);
  EXPECT_EQ(m.StoredCipherClassName(), "");
  EXPECT_EQ(m.Algorithm(), "Blowfish");
  EXPECT_EQ(m.Description(), "448bit Key");
  EXPECT_EQ(m.Description(1), "");
  EXPECT_EQ(m.CipherObject().ClassType(), TCipher_Blowfish::StaticClass());
}

TEST(CipherManager, SelectionByName) {
  for (const char* name : {"DES Triple 24byte", "3TDES", "TCipher_3TDES"}) {
    TCipherManager m;
    m.SetAlgorithm(name);
    EXPECT_EQ(m.AlgorithmClass(), TCipher_3TDES::StaticClass()) << name;
    EXPECT_EQ(m.Algorithm(), "DES Triple 24byte");
    EXPECT_EQ(m.Description(), "192bit Key");
    EXPECT_EQ(m.StoredCipherClassName(), "TCipher_3TDES");
  }
  TCipherManager m;
  m.SetAlgorithm("no such cipher");
  EXPECT_EQ(m.Algorithm(), "Blowfish");
  m.LoadCipherClassName("TCipher_1DES");
  EXPECT_EQ(m.Algorithm(), "DES Single 8byte");
  m.LoadCipherClassName("tcipher_3des");  // class names match exactly
  EXPECT_EQ(m.Algorithm(), "DES Single 8byte");
}

TEST(CipherManager, ChangingTheClassDropsTheKey) {
  TCipherManager m;
  m.SetAlgorithm("DES Triple 24byte");
  m.InitKey("key");
  const std::string encoded = m.EncodeString("data");
  m.SetAlgorithm("3TDES");  // the same class: the object and its key stay
  EXPECT_EQ(m.EncodeString("data"), encoded);
  m.SetAlgorithm("DES Single 8byte");
  try {
    m.EncodeString("data");
    FAIL() << "no exception";
  } catch (const ECipherException& e) {
    EXPECT_EQ(e.ErrorCode(), 3);
    EXPECT_EQ(e.Message(), "TCipher_1DES is not initialized call Init() or InitKey() before.");
  }
}

TEST(CipherManager, ModeReachesTheCipherObject) {
  TCipherManager m;
  m.SetMode(cmOFB);
  EXPECT_EQ(m.CipherObject().Mode(), cmOFB);
  m.SetMode(cmECB);
  EXPECT_EQ(m.CipherObject().Mode(), cmECB);
}

TEST(CipherManager, KeyHashComesFromTheHashManager) {
  const std::string key = "0123456789ABCDEF0123456789ABCDEF";
  TCipherManager plain;  // no hash manager: RIPEMD-256
  plain.SetAlgorithm("DES Triple 24byte");
  plain.InitKey(key);
  EXPECT_EQ(plain.CipherObject().KeyHashClass(), THash_RipeMD256::StaticClass());
  const std::string ripemd =
      THash::HashString(THash_RipeMD256::StaticClass(), key, nullptr, kFormatCopy);
  auto direct = test::Keyed(TCipher_3TDES::StaticClass(), ripemd.substr(0, 24));
  EXPECT_EQ(plain.CipherObject().InitVectorBytes(), direct->InitVectorBytes());

  THashManager md5;
  md5.SetAlgorithm("Message Digest 5");
  TCipherManager a;
  TCipherManager b;
  for (TCipherManager* m : {&a, &b}) {
    m->SetHashManager(&md5);
    m->SetAlgorithm("DES Triple 24byte");
    m->InitKey(key);
  }
  EXPECT_EQ(a.CipherObject().KeyHashClass(), THash_MD5::StaticClass());
  EXPECT_EQ(a.CipherObject().InitVectorBytes(), b.CipherObject().InitVectorBytes());
  EXPECT_NE(a.CipherObject().InitVectorBytes(), plain.CipherObject().InitVectorBytes());
}

TEST(CipherManager, HashManagerDestructionIsNoticed) {
  TCipherManager m;
  {
    THashManager h;
    h.SetAlgorithm("MD5");
    m.SetHashManager(&h);
    EXPECT_EQ(m.HashManager(), &h);
  }
  EXPECT_EQ(m.HashManager(), nullptr);
  m.InitKey("still works");  // falls back to the cipher's own key hash class
  EXPECT_EQ(m.CipherObject().KeyHashClass(), THash_RipeMD256::StaticClass());

  // The other order: a cipher manager that went first leaves no listener behind.
  auto h = std::make_unique<THashManager>();
  {
    TCipherManager gone;
    gone.SetHashManager(h.get());
  }
  TCipherManager other;
  other.SetHashManager(h.get());
  other.SetHashManager(nullptr);
  h.reset();
  EXPECT_EQ(other.HashManager(), nullptr);
}

// The envelope pattern, at the lengths around the block and piece sizes.
TEST(CipherManager, EnvelopeEncodeDecode) {
  const std::string session_key = test::Unhex("3E23F117D60A18D6274E507E9792FF99790562938B613CBC");
  for (const std::size_t n : {0, 1, 23, 24, 25, 4095, 4096, 4097, 10000}) {
    SCOPED_TRACE(n);
    const std::string plain = Pattern(n);
    std::string encoded;
    {
      THashManager h;
      h.SetAlgorithm("Message Digest 5");
      TCipherManager m;
      m.SetHashManager(&h);
      m.SetAlgorithm("DES Triple 24byte");
      m.InitKey(session_key);
      encoded = m.EncodeString(plain);
      EXPECT_EQ(m.EncodeString(plain), encoded);  // calls are independent
      EXPECT_EQ(m.CipherObject().FeedbackBytes(), m.CipherObject().InitVectorBytes());
    }
    const std::string raw = FormatToStr(encoded, kFormatMIME64);
    EXPECT_EQ(raw.size(), n);
    if (n >= 8) {
      EXPECT_NE(raw, plain);
    }
    THashManager h;
    h.SetAlgorithm("Message Digest 5");
    TCipherManager m;
    m.SetHashManager(&h);
    m.SetAlgorithm("DES Triple 24byte");
    m.InitKey(session_key);
    EXPECT_EQ(m.DecodeString(encoded), plain);
    if (n > 0) {
      TCipherManager wrong;
      wrong.SetHashManager(&h);
      wrong.SetAlgorithm("DES Triple 24byte");
      wrong.InitKey("another key");
      EXPECT_NE(wrong.DecodeString(encoded), plain);  // wrong bytes, no error
    }
  }
}

TEST(CipherManager, EmptyTextsNeedNoKey) {
  TCipherManager m;
  m.SetAlgorithm("DES Triple 24byte");
  EXPECT_EQ(m.EncodeString(""), "");
  EXPECT_EQ(m.DecodeString(""), "");
  EXPECT_THROW(m.EncodeString("x"), ECipherException);
}

TEST(CipherManager, InvalidBase64FailsBeforeDecrypting) {
  TCipherManager m;
  m.SetAlgorithm("DES Triple 24byte");
  m.InitKey("key");
  const std::string encoded = m.EncodeString("some data");
  EXPECT_THROW(m.DecodeString("not*base64!"), EStringFormat);
  EXPECT_TRUE(m.CipherObject().Ready());
  EXPECT_EQ(m.CipherObject().FeedbackBytes(), m.CipherObject().InitVectorBytes());
  EXPECT_EQ(m.DecodeString(encoded), "some data");
}

}  // namespace
}  // namespace pelvane
