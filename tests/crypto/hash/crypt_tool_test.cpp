// pelvane-crypt's list, hash and cipher commands, run in-process: every table row listed in
// order, known answers of the further hashes through the hash command, and single-block known
// answers through the cipher command with --raw-key and --hex.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "crypto/algorithm_catalogue.h"
#include "crypto/exception.h"
#include "crypto/formats/formats.h"
#include "crypto/input_file.h"
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

// Keys kept off the command line: a key file (and standard input) give the bytes the hex option
// gives; keygen's key files are new files of their owner alone.
class CryptKeyFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        std::filesystem::path(::testing::TempDir()) / ("crypt_keys_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::filesystem::path dir_;
};

TEST_F(CryptKeyFiles, KeyFromFileOrStandardInputGivesTheBytesOfTheHexOption) {
  const std::string hex = "00112233445566778899AABBCCDDEEFF";
  const std::vector<std::string> base = {"--encode", "--algorithm", "Blowfish", "--mode", "cmCBC"};
  auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  const std::string data = "Objedn\xE1vka 42";
  const std::string expected = RunCommand(kCipherCommand, with({"--key-hex", hex}), data);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(RunCommand(kCipherCommand, with({"--key-file", Write("k", hex + "\n")}), data),
            expected);
  EXPECT_EQ(RunCommand(kCipherCommand, with({"--key-file", "-"}), hex + "\n" + data), expected);
  EXPECT_THROW(
      RunCommand(kCipherCommand, with({"--key-file", Write("k2", hex), "--key-hex", hex}), data),
      UsageError);
  EXPECT_THROW(RunCommand(kCipherCommand, with({"--key-file", "/dev/zero"}), data), Exception);
}

TEST_F(CryptKeyFiles, KeygenWritesOwnerOnlyFilesAndNeverOverwrites) {
  const std::string pub = (dir_ / "pub").string();
  const std::string priv = (dir_ / "priv").string();
  const mode_t saved = ::umask(0);  // even a permissive umask gives owner-only files
  EXPECT_EQ(
      RunCommand(kRsaCommand, {"--keygen", "--public-key-file", pub, "--private-key-file", priv}),
      "");
  ::umask(saved);
  for (const std::string& path : {pub, priv}) {
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0) << path;
    EXPECT_EQ(info.st_mode & 0777, 0600u) << path;
  }
  // The key pair works through the files, and a second keygen leaves them alone.
  const std::string before = ReadSecretInput(priv, kSecretFileLimit).str();
  const std::string sealed =
      RunCommand(kRsaCommand, {"--encrypt", "--public-key-file", pub}, "tajne");
  EXPECT_EQ(RunCommand(kRsaCommand, {"--decrypt", "--private-key-file", priv}, sealed), "tajne");
  EXPECT_THROW(
      RunCommand(kRsaCommand, {"--keygen", "--public-key-file", pub, "--private-key-file", priv}),
      Exception);
  EXPECT_EQ(ReadSecretInput(priv, kSecretFileLimit).str(), before);
}

}  // namespace
}  // namespace pelvane::crypt
