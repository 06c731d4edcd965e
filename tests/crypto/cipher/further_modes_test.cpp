// Every chaining mode of the framework on each further cipher: the invertible modes restore
// every length, the MAC modes write nothing, and a key text round-trips through the
// protection operations.
#include <gtest/gtest.h>

#include "crypto/cipher/cipher_registry.h"
#include "crypto/cipher/gost.h"
#include "crypto/cipher/misty.h"
#include "crypto/cipher/safer.h"
#include "crypto/cipher/skipjack.h"
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
    TCipher_SAFER_K64::StaticClass(),  TCipher_SAFER_SK64::StaticClass(),
    TCipher_SAFER_K128::StaticClass(), TCipher_SAFER_SK128::StaticClass(),
    TCipher_3Way::StaticClass(),       TCipher_Skipjack::StaticClass(),
    TCipher_Misty::StaticClass(),      TCipher_Gost::StaticClass(),
    TCipher_TEA::StaticClass(),        TCipher_TEAN::StaticClass(),
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

}  // namespace
}  // namespace pelvane
