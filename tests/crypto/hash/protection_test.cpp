// The protection base through hash objects: strings, streams and files over the 4096-byte
// work buffer, the chain with its cycle check, and failure paths.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "crypto/formats/formats.h"
#include "crypto/hash/hash.h"
#include "crypto/hash/protection.h"

namespace pelvane {
namespace {

using streams::EFOpenError;
using streams::EStreamError;
using streams::TMemoryStream;
using streams::TStream;

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return s;
}

std::string Md5(const std::string& data) {
  return THash::HashString(THash_MD5::StaticClass(), data, nullptr, kFormatCopy);
}

const std::size_t kSizes[] = {0, 1, 4095, 4096, 4097, 10000};

// Digesting through ProcessString passes the text through unchanged and leaves the digest of
// all of it, however the 4096-byte pieces fall.
TEST(ProcessString, DigestLeavesTextAndDigestsAllOfIt) {
  for (std::size_t n : kSizes) {
    const std::string data = Pattern(n);
    THash_MD5 hash;
    EXPECT_EQ(hash.ProcessString(data, actDigest, kFormatHex), StrToFormat(data, kFormatHex));
    if (n > 0) {
      EXPECT_EQ(hash.DigestKey(), Md5(data)) << n;
    }
  }
}

TEST(ProcessString, EncodeThenDecodeRestoresEveryLength) {
  for (std::size_t n : kSizes) {
    const std::string data = Pattern(n);
    THash_SHA1 hash;
    const std::string encoded = hash.ProcessString(data, actEncode, kFormatMIME64);
    EXPECT_EQ(FormatToStr(encoded, kFormatMIME64).size(), n);
    if (n > 0) {
      EXPECT_NE(FormatToStr(encoded, kFormatMIME64), data) << n;
    }
    EXPECT_EQ(hash.ProcessString(encoded, actDecode, kFormatMIME64), data) << n;
    // The default format is MIME Base 64.
    EXPECT_EQ(hash.ProcessString(data, actEncode), encoded);
  }
}

TEST(ProcessString, EveryActionKeepsTheLength) {
  const std::string data = Pattern(4097);
  for (TProtectionAction action : {actEncode, actScramble, actDigest, actWipe}) {
    THash_RipeMD160 hash;
    EXPECT_EQ(FormatToStr(hash.ProcessString(data, action, kFormatHex), kFormatHex).size(),
              data.size())
        << int(action);
  }
  THash_MD5 hash;
  EXPECT_EQ(hash.ProcessString(StrToFormat(data, kFormatHex), actDecode, kFormatHex).size(),
            data.size());
}

TEST(ProcessString, DisabledActionLeavesDataAlone) {
  THash_MD5 hash;
  hash.SetEnabledActions(TProtectionActions::All().Exclude(actEncode));
  EXPECT_EQ(hash.ProcessString("plain", actEncode, kFormatCopy), "plain");
}

TEST(ProcessString, BadTextForDecodeIsAFormatError) {
  THash_MD5 hash;
  EXPECT_THROW(hash.ProcessString("not hex!", actDecode, kFormatHex), EStringFormat);
}

TEST(ProcessStream, SeparateDestinationAndInPlaceAgree) {
  for (std::size_t n : kSizes) {
    const std::string data = Pattern(n);
    TMemoryStream source(data), dest;
    THash_MD5 a;
    a.ProcessStream(&source, &dest, -1, actEncode);
    TMemoryStream in_place(data);
    THash_MD5 b;
    b.ProcessStream(&in_place, nullptr, -1, actEncode);
    EXPECT_EQ(dest.Bytes(), in_place.Bytes()) << n;
    EXPECT_EQ(source.Bytes(), data) << "the source is only read";
  }
}

TEST(ProcessStream, PositiveSizeStartsAtTheCurrentPosition) {
  const std::string data = Pattern(5000);
  TMemoryStream source(data);
  source.SetPosition(100);
  THash_MD5 hash;
  hash.ProcessStream(&source, nullptr, 4500, actDigest);
  EXPECT_EQ(hash.DigestKey(), Md5(data.substr(100, 4500)));
  // A size beyond the end stops at the end.
  source.SetPosition(4000);
  hash.ProcessStream(&source, nullptr, 1 << 20, actDigest);
  EXPECT_EQ(hash.DigestKey(), Md5(data.substr(4000)));
}

TEST(ProcessStream, NullSourceDoesNothing) {
  THash_MD5 hash;
  EXPECT_NO_THROW(hash.ProcessStream(nullptr, nullptr, -1, actEncode));
}

// A stream that refuses to be written.
class ReadOnlyStream : public TStream {
 public:
  explicit ReadOnlyStream(std::string bytes) : inner_(std::move(bytes)) {}
  std::int64_t Read(void* b, std::int64_t n) override { return inner_.Read(b, n); }
  std::int64_t Write(const void*, std::int64_t) override { return 0; }
  std::int64_t Position() const override { return inner_.Position(); }
  void SetPosition(std::int64_t p) override { inner_.SetPosition(p); }
  std::int64_t Size() const override { return inner_.Size(); }

