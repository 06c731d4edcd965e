// The three peers in this process against a scripted wallet on 127.0.0.1:2000 that builds and
// opens its frames with the envelope functions, as the wallet does.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>

#include "app/session/wallet_keys.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "messaging/pacing.h"
#include "peers/bank.h"
#include "peers/bank_database.h"
#include "peers/gateway.h"
#include "peers/merchant.h"
#include "peers/peer_wire.h"
#include "protocol/messages.h"
#include "protocol/ports.h"
#include "protocol/texts.h"
#include "tests/support/loopback_udp.h"

namespace pelvane::peers {
namespace {

using pelvane::testing::ProcessEventsFor;
using pelvane::testing::ProcessEventsUntil;
using pelvane::testing::RawUdp;

constexpr char kRefusalText[] = "*** Z\xE1kazn\xEDk m\xE1 nedostate\xE8nou hotovost na \xFA\xE8tu.";
constexpr char kOrder[] = "Kniha;2;300\r\nPero;5;20\r\n";  // total 320

std::string DemoDigest(const std::string& password = "demo") {
  return ComputeCustomerDigest("Jan", "Nov\xE1k", "750101/1234", password);
}

int IdOf(const std::string& frame) {
  return frame.size() < 2 ? -1 : HexFieldToInt(frame.substr(0, 2));
}

// Plays the wallet: sends what the wallet sends and opens what it receives.
class ScriptedWallet {
 public:
  RawUdp socket{kWalletPort};
  std::string bank_key, gateway_key, merchant_key;
  std::string bank_session, gateway_session, merchant_session;

  void Send(int port, const std::string& frame) { socket.SendTo(port, frame); }

  // The next datagram for the wallet with identifier id; datagrams with the identifiers in
  // skip that come first are dropped.
  std::string AwaitSkipping(int id, const std::set<int>& skip, int timeout_ms = 5000) {
    for (;;) {
      std::string got = Await(-1, timeout_ms);
      if (IdOf(got) == id) return got;
      if (skip.count(IdOf(got)) == 0) {
        throw std::runtime_error("expected message " + std::to_string(id) + ", got " +
                                 std::to_string(IdOf(got)));
      }
    }
  }

  // The next datagram for the wallet, which must carry identifier id (any, for -1).
  std::string Await(int id, int timeout_ms = 5000) {
    std::optional<std::string> got;
    ProcessEventsUntil(
        [&] {
          // The loop asks more than once; keep what arrived.
          if (!got) got = socket.Receive(0);
          return got.has_value();
        },
        timeout_ms);
    if (!got) throw std::runtime_error("no message " + std::to_string(id) + " arrived");
    if (id != -1 && IdOf(*got) != id) {
      throw std::runtime_error("expected message " + std::to_string(id) + ", got " +
                               std::to_string(IdOf(*got)));
    }
    return *got;
  }
  std::string Open(const std::string& frame, const std::string& session) {
    return OpenSecureMessage(frame, session, kWalletPublicKey, kWalletPrivateKey);
  }
  std::string AwaitSecure(int id, const std::string& session) { return Open(Await(id), session); }

