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
#include "protocol/messages.h"
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
