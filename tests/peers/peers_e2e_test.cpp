// pelvane-peers and the headless wallet pelvane-cli as separate programs: a purchase of the
// example order, then an account run that lists the payment.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <string>

#include "tests/support/loopback_udp.h"

namespace {

constexpr char kPaid[] =
    "   Objednan\xC3\xA9 zbo\xC5\xBE\xC3\xAD bylo zaplaceno z \xC3\xBA\xC4\x8Dtu "
    "z\xC3\xA1kazn\xC3\xADka: 1366 K\xC4\x8D";
constexpr char kDispatched[] = "Zbo\xC5\xBE\xC3\xAD bylo odesl\xC3\xA1no.";
constexpr char kEnd[] = "--- KONEC SPOJEN\xC3\x8D ---";

class PeersWithWallet : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    std::ofstream(Path("pw.txt")) << "demo\n";
    peers.start(PELVANE_PEERS_BIN,
                {"--db", QString::fromStdString(Path("bank.sqlite")), "--pause-ms", "20"});
    ASSERT_TRUE(peers.waitForStarted());
    // Ready once the last peer reports its socket.
    ASSERT_TRUE(pelvane::testing::ProcessEventsUntil(
        [&] {
          peers_log += peers.readAllStandardError().toStdString();
          return peers_log.find("[merchant] listening") != std::string::npos;
        },
        10000))
        << peers_log;
  }
  void TearDown() override {
    peers.terminate();
    peers.waitForFinished(5000);
    peers_log += peers.readAllStandardError().toStdString();
    if (HasFailure()) std::cerr << peers_log;
  }
  std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }

  // Runs pelvane-cli to its end; returns its standard output.
  std::string RunWallet(QStringList args, int& exit_code) {
    QProcess wallet;
    wallet.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    wallet.start(PELVANE_CLI_BIN,
                 QStringList{"--pause-ms", "20", "--password-file",
                             QString::fromStdString(Path("pw.txt")), "--timeout", "60"} +
                     args);
    wallet.waitForStarted();
    pelvane::testing::ProcessEventsUntil([&] { return wallet.state() == QProcess::NotRunning; },
                                         90000);
    exit_code = wallet.exitStatus() == QProcess::NormalExit ? wallet.exitCode() : -1;
    return wallet.readAllStandardOutput().toStdString();
  }

  QTemporaryDir dir;
  QProcess peers;
  std::string peers_log;
};

TEST_F(PeersWithWallet, PurchaseThenAccountRun) {
  int code = -1;
  const std::string purchase = RunWallet({PELVANE_EXAMPLES_DIR "/purchase.txt"}, code);
  ASSERT_EQ(code, 0) << purchase;
  const std::size_t paid = purchase.find(kPaid);
  const std::size_t dispatched = purchase.find(kDispatched);
  const std::size_t end = purchase.find(kEnd);
  ASSERT_NE(paid, std::string::npos) << purchase;
  ASSERT_NE(dispatched, std::string::npos) << purchase;
  EXPECT_LT(paid, dispatched);
  EXPECT_LT(dispatched, end);
  EXPECT_EQ(purchase.find(kEnd, end + 1), std::string::npos);  // one exchange, one end
  EXPECT_EQ(purchase.find("***"), std::string::npos) << purchase;

  const std::string account = RunWallet({}, code);
  ASSERT_EQ(code, 0) << account;
  EXPECT_NE(account.find("       1366 K\xC4\x8D     2004123456/0800"), std::string::npos)
      << account;
  EXPECT_NE(account.find("8634 K\xC4\x8D"), std::string::npos) << account;

  // The money stays moved after the peers stop.
  peers.terminate();
  ASSERT_TRUE(peers.waitForFinished(5000));
  EXPECT_EQ(peers.exitCode(), 0);
  QProcess list;
  list.start(PELVANE_PEERS_BIN,
             {"account", "list", "--db", QString::fromStdString(Path("bank.sqlite"))});
  ASSERT_TRUE(list.waitForFinished(10000));
  EXPECT_NE(list.readAllStandardOutput().toStdString().find("8634 K\xC4\x8D"), std::string::npos);
}

}  // namespace
