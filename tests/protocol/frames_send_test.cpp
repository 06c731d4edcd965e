#include <gtest/gtest.h>
#include <sys/socket.h>
#include <time.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "messaging/frames.h"
#include "messaging/pacing.h"
#include "messaging/udp_socket.h"
#include "protocol/ports.h"
#include "protocol/sending.h"
#include "tests/support/loopback_udp.h"

namespace pelvane {
namespace {

using testing::RawUdp;

class FrameSend : public ::testing::Test {
 protected:
  void SetUp() override { SetPacingMs(5); }
  void TearDown() override { SetPacingMs(kDefaultPacingMs); }
  RawUdp peer;
};

TEST_F(FrameSend, PlainMessagesArriveAsOneDatagramEach) {
  SendPlainMessage("127.0.0.1", peer.Port(), "", 99);
  SendPlainMessage("localhost", peer.Port(), "\x01\xAB\xFF", 1);
  EXPECT_EQ(peer.Receive(), "630000");
  EXPECT_EQ(peer.Receive(), "01000601ABFF");
}

TEST_F(FrameSend, DatagramTextTravelsUnchanged) {
  const std::string text("\0\xFF\r\nany bytes\0", 15);
  SendDatagram("127.0.0.1", peer.Port(), text);
  EXPECT_EQ(peer.Receive(), text);
}

TEST_F(FrameSend, TransportErrorsReachTheCallerAndFreeThePort) {
  struct Case {
    std::string host;
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"0.0.0.0", "x", "Null Remote Address"},
      {"nohost.invalid", "x", "Host Lookup Canceled"},
      {"127.0.0.1", "", "Invalid stream"},
      {"127.0.0.1", std::string(2049, 'x'), "Datagram too large"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    try {
      SendDatagram(c.host, peer.Port(), c.text);
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    // The sender's socket is gone: the wallet's port is free again.
    RawUdp wallet_port(kWalletPort);
    EXPECT_TRUE(wallet_port.Bound());
  }
  EXPECT_FALSE(peer.Receive(100));
  EXPECT_THROW(SendPlainMessage("0.0.0.0", peer.Port(), "x", 1), UDPSockError);
}

TEST_F(FrameSend, PlainFrameOfMoreThan1021BytesDoesNotFitADatagram) {
  SendPlainMessage("127.0.0.1", peer.Port(), std::string(1021, 'k'), 99);
  EXPECT_EQ(peer.Receive()->size(), 2048u);
  EXPECT_THROW(SendPlainMessage("127.0.0.1", peer.Port(), std::string(1022, 'k'), 99),
               UDPSockError);
}

// Kernel arrival time of the next datagram on a socket with SO_TIMESTAMPNS.
std::optional<std::chrono::system_clock::time_point> ArrivalTime(const RawUdp& socket) {
  pollfd p{socket.Fd(), POLLIN, 0};
  if (::poll(&p, 1, 5000) != 1) return std::nullopt;
  char data[64];
  char control[CMSG_SPACE(sizeof(timespec))];
  iovec part{data, sizeof data};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  if (::recvmsg(socket.Fd(), &message, 0) < 0) return std::nullopt;
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
      timespec t;
      std::memcpy(&t, CMSG_DATA(c), sizeof t);
      return std::chrono::system_clock::time_point(
          std::chrono::duration_cast<std::chrono::system_clock::duration>(
              std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec)));
    }
  }
  return std::nullopt;
}

TEST(FramePacing, DefaultPacingPutsOneSecondBeforeEveryDatagram) {
  ASSERT_EQ(PacingMs(), kDefaultPacingMs);
  RawUdp peer;
  const int on = 1;
  ASSERT_EQ(::setsockopt(peer.Fd(), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on), 0);
  const auto start = std::chrono::system_clock::now();
  SendDatagram("127.0.0.1", peer.Port(), "first");
  SendDatagram("127.0.0.1", peer.Port(), "second");
  const auto first = ArrivalTime(peer);
  const auto second = ArrivalTime(peer);
  ASSERT_TRUE(first && second);
  EXPECT_GE(*first - start, std::chrono::milliseconds(1000));
  EXPECT_GE(*second - *first, std::chrono::milliseconds(1000));
}

// A pause function that only records what it was asked for.
std::vector<int> g_pauses;
void RecordPause(int milliseconds) {
  g_pauses.push_back(milliseconds);
}

TEST(FramePacing, PauseGoesThroughTheInstalledFunctionAndNullRestoresSleeping) {
  SetPacingMs(250);
  g_pauses.clear();
  SetPauseFunction(&RecordPause);
  RawUdp peer;
  const auto start = std::chrono::steady_clock::now();
  SendDatagram("127.0.0.1", peer.Port(), "x");
  Pause(0);   // nothing to spend
  Pause(-5);  // nor here
  Pause(40);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  EXPECT_EQ(g_pauses, (std::vector<int>{250, 40}));
  EXPECT_EQ(peer.Receive(), "x");

  SetPauseFunction(nullptr);
  const auto slept_from = std::chrono::steady_clock::now();
  Pause(60);
  EXPECT_GE(std::chrono::steady_clock::now() - slept_from, std::chrono::milliseconds(60));
  EXPECT_EQ(g_pauses.size(), 2u);
  SetPacingMs(kDefaultPacingMs);
}

}  // namespace
}  // namespace pelvane
