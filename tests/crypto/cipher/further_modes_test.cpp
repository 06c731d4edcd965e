// Every chaining mode of the framework on each further cipher: the invertible modes restore
// every length, the MAC modes write nothing, and a key text round-trips through the
// protection operations.
#include <gtest/gtest.h>

#include "crypto/cipher/blowfish.h"
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
#include "crypto/hash/protection.h"
#include "tests/crypto/cipher/test_util.h"

namespace pelvane {
namespace {

using test::Decrypt;
using test::Encrypt;
using test::Keyed;
using test::Pattern;

const TCipherClassRef kClasses[] = {
    TCipher_3Way::StaticClass(),       TCipher_Gost::StaticClass(),
    TCipher_SAFER_K64::StaticClass(),  TCipher_SAFER_SK64::StaticClass(),
    TCipher_SAFER_K128::StaticClass(), TCipher_SAFER_SK128::StaticClass(),
    TCipher_Square::StaticClass(),     TCipher_TEA::StaticClass(),
    TCipher_TEAN::StaticClass(),       TCipher_Mars::StaticClass(),
    TCipher_Misty::StaticClass(),      TCipher_Skipjack::StaticClass(),
};

TEST(FurtherCipherModes, EveryInvertibleModeRoundTrips) {
  for (const TCipherClassRef cls : kClasses) {
    const std::size_t b = static_cast<std::size_t>(cls->BlockSize());
    for (const TCipherMode mode : {cmCTS, cmCBC, cmCFB, cmOFB, cmECB}) {
      for (const std::size_t n : {std::size_t{1}, b - 1, b, b + 1, 3 * b + 5, std::size_t{100}}) {
        SCOPED_TRACE(std::string(cls->ClassName()) + " " + std::string(CipherModeName(mode)) + " " +
                     std::to_string(n));
        auto c = Keyed(cls, "key bytes", nullptr, mode);
        const std::string plain = Pattern(n);
        const std::string ct = Encrypt(*c, plain);
        ASSERT_EQ(ct.size(), n);
        if (n >= b) {
          EXPECT_NE(ct, plain);
        }
        const std::string f_after_encrypt = c->FeedbackBytes();
        c->ResetChain();
        if (mode == cmECB && n % b != 0) {
          // A partial block in cmECB cannot be restored; the full blocks can.
          EXPECT_EQ(Decrypt(*c, ct).substr(0, n - n % b), plain.substr(0, n - n % b));
        } else {
          EXPECT_EQ(Decrypt(*c, ct), plain);
          EXPECT_EQ(c->FeedbackBytes(), f_after_encrypt);
        }
      }
    }
  }
}

TEST(FurtherCipherModes, MacModesWriteNothingAndDependOnEveryByte) {
  for (const TCipherClassRef cls : kClasses) {
    for (const TCipherMode mode : {cmCTSMAC, cmCBCMAC, cmCFBMAC}) {
      SCOPED_TRACE(std::string(cls->ClassName()) + " " + std::string(CipherModeName(mode)));
      const std::string plain = Pattern(45);
      std::string out(plain.size(), 'x');
      auto c = Keyed(cls, "key bytes", nullptr, mode);
      c->EncryptBuffer(plain.data(), out.data(), plain.size());
      EXPECT_EQ(out, std::string(plain.size(), 'x'));
      const std::string mac = c->FeedbackBytes();
      std::string changed = plain;
      changed[3] ^= 1;
      auto d = Keyed(cls, "key bytes", nullptr, mode);
      d->DecryptBuffer(changed.data(), out.data(), changed.size());
      EXPECT_NE(d->FeedbackBytes(), mac);
    }
  }
}

TEST(FurtherCipherModes, KeyTextRoundTripsThroughProcessString) {
  for (const TCipherClassRef cls : kClasses) {
    SCOPED_TRACE(cls->ClassName());
    EXPECT_EQ(FindCipherClass(cls->ClassName()), cls);
    auto c = cls->Create("a key text");
    ASSERT_TRUE(c->Ready());
    const std::string plain = Pattern(5000);
    const std::string coded = c->ProcessString(plain, actEncode, -1);
    EXPECT_NE(coded, plain);
    EXPECT_EQ(c->ProcessString(coded, actDecode, -1), plain);
    EXPECT_EQ(c->ProcessString(plain, actEncode, -1), coded);
  }
}

// A key shorter than KeySize is the same key completed with zero bytes; MARS, whose key
// schedule takes at most 56 bytes, uses the first 56 of a longer key.
TEST(FurtherCipherKeys, ShortKeysAreZeroCompletedAndMarsUsesFiftySixBytes) {
  const std::string plain = Pattern(64);
  for (const TCipherClassRef cls : kClasses) {
    SCOPED_TRACE(cls->ClassName());
    const std::string key = Pattern(static_cast<std::size_t>(cls->KeySize()) - 3);
    auto short_key = Keyed(cls, key, nullptr, cmECB);
    auto completed = Keyed(cls, key + std::string(3, '\0'), nullptr, cmECB);
    EXPECT_EQ(Encrypt(*short_key, plain), Encrypt(*completed, plain));
    auto other = Keyed(cls, "other", nullptr, cmECB);
    EXPECT_NE(Encrypt(*short_key, plain), Encrypt(*other, plain));
  }
  const std::string long_key = Pattern(100);
  auto cut = Keyed(TCipher_Mars::StaticClass(), long_key.substr(0, 56), nullptr, cmECB);
  auto whole = Keyed(TCipher_Mars::StaticClass(), long_key, nullptr, cmECB);
  EXPECT_EQ(Encrypt(*cut, plain), Encrypt(*whole, plain));
  auto fifty_five = Keyed(TCipher_Mars::StaticClass(), long_key.substr(0, 55), nullptr, cmECB);
  EXPECT_NE(Encrypt(*cut, plain), Encrypt(*fifty_five, plain));
}

// The registry rows: class name, "description=note", sizes, parent, lookup by description,
// and their order among the rows around them.
TEST(FurtherCipherRegistry, RowsKeepTheirNamesNotesSizesAndOrder) {
  struct Row {
    TCipherClassRef cls;
    const char* class_name;
    const char* entry_text;
    int block_size;
    int key_size;
    TCipherClassRef parent;
  };
  const Row rows[] = {
      {TCipher_3Way::StaticClass(), "TCipher_3Way", "3Way=", 12, 12, TCipher::StaticClass()},
      {TCipher_Blowfish::StaticClass(), "TCipher_Blowfish", "Blowfish=", 8, 56,
       TCipher::StaticClass()},
      {TCipher_Gost::StaticClass(), "TCipher_Gost", "Gost=", 8, 32, TCipher::StaticClass()},
      {TCipher_SAFER_K64::StaticClass(), "TCipher_SAFER_K64", "SAFER-K64=", 8, 8,
       TCipher_SAFER::StaticClass()},
      {TCipher_SAFER_SK64::StaticClass(), "TCipher_SAFER_SK64", "SAFER-SK64=Keyscheduling", 8, 8,
       TCipher_SAFER_K64::StaticClass()},
      {TCipher_SAFER_K128::StaticClass(), "TCipher_SAFER_K128", "SAFER-K128=", 8, 16,
       TCipher_SAFER::StaticClass()},
      {TCipher_SAFER_SK128::StaticClass(), "TCipher_SAFER_SK128", "SAFER-SK128=Keyscheduling", 8,
       16, TCipher_SAFER_K128::StaticClass()},
      {TCipher_Square::StaticClass(), "TCipher_Square", "Square=", 16, 16, TCipher::StaticClass()},
      {TCipher_TEA::StaticClass(), "TCipher_TEA", "TEA=", 8, 16, TCipher::StaticClass()},
      {TCipher_TEAN::StaticClass(), "TCipher_TEAN", "TEA extended=", 8, 16,
       TCipher_TEA::StaticClass()},
      {TCipher_1DES::StaticClass(), "TCipher_1DES", "DES Single 8byte=", 8, 8,
       TCipher::StaticClass()},
      {TCipher_3TDES::StaticClass(), "TCipher_3TDES", "DES Triple 24byte=", 24, 24,
       TCipher_3DES::StaticClass()},
      {TCipher_Mars::StaticClass(), "TCipher_Mars", "Mars=Patented", 16, 156,
       TCipher::StaticClass()},
      {TCipher_Misty::StaticClass(), "TCipher_Misty", "Misty 1=free for non-commercial", 8, 16,
       TCipher::StaticClass()},
      {TCipher_Skipjack::StaticClass(), "TCipher_Skipjack", "Skipjack=", 8, 10,
       TCipher::StaticClass()},
  };
  const std::vector<TCipherRegistryEntry> entries = CipherRegistryEntries();
  std::size_t previous_index = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.class_name);
    EXPECT_EQ(row.cls->ClassName(), row.class_name);
    EXPECT_EQ(CipherClassEntryText(row.cls), row.entry_text);
    EXPECT_EQ(row.cls->BlockSize(), row.block_size);
    EXPECT_EQ(row.cls->KeySize(), row.key_size);
    EXPECT_EQ(row.cls->parent, row.parent);
    const std::string text = row.entry_text;
    EXPECT_EQ(FindCipherClass(text.substr(0, text.find('='))), row.cls);
    std::size_t index = 0;
    while (index < entries.size() && entries[index].cls != row.cls)
      ++index;
    ASSERT_LT(index, entries.size());
    if (row.cls != rows[0].cls) {
      EXPECT_GT(index, previous_index);
    }
    previous_index = index;
  }
  // The SAFER base class has no row of its own.
  EXPECT_EQ(CipherClassEntryText(TCipher_SAFER::StaticClass()), "");
}

}  // namespace
}  // namespace pelvane
