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

TEST(Secure, SecretStringKeepsItsBytesOnTheHeapAndWipesWhatItReleases) {
  SecretString secret("short");  // short enough to live inside a plain string object
  const char* first = secret.data();
  EXPECT_GE(secret.capacity(), 32u);
  EXPECT_FALSE(first >= reinterpret_cast<const char*>(&secret) &&
               first < reinterpret_cast<const char*>(&secret + 1));

  secret.append(std::string(200, 'k'));  // grows: a new buffer
  EXPECT_EQ(secret.size(), 205u);
  EXPECT_EQ(secret.view().substr(0, 5), "short");

  secret.resize(3);  // shrinks: the tail is wiped at once
  EXPECT_EQ(secret.view(), "sho");
  EXPECT_EQ(secret.data()[3], '\0');
  EXPECT_EQ(secret.data()[100], '\0');

  SecretString moved(std::move(secret));
  EXPECT_EQ(moved, "sho");
  EXPECT_TRUE(secret.empty());
  EXPECT_GE(secret.capacity(), 32u);  // the moved-from string still keeps a heap buffer

  std::string plain = "password";
  SecretString taken = SecretString::Take(plain);
  EXPECT_EQ(taken, "password");
  EXPECT_TRUE(plain.empty());
}

}  // namespace
}  // namespace pelvane
