#include "crypto/rsa/rsa.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <typeindex>
#include <vector>

#include "crypto/rsa/keygen.h"

namespace pelvane {
namespace {

std::string FromHex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

const nlohmann::json& RsaVectors() {
  static const nlohmann::json group = [] {
    std::ifstream in(PELVANE_TEST_DATA_DIR "/vectors.json");
    return nlohmann::json::parse(in).at("rsa");
  }();
  return group;
}

std::string VectorPublicKey() {
  return RsaVectors().at("public_key").get<std::string>();
}
std::string VectorPrivateKey() {
  return RsaVectors().at("private_key").get<std::string>();
}

// Records the Status text each time OnStatusUpdate fires.
struct Events {
  std::vector<std::string> seen;
  void Attach(TRSA& rsa) {
    rsa.OnStatusUpdate = [this](TRSA& sender) { seen.push_back(sender.Status()); };
  }
};

std::string Field(std::size_t bytes, char fill = '\x01') {
  return TRSA::EncodeBase64(std::string(bytes, fill));
}

TEST(RsaVectors, EncryptMatchesAndDecryptInverts) {
  ASSERT_EQ(RsaVectors().at("key_bits").get<int>(), 512);
  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  rsa.SetPublicKey(VectorPublicKey());
  rsa.SetPrivateKey(VectorPrivateKey());
  int count = 0;
  for (const auto& v : RsaVectors().at("vectors")) {
    const std::string plain = FromHex(v.at("plain_hex").get<std::string>());
    const std::string cipher = v.at("encrypt_string").get<std::string>();
    EXPECT_EQ(rsa.EncryptString(plain), cipher) << "length " << plain.size();
    EXPECT_EQ(rsa.DecryptString(cipher), plain) << "length " << plain.size();
    ++count;
  }
  EXPECT_GT(count, 10);
}

TEST(RsaEncrypt, OutputSizesAlphabetAndDeterminism) {
  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  rsa.SetPublicKey(VectorPublicKey());
  rsa.SetPrivateKey(VectorPrivateKey());
  const struct {
    std::size_t length;
    std::size_t chars;
  } cases[] = {{0, 86},   {16, 86},   {24, 86},   {62, 86},
               {63, 171}, {125, 171}, {126, 256}, {188, 256}};
  for (const auto& c : cases) {
    std::string text(c.length, '\0');
    for (std::size_t i = 0; i < c.length; ++i)
      text[i] = static_cast<char>(i * 37);
    const std::string out = rsa.EncryptString(text);
    EXPECT_EQ(out.size(), c.chars) << c.length;
    EXPECT_EQ(
        out.find_first_not_of("+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"),
        std::string::npos);
    EXPECT_EQ(rsa.EncryptString(text), out);
    EXPECT_EQ(rsa.DecryptString(out), text);
  }
}

TEST(RsaBase64, LengthsPartialGroupsAndInvalidCharacters) {
  EXPECT_EQ(TRSA::EncodeBase64(""), "");
  EXPECT_EQ(TRSA::EncodeBase64(std::string(1, '\0')), "++");
  EXPECT_EQ(TRSA::EncodeBase64(std::string("\xFF\xFF\xFF", 3)), "zzzz");
  EXPECT_EQ(TRSA::EncodeBase64(std::string("\x00\x01\x00\x01", 4)), "++2++E");
  for (std::size_t n = 0; n < 10; ++n) {
    std::string bytes;
    for (std::size_t i = 0; i < n; ++i)
      bytes.push_back(static_cast<char>(0xA7 ^ (i * 91)));
    const std::string text = TRSA::EncodeBase64(bytes);
    EXPECT_EQ(text.size(), 4 * (n / 3) + (n % 3 == 0 ? 0 : n % 3 + 1));
    EXPECT_EQ(TRSA::DecodeBase64(text), bytes);
  }
  // A single trailing character holds no whole byte and is dropped.
  EXPECT_EQ(TRSA::DecodeBase64("zzzzz"), std::string("\xFF\xFF\xFF", 3));
  for (const char* bad : {"ab=c", "ab c", "abc:", "ab/c", "\x80"}) {
    try {
      TRSA::DecodeBase64(bad);
      ADD_FAILURE() << bad;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "Error converting from Base64 - invalid character");
    }
  }
}

// Every refusal: the Status when the event fires, the exception class and its message.
TEST(RsaFailures, EveryRowSetsStatusFiresAndThrows) {
  const std::string pub = VectorPublicKey(), priv = VectorPrivateKey();
  const std::string modulus = Field(64);
  struct Row {
    const char* name;
    bool loaded;  // key size and both vector keys assigned first
    std::function<void(TRSA&)> action;
    const char* status;
    std::type_index type;
    const char* message;
  };
  const std::type_index kNoKey = typeid(ENoKeyLoaded), kInvalid = typeid(EInvalidKey),
                        kConvert = typeid(EConvertError);
  const std::string one_and_half = TRSA::EncodeBase64(std::string(96, 'x'));
  const std::vector<Row> rows = {
      {"encrypt without public key", false,
       [](TRSA& r) {
         r.SetKeyBits(kb0512);
         r.EncryptString("x");
       },
       "Public key not loaded", kNoKey, "Public key not loaded"},
      {"decrypt without private key", false,
       [&](TRSA& r) {
         r.SetKeyBits(kb0512);
         r.SetPublicKey(pub);
         r.DecryptString("abcd");
       },
       "Private key not loaded", kNoKey, "Private key not loaded"},
      {"encrypt before key size", false,
       [](TRSA& r) {
         r.SetPublicKey(":");
         r.EncryptString("x");
       },
       "Public key not loaded", kNoKey, "Public key not loaded"},
      {"decrypt before key size", false,
       [](TRSA& r) {
         r.SetPrivateKey(":");
         r.DecryptString("");
       },
       "Private key not loaded", kNoKey, "Private key not loaded"},
      {"cipher with =", true, [](TRSA& r) { r.DecryptString("ab=c"); }, "String not valid",
       kConvert, "String not valid"},
      {"cipher with space", true, [](TRSA& r) { r.DecryptString("ab c"); }, "String not valid",
       kConvert, "String not valid"},
      {"cipher below one block", true, [](TRSA& r) { r.DecryptString(Field(63)); },
       "String not valid", kConvert, "String has incorrect length"},
      {"empty cipher", true, [](TRSA& r) { r.DecryptString(""); }, "String not valid", kConvert,
       "String has incorrect length"},
      {"cipher of a block and a half", true, [&](TRSA& r) { r.DecryptString(one_and_half); },
       "String not valid", kConvert, "String has incorrect length"},
      {"public key without colon", true, [](TRSA& r) { r.SetPublicKey("++2++E"); },
       "Public key not valid", kInvalid, "Public key not valid"},
      {"public exponent bad character", true, [&](TRSA& r) { r.SetPublicKey("++2+=E:" + modulus); },
       "Public key not valid", kConvert, "Public key not valid"},
      {"public modulus bad character", true,
       [&](TRSA& r) { r.SetPublicKey("++2++E:" + modulus + ":"); }, "Public key not valid",
       kConvert, "Public key not valid"},
      {"public exponent of 65 bytes", true,
       [&](TRSA& r) { r.SetPublicKey(Field(65) + ":" + modulus); },
       "Public key has incorrect length", kInvalid, "Public key has incorrect length"},
      {"public modulus of 63 bytes", true, [](TRSA& r) { r.SetPublicKey("++2++E:" + Field(63)); },
       "Public key has incorrect length", kInvalid, "Public key has incorrect length"},
      {"public modulus of 65 bytes", true, [](TRSA& r) { r.SetPublicKey("++2++E:" + Field(65)); },
       "Public key has incorrect length", kInvalid, "Public key has incorrect length"},
      {"key field before key size", false, [](TRSA& r) { r.SetPublicKey("++:"); },
       "Public key has incorrect length", kInvalid, "Public key has incorrect length"},
      {"private key without colon", true, [](TRSA& r) { r.SetPrivateKey(Field(64)); },
       "Public key not valid", kInvalid, "Public key not valid"},
      {"private modulus bad character", true, [&](TRSA& r) { r.SetPrivateKey("a=b:" + modulus); },
       "Public key not valid", kConvert, "Public key not valid"},
      {"private modulus of 65 bytes", true,
       [&](TRSA& r) { r.SetPrivateKey(Field(65) + ":" + modulus); },
       "Public key has incorrect length", kInvalid, "Public key has incorrect length"},
      {"private exponent bad character", true,
       [&](TRSA& r) { r.SetPrivateKey(modulus + ":" + modulus + " "); }, "Private key not valid",
       kConvert, "Private key not valid"},
      {"private exponent of 63 bytes", true,
       [&](TRSA& r) { r.SetPrivateKey(modulus + ":" + Field(63)); },
       "Private key has incorrect length", kInvalid, "Private key has incorrect length"},
      {"signature bad character", true, [](TRSA& r) { r.SetSignature("=="); },
       "Signature not valid", kConvert, "Signature not valid"},
      {"signature of 63 bytes", true, [](TRSA& r) { r.SetSignature(Field(63)); },
       "Signature has incorrect length", kConvert, "Signature has incorrect length"},
      // A modulus below the plain blocks would give cipher texts that never decrypt.
      {"modulus below the blocks", true,
       [](TRSA& r) {
         r.SetPublicKey("++2++E:" + TRSA::EncodeBase64(std::string(63, '\0') + "\x01"));
         r.EncryptString("abc");
       },
       "Public key not valid", kInvalid, "Public key not valid"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TRSA rsa;
    if (row.loaded) {
      rsa.SetKeyBits(kb0512);
      rsa.SetPublicKey(pub);
      rsa.SetPrivateKey(priv);
    }
    Events events;
    events.Attach(rsa);
    try {
      row.action(rsa);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(std::type_index(typeid(e)), row.type);
      EXPECT_EQ(e.Message(), row.message);
    }
    EXPECT_EQ(rsa.Status(), row.status);
    ASSERT_FALSE(events.seen.empty());
    EXPECT_EQ(events.seen.back(), row.status);
  }
}

TEST(RsaKeys, SuccessTextsEventsAndKeySizeChange) {
  TRSA rsa;
  EXPECT_EQ(rsa.KeyBits(), kb0512);
  EXPECT_EQ(rsa.SymKeyLength(), sk64);
  Events events;
  events.Attach(rsa);
  rsa.SetKeyBits(kb0512);
  rsa.SetPublicKey(VectorPublicKey());
  rsa.SetPrivateKey(VectorPrivateKey());
  rsa.SetSignature(Field(64));  // no status, no event
  rsa.SetKeyBits(kb1024);
  rsa.SetKeyBits(kb2048);
  EXPECT_EQ(events.seen,
            (std::vector<std::string>{"TRSA using 512 bit key", "Public key loaded OK",
                                      "Private key loaded OK", "TRSA using 1024 bit key",
                                      "TRSA using 2048 bit key"}));
  EXPECT_EQ(rsa.KeyBits(), kb2048);
  EXPECT_EQ(rsa.Signature(), Field(64));
  // The keys stay loaded across the size change; a wrong signature length changes nothing.
  EXPECT_EQ(rsa.PublicKey(), VectorPublicKey());
  EXPECT_THROW(rsa.SetSignature(Field(64)), EConvertError);
  EXPECT_EQ(rsa.Signature(), Field(64));
  rsa.SetKeyBits(kb0512);
  EXPECT_EQ(rsa.DecryptString(rsa.EncryptString("still loaded")), "still loaded");
}

TEST(RsaKeys, RejectedPublicKeyKeepsTextButUnloads) {
  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  rsa.SetPublicKey(VectorPublicKey());
  EXPECT_THROW(rsa.SetPublicKey("no colon"), EInvalidKey);
  EXPECT_EQ(rsa.PublicKey(), VectorPublicKey());
  try {
    rsa.EncryptString("x");
    ADD_FAILURE();
  } catch (const ENoKeyLoaded& e) {
    EXPECT_EQ(e.Message(), "Public key not loaded");
  }
}

TEST(RsaKeys, ExponentFieldsOfAnyLengthUpToTheKey) {
  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  const std::string modulus = VectorPublicKey().substr(VectorPublicKey().find(':') + 1);
  for (std::size_t n : {0, 1, 3, 4, 5, 64}) {
    EXPECT_NO_THROW(rsa.SetPublicKey(Field(n) + ":" + modulus)) << n;
  }
  // Exponent zero: every block encrypts to the number 1.
  rsa.SetPublicKey(":" + modulus);
  const std::string one = TRSA::DecodeBase64(rsa.EncryptString(std::string(70, 'z')));
  ASSERT_EQ(one.size(), 128u);
  for (std::size_t i = 0; i < one.size(); ++i)
    EXPECT_EQ(one[i], i % 64 == 0 ? 1 : 0) << i;
}

// The modulus belongs to the key assigned last.
TEST(RsaKeys, SharedModulus) {
  const RsaKeyPair other = GenerateRsaKeyPair(kb0512);
  TRSA a;
  a.SetKeyBits(kb0512);
  a.SetPublicKey(VectorPublicKey());
  const std::string cipher = a.EncryptString("session key bytes");

  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  rsa.SetPublicKey(other.public_key);
  rsa.SetPrivateKey(VectorPrivateKey());  // replaces the modulus: pair A complete
  EXPECT_EQ(rsa.DecryptString(cipher), "session key bytes");
  rsa.SetPublicKey(other.public_key);  // pair B's modulus under pair A's private exponent
  EXPECT_NE(rsa.DecryptString(cipher), "session key bytes");
  rsa.SetPrivateKey(VectorPrivateKey());
  EXPECT_EQ(rsa.DecryptString(cipher), "session key bytes");
}

// Pad bytes come from the decrypted block itself: any last byte must be handled.
TEST(RsaDecrypt, PadLengthAboveTheTextGivesEmptyAndZeroKeepsAll) {
  // Raw blocks under the vector key, built with the public exponent directly.
  const std::string pub = VectorPublicKey();
  const std::string mod_bytes = TRSA::DecodeBase64(pub.substr(pub.find(':') + 1));
  MpDigit n[KeyArrayDigits] = {}, e[KeyArrayDigits] = {};
  for (std::size_t i = 0; i < mod_bytes.size(); ++i) {
    n[i / 4] |= static_cast<MpDigit>(static_cast<unsigned char>(mod_bytes[i])) << (8 * (3 - i % 4));
  }
  e[0] = 65537;
  auto encrypt_raw = [&](const std::string& block) {
    MpDigit m[KeyArrayDigits] = {}, c[KeyArrayDigits] = {};
    for (std::size_t j = 0; j < block.size(); ++j) {
      m[j / 4] |= static_cast<MpDigit>(static_cast<unsigned char>(block[j])) << (8 * (j % 4));
    }
    MpModPow(c, m, e, KeyArrayDigits, n, KeyArrayDigits);
    std::string out;
    for (std::size_t j = 0; j < 64; ++j)
      out.push_back(static_cast<char>(c[j / 4] >> (8 * (j % 4))));
    return TRSA::EncodeBase64(out);
  };
  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  ASSERT_EQ(pub.substr(0, 6), "++2++E");  // exponent 65537
  rsa.SetPrivateKey(VectorPrivateKey());
  std::string block(63, 'q');
  block[62] = '\xFF';
  EXPECT_EQ(rsa.DecryptString(encrypt_raw(block)), "");
  block[62] = 63;
  EXPECT_EQ(rsa.DecryptString(encrypt_raw(block)), "");
  block[62] = 62;
  EXPECT_EQ(rsa.DecryptString(encrypt_raw(block)), "q");
  block[62] = 0;
  EXPECT_EQ(rsa.DecryptString(encrypt_raw(block)), block);
}

}  // namespace
}  // namespace pelvane
