// The password reader: the first line of a file or of standard input, without its break.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "cmdline/password.h"

namespace pelvane::cmdline {
namespace {

std::string WriteFile(const std::string& content) {
  const std::string path = ::testing::TempDir() + "pelvane_password_test.txt";
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

TEST(Password, TheFilesFirstLineWithoutItsBreak) {
  const std::pair<std::string, std::string> cases[] = {
      {"tajn\xC3\xA9 heslo\r\nsecond line\n", "tajn\xC3\xA9 heslo"},
      {"demo\n", "demo"},
      {"demo", "demo"},
      {"a\rb\n", "a"},
      {"\nsecond", ""},
      {"", ""},
      {" blanks stay \n", " blanks stay "},
  };
  for (const auto& [content, password] : cases) {
    SCOPED_TRACE(content);
    EXPECT_EQ(ReadPasswordFile(WriteFile(content)), password);
  }
  try {
    ReadPasswordFile("/nonexistent/pw");
    ADD_FAILURE() << "no failure";
  } catch (const EPasswordRead& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file /nonexistent/pw: ", 0), 0u);
  }
  EXPECT_THROW(ReadPasswordFile(std::filesystem::temp_directory_path().string()), EPasswordRead);
}

TEST(Password, StandardInputThatIsNoTerminalGivesItsFirstLine) {
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const std::string input = "heslo\r\nnext\n";
  ASSERT_EQ(::write(pipe_fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ::close(pipe_fds[1]);
  const int saved = ::dup(STDIN_FILENO);
  ::dup2(pipe_fds[0], STDIN_FILENO);
  ::close(pipe_fds[0]);
  std::string password;
  EXPECT_NO_THROW(password = ReadPasswordFromInput("Password: "));
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
  EXPECT_EQ(password, "heslo");
}

}  // namespace
}  // namespace pelvane::cmdline
