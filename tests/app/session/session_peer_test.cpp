// Whole exchanges between the session and scripted peers on the loopback interface: the wallet's
// receiver on port 2000, the bank on 2001, the gateway on 2003, the merchant on 2004. The peers
// check what arrives on the wire: they open each session key with their private key, open every
// secure frame and block, and compare the customer digest.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/session/customer.h"
#include "app/session/purchase_file.h"
#include "app/session/wallet_session.h"
#include "messaging/pacing.h"
#include "messaging/udp_socket.h"
#include "tests/support/loopback_udp.h"
#include "tests/support/recording_sinks.h"
#include "tests/support/test_customer.h"
#include "tests/support/wallet_peers.h"

namespace pelvane {
namespace {

using namespace pelvane::testing;

constexpr char kOrder[] = "Kniha;2;300\r\nPero;5;20\r\n";  // total 320

class SessionPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPacingMs(2);
    ASSERT_TRUE(bank_.Bound() && gateway_.Bound() && merchant_.Bound());
    OpenWalletReceiver(receiver_, [this](TUDPSocket& s, int n, const std::string& from) {
      session_.ReceiveFrom(s, n, from);
    });
    id_ = TestIdentification("tajn\xE9", "127.0.0.1");
    EXPECT_EQ(id_.surname, W("Novák"));
    for (const RawUdp* peer : {&bank_, &gateway_, &merchant_}) {
      const int one = 1;
      ::setsockopt(peer->Fd(), SOL_SOCKET, SO_TIMESTAMP, &one, sizeof one);
    }
  }
  void TearDown() override { SetPacingMs(kDefaultPacingMs); }

  // Starts the session for the test customer and the purchase, if any.
  void StartSession() { session_.Start(ExchangeFor(id_, purchase_.get())); }
  // The customer digest the session was given.
  std::string Digest() const { return ComputeCustomerDigest(id_); }

  // The purchase the session is given; a later call changes the content it sees.
  void UsePurchase(const std::string& items) {
    if (!purchase_) purchase_ = std::make_unique<PurchaseBuffer>();
    *purchase_ = PurchaseBuffer(
        "h1\r\nh2\r\nSET-SET-URL: http://127.0.0.1/obchod\r\nh4\r\nh5\r\nh6\r\nh7\r\nh8\r\nh9\r\n" +
        items);
  }

  // The next datagram at peer while the wallet's event loop runs, with its arrival time in
  // microseconds; fails the test when none comes.
  std::string Await(const RawUdp& peer, long long* arrival_us = nullptr) {
    std::optional<std::string> got;
    ProcessEventsUntil(
        [&] {
          if (!got) got = ReceiveStamped(peer, arrival_us);
          return got.has_value();
        },
        5000);
    if (!got) ADD_FAILURE() << "no datagram at port " << peer.Port();
    return got.value_or("");
  }

  // Runs the wallet until it has handled what was sent and checks that no peer got anything.
  void ExpectSilence() {
    ProcessEventsFor(60);
    for (const RawUdp* peer : {&bank_, &gateway_, &merchant_}) {
      EXPECT_FALSE(peer->Receive(0).has_value()) << "unexpected datagram at " << peer->Port();
    }
  }

  // Waits until the wallet has logged at least count lines.
  void AwaitLines(std::size_t count) {
    EXPECT_TRUE(ProcessEventsUntil([&] { return log_.lines.size() >= count; }, 5000));
  }

