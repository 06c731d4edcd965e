// The session's steps against a frame recorder: what each step logs, which frames it would send
// to whom, and what those frames carry once a peer opens them. No sockets.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/session/customer.h"
#include "app/session/purchase_file.h"
#include "app/session/transport.h"
#include "app/session/wallet_session.h"
#include "messaging/pacing.h"
#include "tests/support/frame_recorder.h"
#include "tests/support/recording_sinks.h"
#include "tests/support/test_customer.h"
#include "tests/support/wallet_peers.h"

namespace pelvane {
namespace {

using namespace pelvane::testing;

constexpr char kBank[] = "10.0.0.1";
constexpr char kGateway[] = "10.0.0.3";
constexpr char kMerchant[] = "10.0.0.4";

std::string PurchaseText(const std::string& items) {
  return "SET-SET-OBJEDNAVKA\r\nh2\r\nSET-SET-URL: http://10.0.0.4/obchod\r\nh4\r\nh5\r\nh6\r\n"
         "h7\r\nh8\r\nh9\r\n" +
         items;
}

class SessionStepsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    id_ = TestIdentification("heslo", kBank);
    EXPECT_EQ(id_.surname, W("Novák"));
  }

  // The purchase the session is given; a later call changes the content it sees.
  void UsePurchase(const std::string& items) {
    if (!purchase_) purchase_ = std::make_unique<PurchaseBuffer>();
    *purchase_ = PurchaseBuffer(PurchaseText(items));
  }
  // Starts the session for the test customer and the purchase, if any.
  void StartSession() { session_.Start(ExchangeFor(id_, purchase_.get())); }
  // The customer digest the session was given.
  std::string Digest() const { return ComputeCustomerDigest(id_); }

  void Feed(const std::string& frame) { session_.DataReceived(frame, "127.0.0.1"); }

  // Start, then the bank's key: returns the bank session key taken from the recorded 89.
  std::string ExchangeBankKeys() {
    StartSession();
    Feed(BuildPlainFrame(PeerKeys(kBankRole).public_key, 98));
    EXPECT_EQ(recorder_.frames.size(), 3u);
    return OpenKeyFrame(recorder_.frames.at(1).frame, PeerKeys(kBankRole));
  }

  Identification id_;
  std::unique_ptr<PurchaseBuffer> purchase_;
  RecordingLog log_;
  RecordingLabels labels_;
  RecordingReporter errors_;
  FrameRecorder recorder_;
  WalletSession session_{log_, labels_, errors_, recorder_};
};

TEST_F(SessionStepsTest, StartLogsTheKeyPairAndAnnouncesThePublicKeyToTheBank) {
  UsePurchase("");
  StartSession();
  ASSERT_EQ(log_.lines.size(), 8u);
  EXPECT_EQ(log_.lines[0], "");
  EXPECT_EQ(log_.lines[1].size(), 19u);  // dd.mm.yyyy hh:nn:ss
  const std::vector<std::string> rest = {
      W("Generuji veřejný a privátní klíč ..."),          W("   Privátní klíč:"),
      "   " + StrToFormat(kWalletPrivateKey, kFormatHex), W("   Veřejný klíč:"),
      "   " + StrToFormat(kWalletPublicKey, kFormatHex),  W("   Hotovo , doba generování: 0:00:00"),
  };
  EXPECT_EQ(log_.From(2), rest);
  EXPECT_EQ(log_.lines[4].size(), 3u + 346u);
  EXPECT_EQ(log_.lines[6].size(), 3u + 186u);

  ASSERT_EQ(recorder_.frames.size(), 1u);
  EXPECT_EQ(recorder_.frames[0].host, kBank);
  EXPECT_EQ(recorder_.frames[0].port, 2001);
  EXPECT_EQ(recorder_.frames[0].frame.substr(0, 6), "6300BA");  // 99, 186 characters
  EXPECT_EQ(GetMessageBody(recorder_.frames[0].frame), kWalletPublicKey);

  EXPECT_EQ(session_.MerchantHost(), kMerchant);
  EXPECT_EQ(labels_.set,
            (std::vector<std::pair<WalletLabel, std::string>>{
                {WalletLabel::kName, W("Jan Novák")}, {WalletLabel::kBirthNumber, "750101/1234"}}));
  EXPECT_EQ(session_.Keys().FOwnPublicKey, kWalletPublicKey);
  EXPECT_EQ(session_.Keys().FOwnPrivateKey, kWalletPrivateKey);
}

