// pelvane-cli as a user runs it: options, password sources, exit statuses, and a whole account
// run against a scripted bank that checks the customer digest the wallet sends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <fstream>
#include <string>

#include "app/session/customer.h"
#include "crypto/formats/charset.h"
#include "tests/support/loopback_udp.h"
#include "tests/support/wallet_peers.h"

namespace pelvane {
namespace {

using namespace pelvane::testing;

struct Result {
  int exit_code = -1;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.filePath(QString::fromStdString(name)).toStdString();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  void Launch(const QStringList& args, const std::string& input = "") {
    process_.setProgram(QStringLiteral(PELVANE_CLI_PATH));
    process_.setArguments(args);
    process_.start();
    ASSERT_TRUE(process_.waitForStarted(5000));
    if (!input.empty()) {
      process_.write(input.data(), static_cast<qint64>(input.size()));
      // Without a running event loop the pipe is only fed while waiting here.
      ASSERT_TRUE(process_.waitForBytesWritten(5000));
    }
    process_.closeWriteChannel();
  }

  Result Finish(int timeout_ms = 10000) {
    Result r;
    if (!process_.waitForFinished(timeout_ms)) {
      process_.kill();
      process_.waitForFinished();
      ADD_FAILURE() << "pelvane-cli did not finish";
    }
    r.exit_code = process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    r.out = process_.readAllStandardOutput().toStdString();
    r.err = process_.readAllStandardError().toStdString();
    return r;
  }

  Result Run(const QStringList& args, const std::string& input = "") {
    Launch(args, input);
    return Finish();
  }

