#include <gtest/gtest.h>

#include <string>

#include "messaging/envelopes.h"
#include "messaging/pacing.h"
#include "protocol/ports.h"
#include "protocol/sending.h"
#include "tests/support/loopback_udp.h"

namespace pelvane {
namespace {

using testing::RawUdp;

// A 93-character 512-bit public key text (the tests' recipient).
constexpr char kPublicKey[] =
    "++2++E:a3NQ3kPOdziO3izT7KIk+enqH+YYNI7FvNttzsO1gAi6Dtyp6tFitq-G8vfKxsVAbKPbTN1VKFnRgr8aiSaj8E";

class EnvelopeSend : public ::testing::Test {
 protected:
  void SetUp() override { SetPacingMs(5); }
  void TearDown() override { SetPacingMs(kDefaultPacingMs); }
  RawUdp peer;
  const std::string key = GenerateSessionKey(24);
};

TEST_F(EnvelopeSend, EachSenderSendsItsFrameAsOneDatagram) {
  ASSERT_TRUE(peer.Bound());
  SendKeyMessage(key, kPublicKey, "127.0.0.1", peer.Port(), 89);
  EXPECT_EQ(peer.Receive(), BuildKeyFrame(key, kPublicKey, 89));

  SendSecureMessage("127.0.0.1", peer.Port(), "IP", 75, kPublicKey, key);
  EXPECT_EQ(peer.Receive(), BuildSecureFrame("IP", 75, kPublicKey, key));

  const std::string first = BuildSecureBlock(std::string(40, 'D'), key, kPublicKey);
  const std::string second = BuildSecureBlock("Kniha;1;250\r\n", key, kPublicKey);
  SendDualMessage(first, second, "127.0.0.1", 79, peer.Port());
  EXPECT_EQ(peer.Receive(), "4F" + first + second);
}

TEST_F(EnvelopeSend, TooLargeFramesAreRefusedBeforeAnythingIsSent) {
  ASSERT_TRUE(peer.Bound());
  const std::string first = BuildSecureBlock(std::string(40, 'D'), key, kPublicKey);
  const std::string second = BuildSecureBlock(std::string(361, 'o'), key, kPublicKey);
  EXPECT_THROW(SendDualMessage(first, second, "127.0.0.1", 79, peer.Port()), EEnvelopeTooLarge);
  EXPECT_THROW(
      SendSecureMessage("127.0.0.1", peer.Port(), std::string(586, 't'), 21, kPublicKey, key),
      EEnvelopeTooLarge);
  EXPECT_EQ(peer.Receive(300), std::nullopt);
}

}  // namespace
}  // namespace pelvane
