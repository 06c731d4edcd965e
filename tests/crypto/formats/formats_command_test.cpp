// The encode and decode subcommands of pelvane-crypt, run in-process.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "crypto/exception.h"
#include "tools/pelvane-crypt/cli.h"

namespace pelvane::crypt {
namespace {

using namespace std::string_literals;

// Runs a subcommand with the given standard input and returns its standard output.
std::string RunCommand(const Command& command, const std::vector<std::string>& args,
                       const std::string& input) {
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

TEST(FormatCommands, EncodeAndDecode) {
  EXPECT_EQ(RunCommand(kEncodeCommand, {"--format", "16"}, "\x00\x7F\xFF"s), "007FFF");
  EXPECT_EQ(RunCommand(kEncodeCommand, {"--format=-1"}, "abc"), "YWJj");
  EXPECT_EQ(RunCommand(kDecodeCommand, {"--format", "21845"}, "#86)C"), "abc");
  EXPECT_EQ(RunCommand(kDecodeCommand, {"--format", "1"}, "a\0b"s), "a\0b"s);
}

TEST(FormatCommands, Failures) {
  EXPECT_THROW(RunCommand(kEncodeCommand, {}, "abc"), UsageError);
  EXPECT_THROW(RunCommand(kEncodeCommand, {"--format", "hex"}, "abc"), UsageError);
  EXPECT_THROW(RunCommand(kDecodeCommand, {"--format", "99999999999"}, "abc"), UsageError);
  try {
    RunCommand(kDecodeCommand, {"--format", "16"}, "AG");
    ADD_FAILURE() << "no exception";
  } catch (const EStringFormat& e) {
    EXPECT_EQ(e.Message(), "Input is not an valid Hexadecimal Format.");
  }
}

}  // namespace
}  // namespace pelvane::crypt