  // 99 -> 98, 89 and 1 -> 2: the balance text.
  std::string Identify(const std::string& digest) {
    Send(kBankPort, BuildPlainFrame(kWalletPublicKey, 99));
    bank_key = GetMessageBody(Await(98));
    bank_session = GenerateSessionKey(24);
    Send(kBankPort, BuildKeyFrame(bank_session, bank_key, 89));
    Send(kBankPort, BuildSecureFrame(digest, 1, bank_key, bank_session));
    return AwaitSecure(2, bank_session);
  }
  void ToBank(int id, const std::string& text) {
    Send(kBankPort, BuildSecureFrame(text, id, bank_key, bank_session));
  }
  // 75 -> 76, then 99 -> 95 and 99 -> 96.
  void MeetGatewayAndMerchant() {
    ToBank(75, "IP");
    if (AwaitSecure(76, bank_session) != "127.0.0.1") throw std::runtime_error("gateway address");
    Send(kGatewayPort, BuildPlainFrame(kWalletPublicKey, 99));
    gateway_key = GetMessageBody(Await(95));
    Send(kMerchantPort, BuildPlainFrame(kWalletPublicKey, 99));
    merchant_key = GetMessageBody(Await(96));
  }
  // 89 to the gateway and the merchant, then the dual message 79.
  void Order(const std::string& digest, const std::string& order,
             const std::string* gateway_block_key = nullptr) {
    gateway_session = GenerateSessionKey(24);
    merchant_session = GenerateSessionKey(24);
    last_keys = {BuildKeyFrame(gateway_session, gateway_key, 89),
                 BuildKeyFrame(merchant_session, merchant_key, 89)};
    Send(kGatewayPort, last_keys[0]);
    Send(kMerchantPort, last_keys[1]);
    const std::string first = BuildSecureBlock(
        digest, gateway_session, gateway_block_key ? *gateway_block_key : gateway_key);
    const std::string second = BuildSecureBlock(order, merchant_session, merchant_key);
    last_order = BuildDualFrame(first, second, 79);
    Send(kMerchantPort, last_order);
  }
  std::string last_order;
  std::vector<std::string> last_keys;  // the 89s to the gateway and the merchant
};

class PeersExchange : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPacingMs(2);
    const LogSink log = [this](const std::string& line) { log_lines.push_back(line); };
    if (!db_path.empty()) {
      file_db = std::make_unique<BankDatabase>(db_path);
      bank = std::make_unique<Bank>(*file_db, "127.0.0.1", "127.0.0.1", log);
    } else {
      bank = std::make_unique<Bank>(db, "127.0.0.1", "127.0.0.1", log);
    }
    gateway = std::make_unique<Gateway>("127.0.0.1", "127.0.0.1", log);
    merchant = std::make_unique<Merchant>("127.0.0.1", "127.0.0.1", log);
    ASSERT_TRUE(wallet.socket.Bound());
  }
  void TearDown() override {
    SetPacingMs(kDefaultPacingMs);
    merchant.reset();
    gateway.reset();
    bank.reset();
    file_db.reset();
    if (!db_path.empty()) std::filesystem::remove(db_path);
    if (HasFailure() || std::getenv("PEERS_TEST_LOG")) {
      for (const std::string& line : log_lines)
        std::cerr << line << "\n";
    }
  }
  BankDatabase& Books() { return file_db ? *file_db : db; }
  Account Demo() { return *Books().FindByDigest(DemoDigest()); }

  // A whole purchase of kOrder; returns the texts of 10 and 23.
  std::pair<std::string, std::string> Purchase() {
    EXPECT_EQ(wallet.Identify(DemoDigest()), std::to_string(Demo().balance));
    wallet.MeetGatewayAndMerchant();
    wallet.Order(DemoDigest(), kOrder);
    std::string paid = wallet.AwaitSecure(10, wallet.gateway_session);
    std::string report = wallet.AwaitSecure(23, wallet.merchant_session);
    return {paid, report};
  }

  std::vector<std::string> log_lines;
  BankDatabase db{":memory:"};
  // Set before SetUp for a bank on a database file.
  std::string db_path;
  std::unique_ptr<BankDatabase> file_db;
  std::unique_ptr<Bank> bank;
  std::unique_ptr<Gateway> gateway;
  std::unique_ptr<Merchant> merchant;
  ScriptedWallet wallet;
};

TEST_F(PeersExchange, PurchaseIsPaidDispatchedAndDebited) {
  const auto [paid, report] = Purchase();
  EXPECT_EQ(paid, "320");
  EXPECT_EQ(report.rfind(kDispatchedText, 0), 0u) << report;
  EXPECT_NE(report.find("zaplaceno 320 K\xE8"), std::string::npos) << report;

  EXPECT_EQ(Demo().balance, 10000 - 320);
  const auto payments = db.Payments(Demo().id);
  ASSERT_EQ(payments.size(), 1u);
  EXPECT_EQ(payments[0].amount, 320);
  EXPECT_EQ(payments[0].merchant, kMerchantAccount);
  // Nothing further reaches the wallet.
  ProcessEventsFor(100);
  EXPECT_EQ(wallet.socket.Receive(0), std::nullopt);
}