TEST_F(SessionStepsTest, StartEmptiesTheBankKeyAndAFailedFirstSendLeavesTheLabels) {
  ExchangeBankKeys();
  EXPECT_FALSE(session_.Keys().FBankPublicKey.empty());
  id_.bank_host = "";  // still sent through the recorder
  StartSession();
  EXPECT_TRUE(session_.Keys().FBankPublicKey.empty());

  // A send that fails stops Start before the labels.
  struct FailingTransport final : SessionTransport {
    void SendPlain(const std::string&, int, std::string_view, int) override {
      throw UDPSockError("Host Lookup Canceled");
    }
    void SendKey(std::string_view, const std::string&, const std::string&, int, int) override {}
    void SendSecure(const std::string&, int, std::string_view, int, const std::string&,
                    std::string_view) override {}
    void SendDual(std::string_view, std::string_view, const std::string&, int, int) override {}
    void Pause(int) override {}
  } failing;
  RecordingLabels labels;
  WalletSession session(log_, labels, errors_, failing);
  EXPECT_THROW(session.Start(ExchangeFor(id_, purchase_.get())), UDPSockError);
  EXPECT_TRUE(labels.set.empty());
}

TEST_F(SessionStepsTest, BankKeySendsTheSessionKeyWaitsAndSendsTheDigest) {
  const std::string bank_key = ExchangeBankKeys();
  EXPECT_EQ(bank_key.size(), 24u);
  EXPECT_EQ(session_.Keys().FBankSessionKey, bank_key);
  EXPECT_EQ(session_.Keys().FBankPublicKey, PeerKeys(kBankRole).public_key);
  const RecordedFrame& key = recorder_.frames[1];
  const RecordedFrame& digest = recorder_.frames[2];
  EXPECT_EQ(FrameId(key.frame), 89);
  EXPECT_EQ(FrameId(digest.frame), 1);
  for (const RecordedFrame* f : {&key, &digest}) {
    EXPECT_EQ(f->host, kBank);
    EXPECT_EQ(f->port, 2001);
  }
  EXPECT_EQ(OpenFromWallet(digest.frame, bank_key, PeerKeys(kBankRole)), Digest());
  EXPECT_EQ(recorder_.paused_ms, SessionPauseMs());
  const std::vector<std::string> tail = {
      W("   ID zprávy: 98"), W("   Veřejný klíč banky zákazníka:"),
      "   " + StrToFormat(PeerKeys(kBankRole).public_key, kFormatHex)};
  EXPECT_EQ(log_.From(log_.lines.size() - 3), tail);
}

TEST_F(SessionStepsTest, OrderListingColumnsCountWindows1250Bytes) {
  UsePurchase(
      W("Kniha;2;300\r\nŽluťoučký kůň;1; 20\r\nPřehrávač s velmi dlouhým jménem zboží;-1;0\r\n"));
  const std::string bank_key = ExchangeBankKeys();
  const std::size_t before = log_.lines.size();
  Feed(SealForWallet("320", 2, bank_key));
  const std::vector<std::string> expected = {
      "",
      log_.lines.at(before + 1),  // time stamp of the arrival
      W("Přijata data od 127.0.0.1, Délka: ") + std::to_string(SecureFrameSize(3)) + W(" bajtů"),
      W("   ID zprávy: 2"),
      W("   Zákazník má na účtu 320 Kč"),
      "",
      log_.lines.at(before + 6),  // time stamp of the listing
      W("   Objednané zboží:"),
      W("   Název                          Počet       Cena"),
      W("   Kniha                             2        300 Kč"),
      W("   Žluťoučký kůň                     1         20 Kč"),
      W("   Přehrávač s velmi dlouhým jménem zboží   -1          0 Kč"),
  };
  EXPECT_EQ(log_.From(before), expected);
  EXPECT_EQ(labels_.set.back(), std::make_pair(WalletLabel::kBalance, W("320 Kč")));
  ASSERT_EQ(recorder_.frames.size(), 4u);
  EXPECT_EQ(FrameId(recorder_.frames[3].frame), 75);
  EXPECT_EQ(OpenFromWallet(recorder_.frames[3].frame, bank_key, PeerKeys(kBankRole)), "IP");
  EXPECT_FALSE(session_.ConnectionEnded());
}

