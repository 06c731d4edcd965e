#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/session/wallet_keys.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "peers/bank.h"
#include "peers/bank_database.h"
#include "peers/merchant.h"
#include "peers/peer_common.h"

namespace pelvane::peers {
namespace {

TEST(ParseOrder, AcceptsOrdersAndSumsThePrices) {
  struct Case {
    std::string text;
    std::size_t items;
    std::int64_t total;
  };
  const Case cases[] = {
      // The count does not multiply the price: the price is the line's price.
      {"Kniha;2;300\r\nPero;5;20\r\n", 2, 320},
      {"Kniha;1;300", 1, 300},                      // no final break
      {"Kniha;1;300\r\n\r\nPero;1;1\r\n", 2, 301},  // empty line skipped
      {"Kniha;1; 300\nPero;+1;0\n", 2, 300},        // leading blank and sign, LF breaks
      {";1;5\r\n", 1, 5},                           // empty name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Order order;
    EXPECT_EQ(ParseOrder(c.text, order), std::nullopt);
    EXPECT_EQ(order.items.size(), c.items);
    EXPECT_EQ(order.total, c.total);
  }
  Order order;
  ASSERT_EQ(ParseOrder("Bo\x9E"
                       "ena N\xECmcov\xE1: Babi\xE8ka;1;289\r\n",
                       order),
            std::nullopt);
  EXPECT_EQ(order.items[0].name,
            "Bo\x9E"
            "ena N\xECmcov\xE1: Babi\xE8ka");
  EXPECT_EQ(order.items[0].count, 1);
}

TEST(ParseOrder, RefusesWhatCannotBeSold) {
  const char* cases[] = {
      "",                                      // nothing ordered
      "\r\n\r\n",                              // only empty lines
      "Kniha;1;0\r\n",                         // total 0
      "Kniha;300\r\n",                         // one ";"
      "Kniha\r\n",                             // none
      "Kniha;dva;300\r\n",                     // count not a number
      "Kniha;1;300 \r\n",                      // blank after the digits
      "Kniha;1;3;00\r\n",                      // third ";"
      "Kniha;0;300\r\n",                       // count below 1
      "Kniha;1;-300\r\nPero;1;400\r\n",        // a negative price would pay the customer
      "A;1;2000000000\r\nB;1;2000000000\r\n",  // total beyond the balance range
      "Kniha;1;99999999999\r\n",               // price beyond the integer range
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    Order order;
    const auto reason = ParseOrder(text, order);
    ASSERT_TRUE(reason.has_value());
    EXPECT_FALSE(reason->empty());
  }
}

TEST(PeerFields, RoundTripAndRejectMalformedData) {
  const std::vector<std::string> fields = {"REF", "", std::string("a\0b;\xFF", 5),
                                           std::string(600, 'x')};
  EXPECT_EQ(UnpackFields(PackFields(fields), 4), fields);
  EXPECT_EQ(PackFields({"IP", ""}), "0002IP0000");
  const char* bad[] = {"0003IP", "00", "zz02IP", "0002IP0001"};
  for (const char* data : bad) {
    SCOPED_TRACE(data);
    EXPECT_THROW(UnpackFields(data, 1), EPeerFrame);
  }
  EXPECT_THROW(UnpackFields("0002IP", 2), EPeerFrame);      // too few
  EXPECT_THROW(UnpackFields("0002IP0000", 1), EPeerFrame);  // too many
}

TEST(PeerFields, AmountsAreDecimalDigitsOnly) {
  EXPECT_EQ(ParseAmount("0"), 0);
  EXPECT_EQ(ParseAmount("2147483647"), 2147483647);
  for (const char* bad : {"", "-1", "+1", " 1", "1 ", "12a", "2147483648", "99999999999"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ParseAmount(bad), EPeerFrame);
  }
}

struct SentFrame {
  std::string host;
  int port;
  std::string frame;
};

// A peer's seam that records what it sends; the peer uses the wallet's key pair.
PeerSeam RecordingSeam(std::vector<SentFrame>& sent) {
  PeerSeam seam;
  seam.send = [&sent](const std::string& host, int port, const std::string& bytes) {
    sent.push_back({host, port, bytes});
  };
  seam.keys.public_key = kWalletPublicKey;
  seam.keys.private_key = kWalletPrivateKey;
  return seam;
}

// The merchant passes the gateway block on as hexadecimal text, twice its size. A wallet's
// block too long for that gets the order refused, instead of a request no datagram carries.
TEST(Merchant, RefusesAnOrderWhoseGatewayBlockCannotBePassedOn) {
  const std::string session = "0123456789abcdefghijklmn";
  std::vector<SentFrame> sent;
  Merchant merchant("127.0.0.1", "127.0.0.1", nullptr, RecordingSeam(sent));
  merchant.OnDatagram(BuildPlainFrame(kWalletPublicKey, kMsgWalletKey), "10.0.0.9", 2000);
  merchant.OnDatagram(BuildKeyFrame(session, kWalletPublicKey, kMsgSessionKey), "10.0.0.9", 2000);
  sent.clear();
  const std::string dual =
      BuildDualFrame(BuildSecureBlock(std::string(300, 'D'), session, kWalletPublicKey),
                     BuildSecureBlock("Kniha;1;300\r\n", session, kWalletPublicKey), kMsgDualOrder);
  ASSERT_LE(dual.size(), kMaxFrameSize);
  merchant.OnDatagram(dual, "10.0.0.9", 2000);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].host, "10.0.0.9");
  EXPECT_EQ(HexFieldToInt(sent[0].frame.substr(0, 2)), kMsgMerchantReport);
  EXPECT_EQ(OpenSecureMessage(sent[0].frame, session, kWalletPublicKey, kWalletPrivateKey),
            "*** Objedn\xE1vka byla odm\xEDtnuta: blok pro platebn\xED br\xE1nu je "
            "p\xF8\xEDli\x9A dlouh\xFD");
}