  static std::optional<std::string> ReceiveStamped(const RawUdp& peer, long long* arrival_us) {
    std::string buffer(4096, '\0');
    iovec part{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[64];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(peer.Fd(), &message, MSG_DONTWAIT);
    if (n < 0) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(n));
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMP && arrival_us) {
        timeval t{};
        std::memcpy(&t, CMSG_DATA(c), sizeof t);
        *arrival_us = t.tv_sec * 1000000LL + t.tv_usec;
      }
    }
    return buffer;
  }

  // 99 from Start, 98 from the bank, 89 and 1 checked; returns the bank session key.
  std::string ExchangeBankKeys(int role = kBankRole) {
    StartSession();
    const std::string announce = Await(bank_);
    EXPECT_EQ(FrameId(announce), 99);
    EXPECT_EQ(announce.size(), 6u + 186u);
    EXPECT_EQ(GetMessageBody(announce), kWalletPublicKey);
    return AnswerBankKey(role);
  }

  std::string AnswerBankKey(int role) {
    bank_.SendTo(2000, BuildPlainFrame(PeerKeys(role).public_key, 98));
    const std::string key_frame = Await(bank_);
    EXPECT_EQ(FrameId(key_frame), 89);
    const std::string key = OpenKeyFrame(key_frame, PeerKeys(role));
    EXPECT_EQ(key.size(), 24u);
    const std::string digest_frame = Await(bank_);
    EXPECT_EQ(FrameId(digest_frame), 1);
    EXPECT_EQ(OpenFromWallet(digest_frame, key, PeerKeys(role)), Digest());
    return key;
  }

  struct PurchaseKeys {
    std::string bank, gateway, merchant;
  };

  // A purchase up to and including message 79, every frame checked on the wire.
  PurchaseKeys RunToDualMessage() {
    UsePurchase(kOrder);
    PurchaseKeys keys;
    keys.bank = ExchangeBankKeys();
    bank_.SendTo(2000, SealForWallet("320", 2, keys.bank));
    const std::string ask = Await(bank_);
    EXPECT_EQ(FrameId(ask), 75);
    EXPECT_EQ(OpenFromWallet(ask, keys.bank, PeerKeys(kBankRole)), "IP");
    bank_.SendTo(2000, SealForWallet("127.0.0.1", 76, keys.bank));
    const std::string to_gateway = Await(gateway_);
    EXPECT_EQ(FrameId(to_gateway), 99);
    EXPECT_EQ(GetMessageBody(to_gateway), kWalletPublicKey);
    gateway_.SendTo(2000, BuildPlainFrame(PeerKeys(kGatewayRole).public_key, 95));
    const std::string to_merchant = Await(merchant_);
    EXPECT_EQ(FrameId(to_merchant), 99);
    EXPECT_EQ(GetMessageBody(to_merchant), kWalletPublicKey);

    merchant_.SendTo(2000, BuildPlainFrame(PeerKeys(kMerchantRole).public_key, 96));
    long long gateway_key_at = 0, merchant_key_at = 0, dual_at = 0;
    const std::string gateway_key = Await(gateway_, &gateway_key_at);
    const std::string merchant_key = Await(merchant_, &merchant_key_at);
    const std::string dual = Await(merchant_, &dual_at);
    EXPECT_EQ(FrameId(gateway_key), 89);
    EXPECT_EQ(FrameId(merchant_key), 89);
    EXPECT_EQ(FrameId(dual), 79);
    // Sent one pacing pause apart, in this order.
    EXPECT_LT(gateway_key_at, merchant_key_at);
    EXPECT_LT(merchant_key_at, dual_at);
    keys.gateway = OpenKeyFrame(gateway_key, PeerKeys(kGatewayRole));
    keys.merchant = OpenKeyFrame(merchant_key, PeerKeys(kMerchantRole));
    const auto [first, second] = SplitDual(dual);
    EXPECT_EQ(OpenBlock(first, keys.gateway, PeerKeys(kGatewayRole)), Digest());
    EXPECT_EQ(OpenBlock(second, keys.merchant, PeerKeys(kMerchantRole)), kOrder);
    ExpectSilence();
    return keys;
  }

  RawUdp bank_{2001};
  RawUdp gateway_{2003};
  RawUdp merchant_{2004};
  Identification id_;
  std::unique_ptr<PurchaseBuffer> purchase_;
  RecordingLog log_;
  RecordingLabels labels_;
  RecordingReporter errors_;
  WalletSession session_{log_, labels_, errors_};
  TUDPSocket receiver_;
};

TEST_F(SessionPeerTest, PurchaseRunToThePaymentConfirmationAndTheFinalReports) {
  int announced = 0;
  session_.OnConnectionEnded = [&] { ++announced; };
  const PurchaseKeys keys = RunToDualMessage();
  EXPECT_TRUE(log_.Contains(W("   Kniha                             2        300 Kč")));
  EXPECT_EQ(labels_.set.back(), std::make_pair(WalletLabel::kBalance, W("320 Kč")));

  gateway_.SendTo(2000, SealForWallet("320", 10, keys.gateway));
  AwaitLines(log_.lines.size() + 5);
  EXPECT_EQ(log_.lines.back(), W("   Objednané zboží bylo zaplaceno z účtu zákazníka: 320 Kč"));
  EXPECT_FALSE(session_.ConnectionEnded());

  // Each final report is opened with the key that belongs to its identifier.
  struct Report {
    int id;
    const std::string* key;
    RawUdp* from;
  };
  const Report reports[] = {{20, &keys.gateway, &gateway_},
                            {22, &keys.bank, &bank_},
                            {23, &keys.merchant, &merchant_},
                            {25, &keys.gateway, &gateway_}};
  for (const Report& r : reports) {
    SCOPED_TRACE(r.id);
    const std::string text = W("Zpráva ") + std::to_string(r.id) + "\r\n*** i tak";
    const std::size_t before = log_.lines.size();
    r.from->SendTo(2000, SealForWallet(text, r.id, *r.key));
    AwaitLines(before + 6);
    const std::vector<std::string> tail = {W("   ID zprávy: ") + std::to_string(r.id), text,
                                           W("--- KONEC SPOJENÍ ---")};
    EXPECT_EQ(log_.From(before + 3), tail);
  }
  EXPECT_TRUE(session_.ConnectionEnded());
  EXPECT_EQ(announced, 1);
  ExpectSilence();
  EXPECT_TRUE(errors_.messages.empty());
}

