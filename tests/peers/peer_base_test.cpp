// Peers without a socket: what they send goes to a send function.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/session/wallet_keys.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "peers/bank.h"
#include "peers/bank_database.h"
#include "peers/merchant.h"
#include "peers/peer_wire.h"
#include "protocol/customer_digest.h"
#include "protocol/messages.h"
#include "protocol/ports.h"
#include "tests/support/peer_fixture.h"

namespace pelvane::peers {
namespace {

using pelvane::testing::RecordingSeam;
using pelvane::testing::SentFrame;

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
  const std::string digest = ComputeCustomerDigest("Jan", "Nov\xE1k", "750101/1234", "demo");
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