// A debit request is answered with the outcome of the first request under its reference, paid
// or refused; one after its deadline moves no money.
TEST(Bank, ARepeatedDebitRequestGetsTheFirstAnswer) {
  std::vector<SentFrame> sent;
  BankDatabase db(":memory:");
  Bank bank(db, "10.0.0.1", "10.0.0.3", nullptr, RecordingSeam(sent));
  const std::string digest = CustomerDigestOf("Jan", "Nov\xE1k", "750101/1234", "demo");
  const auto request = [&](const std::string& reference, long long deadline) {
    bank.OnDatagram(BuildPlainFrame(PackFields({reference, digest, "300", "2004123456/0800",
                                                std::to_string(deadline)}),
                                    kMsgDebitRequest),
                    "10.0.0.3", kGatewayPort);
    EXPECT_EQ(sent.back().host, "10.0.0.3");
    return UnpackFields(GetMessageBody(sent.back().frame), 3);
  };
  const long long past = 1000;
  const long long future = 99999999999999;

  const auto expired = request("LATE", past);
  EXPECT_EQ(expired[1], kResultRefused);
  EXPECT_EQ(request("LATE", future), expired);  // still refused, though now in time

  const auto paid = request("PAID", future);
  EXPECT_EQ(paid[1], kResultPaid);
  EXPECT_EQ(request("PAID", future), paid);
  EXPECT_EQ(request("PAID", past), paid);  // paid before: the deadline does not undo it
  const Account account = *db.FindByDigest(digest);
  EXPECT_EQ(account.balance, 10000 - 300);
  ASSERT_EQ(db.Payments(account.id).size(), 1u);
  EXPECT_EQ(db.Payments(account.id)[0].reference, "PAID");
}

// Two banks on the same port at once: neither binds a socket, both answer through their send
// function with the key pair they were given.
TEST(PeerSeam, PeersWithASendFunctionBindNoSocketAndSendThroughIt) {
  std::vector<SentFrame> sent;
  BankDatabase db(":memory:");
  Bank first(db, "127.0.0.1", "127.0.0.1", nullptr, RecordingSeam(sent));
  Bank second(db, "127.0.0.1", "127.0.0.1", nullptr, RecordingSeam(sent));
  EXPECT_EQ(first.PublicKey(), kWalletPublicKey);
  second.OnDatagram(BuildPlainFrame(kWalletPublicKey, kMsgWalletKey), "10.0.0.9", 2000);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].host, "10.0.0.9");
  EXPECT_EQ(sent[0].port, 2000);
  EXPECT_EQ(sent[0].frame, BuildPlainFrame(kWalletPublicKey, kMsgBankKey));
}

}  // namespace
}  // namespace pelvane::peers
