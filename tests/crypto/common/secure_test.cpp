#include "crypto/secure.h"

#include <gtest/gtest.h>

#include <set>

namespace pelvane {
namespace {

TEST(Secure, WipeZeroesAndEmpties) {
  std::string key("secret key bytes");
  char* raw = key.data();
  const size_t n = key.size();
  SecureWipe(key);
  EXPECT_TRUE(key.empty());
  for (size_t i = 0; i < n; ++i)
    EXPECT_EQ(raw[i], 0);
}

TEST(Secure, RandomBytesVary) {
  std::set<std::string> seen;
  for (int i = 0; i < 8; ++i) {
    std::string s(16, '\0');
    SecureRandomBytes(s.data(), s.size());
    seen.insert(s);
  }
  EXPECT_EQ(seen.size(), 8u);
}

}  // namespace
}  // namespace pelvane