  QTemporaryDir dir_;
  QProcess process_;
};

TEST_F(CliTest, AccountRunAgainstAScriptedBankEndsWithStatusZero) {
  struct Case {
    const char* name;
    bool from_file;
    std::string password;  // UTF-8, as typed
    std::string input;     // the file's or standard input's content
  };
  const Case cases[] = {
      {"password file", true, "tajné heslo", "tajné heslo\r\ndruhý řádek\n"},
      {"standard input", false, "z stdin", "z stdin\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawUdp bank(2001);
    ASSERT_TRUE(bank.Bound());
    QStringList args = {
        "--pause-ms", "1",        "--timeout", "20", "--first-name", QString::fromUtf8("Jiří"),
        "--bank",     "127.0.0.1"};
    if (c.from_file) args << "--password-file" << QString::fromStdString(WriteFile("pw", c.input));
    Launch(args, c.from_file ? std::string() : c.input);
    const std::string digest = ComputeCustomerDigest(
        IdentificationFromUtf8("Jiří", "Novák", "750101/1234", c.password, "127.0.0.1"));

    const auto announce = bank.Receive(5000);
    ASSERT_TRUE(announce.has_value());
    EXPECT_EQ(GetMessageBody(*announce), kWalletPublicKey);
    const RsaKeyPair& keys = PeerKeys(kBankRole);
    bank.SendTo(2000, BuildPlainFrame(keys.public_key, 98));
    const auto key_frame = bank.Receive(5000);
    ASSERT_TRUE(key_frame.has_value());
    const std::string session_key = OpenKeyFrame(*key_frame, keys);
    const auto first = bank.Receive(5000);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(FrameId(*first), 1);
    EXPECT_EQ(OpenFromWallet(*first, session_key, keys), digest);
    bank.SendTo(2000, SealForWallet("5000", 2, session_key));
    const auto ask = bank.Receive(5000);
    ASSERT_TRUE(ask.has_value());
    EXPECT_EQ(FrameId(*ask), 13);
    EXPECT_EQ(OpenFromWallet(*ask, session_key, keys), digest);
    bank.SendTo(2000, SealForWallet(W("01.03.2026 platba 250 Kč"), 13, session_key));

    const Result r = Finish();
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("Generuji veřejný a privátní klíč ..."), std::string::npos);
    EXPECT_NE(r.out.find("   Zákazník má na účtu 5000 Kč\n"), std::string::npos);
    EXPECT_NE(r.out.find("01.03.2026 platba 250 Kč\n--- KONEC SPOJENÍ ---\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nJméno: Jiří Novák\nRodné číslo: 750101/1234\nStav účtu: 5000 Kč\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("\xE8"), std::string::npos);  // no Windows-1250 byte leaks out
  }
}

// Bytes from a datagram cannot drive the terminal: ESC, BEL and a lone CR come out as \xNN,
// CR LF as a line break.
TEST_F(CliTest, ControlBytesFromAFrameAreShownEscaped) {
  RawUdp bank(2001);
  ASSERT_TRUE(bank.Bound());
  Launch({"--pause-ms", "1", "--timeout", "20", "--bank", "127.0.0.1", "--password-file",
          QString::fromStdString(WriteFile("pw", "x\n"))});
  const auto announce = bank.Receive(5000);
  ASSERT_TRUE(announce.has_value());
  const RsaKeyPair& keys = PeerKeys(kBankRole);
  bank.SendTo(2000, BuildPlainFrame(keys.public_key, 98));
  const auto key_frame = bank.Receive(5000);
  ASSERT_TRUE(key_frame.has_value());
  const std::string session_key = OpenKeyFrame(*key_frame, keys);
  ASSERT_TRUE(bank.Receive(5000).has_value());  // 1
  bank.SendTo(2000, SealForWallet("5000", 2, session_key));
  ASSERT_TRUE(bank.Receive(5000).has_value());  // 13
  bank.SendTo(2000, SealForWallet("reset\x1b"
                                  "c clear\x1b[2J bell\x07 back\rover\r\nnext",
                                  13, session_key));
  const Result r = Finish();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("reset\\x1Bc clear\\x1B[2J bell\\x07 back\\x0Dover\nnext\n"),
            std::string::npos)
      << r.out;
  for (const char control : {'\x1b', '\x07', '\r'}) {
    EXPECT_EQ(r.out.find(control), std::string::npos) << static_cast<int>(control);
  }
}

TEST_F(CliTest, NoEndWithinTheTimeoutExitsWithStatusThree) {
  RawUdp bank(2001);  // receives 99 and never answers
  const Result r = Run({"--pause-ms", "1", "--timeout", "0.5", "--password-file",
                        QString::fromStdString(WriteFile("pw", "x\n"))});
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_NE(r.err.find("no end of the exchange"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Jméno: Jan Novák\n"), std::string::npos);
  const auto announce = bank.Receive(0);
  ASSERT_TRUE(announce.has_value());
  EXPECT_EQ(FrameId(*announce), 99);
}

TEST_F(CliTest, RefusalsAndUsage) {
  struct Case {
    QStringList args;
    int exit_code;
    std::string in_stderr;
  };
  const std::string pw = WriteFile("pw", "x");
  const QString pw_arg = QString::fromStdString(pw);
  const Case cases[] = {
      {{"--password-file", pw_arg, "--surname", QString::fromUtf8("Nováκ")},
       1,
       "Pole \"Příjmení\" obsahuje znak, který nelze zapsat v kódování Windows-1250"},
      {{"--password-file", pw_arg, "/nonexistent/order.txt"},
       1,
       "Cannot open file /nonexistent/order.txt"},
      {{"--password-file", "/nonexistent/pw"}, 1, "Cannot open file /nonexistent/pw"},
      {{"--pause-ms", "-1"}, 2, "--pause-ms"},
      {{"--timeout", "soon"}, 2, "--timeout"},
      {{"--password", "x"}, 2, "password"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const Result r = Run(c.args);
    EXPECT_EQ(r.exit_code, c.exit_code);
    EXPECT_NE(r.err.find(c.in_stderr), std::string::npos) << r.err;
  }
}

// Purchase files and password files are regular files under a stated size: a device, a FIFO
// with no writer and an oversized file each end the run at once (Finish allows 10 s; a reader
// waiting on the FIFO or filling memory from /dev/zero would not finish), naming the file and
// the limit.
TEST_F(CliTest, PurchaseAndPasswordFilesMustBeSmallRegularFiles) {
  const std::string pw = WriteFile("pw", "x");
  const QString pw_arg = QString::fromStdString(pw);
  const std::string fifo = dir_.filePath("fifo").toStdString();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string big = WriteFile("big.txt", std::string(64 * 1024 + 1, 'x'));
  struct Case {
    QStringList args;
    std::string in_stderr;
  };
  const Case cases[] = {
      {{"--password-file", pw_arg, "/dev/zero"}, "Cannot open file /dev/zero: not a regular file"},
      {{"--password-file", pw_arg, QString::fromStdString(fifo)},
       "Cannot open file " + fifo + ": not a regular file"},
      {{"--password-file", pw_arg, QString::fromStdString(big)},
       "Cannot open file " + big + ": larger than 64 KiB"},
      {{"--password-file", "/dev/zero"}, "Cannot open file /dev/zero: not a regular file"},
      {{"--password-file", QString::fromStdString(fifo)},
       "Cannot open file " + fifo + ": not a regular file"},
      {{"--password-file", QString::fromStdString(WriteFile("pw-big", std::string(4097, 'p')))},
       "larger than 4 KiB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const Result r = Run(c.args);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find(c.in_stderr), std::string::npos) << r.err;
  }
}

// A password file that others can read works, with a warning naming it.
TEST_F(CliTest, APasswordFileReadableByOthersDrawsAWarning) {
  RawUdp bank(2001);  // receives 99 and never answers
  const std::string pw = WriteFile("pw", "x\n");
  ASSERT_EQ(::chmod(pw.c_str(), 0644), 0);
  const Result r =
      Run({"--pause-ms", "1", "--timeout", "0.3", "--password-file", QString::fromStdString(pw)});
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_NE(r.err.find("Warning: the password file " + pw + " can be read by other users"),
            std::string::npos)
      << r.err;
  ASSERT_EQ(::chmod(pw.c_str(), 0600), 0);
  const Result quiet =
      Run({"--pause-ms", "1", "--timeout", "0.3", "--password-file", QString::fromStdString(pw)});
  EXPECT_EQ(quiet.err.find("Warning"), std::string::npos) << quiet.err;
}

TEST_F(CliTest, UnknownOptionIsOneLineAndLaterFilesAreIgnored) {
  const Result unknown = Run({"-order.txt"});
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_EQ(unknown.err,
            "pelvane-cli: Unknown option -order.txt; use ./-order.txt or -- for a file name\n");

  // The first file is read (and here cannot be opened); the second is ignored with a warning.
  const std::string pw = WriteFile("pw", "x");
  const Result two = Run(
      {"--password-file", QString::fromStdString(pw), "--", "/nonexistent/-order.txt", "b.txt"});
  EXPECT_EQ(two.exit_code, 1);
  EXPECT_NE(two.err.find("pelvane-cli: ignoring the extra argument b.txt; only the first names the "
                         "purchase file\n"),
            std::string::npos)
      << two.err;
  EXPECT_NE(two.err.find("Cannot open file /nonexistent/-order.txt"), std::string::npos) << two.err;
}

TEST_F(CliTest, PortHeldByAnotherProgram) {
  RawUdp holder(2000);
  ASSERT_TRUE(holder.Bound());
  const Result r = Run({"--pause-ms", "1"}, "x\n");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("Port 2000 je obsazen jiným programem"), std::string::npos) << r.err;
}

TEST_F(CliTest, HelpNamesOptionsAndExitStatuses) {
  const Result r = Run({"--help"});
  EXPECT_EQ(r.exit_code, 0);
  for (const char* word :
       {"--first-name", "--surname", "--birth-number", "--bank", "--password-file", "--listen",
        "--timeout", "--pause-ms", "PURCHASE-FILE", "Exit status"}) {
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
  }
  const Result v = Run({"--version"});
  EXPECT_EQ(v.exit_code, 0);
  EXPECT_EQ(v.out.rfind("pelvane-cli ", 0), 0u) << v.out;
}

}  // namespace
}  // namespace pelvane