 private:
  TMemoryStream inner_;
};

// Records the calls it sees, in order, into a shared log; optionally fails in ProcessChunk.
class Recorder : public TProtection {
 public:
  Recorder(std::string name, std::vector<std::string>* log, bool fail = false)
      : name_(std::move(name)), log_(log), fail_(fail) {}
  void StartAction(TProtectionAction a) override {
    log_->push_back(name_ + ".start" + std::to_string(a));
    TProtection::StartAction(a);
  }
  void FinishAction(TProtectionAction a) override {
    log_->push_back(name_ + ".finish" + std::to_string(a));
    TProtection::FinishAction(a);
  }
  void ProcessChunk(void* b, std::size_t n, TProtectionAction a) override {
    log_->push_back(name_ + ".chunk" + std::to_string(n));
    if (fail_) throw EStreamError("chunk refused");
    TProtection::ProcessChunk(b, n, a);
  }

 private:
  std::string name_;
  std::vector<std::string>* log_;
  bool fail_;
};

TEST(ProcessStream, FailedWriteStillFinishesTheAction) {
  std::vector<std::string> log;
  auto recorder = std::make_shared<Recorder>("r", &log);
  THash_MD5 hash(recorder);
  ReadOnlyStream stream(Pattern(10));
  try {
    hash.ProcessStream(&stream, nullptr, -1, actEncode);
    FAIL() << "a refused write must not pass as success";
  } catch (const EStreamError& e) {
    EXPECT_STREQ(e.what(), "Stream write error");
  }
  // Between them the hash's Finish scrambles each digest through the chain (actScramble 2).
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log.front(), "r.start0");
  EXPECT_EQ(log[1], "r.chunk10");
  EXPECT_EQ(log.back(), "r.finish0");
}

TEST(ProcessBuffer, FinishActionRunsWhenTheChunkFails) {
  std::vector<std::string> log;
  Recorder failing("r", &log, true);
  char buffer[4] = {};
  EXPECT_THROW(failing.ProcessBuffer(buffer, sizeof buffer, actScramble), EStreamError);
  EXPECT_EQ(log, (std::vector<std::string>{"r.start2", "r.chunk4", "r.finish2"}));
}

TEST(Chain, ChainRunsFirstExceptWhenDecoding) {
  std::vector<std::string> log;
  auto tail = std::make_shared<Recorder>("tail", &log);
  auto head = std::make_shared<Recorder>("head", &log);
  head->SetProtection(tail);
  char buffer[8] = {};
  head->ProcessBuffer(buffer, sizeof buffer, actEncode);
  EXPECT_EQ(log, (std::vector<std::string>{"head.start0", "tail.start0", "head.chunk8",
                                           "tail.chunk8", "head.finish0", "tail.finish0"}));
  // A chained hash takes part in encoding, and decoding undoes both.
  const std::string data = Pattern(5000);
  THash_SHA1 outer(std::make_shared<THash_MD5>());
  const std::string coded = outer.ProcessString(data, actEncode, kFormatCopy);
  THash_SHA1 alone;
  EXPECT_NE(coded, alone.ProcessString(data, actEncode, kFormatCopy));
  EXPECT_EQ(outer.ProcessString(coded, actDecode, kFormatCopy), data);
}

