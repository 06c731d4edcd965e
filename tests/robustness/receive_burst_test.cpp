// A burst of the largest datagrams arriving while the receiver's handler is busy: all of them
// wait in the socket and are handled, none is dropped for want of buffer space.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "messaging/udp_socket.h"
#include "tests/support/loopback_udp.h"

namespace {

TEST(ReceiveBurst, ThreeHundredLargestDatagramsSentAtOnceAreAllReceived) {
  // The receiver asks for 1 MiB; a system that caps buffers lower cannot hold the burst.
  long rmem_max = 0;
  std::ifstream("/proc/sys/net/core/rmem_max") >> rmem_max;
  if (rmem_max < (1 << 20)) GTEST_SKIP() << "net.core.rmem_max is " << rmem_max;

  pelvane::TUDPSocket receiver;
  int received = 0;
  int full_size = 0;
  receiver.OnDataReceived = [&](pelvane::TUDPSocket&, int count, const std::string&) {
    ++received;
    if (count == pelvane::TUDPSocket::kMaxDatagram) ++full_size;
  };
  receiver.SetLocalPort(2000);
  ASSERT_TRUE(receiver.Bound());

  constexpr int kBurst = 300;  // about 1.2 MiB in the socket; the system default holds 50
  const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(sender, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(2000);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const std::string datagram(pelvane::TUDPSocket::kMaxDatagram, 'x');
  for (int i = 0; i < kBurst; ++i) {
    ::sendto(sender, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
  }
  ::close(sender);

  pelvane::testing::ProcessEventsUntil([&] { return received >= kBurst; }, 5000);
  pelvane::testing::ProcessEventsFor(20);
  EXPECT_EQ(received, kBurst);
  EXPECT_EQ(full_size, kBurst);
}

}  // namespace