TEST_F(PeersExchange, AccountRunListsThePayment) {
  Purchase();
  ScriptedWallet& w = wallet;
  ASSERT_EQ(w.Identify(DemoDigest()), "9680");
  w.ToBank(13, DemoDigest());
  const std::string list = w.AwaitSecure(13, w.bank_session);
  EXPECT_EQ(list, Bank::PaymentListText(db.Payments(Demo().id)));
  EXPECT_NE(list.find("        320 K\xE8     2004123456/0800"), std::string::npos) << list;
}

TEST_F(PeersExchange, PurchaseAboveTheBalanceIsRefusedAndNothingIsDebited) {
  // The wallet sees the balance is short and reports its refusal to the bank.
  ASSERT_EQ(wallet.Identify(DemoDigest()), "10000");
  wallet.ToBank(21, kRefusalText);
  ASSERT_TRUE(ProcessEventsUntil([&] { return !db.Refusals(Demo().id).empty(); }));
  EXPECT_EQ(db.Refusals(Demo().id)[0].rfind("*** Z\xC3\xA1kazn\xC3\xADk", 0), 0u);

  // A wallet that orders anyway is refused by the bank through the gateway.
  wallet.MeetGatewayAndMerchant();
  wallet.Order(DemoDigest(), "Televizor;1;15000\r\n");
  const std::string refused = wallet.AwaitSecure(25, wallet.gateway_session);
  EXPECT_EQ(refused, "*** Platba zam\xEDtnuta: " + std::string(kInsufficientFundsReason));
  const std::string report = wallet.AwaitSecure(23, wallet.merchant_session);
  EXPECT_EQ(report.rfind("*** Zbo\x9E\xED nebylo odesl\xE1no", 0), 0u) << report;

  EXPECT_EQ(Demo().balance, 10000);
  EXPECT_TRUE(db.Payments(Demo().id).empty());
}

TEST_F(PeersExchange, WrongPasswordIsRefusedByTheBank) {
  const std::string digest = DemoDigest("demo ");
  EXPECT_EQ(wallet.Identify(digest), kUnknownCustomerText);
  wallet.ToBank(13, digest);
  EXPECT_EQ(wallet.AwaitSecure(13, wallet.bank_session), kUnknownCustomerText);
  // Without an identified customer the bank does not tell the gateway's address.
  wallet.ToBank(75, "IP");
  EXPECT_EQ(wallet.AwaitSecure(76, wallet.bank_session).rfind("***", 0), 0u);
  // Nor does an identification of an earlier exchange count in a new one.
  ASSERT_EQ(wallet.Identify(DemoDigest()), "10000");
  wallet.Send(kBankPort, BuildPlainFrame(kWalletPublicKey, 99));
  wallet.Await(98);
  wallet.bank_session = GenerateSessionKey(24);
  wallet.Send(kBankPort, BuildKeyFrame(wallet.bank_session, wallet.bank_key, 89));
  wallet.ToBank(75, "IP");
  EXPECT_EQ(wallet.AwaitSecure(76, wallet.bank_session).rfind("***", 0), 0u);
}

