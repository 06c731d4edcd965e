// pelvane-crypt's list, hash and cipher commands, run in-process: every table row listed in
// order, known answers of the further hashes through the hash command, and single-block known
// answers through the cipher command with --raw-key and --hex.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "crypto/algorithm_catalogue.h"
#include "crypto/exception.h"
#include "crypto/formats/formats.h"
#include "tools/pelvane-crypt/cli.h"

namespace pelvane::crypt {
namespace {

// Runs a subcommand with the given standard input and returns its standard output.
std::string RunCommand(const Command& command, const std::vector<std::string>& args,
                       const std::string& input = "") {
  std::istringstream in(input);
  std::streambuf* saved = std::cin.rdbuf(in.rdbuf());
  testing::internal::CaptureStdout();
  try {
    EXPECT_EQ(command.run(args), 0);
  } catch (...) {
    testing::internal::GetCapturedStdout();
    std::cin.rdbuf(saved);
    throw;
  }
  std::cin.rdbuf(saved);
  return testing::internal::GetCapturedStdout();
}

// The line of the listing that starts with class_name.
std::string LineOf(const std::string& listing, const std::string& class_name) {
  const std::size_t at = listing.find("\n" + class_name + " ");
  if (at == std::string::npos) return "";
  return listing.substr(at + 1, listing.find('\n', at + 1) - at - 1);
}

TEST(CryptList, EveryRowInTableOrderWithItsState) {
  const std::string listing = RunCommand(kListCommand, {});
  std::size_t previous = 0;
  for (AlgorithmKind kind : {AlgorithmKind::kHash, AlgorithmKind::kCipher}) {
    for (const AlgorithmListing& row : ListAlgorithms(kind)) {
      const std::size_t at = listing.find("\n" + row.class_name + " ");
      ASSERT_NE(at, std::string::npos) << row.class_name;
      EXPECT_GT(at, previous) << row.class_name;
      previous = at;
    }
  }
  const std::string tiger = LineOf(listing, "THash_Tiger");
  EXPECT_NE(tiger.find("Tiger"), std::string::npos);
  EXPECT_NE(tiger.find("Hash"), std::string::npos);
  EXPECT_NE(tiger.find("digest 24"), std::string::npos);
  EXPECT_EQ(tiger.substr(tiger.size() - 5), "works");
  const std::string crc = LineOf(listing, "THash_CRC32");
  EXPECT_NE(crc.find("Checksum"), std::string::npos);
  EXPECT_NE(LineOf(listing, "THash_Snefru").find("absent: "), std::string::npos);
  const std::string des = LineOf(listing, "TCipher_3TDES");
  EXPECT_NE(des.find("block 24, key 24"), std::string::npos);
  EXPECT_EQ(des.substr(des.size() - 5), "works");
  EXPECT_NE(LineOf(listing, "TCipher_FROG").find("absent: "), std::string::npos);

  const std::string hashes = RunCommand(kListCommand, {"--hashes"});
  EXPECT_NE(hashes.find("THash_MD5"), std::string::npos);
  EXPECT_EQ(hashes.find("TCipher_"), std::string::npos);
  const std::string ciphers = RunCommand(kListCommand, {"--ciphers"});
  EXPECT_EQ(ciphers.find("THash_"), std::string::npos);
}

TEST(CryptHash, FurtherHashesByNameAndAbsentRowsRefused) {
  EXPECT_EQ(RunCommand(kHashCommand, {"--algorithm", "Tiger"}, "abc"),
            "2AAB1484E8C158F2BFB8C5FF41B57A525129131C957B5F93");
  EXPECT_EQ(RunCommand(kHashCommand, {"--algorithm", "Haval-128"}, ""),
            "C68F39913F901F3DDF44C707357A7D70");
  EXPECT_EQ(RunCommand(kHashCommand, {"--algorithm", "CRC-32"}, "123456789"), "CBF43926");
  EXPECT_EQ(RunCommand(kHashCommand, {"--algorithm", "THash_CRC16_CCITT"}, "123456789"), "29B1");
  EXPECT_EQ(RunCommand(kHashCommand, {"--algorithm", "CRC-16 Standard"}, "123456789"), "BB3D");
  EXPECT_EQ(RunCommand(kHashCommand, {"--algorithm", "XOR16"}, "abc"), "6202");
  // An unknown name still falls back to Ripe Message Digest 256.
  EXPECT_EQ(RunCommand(kHashCommand, {"--algorithm", "no such hash"}, "abc").size(), 64u);
  EXPECT_THROW(RunCommand(kHashCommand, {"--algorithm", "Snefru-256"}, "abc"), Exception);
  EXPECT_THROW(RunCommand(kHashCommand, {"--algorithm", "Sapphire II-160"}, "abc"), Exception);
}

// The classic worked DES example (key 133457799BBCDFF1) and Blowfish with the all-zero key
// from its designer's vectors, one block each in cmECB.
TEST(CryptCipher, RawKeyAndHexGiveSingleBlockKnownAnswers) {
  const std::string des = FormatToStr("0123456789ABCDEF", kFormatHex);
  const std::vector<std::string> des_args = {
      "--algorithm", "DES Single 8byte", "--mode",    "cmECB",
      "--key-hex",   "133457799BBCDFF1", "--raw-key", "--hex"};
  std::vector<std::string> encode = des_args;
  encode.push_back("--encode");
  EXPECT_EQ(RunCommand(kCipherCommand, encode, des), "85E813540F0AB405");
  std::vector<std::string> decode = des_args;
  decode.push_back("--decode");
  EXPECT_EQ(RunCommand(kCipherCommand, decode, "85E813540F0AB405\n"), des);

  EXPECT_EQ(RunCommand(kCipherCommand,
                       {"--encode", "--algorithm", "Blowfish", "--mode", "cmECB", "--key-hex",
                        "0000000000000000", "--raw-key", "--hex"},
                       std::string(8, '\0')),
            "4EF997456198DD78");
  // Without --hex the ciphertext stays MIME Base 64.
  encode.pop_back();  // --encode
  encode.pop_back();  // --hex
  encode.push_back("--encode");
  EXPECT_EQ(RunCommand(kCipherCommand, encode, des),
            StrToFormat(FormatToStr("85E813540F0AB405", kFormatHex), kFormatDefault));
}

TEST(CryptCipher, RawKeyFailures) {
  const std::vector<std::string> base = {"--encode", "--algorithm", "DES Single 8byte", "--mode",
                                         "cmECB"};
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  EXPECT_THROW(
      RunCommand(kCipherCommand, with({"--key-hex", "00", "--raw-key", "--key-hash", "MD5"}), "x"),
      UsageError);
  EXPECT_THROW(
      RunCommand(kCipherCommand, with({"--key-hex", "000102030405060708", "--raw-key"}), "x"),
      UsageError);
  EXPECT_THROW(RunCommand(kCipherCommand,
                          {"--decode", "--algorithm", "DES Single 8byte", "--mode", "cmECB",
                           "--key-hex", "00", "--raw-key", "--hex"},
                          "XYZ"),
               EStringFormat);
  EXPECT_THROW(RunCommand(kCipherCommand, with({"--key-hex", "00", "--algorithm", "FROG"}), "x"),
               UsageError);
  EXPECT_THROW(
      RunCommand(kCipherCommand,
                 {"--encode", "--algorithm", "FROG", "--mode", "cmECB", "--key-hex", "00"}, "x"),
      Exception);
}

}  // namespace
}  // namespace pelvane::crypt
