// The receiver holds the wallet's port 2000 while senders come and go.
#include <gtest/gtest.h>

#include "messaging/frames.h"
#include "messaging/pacing.h"
#include "messaging/udp_socket.h"
#include "protocol/ports.h"
#include "protocol/sending.h"
#include "tests/support/loopback_udp.h"

namespace pelvane {
namespace {

TEST(WalletPort, SenderWorksWhileTheReceiverHoldsPort2000) {
  SetPacingMs(10);
  TUDPSocket receiver;
  receiver.SetRemotePort(0);
  receiver.SetLocalPort(kWalletPort);
  receiver.SetReportLevel(1);
  ASSERT_TRUE(receiver.Bound()) << "port 2000 is held by another program";
  std::vector<std::string> got;
  receiver.OnDataReceived = [&](TUDPSocket& s, int, const std::string&) {
    TMemoryStream m;
    s.ReadStream(m);
    got.push_back(m.Bytes());
  };
  receiver.Loaded();  // the window's second call must not disturb the bound socket
  EXPECT_TRUE(receiver.Bound());

  {
    TUDPSocket sender;
    sender.SetRemoteHost("127.0.0.1");
    sender.SetLocalPort(kWalletPort);
    EXPECT_FALSE(sender.Bound());
    sender.SetRemotePort(kWalletPort);
    TMemoryStream m;
    m.WriteString("from a sender");
    sender.SendStream(m);
  }
  SendDatagram("127.0.0.1", kWalletPort, "through SendDatagram");

  ASSERT_TRUE(testing::ProcessEventsUntil([&] { return got.size() >= 2; }));
  EXPECT_EQ(got[0], "from a sender");
  EXPECT_EQ(got[1], "through SendDatagram");
  SetPacingMs(kDefaultPacingMs);
}

}  // namespace
}  // namespace pelvane