TEST_F(SessionPeerTest, BankAnswersToTheBalance) {
  struct Case {
    const char* name;
    bool purchase;
    std::string balance;
    int sent;  // 0: nothing
    std::string payload;
    bool ends;
  };
  const std::string refusal = W("*** Zákazník má nedostatečnou hotovost na účtu.");
  const Case cases[] = {
      {"equal to the total", true, "320", 75, "IP", false},
      {"one crown lower", true, "319", 21, refusal, true},
      {"account run", false, "5000", 13, "", false},
      {"refused by the bank", true, W("*** Účet nenalezen"), 0, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    purchase_.reset();
    if (c.purchase) UsePurchase(kOrder);
    log_.lines.clear();
    labels_.set.clear();
    const std::string key = ExchangeBankKeys();
    const std::size_t before = log_.lines.size();
    bank_.SendTo(2000, SealForWallet(c.balance, 2, key));
    if (c.sent != 0) {
      const std::string answer = Await(bank_);
      EXPECT_EQ(FrameId(answer), c.sent);
      EXPECT_EQ(OpenFromWallet(answer, key, PeerKeys(kBankRole)),
                c.sent == 13 ? Digest() : c.payload);
    }
    ExpectSilence();
    EXPECT_EQ(log_.Contains(W("   Objednané zboží:")), c.purchase && c.sent != 0);
    if (c.sent == 0) {
      // The refusal is logged without a balance; the balance label is left alone.
      EXPECT_EQ(log_.From(before + 3), (std::vector<std::string>{W("   ID zprávy: 2"), c.balance,
                                                                 W("--- KONEC SPOJENÍ ---")}));
      EXPECT_EQ(labels_.set.back().first, WalletLabel::kBirthNumber);
    } else {
      EXPECT_EQ(labels_.set.back(), std::make_pair(WalletLabel::kBalance, c.balance + W(" Kč")));
      EXPECT_EQ(log_.Contains(W("--- KONEC SPOJENÍ ---")), c.ends);
    }
  }
}

TEST_F(SessionPeerTest, AccountRunLogsThePaymentsAndEnds) {
  bool ended_after_step = false;
  session_.OnConnectionEnded = [&] { ended_after_step = session_.ConnectionEnded(); };
  const std::string key = ExchangeBankKeys();
  bank_.SendTo(2000, SealForWallet("5000", 2, key));
  const std::string ask = Await(bank_);
  EXPECT_EQ(FrameId(ask), 13);
  EXPECT_EQ(OpenFromWallet(ask, key, PeerKeys(kBankRole)), Digest());
  const std::string list = "01.03.2026 10:00:00      250  123456789/0800";
  bank_.SendTo(2000, SealForWallet(list, 13, key));
  ASSERT_TRUE(ProcessEventsUntil([&] { return ended_after_step; }, 5000));
  EXPECT_EQ(log_.From(log_.lines.size() - 2),
            (std::vector<std::string>{list, W("--- KONEC SPOJENÍ ---")}));
  EXPECT_FALSE(log_.Contains(W("   Objednané zboží:")));
  ExpectSilence();
}

TEST_F(SessionPeerTest, RefusalTextsEndTheExchangeAndSendNothing) {
  const PurchaseKeys keys = RunToDualMessage();
  struct Case {
    int id;
    const std::string* key;
  };
  const Case cases[] = {{2, &keys.bank}, {13, &keys.bank}, {76, &keys.bank}, {10, &keys.gateway}};
  const std::string gateway_before = session_.GatewayHost();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const std::string text = W("*** Odmítnuto: ") + std::to_string(c.id);
    const std::size_t before = log_.lines.size();
    bank_.SendTo(2000, SealForWallet(text, c.id, *c.key));
    AwaitLines(before + 6);
    EXPECT_EQ(log_.From(before + 4), (std::vector<std::string>{text, W("--- KONEC SPOJENÍ ---")}));
    ExpectSilence();
  }
  EXPECT_EQ(session_.GatewayHost(), gateway_before);
}