TEST_F(PeersExchange, BadOrdersAndBadGatewayBlocksMoveNoMoney) {
  ASSERT_EQ(wallet.Identify(DemoDigest()), "10000");
  wallet.MeetGatewayAndMerchant();
  // An order line the merchant cannot read: refused by the merchant, the gateway is not asked.
  wallet.Order(DemoDigest(), "Kniha;dva;300\r\n");
  EXPECT_EQ(wallet.AwaitSecure(23, wallet.merchant_session).rfind("*** Objedn\xE1vka", 0), 0u);
  // A gateway block sealed for someone else: the gateway refuses, the merchant reports it.
  wallet.Order(DemoDigest(), kOrder, &wallet.merchant_key);
  EXPECT_EQ(wallet.AwaitSecure(25, wallet.gateway_session).rfind("*** Platba zam\xEDtnuta", 0), 0u);
  EXPECT_EQ(wallet.AwaitSecure(23, wallet.merchant_session).rfind("***", 0), 0u);
  // A sound block carrying a wrong digest: the bank does not know the customer.
  wallet.Order(DemoDigest("x"), kOrder);
  EXPECT_EQ(wallet.AwaitSecure(25, wallet.gateway_session).rfind("*** Platba zam\xEDtnuta", 0), 0u);
  EXPECT_EQ(wallet.AwaitSecure(23, wallet.merchant_session).rfind("***", 0), 0u);

  EXPECT_EQ(Demo().balance, 10000);
  EXPECT_TRUE(db.Payments(Demo().id).empty());
}

TEST_F(PeersExchange, MalformedDatagramsAreSurvivedAndForgedDebitsIgnored) {
  // Keys first, so the malformed secure frames reach the opening step.
  ASSERT_EQ(wallet.Identify(DemoDigest()), "10000");
  wallet.MeetGatewayAndMerchant();
  wallet.gateway_session = wallet.merchant_session = GenerateSessionKey(24);
  wallet.Send(kGatewayPort, BuildKeyFrame(wallet.gateway_session, wallet.gateway_key, 89));
  wallet.Send(kMerchantPort, BuildKeyFrame(wallet.merchant_session, wallet.merchant_key, 89));

  const std::string forged_debit =
      BuildPlainFrame(PackFields({"FORGED", DemoDigest(), "5000", "666/0100"}), kMsgDebitRequest);
  const std::string garbage[] = {
      "",
      "6",
      "ZZ",
      "63",
      "630004XYZW",
      "6300BA" + std::string(186, '4'),  // hex, but no key
      "5900AC" + std::string(172, 'A'),  // not a session key
      "5900AC",                          // body missing
      "010004ABCD",                      // not a secure frame
      "01FFFF" + std::string(100, 'A'),
      BuildSecureFrame(DemoDigest(), 1, wallet.bank_key, GenerateSessionKey(24)),  // wrong key
      "4F",
      "4F0004ABCD",
      "4F00G0",
      "4F0008" + std::string(8, 'A') + "0008" + std::string(8, 'B'),
      BuildPlainFrame("junk", kMsgAuthorizationRequest),
      BuildPlainFrame(PackFields({"R", "127.0.0.1", "-5", "m", "0000"}), kMsgAuthorizationRequest),
      BuildPlainFrame(PackFields({"R", "paid", "320"}), kMsgAuthorizationResult),
      BuildPlainFrame(PackFields({"R", "PAID", "320"}), kMsgDebitResult),
      forged_debit,
      std::string(2048, '\xFF'),
      std::string("\x00\x01\x02", 3),
  };
  RawUdp stranger;
  for (const std::string& datagram : garbage) {
    for (int port : {kBankPort, kGatewayPort, kMerchantPort}) {
      wallet.Send(port, datagram);
      stranger.SendTo(port, datagram);
    }
  }
  // Every datagram handled is logged: once nothing is logged for a while, all are handled.
  // Whatever the peers answered (refusal texts), drain it.
  for (std::size_t logged = 0; logged != log_lines.size();) {
    logged = log_lines.size();
    ProcessEventsFor(300);
  }
  while (wallet.socket.Receive(0)) {
  }

  const auto [paid, report] = Purchase();
  EXPECT_EQ(paid, "320");
  EXPECT_EQ(report.rfind(kDispatchedText, 0), 0u) << report;
  EXPECT_EQ(Demo().balance, 10000 - 320);
  EXPECT_EQ(db.Payments(Demo().id).size(), 1u);
}

// Attacks on exactly-once payment: each must leave the money moved once and the wallet told.