TEST(Chain, CycleIsRefusedAndTheOldLinkStays) {
  auto a = std::make_shared<THash_MD5>();
  auto b = std::make_shared<THash_MD5>();
  auto c = std::make_shared<THash_MD5>();
  a->SetProtection(b);
  b->SetProtection(c);
  for (auto [owner, target] : {std::pair{c, a}, std::pair{c, c}, std::pair{b, a}}) {
    const auto before = owner->Protection();
    try {
      owner->SetProtection(target);
      FAIL() << "cycle accepted";
    } catch (const EProtection& e) {
      EXPECT_STREQ(e.what(), "Circular Protection detected, Protection Object is invalid.");
    }
    EXPECT_EQ(owner->Protection(), before);
  }
  // Setting the current link again and clearing it are fine.
  EXPECT_NO_THROW(a->SetProtection(b));
  a->SetProtection(nullptr);
  EXPECT_EQ(a->Protection(), nullptr);
  EXPECT_NO_THROW(c->SetProtection(a));
}

// A hash with a chain passes its digest through the chain's scramble: with an MD5 chained to
// MD5, the digest of "abc" is MD5 of MD5("abc").
TEST(Chain, FinishScramblesTheDigestThroughTheChain) {
  const std::string inner = Md5("abc");
  EXPECT_EQ(THash::HashString(THash_MD5::StaticClass(), "abc", std::make_shared<THash_MD5>(),
                              kFormatCopy),
            Md5(inner));
}

TEST(Hash, BaseClassHasNoDigestAndIgnoresChunks) {
  EXPECT_EQ(THash::HashString(nullptr, "abc", nullptr, kFormatHex), "");
  THash base;
  EXPECT_EQ(base.ProcessString("abc", actScramble, kFormatCopy), "abc");
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("pelvane-hash-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::path dir_;
};

TEST_F(TempDir, FileEncodeToAnotherFileThenDecodeInPlace) {
  const std::string data = Pattern(10000);
  Write(Path("plain"), data);
  Write(Path("coded"), std::string(20000, 'x'));  // longer than the result: must be cut off
  THash_MD5 hash;
  hash.ProcessFile(Path("plain"), Path("coded"), actEncode);
  EXPECT_EQ(Read(Path("plain")), data);
  const std::string coded = Read(Path("coded"));
  ASSERT_EQ(coded.size(), data.size());
  EXPECT_NE(coded, data);
  hash.ProcessFile(Path("coded"), "  ", actDecode);  // blank destination: in place
  EXPECT_EQ(Read(Path("coded")), data);
  hash.ProcessFile(Path("plain"), Path("plain"), actEncode);  // same name: in place
  EXPECT_EQ(Read(Path("plain")), coded);
}

TEST_F(TempDir, FileDigestWritesNothing) {
  const std::string data = Pattern(4097);
  Write(Path("in"), data);
  THash_SHA hash;
  hash.ProcessFile(Path("in"), "", actDigest);
  EXPECT_EQ(hash.DigestKey(), THash::HashString(THash_SHA::StaticClass(), data, nullptr, 1));
  hash.ProcessFile(Path("in"), Path("never"), actDigest);
  EXPECT_FALSE(std::filesystem::exists(Path("never")));
  EXPECT_EQ(Read(Path("in")), data);
}

// Names that differ only in letter case are different files here; processing must not fall
// back to changing the source in place.
TEST_F(TempDir, NamesDifferingInCaseAreDifferentFiles) {
  const std::string data = Pattern(100);
  Write(Path("data"), data);
  THash_MD5 hash;
  hash.ProcessFile(Path("data"), Path("DATA"), actEncode);
  EXPECT_EQ(Read(Path("data")), data);
  EXPECT_EQ(Read(Path("DATA")).size(), data.size());
}

TEST_F(TempDir, MissingSourceIsAnOpenError) {
  THash_MD5 hash;
  try {
    hash.ProcessFile(Path("missing"), Path("out"), actEncode);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + Path("missing") + "\"");
  }
}

TEST(TimeSeededScramble, OverwritesAndKeepsTheLength) {
  std::string a(64, '\0');
  TimeSeededScramble(a.data(), a.size());
  EXPECT_EQ(a.size(), 64u);
  EXPECT_NE(a, std::string(64, '\0'));
  TimeSeededScramble(nullptr, 0);  // nothing to do, no crash
}

}  // namespace
}  // namespace pelvane