TEST_F(SessionPeerTest, SecondBankKeyReplacesKeyAndSessionKeyAndRepeatsTheExchange) {
  const std::string first = ExchangeBankKeys(kBankRole);
  const std::string second = AnswerBankKey(kOtherBankRole);
  EXPECT_NE(first, second);
  EXPECT_EQ(session_.Keys().FBankPublicKey, PeerKeys(kOtherBankRole).public_key);
  EXPECT_EQ(session_.Keys().FBankSessionKey, second);
  // The next secure message goes under the new keys.
  bank_.SendTo(2000, SealForWallet("10", 2, second));
  const std::string ask = Await(bank_);
  EXPECT_EQ(OpenFromWallet(ask, second, PeerKeys(kOtherBankRole)), Digest());
}

TEST_F(SessionPeerTest, DigestMismatchIsLoggedAsRefusal) {
  const std::string key = ExchangeBankKeys();
  // A frame for another recipient: its digest part is sealed under the bank's own public key,
  // so the wallet's private key recovers a wrong digest.
  const std::string foreign = BuildSecureFrame("5000", 2, PeerKeys(kBankRole).public_key, key);
  const std::size_t before = log_.lines.size();
  bank_.SendTo(2000, foreign);
  AwaitLines(before + 5);
  ProcessEventsFor(20);
  const std::vector<std::string> tail = {W("   ID zprávy: 2"), kDigestMismatchText,
                                         W("--- KONEC SPOJENÍ ---")};
  EXPECT_EQ(log_.From(before + 3), tail);
  ExpectSilence();
}

TEST_F(SessionPeerTest, GarbageIsLoggedAndTheExchangeStillCompletes) {
  UsePurchase(kOrder);
  StartSession();
  EXPECT_EQ(FrameId(Await(bank_)), 99);
  struct Case {
    std::string datagram;
    std::string last_line;  // "" : only a prefix "*** Chyba: " is checked
  };
  const Case cases[] = {
      {"", "*** Chyba: '$' is not a valid integer value"},
      {"Z", "*** Chyba: '$Z' is not a valid integer value"},
      {"ZZ0004ABCD", "*** Chyba: '$ZZ' is not a valid integer value"},
      {"62", "*** Chyba: '$' is not a valid integer value"},
      {"62XYZW", "*** Chyba: '$XYZW' is not a valid integer value"},
      {"620010ABCD", "*** Chyba: Input is not an valid Hexadecimal Format."},
      {"620004ABCD", ""},                                         // a body that is no key
      {"600004ABCD", ""},                                         // 96 before any gateway key
      {"02000AABCDEF", ""},                                       // a secure frame that is none
      {"0D0008" + std::string(8, 'G'), ""},                       // not hexadecimal
      {"14" + std::string(2000, '0'), ""},                        // final report of zeros
      {std::string(2048, '\xFF'), ""},                            // largest datagram, binary
      {std::string(3000, 'A'), "*** Chyba: Stream write error"},  // too large to receive
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.datagram.substr(0, 16));
    const std::size_t before = log_.lines.size();
    bank_.SendTo(2000, c.datagram);
    AwaitLines(before + 1);
    ProcessEventsFor(20);
    ASSERT_FALSE(log_.lines.empty());
    if (c.last_line.empty()) {
      EXPECT_TRUE(log_.lines.back().starts_with("*** Chyba: ")) << log_.lines.back();
    } else {
      EXPECT_EQ(log_.lines.back(), c.last_line);
    }
    EXPECT_FALSE(session_.ConnectionEnded());
  }
  ExpectSilence();
  EXPECT_TRUE(errors_.messages.empty());

  // The wallet still listens and completes an exchange.
  const std::string key = AnswerBankKey(kBankRole);
  bank_.SendTo(2000, SealForWallet("320", 2, key));
  const std::string ask = Await(bank_);
  EXPECT_EQ(OpenFromWallet(ask, key, PeerKeys(kBankRole)), "IP");
}

}  // namespace
}  // namespace pelvane
