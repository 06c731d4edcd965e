// Key messages (98, 95, 96) that carry no usable key: the session must keep every key and
// session key it holds and send nothing, so that the exchange in progress still completes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/session/customer.h"
#include "app/session/purchase_file.h"
#include "app/session/transport.h"
#include "app/session/wallet_session.h"
#include "tests/support/frame_recorder.h"
#include "tests/support/recording_sinks.h"
#include "tests/support/test_customer.h"
#include "tests/support/wallet_peers.h"

namespace pelvane {
namespace {

using namespace pelvane::testing;

class StrayKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    purchase_ = std::make_unique<PurchaseBuffer>(
        "SET\r\nh2\r\nSET-SET-URL: http://10.0.0.4/obchod\r\nh4\r\nh5\r\nh6\r\nh7\r\nh8\r\nh9\r\n"
        "Kniha;1;300\r\n");
  }
  void StartSession() { session_.Start(TestExchange("heslo", "10.0.0.1", purchase_.get())); }
  void Feed(const std::string& frame) { session_.DataReceived(frame, "127.0.0.1"); }

  std::unique_ptr<PurchaseBuffer> purchase_;
  RecordingLog log_;
  RecordingLabels labels_;
  RecordingReporter errors_;
  FrameRecorder recorder_;
  WalletSession session_{log_, labels_, errors_, recorder_};
};

struct Slots {
  std::string bank, gateway, merchant, bank_session, gateway_session, merchant_session;
  bool operator==(const Slots&) const = default;
};

Slots Snapshot(const KeySlots& k) {
  return {k.FBankPublicKey,  k.FGatewayPublicKey,  k.FMerchantPublicKey,
          k.FBankSessionKey, k.FGatewaySessionKey, k.FMerchantSessionKey};
}

TEST_F(StrayKeyTest, KeyMessagesWithoutAKeyChangeNothingAndTheExchangeGoesOn) {
  StartSession();
  Feed(BuildPlainFrame(PeerKeys(kBankRole).public_key, 98));
  const std::string bank_key = OpenKeyFrame(recorder_.frames.at(1).frame, PeerKeys(kBankRole));
  Feed(SealForWallet("1000", 2, bank_key));
  Feed(SealForWallet("10.0.0.3", 76, bank_key));
  Feed(BuildPlainFrame(PeerKeys(kGatewayRole).public_key, 95));
  Feed(BuildPlainFrame(PeerKeys(kMerchantRole).public_key, 96));
  ASSERT_EQ(recorder_.frames.size(), 9u);  // ... 89, 89, 79
  const std::string gateway_key =
      OpenKeyFrame(recorder_.frames.at(6).frame, PeerKeys(kGatewayRole));
  const Slots held = Snapshot(session_.Keys());

  const std::string key = PeerKeys(kBankRole).public_key;
  const std::string stray[] = {
      "620004ABCD",                                          // hexadecimal, but no key text
      BuildPlainFrame(key.substr(0, key.size() - 4), 0x62),  // a key text cut short
      BuildPlainFrame(key.substr(0, key.find(':')), 0x5F),   // the exponent alone
      BuildPlainFrame(std::string(64, 'A') + ":" + std::string(80, 'B'), 0x60),
      "600010ABCD",  // shorter than its length field
  };
  for (const std::string& frame : stray) {
    SCOPED_TRACE(frame.substr(0, 12));
    Feed(frame);
    EXPECT_TRUE(log_.lines.back().starts_with("*** Chyba: ")) << log_.lines.back();
    EXPECT_EQ(Snapshot(session_.Keys()), held);
    EXPECT_EQ(recorder_.frames.size(), 9u);
  }

  // The confirmation sealed under the gateway key of the exchange still opens.
  Feed(SealForWallet("300", 10, gateway_key));
  EXPECT_EQ(log_.lines.back(), W("   Objednané zboží bylo zaplaceno z účtu zákazníka: 300 Kč"));
  EXPECT_FALSE(session_.ConnectionEnded());
}

}  // namespace
}  // namespace pelvane
