// The envelope subcommand of pelvane-crypt, run in-process with standard input and output
// redirected.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "messaging/envelopes.h"
#include "tests/messaging/envelopes/envelope_vectors.h"
#include "tools/pelvane-crypt/cli.h"

namespace pelvane {
namespace {

using testing::EnvelopeVectors;
using testing::FromHex;

class EnvelopeTool : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string dir = ::testing::TempDir();
    public_file_ = dir + "envelope_public_" + std::to_string(::getpid()) + ".key";
    private_file_ = dir + "envelope_private_" + std::to_string(::getpid()) + ".key";
    // Key files as an editor saves them: the key text and a line break.
    std::ofstream(public_file_) << testing::RecipientPublicKey() << "\n";
    std::ofstream(private_file_) << testing::RecipientPrivateKey() << "\r\n";
  }
  void TearDown() override {
    std::remove(public_file_.c_str());
    std::remove(private_file_.c_str());
  }

  // Runs the subcommand with input on standard input; returns standard output.
  std::string Run(std::vector<std::string> args, const std::string& input = "") {
    std::istringstream in(input);
    std::streambuf* saved = std::cin.rdbuf(in.rdbuf());
    ::testing::internal::CaptureStdout();
    try {
      crypt::kEnvelopeCommand.run(args);
    } catch (...) {
      ::testing::internal::GetCapturedStdout();
      std::cin.rdbuf(saved);
      throw;
    }
    std::cin.rdbuf(saved);
    return ::testing::internal::GetCapturedStdout();
  }

  std::string public_file_;
  std::string private_file_;
};

TEST_F(EnvelopeTool, KeyFrameSealBlockAndOpenMatchTheKnownAnswers) {
  const auto& key_frame = EnvelopeVectors().at("key_frames").at(0);
  EXPECT_EQ(Run({"--key", "--id", "89", "--public-key-file", public_file_, "--session-key-hex",
                 key_frame.at("session_key_hex")}),
            key_frame.at("frame").get<std::string>());

  const auto& secure = EnvelopeVectors().at("secure_frames").at(1);
  const std::string key_hex = secure.at("session_key_hex");
  const std::string text = FromHex(secure.at("text_hex"));
  const std::string frame = secure.at("frame");
  EXPECT_EQ(Run({"--seal", "--id", std::to_string(secure.at("id").get<int>()), "--public-key-file",
                 public_file_, "--session-key-hex", key_hex},
                text),
            frame);
  EXPECT_EQ(Run({"--block", "--public-key-file", public_file_, "--session-key-hex", key_hex}, text),
            secure.at("block").get<std::string>());
  const std::vector<std::string> open = {
      "--open",      "--public-key-file", public_file_, "--private-key-file",
      private_file_, "--session-key-hex", key_hex};
  EXPECT_EQ(Run(open, frame + "\n"), text);
}

TEST_F(EnvelopeTool, OpenReportsTheDigestMismatchAsItsResult) {
  for (const auto& c : EnvelopeVectors().at("open_secure_message")) {
    if (c.at("case") != "digest part of another text") continue;
    EXPECT_EQ(Run({"--open", "--public-key-file", public_file_, "--private-key-file", private_file_,
                   "--session-key-hex", c.at("session_key_hex")},
                  c.at("frame").get<std::string>()),
              kDigestMismatchText);
    return;
  }
  FAIL() << "no mismatch case in the vectors";
}

TEST_F(EnvelopeTool, UsageErrors) {
  const std::vector<std::vector<std::string>> cases = {
      {"--key", "--seal", "--id", "1", "--public-key-file", public_file_, "--session-key-hex", ""},
      {"--public-key-file", public_file_, "--session-key-hex", "00"},
      {"--seal", "--public-key-file", public_file_, "--session-key-hex", "00"},
      {"--seal", "--id", "256", "--public-key-file", public_file_, "--session-key-hex", "00"},
      {"--block", "--id", "1", "--public-key-file", public_file_, "--session-key-hex", "00"},
      {"--open", "--public-key-file", public_file_, "--session-key-hex", "00"},
      {"--key", "--id", "1", "--session-key-hex", "00"},
      {"--key", "--id", "1", "--public-key-file", public_file_},
      {"--seal", "--id", "1", "--public-key-file", public_file_, "--private-key-file",
       private_file_, "--session-key-hex", "00"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    EXPECT_THROW(Run(args), crypt::UsageError);
  }
}

TEST_F(EnvelopeTool, BadSessionKeyTextAndMissingKeyFileFail) {
  EXPECT_THROW(
      Run({"--key", "--id", "89", "--public-key-file", public_file_, "--session-key-hex", "XYZ1"}),
      EStringFormat);
  EXPECT_THROW(Run({"--key", "--id", "89", "--public-key-file", public_file_ + ".missing",
                    "--session-key-hex", "00"}),
               Exception);
}

}  // namespace
}  // namespace pelvane
