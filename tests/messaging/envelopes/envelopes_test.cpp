#include "messaging/envelopes.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "app/session/wallet_keys.h"
#include "crypto/exception.h"
#include "crypto/rsa/rsa.h"
#include "messaging/frames.h"
#include "tests/messaging/envelopes/envelope_vectors.h"

namespace pelvane {
namespace {

using testing::EnvelopeVectors;
using testing::FromHex;
using testing::RecipientPrivateKey;
using testing::RecipientPublicKey;

const std::string kKey24 = FromHex("CF07C813B85C4E531689AA08D5A33138A26FC21A87CDD4F9");

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string s(n, '\0');
  for (char& c : s)
    c = static_cast<char>(byte(gen));
  return s;
}

// The exception class of a failure, by name, for the vector table.
std::string ClassOf(const Exception& e) {
  if (dynamic_cast<const EConvertError*>(&e)) return "EConvertError";
  if (dynamic_cast<const EStringFormat*>(&e)) return "EStringFormat";
  if (dynamic_cast<const ENoKeyLoaded*>(&e)) return "ENoKeyLoaded";
  if (dynamic_cast<const EInvalidKey*>(&e)) return "EInvalidKey";
  return "Exception";
}

std::string Open(const std::string& frame, const std::string& session_key) {
  return OpenSecureMessage(frame, session_key, RecipientPublicKey(), RecipientPrivateKey());
}

TEST(KeyFrame, KnownAnswers) {
  const auto& cases = EnvelopeVectors().at("key_frames");
  ASSERT_FALSE(cases.empty());
  for (const auto& c : cases) {
    const std::string key = FromHex(c.at("session_key_hex"));
    SCOPED_TRACE(c.at("session_key_hex").get<std::string>());
    EXPECT_EQ(BuildKeyFrame(key, RecipientPublicKey(), c.at("id")),
              c.at("frame").get<std::string>());
  }
}

TEST(KeyFrame, SessionKeyFrameIs178CharactersAndOpensToTheKey) {
  const std::string frame = BuildKeyFrame(kKey24, RecipientPublicKey(), 89);
  ASSERT_EQ(frame.size(), 178u);
  EXPECT_EQ(frame.substr(0, 6), "5900AC");
  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  rsa.SetPublicKey(RecipientPublicKey());
  rsa.SetPrivateKey(RecipientPrivateKey());
  EXPECT_EQ(rsa.DecryptString(GetMessageBody(frame)), kKey24);
}

TEST(SecureFrame, KnownAnswersBuildAndOpen) {
  const auto& cases = EnvelopeVectors().at("secure_frames");
  ASSERT_FALSE(cases.empty());
  for (const auto& c : cases) {
    const std::string text = FromHex(c.at("text_hex"));
    const std::string key = FromHex(c.at("session_key_hex"));
    const std::string frame = c.at("frame");
    SCOPED_TRACE(frame.substr(0, 6));
    EXPECT_EQ(BuildSecureFrame(text, c.at("id"), RecipientPublicKey(), key), frame);
    EXPECT_EQ(BuildSecureBlock(text, key, RecipientPublicKey()), c.at("block").get<std::string>());
    EXPECT_EQ(frame.size(), SecureFrameSize(text.size()));
    EXPECT_EQ(Open(frame, key), text);
  }
}

TEST(DualFrame, KnownAnswers) {
  const auto& cases = EnvelopeVectors().at("dual_frames");
  ASSERT_FALSE(cases.empty());
  for (const auto& c : cases) {
    const std::string first =
        BuildSecureBlock(FromHex(c.at("first_text_hex")), FromHex(c.at("first_session_key_hex")),
                         RecipientPublicKey());
    const std::string second =
        BuildSecureBlock(FromHex(c.at("second_text_hex")), FromHex(c.at("second_session_key_hex")),
                         RecipientPublicKey());
    EXPECT_EQ(BuildDualFrame(first, second, c.at("id")), c.at("frame").get<std::string>());
  }
}

TEST(DualFrame, IdentifierThenTwoLengthPrefixedBlocksThatEachOpen) {
  const std::string digest(40, 'D');
  const std::string order = "Kniha;1;250\r\nPero;3;45\r\n";
  const std::string gateway_key = GenerateSessionKey(24);
  const std::string merchant_key = GenerateSessionKey(24);
  const std::string frame =
      BuildDualFrame(BuildSecureBlock(digest, gateway_key, RecipientPublicKey()),
                     BuildSecureBlock(order, merchant_key, RecipientPublicKey()), 79);

  ASSERT_EQ(frame.substr(0, 2), "4F");
  const auto first_length = static_cast<std::size_t>(HexFieldToInt(frame.substr(2, 4)));
  ASSERT_EQ(first_length, SecureBodySize(digest.size()));
  const std::string first = frame.substr(2, 4 + first_length);
  const std::string second = frame.substr(2 + first.size());
  ASSERT_EQ(second.size(), SecureBlockSize(order.size()));
  EXPECT_EQ(static_cast<std::size_t>(HexFieldToInt(second.substr(0, 4))), second.size() - 4);
  // A block behind any two identifier characters is a secure frame.
  EXPECT_EQ(Open("4F" + first, gateway_key), digest);
  EXPECT_EQ(Open("4F" + second, merchant_key), order);
  // Each block opens only with its own session key.
  try {
    EXPECT_NE(Open("4F" + first, merchant_key), digest);
  } catch (const Exception&) {
  }
}

TEST(OpenSecureMessage, KnownAnswers) {
  const auto& cases = EnvelopeVectors().at("open_secure_message");
  ASSERT_FALSE(cases.empty());
  for (const auto& c : cases) {
    const std::string frame = c.at("frame");
    const std::string key = FromHex(c.at("session_key_hex"));
    SCOPED_TRACE(c.at("case").get<std::string>() + " " + frame.substr(0, 6));
    if (!c.contains("error")) {
      EXPECT_EQ(Open(frame, key), FromHex(c.at("result_hex")));
      continue;
    }
    try {
      Open(frame, key);
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_EQ(ClassOf(e), c.at("error").get<std::string>());
      EXPECT_EQ(e.Message(), FromHex(c.at("message_hex")));
    }
  }
}

TEST(OpenSecureMessage, DigestMismatchTextIsTheWindows1250Text) {
  EXPECT_EQ(std::string(kDigestMismatchText),
            FromHex(EnvelopeVectors().at("digest_error_hex").get<std::string>()));
}

TEST(SecureFrame, RoundTripsAtTheSizesTheProtocolUses) {
  struct Pair {
    std::string public_key;
    std::string private_key;
  };
  const Pair pairs[] = {{RecipientPublicKey(), RecipientPrivateKey()},
                        {kWalletPublicKey, kWalletPrivateKey}};
  for (const auto& pair : pairs) {
    for (std::size_t length : {0u, 2u, 40u, 360u, 585u}) {
      SCOPED_TRACE(length);
      const std::string text = length == 2 ? std::string("IP") : RandomBytes(length, length);
      const std::string key = GenerateSessionKey(24);
      const std::string frame = BuildSecureFrame(text, 1, pair.public_key, key);
      EXPECT_EQ(frame.size(), SecureFrameSize(length));
      EXPECT_LE(frame.size(), kMaxFrameSize);
      EXPECT_EQ(frame.substr(2, 4), IntToHex(static_cast<int>(frame.size() - 6), 4));
      EXPECT_EQ(OpenSecureMessage(frame, key, pair.public_key, pair.private_key), text);
    }
  }
}

TEST(SecureFrame, SizesFollowTheInnerTextLength) {
  EXPECT_EQ(BuildSecureFrame("IP", 75, RecipientPublicKey(), kKey24).size(), 6u + 488u);
  EXPECT_EQ(SecureBodySize(2), 488u);
  EXPECT_EQ(SecureFrameSize(585), 2046u);
  EXPECT_EQ(SecureFrameSize(586), 2054u);
  // The largest order text a dual frame carries next to the 40-character customer digest.
  EXPECT_EQ(2 + SecureBlockSize(40) + SecureBlockSize(360), 2042u);
  EXPECT_EQ(2 + SecureBlockSize(40) + SecureBlockSize(361), 2050u);
}

// Opening must end in the mismatch text or a clean error; the original text may come back
// only from the last characters, whose low bits the Base64 decoders drop.
TEST(OpenSecureMessage, AlteredBodyCharacterIsDetected) {
  const std::string text = "IP";
  const std::string frame = BuildSecureFrame(text, 75, RecipientPublicKey(), kKey24);
  constexpr std::size_t kTail = 8;
  int errors = 0;
  int mismatches = 0;
  for (std::size_t i = 6; i < frame.size(); ++i) {
    std::string altered = frame;
    altered[i] = altered[i] == '0' ? '8' : (altered[i] == 'F' ? '7' : '0');
    SCOPED_TRACE(i);
    try {
      const std::string result = Open(altered, kKey24);
      if (result == text) {
        EXPECT_GE(i, frame.size() - kTail) << "alteration not detected";
      } else {
        EXPECT_EQ(result, kDigestMismatchText);
        ++mismatches;
      }
    } catch (const Exception&) {
      ++errors;
    }
  }
  EXPECT_GT(errors, 0);
  EXPECT_GT(mismatches, 0);
}

TEST(OpenSecureMessage, TruncatedAndGarbageFramesFailCleanly) {
  const std::string text = "Objedn\xE1vka";
  const std::string frame = BuildSecureFrame(text, 2, RecipientPublicKey(), kKey24);
  std::vector<std::string> inputs;
  for (std::size_t n = 0; n < frame.size(); ++n)
    inputs.push_back(frame.substr(0, n));
  inputs.push_back(frame.substr(0, 6) + std::string(frame.size() - 6, 'z'));
  inputs.push_back("02FFFF" + frame.substr(6));         // stated length beyond the frame
  inputs.push_back("02" + std::string("\0\0\0\0", 4));  // zero bytes in the length field
  for (unsigned seed = 0; seed < 50; ++seed)
    inputs.push_back(RandomBytes(seed * 11, seed));
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE(i);
    try {
      const std::string result = Open(inputs[i], kKey24);
      // A frame cut inside its final Base64 padding may still decode completely.
      if (result != text) {
        EXPECT_EQ(result, kDigestMismatchText);
      }
    } catch (const Exception&) {
    }
  }
}