TEST_F(SessionStepsTest, BalanceAgainstTotal) {
  struct Case {
    const char* items;
    const char* balance;
    int sent;
  };
  const Case cases[] = {
      {"A;1;300\r\nB;1;20\r\n", "320", 75},    // equal is enough
      {"A;1;300\r\nB;1;20\r\n", "319", 21},    // one crown lower
      {"A;1;300\r\nB;1;20\r\n", " +320", 75},  // the runtime's conversion
      {"", "0", 75},                           // nine lines: total 0
      {"", "-1", 21},                          // a debt does not cover even nothing
      {"A;1;2147483647\r\nB;1;2147483647\r\n", "2147483647", 21},  // no wrap-around
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.items) + " / " + c.balance);
    UsePurchase(c.items);
    recorder_.frames.clear();
    log_.lines.clear();
    const std::string bank_key = ExchangeBankKeys();
    Feed(SealForWallet(c.balance, 2, bank_key));
    ASSERT_EQ(recorder_.frames.size(), 4u);
    const RecordedFrame& answer = recorder_.frames[3];
    EXPECT_EQ(answer.host, kBank);
    EXPECT_EQ(FrameId(answer.frame), c.sent);
    const std::string text = OpenFromWallet(answer.frame, bank_key, PeerKeys(kBankRole));
    if (c.sent == 21) {
      EXPECT_EQ(text, W("*** Zákazník má nedostatečnou hotovost na účtu."));
      const std::vector<std::string> tail = {
          "", W("*** Zákazník má nedostatečnou hotovost na účtu."), W("--- KONEC SPOJENÍ ---")};
      EXPECT_EQ(log_.From(log_.lines.size() - 3), tail);
    } else {
      EXPECT_EQ(text, "IP");
      EXPECT_FALSE(log_.Contains(W("--- KONEC SPOJENÍ ---")));
    }
  }
}

TEST_F(SessionStepsTest, AccountRunAsksForThePaymentsWithTheDigest) {
  const std::string bank_key = ExchangeBankKeys();
  const std::size_t before = log_.lines.size();
  Feed(SealForWallet("5000", 2, bank_key));
  EXPECT_EQ(log_.lines.back(), W("   Zákazník má na účtu 5000 Kč"));
  EXPECT_EQ(log_.lines.size(), before + 5);  // no listing
  ASSERT_EQ(recorder_.frames.size(), 4u);
  EXPECT_EQ(FrameId(recorder_.frames[3].frame), 13);
  EXPECT_EQ(OpenFromWallet(recorder_.frames[3].frame, bank_key, PeerKeys(kBankRole)), Digest());

  int announced = 0;
  session_.OnConnectionEnded = [&] { ++announced; };
  const std::string list = "01.02.2026  10:00:00     120 Kc       123456\r\n02.02.2026 ...";
  Feed(SealForWallet(list, 13, bank_key));
  const std::vector<std::string> tail = {W("   Zákazník provedl tyto platby:"), "",
                                         W("   Datum       Čas          Částka        Na konto"),
                                         list, W("--- KONEC SPOJENÍ ---")};
  EXPECT_EQ(log_.From(log_.lines.size() - 5), tail);
  EXPECT_TRUE(session_.ConnectionEnded());
  // A later final report logs its end line too, but the end is announced once.
  Feed(SealForWallet("Hotovo", 22, bank_key));
  EXPECT_EQ(log_.lines.back(), W("--- KONEC SPOJENÍ ---"));
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(recorder_.frames.size(), 4u);
}

