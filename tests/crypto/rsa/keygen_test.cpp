#include "crypto/rsa/keygen.h"

#include <gtest/gtest.h>

#include <string>

#include "app/session/wallet_keys.h"
#include "crypto/rsa/rsa.h"

namespace pelvane {
namespace {

TEST(RsaKeygen, PairsOfEverySizeLoadAndInvert) {
  const struct {
    TKeyBits bits;
    std::size_t field_chars;  // Base64 characters of a key-length field
  } sizes[] = {{kb0512, 86}, {kb1024, 171}, {kb2048, 342}};
  for (const auto& s : sizes) {
    const RsaKeyPair pair = GenerateRsaKeyPair(s.bits);
    SCOPED_TRACE(pair.public_key);
    // Public: 4-byte exponent 65537, then the modulus; private: modulus, then exponent.
    EXPECT_EQ(pair.public_key.size(), 7 + s.field_chars);
    EXPECT_EQ(pair.public_key.substr(0, 7), "++2++E:");
    EXPECT_EQ(pair.private_key.size(), 2 * s.field_chars + 1);
    EXPECT_EQ(pair.private_key.substr(0, s.field_chars), pair.public_key.substr(7));
    // The modulus's most significant byte (first byte of its last group) is not zero.
    const std::string modulus = TRSA::DecodeBase64(pair.public_key.substr(7));
    EXPECT_NE(modulus[modulus.size() - 4], '\0');

    TRSA rsa;
    rsa.SetKeyBits(s.bits);
    rsa.SetPublicKey(pair.public_key);
    rsa.SetPrivateKey(pair.private_key);
    std::string text;
    for (int i = 0; i < 600; ++i)
      text.push_back(static_cast<char>(255 - i % 256));
    EXPECT_EQ(rsa.DecryptString(rsa.EncryptString(text)), text);
    EXPECT_EQ(rsa.DecryptString(rsa.EncryptString("")), "");
  }
}

TEST(RsaKeygen, FreshPairsDiffer) {
  const RsaKeyPair a = GenerateRsaKeyPair(kb0512), b = GenerateRsaKeyPair(kb0512);
  EXPECT_NE(a.public_key, b.public_key);
}

TEST(RsaKeygen, PrimalityOfKnownNumbers) {
  const struct {
    MpDigit digits[3];
    bool prime;
  } cases[] = {
      {{0, 0, 0}, false},
      {{1, 0, 0}, false},
      {{2, 0, 0}, true},
      {{3, 0, 0}, true},
      {{4, 0, 0}, false},
      {{1999, 0, 0}, true},
      {{2003, 0, 0}, true},
      {{561, 0, 0}, false},         // Carmichael
      {{0xFFFFFFFBu, 0, 0}, true},  // 2^32 - 5
      {{0xFFFFFFFFu, 0xFFFFFFFFu, 0}, false},
      {{0xFFFFFFC5u, 0xFFFFFFFFu, 0}, true},  // 2^64 - 59
      // 2^64 + 13 and the Carmichael number 3215031751 * ... kept small: 1373653 = 829 * 1657
      {{13, 0, 1}, true},
      {{1373653, 0, 0}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsProbablePrime(c.digits, 3, 20), c.prime) << c.digits[0];
  }
}

TEST(WalletKeys, LoadAndInvert) {
  EXPECT_EQ(std::string(kWalletPublicKey).size(), 93u);
  EXPECT_EQ(std::string(kWalletPrivateKey).size(), 173u);
  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  rsa.SetPublicKey(kWalletPublicKey);
  rsa.SetPrivateKey(kWalletPrivateKey);
  const std::string session_key(24, '\x5C');
  const std::string cipher = rsa.EncryptString(session_key);
  EXPECT_EQ(cipher.size(), 86u);
  EXPECT_EQ(rsa.DecryptString(cipher), session_key);
}

}  // namespace
}  // namespace pelvane
