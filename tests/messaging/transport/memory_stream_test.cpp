#include "messaging/memory_stream.h"

#include <gtest/gtest.h>

namespace pelvane {
namespace {

TEST(MemoryStream, WritesAtPositionGrowsAndReadsBack) {
  TMemoryStream s;
  s.WriteString(std::string("ab\0cd", 5));
  s.SetPosition(1);
  s.WriteString("XYZW");  // overwrites three bytes and appends one
  EXPECT_EQ(s.Bytes(), std::string("aXYZW", 5));
  EXPECT_EQ(s.Position(), 5);
  s.SetPosition(0);
  EXPECT_EQ(s.ReadString(5), "aXYZW");
  char c = 0;
  EXPECT_EQ(s.Read(&c, 1), 0);
}

TEST(MemoryStream, WriteGapFillsWithZeros) {
  TMemoryStream s;
  s.SetPosition(3);
  s.WriteString("x");
  EXPECT_EQ(s.Bytes(), std::string("\0\0\0x", 4));
}

TEST(MemoryStream, NegativeWriteCountIsStreamWriteError) {
  TMemoryStream s;
  char c = 'a';
  try {
    s.WriteBuffer(&c, -1);
    FAIL() << "no error";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error");
  }
  EXPECT_EQ(s.Size(), 0);
  s.WriteBuffer(&c, 0);  // nothing to write is not an error
}

TEST(MemoryStream, ReadingPastTheEndIsStreamReadError) {
  TMemoryStream s;
  s.WriteString("abc");
  s.SetPosition(1);
  try {
    s.ReadString(3);
    FAIL() << "no error";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
}

TEST(MemoryStream, SetSizeKeepsPositionInside) {
  TMemoryStream s;
  s.WriteString("abcdef");
  s.SetSize(2);
  EXPECT_EQ(s.Position(), 2);
  EXPECT_EQ(s.Bytes(), "ab");
  s.Clear();
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Position(), 0);
}

}  // namespace
}  // namespace pelvane