TEST_F(SessionStepsTest, FailuresInsideAStepAreLoggedAndStopTheStep) {
  UsePurchase("A;1;10\r\nB;x;20\r\n");
  const std::string bank_key = ExchangeBankKeys();
  Feed(SealForWallet("100", 2, bank_key));
  // The listing stopped at the malformed line; nothing was sent.
  EXPECT_EQ(log_.lines.back(), "*** Chyba: 'x' is not a valid integer value");
  EXPECT_EQ(log_.lines[log_.lines.size() - 2],
            W("   A                                 1         10 Kč"));
  EXPECT_EQ(recorder_.frames.size(), 3u);

  UsePurchase("A;1;10\r\n");
  Feed(SealForWallet("12x", 2, bank_key));
  EXPECT_EQ(log_.lines.back(), "*** Chyba: '12x' is not a valid integer value");
  EXPECT_EQ(recorder_.frames.size(), 3u);
  EXPECT_FALSE(session_.ConnectionEnded());
  EXPECT_TRUE(errors_.messages.empty());
}

TEST_F(SessionStepsTest, UnknownIdentifierOnlyLogsItsArrival) {
  StartSession();
  const std::size_t before = log_.lines.size();
  Feed("500000");
  ASSERT_EQ(log_.lines.size(), before + 4);
  EXPECT_EQ(log_.lines[before], "");
  EXPECT_EQ(log_.lines[before + 1].size(), 19u);
  EXPECT_EQ(log_.lines[before + 2], W("Přijata data od 127.0.0.1, Délka: 6 bajtů"));
  EXPECT_EQ(log_.lines[before + 3], W("   ID zprávy: 80"));
  EXPECT_EQ(recorder_.frames.size(), 1u);
}

// Drives a purchase to message 96; returns the gateway and merchant session keys.
class PurchaseStepsTest : public SessionStepsTest {
 protected:
  void RunToMerchantKey() {
    const std::string bank_key = ExchangeBankKeys();
    Feed(SealForWallet("1000", 2, bank_key));
    Feed(SealForWallet(kGateway, 76, bank_key));
    ASSERT_EQ(recorder_.frames.size(), 5u);
    EXPECT_EQ(recorder_.frames[4].host, kGateway);
    EXPECT_EQ(recorder_.frames[4].port, 2003);
    EXPECT_EQ(GetMessageBody(recorder_.frames[4].frame), kWalletPublicKey);
    EXPECT_EQ(session_.GatewayHost(), kGateway);
    Feed(BuildPlainFrame(PeerKeys(kGatewayRole).public_key, 95));
    ASSERT_EQ(recorder_.frames.size(), 6u);
    EXPECT_EQ(recorder_.frames[5].host, kMerchant);
    EXPECT_EQ(recorder_.frames[5].port, 2004);
    EXPECT_EQ(FrameId(recorder_.frames[5].frame), 99);
    Feed(BuildPlainFrame(PeerKeys(kMerchantRole).public_key, 96));
  }
};

TEST_F(PurchaseStepsTest, MerchantKeySendsTwoKeysThenTheDualMessageGatewayBlockFirst) {
  const std::string order = "Kniha;2;300\r\nPero;5;20\r\n";
  UsePurchase(order);
  RunToMerchantKey();
  ASSERT_EQ(recorder_.frames.size(), 9u);
  const RecordedFrame& gateway_key = recorder_.frames[6];
  const RecordedFrame& merchant_key = recorder_.frames[7];
  const RecordedFrame& dual = recorder_.frames[8];
  EXPECT_EQ(FrameId(gateway_key.frame), 89);
  EXPECT_EQ(gateway_key.host, kGateway);
  EXPECT_EQ(gateway_key.port, 2003);
  EXPECT_EQ(FrameId(merchant_key.frame), 89);
  EXPECT_EQ(merchant_key.host, kMerchant);
  EXPECT_EQ(merchant_key.port, 2004);
  EXPECT_EQ(FrameId(dual.frame), 79);
  EXPECT_EQ(dual.host, kMerchant);
  EXPECT_EQ(dual.port, 2004);

  const std::string gk = OpenKeyFrame(gateway_key.frame, PeerKeys(kGatewayRole));
  const std::string mk = OpenKeyFrame(merchant_key.frame, PeerKeys(kMerchantRole));
  EXPECT_EQ(gk, session_.Keys().FGatewaySessionKey);
  EXPECT_EQ(mk, session_.Keys().FMerchantSessionKey);
  EXPECT_NE(gk, mk);
  const auto [first, second] = SplitDual(dual.frame);
  EXPECT_EQ(OpenBlock(first, gk, PeerKeys(kGatewayRole)), Digest());
  EXPECT_EQ(OpenBlock(second, mk, PeerKeys(kMerchantRole)), order);
  const std::vector<std::string> tail = {
      W("   Veřejný klíč obchodníka:"),
      "   " + StrToFormat(PeerKeys(kMerchantRole).public_key, kFormatHex)};
  EXPECT_EQ(log_.From(log_.lines.size() - 2), tail);
}

