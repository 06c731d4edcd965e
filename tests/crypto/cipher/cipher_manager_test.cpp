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
  // Every row of the table, with the entry text ("description=note") of the rows that work
  // here and null for the absent ones: the registry holds exactly the working rows, in this order.
  struct Row {
    const char* cls;
    const char* text;
  };
  const Row table[] = {
      {"TCipher_3Way", "3Way="},
      {"TCipher_Blowfish", "Blowfish="},
      {"TCipher_Gost", "Gost="},
      {"TCipher_IDEA", "IDEA=free for non-commercial"},
      {"TCipher_Q128", nullptr},
      {"TCipher_SAFER_K40", nullptr},
      {"TCipher_SAFER_SK40", nullptr},
      {"TCipher_SAFER_K64", "SAFER-K64="},
      {"TCipher_SAFER_SK64", "SAFER-SK64=Keyscheduling"},
      {"TCipher_SAFER_K128", "SAFER-K128="},
      {"TCipher_SAFER_SK128", "SAFER-SK128=Keyscheduling"},
      {"TCipher_SCOP", nullptr},
      {"TCipher_Shark", nullptr},
      {"TCipher_Square", "Square="},
      {"TCipher_TEA", "TEA="},
      {"TCipher_TEAN", "TEA extended="},
      {"TCipher_Twofish", "Twofish="},
      {"TCipher_Sample", nullptr},
      {"TCipher_Cast128", "Cast 128="},
      {"TCipher_Cast256", "Cast 256=Patented"},
      {"TCipher_1DES", "DES Single 8byte="},
      {"TCipher_2DES", "DES Double 8byte="},
      {"TCipher_2DDES", "DES Double 16byte="},
      {"TCipher_3DES", "DES Triple 8byte="},
      {"TCipher_3DDES", "DES Triple 16byte="},
      {"TCipher_3TDES", "DES Triple 24byte="},
      {"TCipher_DESX", "DESX=Copyright RSA Data Security, Inc."},
      {"TCipher_Diamond2", nullptr},
      {"TCipher_Diamond2Lite", nullptr},
      {"TCipher_FROG", nullptr},
      {"TCipher_Mars", "Mars=Patented"},
      {"TCipher_Misty", "Misty 1=free for non-commercial"},
      {"TCipher_NewDES", nullptr},
      {"TCipher_RC2", "RC2="},
      {"TCipher_RC4", "RC4=Patented by RSA"},
      {"TCipher_RC5", "RC5=Patented by RSA"},
      {"TCipher_RC6", "RC6=Patented by RSA"},
      {"TCipher_Rijndael", "Rijndael="},
      {"TCipher_Sapphire", nullptr},
      {"TCipher_Skipjack", "Skipjack="},
  };
  ASSERT_EQ(std::size(table), 40u);
  const auto entries = CipherRegistryEntries();
  std::size_t next = 0;
  for (const Row& row : table) {
    if (row.text == nullptr) {
      EXPECT_EQ(FindCipherClass(row.cls), nullptr) << row.cls << " is registered";
      continue;
    }
    ASSERT_LT(next, entries.size()) << "missing " << row.cls;
    EXPECT_EQ(entries[next].cls->ClassName(), row.cls) << next;
    EXPECT_EQ(entries[next].text, row.text) << row.cls;
    ++next;
  }
  EXPECT_EQ(next, entries.size()) << "registered rows beyond the table";
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
  EXPECT_EQ(FindCipherClass("Rijndael")->ClassName(), "TCipher_Rijndael");
  EXPECT_EQ(FindCipherClass("Cast 256")->ClassName(), "TCipher_Cast256");
  EXPECT_EQ(FindCipherClass("No such cipher"), nullptr);
  EXPECT_EQ(FindCipherClass(""), nullptr);
  EXPECT_EQ(CipherClassName(TCipher_1DES::StaticClass()), "DES Single 8byte");
  EXPECT_EQ(CipherClassName(TCipher::StaticClass()), "TCipher");

  EXPECT_FALSE(RegisterCipher(nullptr, "x", "y"));
  EXPECT_FALSE(UnregisterCipher(TCipher::StaticClass()));
  // Registering a class again replaces its text in place.
  const auto position = [] {
    const auto entries = CipherRegistryEntries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].cls == TCipher_1DES::StaticClass()) return i;
    }
    return entries.size();
  };
  const std::size_t before = position();
  ASSERT_TRUE(RegisterCipher(TCipher_1DES::StaticClass(), " Single ", "note"));
  ASSERT_EQ(position(), before);
  EXPECT_EQ(CipherRegistryEntries()[before].text, "Single=note");
  ASSERT_TRUE(RegisterCipher(TCipher_1DES::StaticClass(), "DES Single 8byte", ""));
  EXPECT_EQ(CipherRegistryEntries()[before].text, "DES Single 8byte=");
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