TEST_F(PeersExchange, TheSameOrderTwiceIsPaidOnceAndItsOutcomeToldAgain) {
  const auto [paid, report] = Purchase();
  ASSERT_EQ(paid, "320");
  // The wallet (or the network) sends the very same 79 again.
  wallet.Send(kMerchantPort, wallet.last_order);
  EXPECT_EQ(wallet.AwaitSecure(10, wallet.gateway_session), "320");
  EXPECT_EQ(wallet.AwaitSecure(23, wallet.merchant_session), report);
  // And once more while nothing is pending.
  wallet.Send(kMerchantPort, wallet.last_order);
  wallet.Send(kMerchantPort, wallet.last_order);
  EXPECT_EQ(wallet.AwaitSecure(10, wallet.gateway_session), "320");
  EXPECT_EQ(Demo().balance, 10000 - 320);
  EXPECT_EQ(Books().Payments(Demo().id).size(), 1u);
}

TEST_F(PeersExchange, AReplayOfAWalletsWholeOrderFromElsewhereIsNoSecondPayment) {
  const auto [paid, report] = Purchase();
  ASSERT_EQ(paid, "320");
  // Someone who saw the datagrams plays the wallet's part again from another address: its key,
  // its session keys and its order. Each is genuine; the order must not be paid again.
  RawUdp replayer;
  replayer.SendTo(kGatewayPort, BuildPlainFrame(kWalletPublicKey, 99));
  replayer.SendTo(kMerchantPort, BuildPlainFrame(kWalletPublicKey, 99));
  ProcessEventsFor(50);
  replayer.SendTo(kGatewayPort, wallet.last_keys[0]);
  replayer.SendTo(kMerchantPort, wallet.last_keys[1]);
  ProcessEventsFor(50);
  replayer.SendTo(kMerchantPort, wallet.last_order);
  ProcessEventsFor(300);
  EXPECT_EQ(Demo().balance, 10000 - 320);
  EXPECT_EQ(Books().Payments(Demo().id).size(), 1u);
}

TEST_F(PeersExchange, AForgedAuthorizationRequestIsIgnoredAndTheRealOrderIsTold) {
  ASSERT_EQ(wallet.Identify(DemoDigest()), "10000");
  wallet.MeetGatewayAndMerchant();
  wallet.gateway_session = GenerateSessionKey(24);
  wallet.Send(kGatewayPort, BuildKeyFrame(wallet.gateway_session, wallet.gateway_key, 89));
  ProcessEventsFor(50);
  // Someone other than the merchant asks the gateway about this wallet with a block that does
  // not open: the gateway used to tell the wallet "refused" while the real order was paid.
  RawUdp stranger;
  stranger.SendTo(kGatewayPort, BuildPlainFrame(PackFields({"F0F0F0F0F0F0F0F0", "127.0.0.1", "320",
                                                            kMerchantAccount, "0004ABCD"}),
                                                kMsgAuthorizationRequest));
  ProcessEventsFor(100);
  EXPECT_EQ(wallet.socket.Receive(0), std::nullopt);
  wallet.Order(DemoDigest(), kOrder);
  EXPECT_EQ(wallet.AwaitSecure(10, wallet.gateway_session), "320");
  EXPECT_EQ(wallet.AwaitSecure(23, wallet.merchant_session).rfind(kDispatchedText, 0), 0u);
  EXPECT_EQ(Demo().balance, 10000 - 320);
}

TEST_F(PeersExchange, AWalletKeyFromElsewhereDoesNotKeepThePendingOrderFromItsWallet) {
  ASSERT_EQ(wallet.Identify(DemoDigest()), "10000");
  wallet.MeetGatewayAndMerchant();
  wallet.Order(DemoDigest(), kOrder);
  // Right behind the order, the wallet's public key reaches the merchant and the gateway from
  // another port: a new exchange there, but the order keeps the keys it came with.
  RawUdp stranger;
  stranger.SendTo(kMerchantPort, BuildPlainFrame(kWalletPublicKey, 99));
  EXPECT_EQ(wallet.gateway_session.size(), 24u);
  const std::string paid = wallet.Open(wallet.AwaitSkipping(10, {96}), wallet.gateway_session);
  EXPECT_EQ(paid, "320");
  const std::string report = wallet.Open(wallet.AwaitSkipping(23, {96}), wallet.merchant_session);
  EXPECT_EQ(report.rfind(kDispatchedText, 0), 0u) << report;
  EXPECT_EQ(Demo().balance, 10000 - 320);
  EXPECT_EQ(Books().Payments(Demo().id).size(), 1u);
}