TEST_F(PurchaseStepsTest, OrderTooLongForOneDatagramIsRefusedBeforeAnyKeyLeaves) {
  // 360 characters of order text fit; one more does not.
  const std::string fits = std::string(346, 'x') + ";1;10\r\n" + "y;1;1\r\n";
  ASSERT_EQ(fits.size(), 360u);
  UsePurchase(fits);
  RunToMerchantKey();
  EXPECT_EQ(recorder_.frames.size(), 9u);
  EXPECT_EQ(recorder_.frames.back().frame.size(), 2042u);

  recorder_.frames.clear();
  log_.lines.clear();
  UsePurchase("z" + fits);
  RunToMerchantKey();
  EXPECT_EQ(recorder_.frames.size(), 6u);  // no 89, no 79
  EXPECT_EQ(log_.lines.back(),
            W("*** Chyba: Objednávka je příliš dlouhá: zpráva 79 by měla 2050 bajtů, datagram "
              "unese nejvýše 2048."));
}

TEST_F(PurchaseStepsTest, AfterTheOrderHasGoneNoMessageSealsASecondOne) {
  // A stray or replayed 96 used to draw new session keys and send the order again: a second
  // debit. Once the 79 has gone, every message that drives an exchange forward is logged as
  // received and changes nothing.
  UsePurchase("Kniha;2;300\r\n");
  RunToMerchantKey();
  ASSERT_EQ(recorder_.frames.size(), 9u);
  ASSERT_TRUE(session_.OrderSent());
  const std::string gateway_session = session_.Keys().FGatewaySessionKey;
  const std::string merchant_session = session_.Keys().FMerchantSessionKey;
  const std::string bank_session = session_.Keys().FBankSessionKey;
  const std::vector<std::string> strays = {
      BuildPlainFrame(PeerKeys(kMerchantRole).public_key, 96),
      BuildPlainFrame(PeerKeys(kGatewayRole).public_key, 95),
      BuildPlainFrame(PeerKeys(kBankRole).public_key, 98),
      SealForWallet("1000", 2, bank_session),
      SealForWallet(kGateway, 76, bank_session),
  };
  for (const std::string& stray : strays) {
    const std::size_t before = log_.lines.size();
    Feed(stray);
    ASSERT_EQ(log_.lines.size(), before + 5) << FrameId(stray);
    EXPECT_EQ(log_.lines.back(), W("   Objednávka už byla odeslána; zpráva nic nemění."));
  }
  EXPECT_EQ(recorder_.frames.size(), 9u);
  EXPECT_EQ(session_.Keys().FGatewaySessionKey, gateway_session);
  EXPECT_EQ(session_.Keys().FMerchantSessionKey, merchant_session);
  EXPECT_EQ(session_.Keys().FBankSessionKey, bank_session);

  // The outcome and the final report are still taken.
  Feed(SealForWallet("300", 10, gateway_session));
  EXPECT_EQ(log_.lines.back(), W("   Objednané zboží bylo zaplaceno z účtu zákazníka: 300 Kč"));
  EXPECT_EQ(recorder_.frames.size(), 9u);
}

TEST_F(SessionStepsTest, MerchantKeyWithoutPurchaseFileSendsNothing) {
  StartSession();
  Feed(BuildPlainFrame(PeerKeys(kMerchantRole).public_key, 96));
  EXPECT_EQ(log_.lines.back(),
            W("*** Chyba: Peněženka byla spuštěna bez souboru s popisem nákupu, objednávku "
              "nelze odeslat."));
  EXPECT_EQ(recorder_.frames.size(), 1u);
  EXPECT_TRUE(session_.Keys().FGatewaySessionKey.empty());
}

}  // namespace
}  // namespace pelvane