TEST(OpenSecureMessage, CharactersAfterTheStatedBodyAreIgnored) {
  const std::string frame = BuildSecureFrame("IP", 75, RecipientPublicKey(), kKey24);
  EXPECT_EQ(Open(frame + "\r\nnot hex", kKey24), "IP");
}

TEST(Envelopes, UnusableKeysRaiseTheRsaErrors) {
  const std::string frame = BuildSecureFrame("IP", 75, RecipientPublicKey(), kKey24);
  EXPECT_THROW(BuildSecureFrame("IP", 75, "", kKey24), Exception);
  EXPECT_THROW(BuildSecureBlock("IP", kKey24, "not a key"), Exception);
  EXPECT_THROW(BuildKeyFrame(kKey24, "x:y", 89), Exception);
  EXPECT_THROW(OpenSecureMessage(frame, kKey24, RecipientPublicKey(), ""), Exception);
  // Another private key cannot recover the digest it was not made for.
  try {
    const std::string result =
        OpenSecureMessage(frame, kKey24, kWalletPublicKey, kWalletPrivateKey);
    EXPECT_EQ(result, kDigestMismatchText);
  } catch (const Exception&) {
  }
}

TEST(Envelopes, IdentifierOutOfRangeIsRefused) {
  for (int id : {-1, 256}) {
    SCOPED_TRACE(id);
    EXPECT_THROW(BuildKeyFrame(kKey24, RecipientPublicKey(), id), EFrameError);
    EXPECT_THROW(BuildSecureFrame("IP", id, RecipientPublicKey(), kKey24), EFrameError);
    EXPECT_THROW(BuildDualFrame("", "", id), EFrameError);
  }
}

