// The shared vector file: EncryptBuffer of the DES family in five modes, InitKey through MD5,
// and EncodeString of the envelope cipher around the 4096-byte piece boundary.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "crypto/cipher/cipher_manager.h"
#include "crypto/cipher/cipher_registry.h"
#include "tests/crypto/cipher/test_util.h"

namespace pelvane {
namespace {

using test::Hex;
using test::Unhex;

const nlohmann::json& Vectors() {
  static const nlohmann::json vectors = [] {
    std::ifstream in(PELVANE_TEST_DATA_DIR "/vectors.json");
    return nlohmann::json::parse(in);
  }();
  return vectors;
}

TCipherMode ModeOf(const std::string& name) {
  TCipherMode mode = cmCTS;
  EXPECT_TRUE(ParseCipherMode(name, mode)) << name;
  return mode;
}

TCipherClassRef ClassOf(const std::string& name) {
  const TCipherClassRef cls = FindCipherClass(name);
  EXPECT_NE(cls, nullptr) << name;
  EXPECT_EQ(cls->ClassName(), name);
  return cls;
}

TEST(CipherVectors, EncryptBuffer) {
  const auto& group = Vectors().at("encrypt_buffer");
  ASSERT_FALSE(group.empty());
  for (const auto& v : group) {
    const std::string name = v.at("class");
    const std::string mode = v.at("mode");
    SCOPED_TRACE(name + " " + mode + " key " + v.at("key_hex").get<std::string>());
    const std::string key = Unhex(v.at("key_hex").get<std::string>());
    const std::string iv = Unhex(v.at("vector_hex").get<std::string>());
    const std::string plain = Unhex(v.at("plain_hex").get<std::string>());
    auto c = ClassOf(name)->Create();
    c->SetMode(ModeOf(mode));
    c->Init(key.data(), static_cast<std::int32_t>(key.size()), iv.data());
    EXPECT_EQ(Hex(test::Encrypt(*c, plain)), v.at("cipher_hex").get<std::string>());
    c->ResetChain();
    EXPECT_EQ(Hex(test::Decrypt(*c, Unhex(v.at("cipher_hex").get<std::string>()))), Hex(plain));
  }
}

TEST(CipherVectors, InitKey) {
  const auto& group = Vectors().at("init_key");
  ASSERT_FALSE(group.empty());
  for (const auto& v : group) {
    const std::string name = v.at("class");
    SCOPED_TRACE(name + " key text " + v.at("key_text_hex").get<std::string>());
    ASSERT_EQ(v.at("key_hash"), "MD5");
    THashManager hashes;
    hashes.SetAlgorithm("MD5");
    TCipherManager m;
    m.SetHashManager(&hashes);
    m.SetAlgorithm(name);
    m.InitKey(Unhex(v.at("key_text_hex").get<std::string>()));
    EXPECT_EQ(Hex(m.CipherObject().InitVectorBytes()), v.at("vector_hex"));
    EXPECT_EQ(Hex(m.CipherObject().FeedbackBytes()), v.at("feedback_hex"));
  }
}

TEST(CipherVectors, EncodeString) {
  const auto& group = Vectors().at("encode_string");
  ASSERT_FALSE(group.empty());
  for (const auto& v : group) {
    const std::string plain = Unhex(v.at("plain_hex").get<std::string>());
    SCOPED_TRACE(std::to_string(plain.size()) + " bytes");
    ASSERT_EQ(v.at("key_hash"), "MD5");
    THashManager hashes;
    hashes.SetAlgorithm("Message Digest 5");
    TCipherManager m;
    m.SetHashManager(&hashes);
    m.SetAlgorithm(v.at("class").get<std::string>());
    m.SetMode(ModeOf(v.at("mode")));
    m.InitKey(Unhex(v.at("session_key_hex").get<std::string>()));
    const std::string encoded = m.EncodeString(plain);
    EXPECT_EQ(encoded, v.at("encode_string").get<std::string>());
    EXPECT_EQ(m.DecodeString(encoded), plain);
  }
}

}  // namespace
}  // namespace pelvane
