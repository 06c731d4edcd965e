// Bounded reading of named inputs: only regular files up to the limit; devices, FIFOs and large
// files refused at once with a message naming the file and the limit.
#include "crypto/input_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace pelvane {
namespace {

class InputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        std::filesystem::path(::testing::TempDir()) / ("input_file_" + std::to_string(::getpid()));
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

std::string MessageOf(const std::string& path, std::size_t limit) {
  try {
    ReadBoundedFile(path, limit);
  } catch (const EInputFile& e) {
    return e.Message();
  }
  return "(read)";
}

TEST_F(InputFileTest, RegularFilesUpToTheLimitAreRead) {
  EXPECT_EQ(ReadBoundedFile(Write("a", "abc"), 3), "abc");
  EXPECT_EQ(ReadBoundedFile(Write("empty", ""), 3), "");
  EXPECT_EQ(ReadSecretInput(Write("pw", std::string(4096, 'x')), kSecretFileLimit).size(), 4096u);
}

TEST_F(InputFileTest, RefusalsNameTheFileAndTheLimitWithoutWaiting) {
  const std::string fifo = (dir_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string big = Write("big", std::string(kPurchaseFileLimit + 1, 'x'));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(MessageOf("/dev/zero", kPurchaseFileLimit),
            "Cannot open file /dev/zero: not a regular file");
  EXPECT_EQ(MessageOf(fifo, kPurchaseFileLimit),
            "Cannot open file " + fifo + ": not a regular file");
  EXPECT_EQ(MessageOf(big, kPurchaseFileLimit), "Cannot open file " + big + ": larger than 64 KiB");
  EXPECT_EQ(MessageOf(Write("key", std::string(4097, 'k')), kSecretFileLimit),
            "Cannot open file " + (dir_ / "key").string() + ": larger than 4 KiB");
  EXPECT_EQ(MessageOf(dir_.string(), 10), "Cannot open file " + dir_.string());
  EXPECT_EQ(MessageOf((dir_ / "missing").string(), 10),
            "Cannot open file " + (dir_ / "missing").string());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(InputFileTest, PathsInMessagesShowControlBytesEscaped) {
  EXPECT_EQ(MessageOf((dir_ / "a\x1b[2Jb").string(), 10),
            "Cannot open file " + (dir_ / "a\\x1B[2Jb").string());
}

TEST_F(InputFileTest, ReadableByOthersLooksAtGroupAndOthers) {
  const std::string path = Write("pw", "x");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  EXPECT_FALSE(ReadableByOthers(path));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  EXPECT_TRUE(ReadableByOthers(path));
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  EXPECT_TRUE(ReadableByOthers(path));
}

}  // namespace
}  // namespace pelvane