TEST_F(PeersExchange, AFloodOfTheGatewayWhileTheBankAnswersLosesNoPayment) {
  ASSERT_EQ(wallet.Identify(DemoDigest()), "10000");
  wallet.MeetGatewayAndMerchant();
  wallet.Order(DemoDigest(), kOrder);
  // 3000 junk datagrams reach the gateway's port at once, while the bank's answer is on its way.
  RawUdp flooder;
  const std::string junk = "A1" + std::string(500, 'F');
  for (int i = 0; i < 3000; ++i)
    flooder.SendTo(kGatewayPort, junk);
  EXPECT_EQ(wallet.AwaitSecure(10, wallet.gateway_session), "320");
  EXPECT_EQ(wallet.AwaitSecure(23, wallet.merchant_session).rfind(kDispatchedText, 0), 0u);
  EXPECT_EQ(Demo().balance, 10000 - 320);
  EXPECT_EQ(Books().Payments(Demo().id).size(), 1u);
}

TEST_F(PeersExchange, TenKeyAnnouncementsToTheBankDoNotHoldUpTheMerchant) {
  // Each peer used to sleep on the one event loop before each datagram: ten 99s to the bank
  // delayed the merchant's answer by ten pauses.
  constexpr int kPause = 200;
  SetPacingMs(kPause);
  RawUdp stranger;
  for (int i = 0; i < 10; ++i)
    stranger.SendTo(kBankPort, BuildPlainFrame(kWalletPublicKey, 99));
  ProcessEventsFor(20);
  const auto start = std::chrono::steady_clock::now();
  wallet.Send(kMerchantPort, BuildPlainFrame(kWalletPublicKey, 99));
  wallet.AwaitSkipping(96, {98});
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
  EXPECT_LT(waited, 4 * kPause) << "the merchant's answer waited behind the bank's";
}

class PeersOnADatabaseFile : public PeersExchange {
 protected:
  void SetUp() override {
    db_path = (std::filesystem::temp_directory_path() /
               ("pelvane-peers-" + std::to_string(::getpid()) + ".sqlite"))
                  .string();
    std::filesystem::remove(db_path);
    PeersExchange::SetUp();
  }
};

TEST_F(PeersOnADatabaseFile, ADatabaseLockedDuringTheDebitRefusesThePaymentAndTellsTheWallet) {
  ASSERT_EQ(wallet.Identify(DemoDigest()), "10000");
  wallet.MeetGatewayAndMerchant();
  // Another program holds the database locked while the order is paid.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(db_path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  wallet.Order(DemoDigest(), kOrder);
  const std::string refused = wallet.AwaitSecure(25, wallet.gateway_session);
  EXPECT_EQ(refused.rfind("*** Platba zam\xEDtnuta: Datab\xE1ze banky platbu nep\xF8ijala: ", 0),
            0u)
      << refused;
  EXPECT_NE(refused.find("locked"), std::string::npos) << refused;
  EXPECT_EQ(wallet.AwaitSecure(23, wallet.merchant_session).rfind("*** Zbo\x9E\xED nebylo", 0), 0u);
  ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);

  // The wallet was told "refused": the same order again stays refused, with the same reason,
  // although the database works again.
  wallet.Send(kMerchantPort, wallet.last_order);
  EXPECT_EQ(wallet.AwaitSecure(25, wallet.gateway_session), refused);
  wallet.AwaitSecure(23, wallet.merchant_session);
  EXPECT_EQ(Demo().balance, 10000);
  EXPECT_TRUE(Books().Payments(Demo().id).empty());
}

}  // namespace
}  // namespace pelvane::peers
