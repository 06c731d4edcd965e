#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "peers/bank_database.h"
#include "peers/peers_cli.h"

namespace pelvane::peers {
namespace {

class PeersCli : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    return RunPeersCli(args, out, err);
  }
  std::string Db() const { return dir.filePath("bank.sqlite").toStdString(); }
  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  QTemporaryDir dir;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(PeersCli, AccountAddAndListManageTheBanksAccounts) {
  ASSERT_TRUE(dir.isValid());
  ASSERT_EQ(Run({"account", "list", "--db", Db()}), 0) << err.str();
  EXPECT_NE(out.str().find("10000 K\xC4\x8D"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("Jan Nov\xC3\xA1k"), std::string::npos);

  // UTF-8 from the terminal and the password file; the password is the file's first line.
  const std::string password = WriteFile("pw", "tajn\xC3\xA9 heslo\r\nsecond line\n");
  ASSERT_EQ(Run({"account", "add", "--db", Db(), "--first-name", "Marie", "--surname",
                 "Dvo\xC5\x99\xC3\xA1kov\xC3\xA1", "--birth-number", "855612/0007",
                 "--password-file", password, "--balance", "2500"}),
            0)
      << err.str();
  ASSERT_EQ(Run({"account", "list", "--db=" + Db()}), 0);
  EXPECT_NE(out.str().find("Marie Dvo\xC5\x99\xC3\xA1kov\xC3\xA1"), std::string::npos) << out.str();

  BankDatabase db(Db());
  const auto found = db.FindByDigest(
      ComputeCustomerDigest("Marie", "Dvo\xF8\xE1kov\xE1", "855612/0007", "tajn\xE9 heslo"));
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->balance, 2500);
}

TEST_F(PeersCli, ErrorsAreReportedWithTheirExitCodes) {
  ASSERT_TRUE(dir.isValid());
  const std::string password = WriteFile("pw", "demo\n");
  const std::vector<std::string> add = {
      "account",   "add",          "--db",           Db(),          "--first-name",    "Jan",
      "--surname", "Nov\xC3\xA1k", "--birth-number", "750101/1234", "--password-file", password};
  struct Case {
    std::vector<std::string> extra;
    int code;
  };
  const Case cases[] = {
      {{}, kExitUsage},                     // --balance missing
      {{"--balance", "lots"}, kExitUsage},  // not a number
      {{"--balance", "-5"}, kExitUsage},
      {{"--balance", "2147483648"}, kExitUsage},
      {{"--balance", "5", "--colour", "red"}, kExitUsage},  // unknown option
      {{"--balance", "5"}, kExitFailure},                   // the demo customer exists already
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = add;
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    EXPECT_EQ(Run(args), c.code) << err.str();
    EXPECT_FALSE(err.str().empty());
  }
  EXPECT_EQ(
      Run({"account", "add", "--db", Db(), "--first-name", "A", "--surname", "B", "--birth-number",
           "1", "--password-file", dir.filePath("none").toStdString(), "--balance", "5"}),
      kExitFailure);
  EXPECT_EQ(Run({"account", "remove", "--db", Db()}), kExitUsage);
  EXPECT_EQ(Run({"--role", "cashier"}), kExitUsage);
  EXPECT_EQ(Run({"--pause-ms", "soon"}), kExitUsage);
  // The web shop's options are checked before any port is taken.
  for (const char* http :
       {"8004", "127.0.0.1", "127.0.0.1:0", "127.0.0.1:65536", "shop:8004", "127.0.0.1:80x"}) {
    EXPECT_EQ(Run({"--http", http}), kExitUsage) << http;
  }
  EXPECT_EQ(Run({"--no-http", "--http", "127.0.0.1:8004"}), kExitUsage);
  EXPECT_EQ(Run({"--no-http", "--no-http"}), kExitUsage);
  EXPECT_EQ(Run({"--role", "bank", "--http", "127.0.0.1:8004"}), kExitUsage);
  EXPECT_EQ(Run({"--catalogue", dir.filePath("none").toStdString()}), kExitFailure);
  BankDatabase db(Db());
  EXPECT_EQ(db.ListAccounts().size(), 1u);
}

TEST_F(PeersCli, WithoutDbTheDatabaseLivesInTheUsersDataFolder) {
  ASSERT_TRUE(dir.isValid());
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("XDG_DATA_HOME", dir.path().toStdString().c_str(), 1);
  const int rc = Run({"account", "list"});
  if (old != nullptr) {
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_DATA_HOME");
  }
  ASSERT_EQ(rc, 0) << err.str();
  EXPECT_TRUE(QFile::exists(dir.filePath("pelvane/bank.sqlite")));
  // The folder and the database are the user's alone.
  EXPECT_EQ(QFile::permissions(dir.filePath("pelvane")) & 0x0077, 0);
  EXPECT_EQ(QFile::permissions(dir.filePath("pelvane/bank.sqlite")),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

}  // namespace
}  // namespace pelvane::peers
