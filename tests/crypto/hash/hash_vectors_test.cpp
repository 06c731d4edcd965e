// Known answers of every built hash: the RFC 1320 and RFC 1321 suites, FIPS 180 and 180-1,
// the RIPEMD authors' vectors, and the independent vector file.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "crypto/formats/formats.h"
#include "crypto/hash/hash.h"
#include "crypto/hash/hash_internal.h"
#include "crypto/hash/hash_manager.h"

namespace pelvane {
namespace {

const std::string kAlphabet = "abcdefghijklmnopqrstuvwxyz";
const std::string kAlnum = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const std::string k56 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const std::string kDigits80 =
    "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
// Stands for one million "a".
const std::string kMillionA = "<million a>";

std::string Input(const std::string& text) {
  return text == kMillionA ? std::string(1000000, 'a') : text;
}

std::string Hex(THashClassRef cls, const std::string& data) {
  return THash::HashString(cls, data, nullptr, kFormatHex);
}

std::string Lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

struct KnownAnswer {
  THashClassRef cls;
  std::string input;
  std::string digest;  // lower-case hexadecimal
};

class KnownAnswers : public ::testing::TestWithParam<KnownAnswer> {};

TEST_P(KnownAnswers, Digest) {
  const KnownAnswer& k = GetParam();
  EXPECT_EQ(Lower(Hex(k.cls, Input(k.input))), k.digest)
      << k.cls->ClassName() << " of \"" << k.input.substr(0, 40) << "\"";
}

// RFC 1320, appendix A.5.
INSTANTIATE_TEST_SUITE_P(
    Rfc1320, KnownAnswers,
    ::testing::Values(
        KnownAnswer{THash_MD4::StaticClass(), "", "31d6cfe0d16ae931b73c59d7e0c089c0"},
        KnownAnswer{THash_MD4::StaticClass(), "a", "bde52cb31de33e46245e05fbdbd6fb24"},
        KnownAnswer{THash_MD4::StaticClass(), "abc", "a448017aaf21d8525fc10ae87aa6729d"},
        KnownAnswer{THash_MD4::StaticClass(), "message digest", "d9130a8164549fe818874806e1c7014b"},
        KnownAnswer{THash_MD4::StaticClass(), kAlphabet, "d79e1c308aa5bbcdeea8ed63df412da9"},
        KnownAnswer{THash_MD4::StaticClass(), kAlnum, "043f8582f241db351ce627e153e7f0e4"},
        KnownAnswer{THash_MD4::StaticClass(), kDigits80, "e33b4ddc9c38f2199c3e7b164fcc0536"}));

// RFC 1321, appendix A.5.
INSTANTIATE_TEST_SUITE_P(
    Rfc1321, KnownAnswers,
    ::testing::Values(
        KnownAnswer{THash_MD5::StaticClass(), "", "d41d8cd98f00b204e9800998ecf8427e"},
        KnownAnswer{THash_MD5::StaticClass(), "a", "0cc175b9c0f1b6a831c399e269772661"},
        KnownAnswer{THash_MD5::StaticClass(), "abc", "900150983cd24fb0d6963f7d28e17f72"},
        KnownAnswer{THash_MD5::StaticClass(), "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        KnownAnswer{THash_MD5::StaticClass(), kAlphabet, "c3fcd3d76192e4007dfb496cca67e13b"},
        KnownAnswer{THash_MD5::StaticClass(), kAlnum, "d174ab98d277d9f5a5611c2c9f419d9f"},
        KnownAnswer{THash_MD5::StaticClass(), kDigits80, "57edf4a22be3c955ac49da2e2107b67a"}));

// FIPS 180 (no rotation in the schedule) and FIPS 180-1.
INSTANTIATE_TEST_SUITE_P(
    Fips180, KnownAnswers,
    ::testing::Values(
        KnownAnswer{THash_SHA::StaticClass(), "abc", "0164b8a914cd2a5e74c4f7ff082c4d97f1edf880"},
        KnownAnswer{THash_SHA::StaticClass(), k56, "d2516ee1acfa5baf33dfc1c471e438449ef134c8"},
        KnownAnswer{THash_SHA::StaticClass(), kMillionA,
                    "3232affa48628a26653b5aaa44541fd90d690603"},
        KnownAnswer{THash_SHA1::StaticClass(), "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        KnownAnswer{THash_SHA1::StaticClass(), k56, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        KnownAnswer{THash_SHA1::StaticClass(), kMillionA,
                    "34aa973cd4c4daa4f61eeb2bdbad27316534016f"}));

// The RIPEMD authors' test vectors; k56 crosses the 56-byte padding boundary and the
// 62/80-byte inputs cross the 64-byte block.
INSTANTIATE_TEST_SUITE_P(
    RipeMD128, KnownAnswers,
    ::testing::Values(
        KnownAnswer{THash_RipeMD128::StaticClass(), "", "cdf26213a150dc3ecb610f18f6b38b46"},
        KnownAnswer{THash_RipeMD128::StaticClass(), "a", "86be7afa339d0fc7cfc785e72f578d33"},
        KnownAnswer{THash_RipeMD128::StaticClass(), "abc", "c14a12199c66e4ba84636b0f69144c77"},
        KnownAnswer{THash_RipeMD128::StaticClass(), "message digest",
                    "9e327b3d6e523062afc1132d7df9d1b8"},
        KnownAnswer{THash_RipeMD128::StaticClass(), kAlphabet, "fd2aa607f71dc8f510714922b371834e"},
        KnownAnswer{THash_RipeMD128::StaticClass(), k56, "a1aa0689d0fafa2ddc22e88b49133a06"},
        KnownAnswer{THash_RipeMD128::StaticClass(), kAlnum, "d1e959eb179c911faea4624c60c5c702"},
        KnownAnswer{THash_RipeMD128::StaticClass(), kDigits80, "3f45ef194732c2dbb2c4a2c769795fa3"},
        KnownAnswer{THash_RipeMD128::StaticClass(), kMillionA,
                    "4a7f5723f954eba1216c9d8f6320431f"}));

INSTANTIATE_TEST_SUITE_P(
    RipeMD160, KnownAnswers,
    ::testing::Values(KnownAnswer{THash_RipeMD160::StaticClass(), "",
                                  "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
                      KnownAnswer{THash_RipeMD160::StaticClass(), "a",
                                  "0bdc9d2d256b3ee9daae347be6f4dc835a467ffe"},
                      KnownAnswer{THash_RipeMD160::StaticClass(), "abc",
                                  "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
                      KnownAnswer{THash_RipeMD160::StaticClass(), "message digest",
                                  "5d0689ef49d2fae572b881b123a85ffa21595f36"},
                      KnownAnswer{THash_RipeMD160::StaticClass(), kAlphabet,
                                  "f71c27109c692c1b56bbdceb5b9d2865b3708dbc"},
                      KnownAnswer{THash_RipeMD160::StaticClass(), k56,
                                  "12a053384a9c0c88e405a06c27dcf49ada62eb2b"},
                      KnownAnswer{THash_RipeMD160::StaticClass(), kAlnum,
                                  "b0e20b6e3116640286ed3a87a5713079b21f5189"},
                      KnownAnswer{THash_RipeMD160::StaticClass(), kDigits80,
                                  "9b752e45573d4b39f4dbd3323cab82bf63326bfb"},
                      KnownAnswer{THash_RipeMD160::StaticClass(), kMillionA,
                                  "52783243c1697bdbe16d37f97f68f08325dc1528"}));

INSTANTIATE_TEST_SUITE_P(
    RipeMD256, KnownAnswers,
    ::testing::Values(
        KnownAnswer{THash_RipeMD256::StaticClass(), "",
                    "02ba4c4e5f8ecd1877fc52d64d30e37a2d9774fb1e5d026380ae0168e3c5522d"},
        KnownAnswer{THash_RipeMD256::StaticClass(), "a",
                    "f9333e45d857f5d90a91bab70a1eba0cfb1be4b0783c9acfcd883a9134692925"},
        KnownAnswer{THash_RipeMD256::StaticClass(), "abc",
                    "afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65"},
        KnownAnswer{THash_RipeMD256::StaticClass(), "message digest",
                    "87e971759a1ce47a514d5c914c392c9018c7c46bc14465554afcdf54a5070c0e"},
        KnownAnswer{THash_RipeMD256::StaticClass(), kAlphabet,
                    "649d3034751ea216776bf9a18acc81bc7896118a5197968782dd1fd97d8d5133"},
        KnownAnswer{THash_RipeMD256::StaticClass(), k56,
                    "3843045583aac6c8c8d9128573e7a9809afb2a0f34ccc36ea9e72f16f6368e3f"},
        KnownAnswer{THash_RipeMD256::StaticClass(), kAlnum,
                    "5740a408ac16b720b84424ae931cbb1fe363d1d0bf4017f1a89f7ea6de77a0b8"},
        KnownAnswer{THash_RipeMD256::StaticClass(), kDigits80,
                    "06fdcc7a409548aaf91368c06a6275b553e3f099bf0ea4edfd6778df89a890dd"},
        KnownAnswer{THash_RipeMD256::StaticClass(), kMillionA,
                    "ac953744e10e31514c150d4d8d7b677342e33399788296e43ae4850ce4f97978"}));

INSTANTIATE_TEST_SUITE_P(
    RipeMD320, KnownAnswers,
    ::testing::Values(
        KnownAnswer{
            THash_RipeMD320::StaticClass(), "",
            "22d65d5661536cdc75c1fdf5c6de7b41b9f27325ebc61e8557177d705a0ec880151c3a32a00899b8"},
        KnownAnswer{
            THash_RipeMD320::StaticClass(), "a",
            "ce78850638f92658a5a585097579926dda667a5716562cfcf6fbe77f63542f99b04705d6970dff5d"},
        KnownAnswer{
            THash_RipeMD320::StaticClass(), "abc",
            "de4c01b3054f8930a79d09ae738e92301e5a17085beffdc1b8d116713e74f82fa942d64cdbc4682d"},
        KnownAnswer{
            THash_RipeMD320::StaticClass(), "message digest",
            "3a8e28502ed45d422f68844f9dd316e7b98533fa3f2a91d29f84d425c88d6b4eff727df66a7c0197"},
        KnownAnswer{
            THash_RipeMD320::StaticClass(), kAlphabet,
            "cabdb1810b92470a2093aa6bce05952c28348cf43ff60841975166bb40ed234004b8824463e6b009"},
        KnownAnswer{
            THash_RipeMD320::StaticClass(), k56,
            "d034a7950cf722021ba4b84df769a5de2060e259df4c9bb4a4268c0e935bbc7470a969c9d072a1ac"},
        KnownAnswer{
            THash_RipeMD320::StaticClass(), kAlnum,
            "ed544940c86d67f250d232c30b7b3e5770e0c60c8cb9a4cafe3b11388af9920e1b99230b843c86a4"},
        KnownAnswer{
            THash_RipeMD320::StaticClass(), kMillionA,
            "bdee37f4371e20646b8b0d862dda16292ae36f40965e8c8509e63d1dbddecc503e2b63eb9245bb66"}));

const std::vector<THashClassRef> kAllClasses = {
    THash_MD4::StaticClass(),       THash_MD5::StaticClass(),       THash_SHA::StaticClass(),
    THash_SHA1::StaticClass(),      THash_RipeMD128::StaticClass(), THash_RipeMD160::StaticClass(),
    THash_RipeMD256::StaticClass(), THash_RipeMD320::StaticClass()};

// Feeding the same bytes in pieces of any size gives the digest of one Update: catches
// buffering faults at every offset around the 56- and 64-byte boundaries.
TEST(HashUpdate, PiecesGiveTheSameDigestAsOneUpdate) {
  std::string data;
  for (int i = 0; i < 300; ++i)
    data += static_cast<char>(i * 7 + 3);
  for (THashClassRef cls : kAllClasses) {
    for (std::size_t length : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 300u}) {
      const std::string whole = Hex(cls, data.substr(0, length));
      for (std::size_t piece : {1u, 3u, 17u, 63u, 64u, 65u}) {
        auto h = cls->Create();
        h->Reset();
        for (std::size_t at = 0; at < length; at += piece) {
          h->Update(data.data() + at, std::min(piece, length - at));
        }
        h->Finish();
        EXPECT_EQ(
            StrToFormat(h->DigestBytes(), static_cast<std::int32_t>(h->DigestSize()), kFormatHex),
            whole)
            << cls->ClassName() << " length " << length << " piece " << piece;
      }
    }
  }
}

TEST(HashUpdate, ResetStartsOverAndDigestStaysUntilReset) {
  for (THashClassRef cls : kAllClasses) {
    auto h = cls->Create();
    h->Reset();
    h->Update("some earlier text");
    h->Finish();
    h->Reset();
    h->Update("abc");
    h->Finish();
    const std::string first = h->DigestKey();
    EXPECT_EQ(StrToFormat(first, kFormatHex), Hex(cls, "abc")) << cls->ClassName();
    EXPECT_EQ(h->DigestKey(), first) << "reading the digest twice";
  }
}

// SHA and SHA-1 have a second code path (the processor's SHA extensions); both must give the
// same digests at every length. On processors without the extensions both runs take the
// portable path.
TEST(HashUpdate, ShaCodePathsAgree) {
  std::string data;
  for (int i = 0; i < 1000; ++i)
    data += static_cast<char>(i * 13 + i / 7);
  for (THashClassRef cls : {THash_SHA::StaticClass(), THash_SHA1::StaticClass()}) {
    for (std::size_t length : {0u, 3u, 55u, 56u, 64u, 65u, 128u, 200u, 1000u}) {
      hash_internal::g_sha_use_extensions = false;
      const std::string portable = Hex(cls, data.substr(0, length));
      hash_internal::g_sha_use_extensions = true;
      EXPECT_EQ(Hex(cls, data.substr(0, length)), portable) << cls->ClassName() << " " << length;
    }
  }
  hash_internal::g_sha_use_extensions = false;
  EXPECT_EQ(Hex(THash_SHA::StaticClass(), "abc"), "0164B8A914CD2A5E74C4F7FF082C4D97F1EDF880");
  EXPECT_EQ(Hex(THash_SHA1::StaticClass(), "abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  hash_internal::g_sha_use_extensions = true;
}

TEST(HashClasses, SizesAndParents) {
  struct Row {
    THashClassRef cls;
    std::size_t size;
    THashClassRef parent;
  };
  const Row rows[] = {
      {THash_MD4::StaticClass(), 16, THash::StaticClass()},
      {THash_MD5::StaticClass(), 16, THash_MD4::StaticClass()},
      {THash_SHA::StaticClass(), 20, THash_RipeMD160::StaticClass()},
      {THash_SHA1::StaticClass(), 20, THash_SHA::StaticClass()},
      {THash_RipeMD128::StaticClass(), 16, THash_MD4::StaticClass()},
      {THash_RipeMD160::StaticClass(), 20, THash_MD4::StaticClass()},
      {THash_RipeMD256::StaticClass(), 32, THash_MD4::StaticClass()},
      {THash_RipeMD320::StaticClass(), 40, THash_MD4::StaticClass()},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.cls->DigestSize(), r.size) << r.cls->ClassName();
    EXPECT_EQ(r.cls->parent, r.parent) << r.cls->ClassName();
    EXPECT_EQ(r.cls->Create()->ClassType(), r.cls);
  }
  EXPECT_TRUE(THash_SHA1::StaticClass()->InheritsFrom(THash_MD4::StaticClass()));
  EXPECT_FALSE(THash_MD5::StaticClass()->InheritsFrom(THash_SHA::StaticClass()));
  EXPECT_EQ(THash::StaticClass()->DigestSize(), 0u);
}

TEST(HashUpdate, Sha1StaysSha1AfterResetAndShaStaysSha) {
  THash_SHA1 sha1;
  EXPECT_TRUE(sha1.RotateSchedule());
  sha1.Reset();
  EXPECT_TRUE(sha1.RotateSchedule());
  THash_SHA sha;
  sha.Reset();
  EXPECT_FALSE(sha.RotateSchedule());
}

// ------------------------------------------------------------------------------------------
// The independent vector file

nlohmann::json LoadVectors() {
  std::ifstream in(PELVANE_TEST_DATA_DIR "/vectors.json");
  return nlohmann::json::parse(in);
}

TEST(VectorFile, Hashes) {
  const nlohmann::json vectors = LoadVectors();
  ASSERT_FALSE(vectors["hashes"].empty());
  const struct {
    const char* key;
    const char* algorithm;
  } columns[] = {{"md5", "Message Digest 5"},
                 {"sha", "Secure Hash Algorithm"},
                 {"sha1", "Secure Hash Algorithm 1"}};
  for (const auto& v : vectors["hashes"]) {
    const std::string input = FormatToStr(v["input_hex"].get<std::string>(), kFormatHex);
    for (const auto& c : columns) {
      THashManager manager;
      manager.SetAlgorithm(c.algorithm);
      manager.CalcString(input);
      EXPECT_EQ(manager.DigestString(kFormatHex), v[c.key].get<std::string>())
          << c.algorithm << " of " << v["input_hex"];
    }
  }
}

TEST(VectorFile, CustomerDigest) {
  const nlohmann::json vectors = LoadVectors();
  ASSERT_FALSE(vectors["customer_digest"].empty());
  for (const auto& v : vectors["customer_digest"]) {
    // "first surname birth password", joined by single blanks.
    std::string identification;
    const auto& fields = v["fields_hex"];
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) identification += ' ';
      identification += FormatToStr(fields[i].get<std::string>(), kFormatHex);
    }
    EXPECT_EQ(StrToFormat(identification, kFormatHex), v["identification_hex"]);
    THashManager manager;
    manager.SetAlgorithm("Secure Hash Algorithm");
    manager.CalcString(identification);
    EXPECT_EQ(manager.DigestString(kFormatHex), v["digest"].get<std::string>());
  }
}

}  // namespace
}  // namespace pelvane