template <typename Fn>
void ExpectTooLarge(Fn fn, const std::string& message) {
  try {
    fn();
    ADD_FAILURE() << "not refused";
  } catch (const EEnvelopeTooLarge& e) {
    EXPECT_EQ(e.Message(), message);
  }
}

TEST(Envelopes, FramesBeyondOneDatagramAreRefused) {
  const std::string digest(40, 'D');
  const std::string gateway_block = BuildSecureBlock(digest, kKey24, RecipientPublicKey());
  const std::string order_361 =
      BuildSecureBlock(std::string(361, 'o'), kKey24, RecipientPublicKey());
  const std::string order_360 =
      BuildSecureBlock(std::string(360, 'o'), kKey24, RecipientPublicKey());
  EXPECT_EQ(BuildDualFrame(gateway_block, order_360, 79).size(), 2042u);
  ExpectTooLarge([&] { BuildDualFrame(gateway_block, order_361, 79); },
                 "Dual frame of 2050 bytes exceeds the datagram limit of 2048 bytes");
  ExpectTooLarge([&] { BuildSecureFrame(std::string(586, 't'), 21, RecipientPublicKey(), kKey24); },
                 "Secure frame of 2054 bytes exceeds the datagram limit of 2048 bytes");
  ExpectTooLarge([&] { BuildSecureBlock(std::string(586, 't'), kKey24, RecipientPublicKey()); },
                 "Secure block of 2052 bytes exceeds the limit of 2046 bytes that a 2048-byte "
                 "datagram leaves for it");
  // Eleven RSA blocks (up to 692 bytes of data) fit a key frame, twelve do not.
  EXPECT_EQ(BuildKeyFrame(std::string(692, 'k'), RecipientPublicKey(), 89).size(), 1884u);
  ExpectTooLarge([&] { BuildKeyFrame(std::string(693, 'k'), RecipientPublicKey(), 89); },
                 "Key frame of 2054 bytes exceeds the datagram limit of 2048 bytes");
  ExpectTooLarge([&] { BuildKeyFrame(std::string(100000, 'k'), RecipientPublicKey(), 89); },
                 "Key frame for 100000 bytes of data exceeds the datagram limit of 2048 bytes");
  // A text longer than its four-digit length field can state never reaches the cipher.
  EXPECT_THROW(BuildSecureFrame(std::string(70000, 't'), 1, RecipientPublicKey(), kKey24),
               EEnvelopeTooLarge);
}

TEST(GenerateSessionKey, LengthAndByteRange) {
  EXPECT_EQ(GenerateSessionKey(0), "");
  EXPECT_EQ(GenerateSessionKey(-5), "");
  EXPECT_EQ(GenerateSessionKey(1).size(), 1u);
  std::array<int, 256> seen{};
  for (int i = 0; i < 2000; ++i) {
    const std::string key = GenerateSessionKey(24);
    ASSERT_EQ(key.size(), 24u);
    for (char c : key)
      ++seen[static_cast<unsigned char>(c)];
  }
  EXPECT_EQ(seen[255], 0);
  // 48000 draws: every value 0-254 turns up.
  for (int v = 0; v < 255; ++v)
    EXPECT_GT(seen[v], 0) << v;
}

TEST(GenerateSessionKey, SuccessiveKeysDiffer) {
  // Keys are not derived from the time: two calls in the same millisecond still differ.
  const std::string a = GenerateSessionKey(24);
  const std::string b = GenerateSessionKey(24);
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace pelvane
