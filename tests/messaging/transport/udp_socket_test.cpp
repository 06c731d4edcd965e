#include "messaging/udp_socket.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "tests/support/loopback_udp.h"

namespace pelvane {
namespace {

using testing::ProcessEventsFor;
using testing::ProcessEventsUntil;
using testing::RawUdp;

struct Arrival {
  int number_bytes = 0;
  std::string from_ip;
  std::string bytes;
  std::int64_t position = -1;
  std::string read_error;
};

// A receiving component on a port the system chooses; every event reads its datagram at once,
// as the wallet's handler does.
class Receiver {
 public:
  Receiver() {
    socket.SetLocalPort(0);
    socket.OnDataReceived = [this](TUDPSocket& s, int number_bytes, const std::string& from_ip) {
      Arrival a;
      a.number_bytes = number_bytes;
      a.from_ip = from_ip;
      TMemoryStream stream;
      try {
        s.ReadStream(stream);
        a.bytes = stream.Bytes();
        a.position = stream.Position();
      } catch (const EWriteError& e) {
        a.read_error = e.Message();
      }
      arrivals.push_back(a);
    };
  }
  int Port() const { return socket.BoundPort(); }
  bool WaitFor(std::size_t count) {
    return ProcessEventsUntil([&] { return arrivals.size() >= count; });
  }

  TUDPSocket socket;
  std::vector<Arrival> arrivals;
};

void Send(TUDPSocket& socket, const std::string& bytes) {
  TMemoryStream stream;
  stream.WriteString(bytes);
  socket.SendStream(stream);
}

TEST(UdpSocket, StartsWithDocumentedState) {
  TUDPSocket s;
  EXPECT_EQ(s.RemoteHost(), "");
  EXPECT_EQ(s.RemotePort(), 0);
  EXPECT_EQ(s.LocalPort(), 0);
  EXPECT_EQ(s.ReportLevel(), 1);
  EXPECT_FALSE(s.Bound());
}

TEST(UdpSocket, LoopbackSendAndReceive) {
  Receiver rx;
  ASSERT_TRUE(rx.socket.Bound());
  ASSERT_NE(rx.Port(), 0);

  TUDPSocket tx;
  int sends = 0;
  tx.OnDataSend = [&](TUDPSocket& sender) {
    EXPECT_EQ(&sender, &tx);
    ++sends;
  };
  tx.SetRemoteHost("127.0.0.1");
  tx.SetLocalPort(0);
  tx.SetRemotePort(rx.Port());
  const std::string payload("frame\0with zero", 15);
  Send(tx, payload);
  EXPECT_EQ(sends, 1);
  EXPECT_EQ(tx.LookupAttempts(), 0);

  ASSERT_TRUE(rx.WaitFor(1));
  ProcessEventsFor(50);
  ASSERT_EQ(rx.arrivals.size(), 1u);
  EXPECT_EQ(rx.arrivals[0].number_bytes, 15);
  EXPECT_EQ(rx.arrivals[0].from_ip, "127.0.0.1");
  EXPECT_EQ(rx.arrivals[0].bytes, payload);
  EXPECT_EQ(rx.arrivals[0].position, 0);
}

TEST(UdpSocket, HostNameIsLookedUpOnce) {
  RawUdp peer;
  TUDPSocket tx;
  tx.SetRemoteHost("localhost");
  tx.SetRemotePort(peer.Port());
  Send(tx, "by name");
  EXPECT_EQ(tx.LookupAttempts(), 1);
  EXPECT_EQ(peer.Receive(), "by name");
}

TEST(UdpSocket, DatagramOfExactly2048BytesIsReceivedWhole) {
  Receiver rx;
  TUDPSocket tx;
  tx.SetRemoteHost("127.0.0.1");
  tx.SetRemotePort(rx.Port());
  std::string payload(TUDPSocket::kMaxDatagram, '\0');
  for (std::size_t i = 0; i < payload.size(); ++i)
    payload[i] = static_cast<char>(i * 7);
  Send(tx, payload);
  ASSERT_TRUE(rx.WaitFor(1));
  EXPECT_EQ(rx.arrivals[0].number_bytes, 2048);
  EXPECT_EQ(rx.arrivals[0].bytes, payload);
  EXPECT_EQ(rx.arrivals[0].position, 0);
}

TEST(UdpSocket, LongerDatagramIsAFailedReceiveAndTheNextOneIsFine) {
  Receiver rx;
  RawUdp peer;
  peer.SendTo(rx.Port(), std::string(2049, 'x'));
  peer.SendTo(rx.Port(), "after");
  ASSERT_TRUE(rx.WaitFor(2));
  EXPECT_EQ(rx.arrivals[0].number_bytes, -1);
  EXPECT_EQ(rx.arrivals[0].from_ip, "127.0.0.1");
  EXPECT_EQ(rx.arrivals[0].read_error, "Stream write error");
  EXPECT_EQ(rx.arrivals[1].number_bytes, 5);
  EXPECT_EQ(rx.arrivals[1].bytes, "after");
}

TEST(UdpSocket, StreamAbove2048BytesIsRefusedBeforeAnythingIsSent) {
  RawUdp peer;
  TUDPSocket tx;
  int sends = 0;
  tx.OnDataSend = [&](TUDPSocket&) { ++sends; };
  tx.SetRemoteHost("localhost");
  tx.SetRemotePort(peer.Port());
  try {
    Send(tx, std::string(TUDPSocket::kMaxDatagram + 1, 'a'));
    FAIL() << "no error";
  } catch (const UDPSockError& e) {
    EXPECT_EQ(e.Message(), "Datagram too large");
  }
  EXPECT_EQ(sends, 0);
  EXPECT_EQ(tx.LookupAttempts(), 0);
  EXPECT_FALSE(peer.Receive(100));
}

TEST(UdpSocket, DatagramsWaitingDuringABlockingPauseAreAllHandledInOrder) {
  Receiver rx;
  RawUdp peer;
  const std::vector<std::string> sent = {"one", "two", std::string("th\0ree", 6), "four"};
  for (const auto& d : sent)
    peer.SendTo(rx.Port(), d);
  ::usleep(200 * 1000);  // the thread is blocked; nothing is read meanwhile
  EXPECT_TRUE(rx.arrivals.empty());
  ASSERT_TRUE(rx.WaitFor(sent.size()));
  ProcessEventsFor(100);
  ASSERT_EQ(rx.arrivals.size(), sent.size());  // one event per datagram
  for (std::size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(rx.arrivals[i].bytes, sent[i]) << i;
    EXPECT_EQ(rx.arrivals[i].number_bytes, static_cast<int>(sent[i].size())) << i;
  }
}

TEST(UdpSocket, HeldNotificationsKeepDatagramsWaitingWhileTheEventLoopRuns) {
  Receiver rx;
  RawUdp peer;
  rx.socket.HoldNotifications(true);
  EXPECT_TRUE(rx.socket.NotificationsHeld());
  peer.SendTo(rx.Port(), "one");
  peer.SendTo(rx.Port(), "two");
  ProcessEventsFor(150);  // the loop runs, but nothing is reported
  EXPECT_TRUE(rx.arrivals.empty());
  rx.socket.HoldNotifications(false);
  ASSERT_TRUE(rx.WaitFor(2));
  EXPECT_EQ(rx.arrivals[0].bytes, "one");
  EXPECT_EQ(rx.arrivals[1].bytes, "two");
  // A hold survives a new socket (SetLocalPort replaces it).
  rx.socket.HoldNotifications(true);
  rx.socket.SetLocalPort(0);
  peer.SendTo(rx.Port(), "three");
  ProcessEventsFor(100);
  EXPECT_EQ(rx.arrivals.size(), 2u);
  rx.socket.HoldNotifications(false);
  ASSERT_TRUE(rx.WaitFor(3));
  EXPECT_EQ(rx.arrivals[2].bytes, "three");
}

TEST(UdpSocket, ArrivalsAreHandledWhileALookupWaits) {
  Receiver rx;
  RawUdp peer;
  peer.SendTo(rx.Port(), "meanwhile");
  ::usleep(50 * 1000);

  TUDPSocket tx;
  tx.SetRemoteHost("localhost");
  tx.SetRemotePort(peer.Port());
  Send(tx, "x");
  ASSERT_EQ(rx.arrivals.size(), 1u);
  EXPECT_EQ(rx.arrivals[0].bytes, "meanwhile");
}

TEST(UdpSocket, FailureInAHandlerIsReportedAndReceivingGoesOn) {
  std::vector<std::string> reported;
  TUDPSocket::SetEventErrorHandler(
      [&](const std::string& message) { reported.push_back(message); });
  Receiver rx;
  rx.socket.OnDataReceived = [&](TUDPSocket& s, int, const std::string&) {
    TMemoryStream m;
    s.ReadStream(m);  // a datagram that is too long fails here, inside the handler
    rx.arrivals.push_back(Arrival{});
    rx.arrivals.back().bytes = m.Bytes();
  };
  RawUdp peer;
  peer.SendTo(rx.Port(), std::string(3000, 'x'));
  peer.SendTo(rx.Port(), "next");
  ASSERT_TRUE(rx.WaitFor(1));
  EXPECT_EQ(rx.arrivals[0].bytes, "next");
  EXPECT_EQ(reported, std::vector<std::string>{"Stream write error"});
  TUDPSocket::SetEventErrorHandler(nullptr);
}

struct RefusedHost {
  std::string host;
  std::string message;
  int lookups;
};

TEST(UdpSocket, RefusedHostsSendNothing) {
  const RefusedHost cases[] = {
      {"0.0.0.0", "Null Remote Address", 0},
      {"nohost.invalid", "Host Lookup Canceled", 1},
      {"", "Host Lookup Canceled", 1},
      {std::string(TUDPSocket::kMaxHostName, 'a'), "Host Lookup Canceled", 1},
      // A zero byte must not cut the text down to a valid address.
      {std::string("127.0.0.1\0.evil", 15), "Host Lookup Canceled", 1},
  };
  RawUdp peer;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host.size() > 40 ? c.host.substr(0, 40) + "..." : c.host);
    TUDPSocket tx;
    bool sent = false;
    tx.OnDataSend = [&](TUDPSocket&) { sent = true; };
    tx.SetRemoteHost(c.host);
    tx.SetRemotePort(peer.Port());
    try {
      Send(tx, "x");
      ADD_FAILURE() << "no error";
    } catch (const UDPSockError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(tx.LookupAttempts(), c.lookups);
    EXPECT_FALSE(sent);
  }
  EXPECT_FALSE(peer.Receive(100));
}

TEST(UdpSocket, InvalidHostHandlerThatSetsHandledGetsOneMoreLookup) {
  for (const bool set_handled : {false, true}) {
    SCOPED_TRACE(set_handled);
    for (const std::string& host : {std::string("nohost.invalid"), std::string(200, 'b')}) {
      TUDPSocket tx;
      int calls = 0;
      tx.OnInvalidHost = [&](bool& handled) {
        EXPECT_FALSE(handled);
        ++calls;
        handled = set_handled;
      };
      tx.SetRemoteHost(host);
      tx.SetRemotePort(9);
      try {
        Send(tx, "x");
        ADD_FAILURE() << "no error";
      } catch (const UDPSockError& e) {
        EXPECT_EQ(e.Message(), "Host Lookup Canceled");
      }
      EXPECT_EQ(calls, 1);
      EXPECT_EQ(tx.LookupAttempts(), set_handled ? 2 : 1);
    }
  }
}

TEST(UdpSocket, EmptyStreamIsInvalid) {
  TUDPSocket tx;
  tx.SetRemoteHost("127.0.0.1");
  tx.SetRemotePort(9);
  TMemoryStream empty;
  try {
    tx.SendStream(empty);
    FAIL() << "no error";
  } catch (const UDPSockError&) {
    FAIL() << "the plain base class is expected";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Invalid stream");
  }
}

TEST(UdpSocket, StreamInvalidHandlerHasOneChance) {
  struct Case {
    bool fill;
    bool set_handled;
    bool sends;
  };
  const Case cases[] = {{true, true, true}, {true, false, false}, {false, true, false}};
  RawUdp peer;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.fill) + std::to_string(c.set_handled));
    TUDPSocket tx;
    tx.SetRemoteHost("127.0.0.1");
    tx.SetRemotePort(peer.Port());
    int calls = 0;
    TMemoryStream stream;
    tx.OnStreamInvalid = [&](bool& handled, TMemoryStream& s) {
      ++calls;
      EXPECT_EQ(&s, &stream);
      if (c.fill) s.WriteString("filled");
      handled = c.set_handled;
    };
    if (c.sends) {
      tx.SendStream(stream);
      EXPECT_EQ(peer.Receive(), "filled");
    } else {
      try {
        tx.SendStream(stream);
        ADD_FAILURE() << "no error";
      } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid stream");
      }
    }
    EXPECT_EQ(calls, 1);
  }
  EXPECT_FALSE(peer.Receive(100));
}

TEST(UdpSocket, OnlyTheLow16BitsOfRemotePortCount) {
  RawUdp peer(4464);
  if (!peer.Bound()) GTEST_SKIP() << "port 4464 is in use";
  TUDPSocket tx;
  tx.SetRemoteHost("127.0.0.1");
  tx.SetRemotePort(70000);
  Send(tx, "wrapped");
  EXPECT_EQ(peer.Receive(), "wrapped");
}

TEST(UdpSocket, BoundTellsWhetherThePortWasTaken) {
  RawUdp holder;
  ASSERT_TRUE(holder.Bound());
  TUDPSocket s;
  s.SetLocalPort(holder.Port());
  EXPECT_FALSE(s.Bound());
  EXPECT_EQ(s.LocalPort(), holder.Port());

  TUDPSocket free_port;
  free_port.SetLocalPort(0);
  ASSERT_TRUE(free_port.Bound());
  const int port = free_port.BoundPort();
  free_port.Loaded();  // a second bind of a bound socket changes nothing
  EXPECT_TRUE(free_port.Bound());
  EXPECT_EQ(free_port.BoundPort(), port);
}

// Lowers the open-file limit so that no new socket can be created, for as long as it lives.
class NoNewFiles {
 public:
  NoNewFiles() {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit none = saved_;
    none.rlim_cur = 0;
    ok_ = ::setrlimit(RLIMIT_NOFILE, &none) == 0;
  }
  ~NoNewFiles() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  bool ok_ = false;
};

TEST(UdpSocket, ReportLevelFiltersStatusReports) {
  const std::string error_message = "Unknown Error No. " + std::to_string(EMFILE);
  struct Case {
    int level;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {1, {}},
      {2, {"Sending Data"}},
      {8, {"Sending Data", "Looking Up Error Message" + error_message}},
      {16,
       {"Sending Data", "Checking Error In Error Manager",
        "Looking Up Error Message" + error_message}},
  };
  RawUdp peer;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    TUDPSocket s;
    s.SetReportLevel(c.level);
    std::vector<std::string> reported;
    s.OnStatus = [&](TUDPSocket& sender, const std::string& status) {
      EXPECT_EQ(&sender, &s);
      reported.push_back(status);
    };
    std::vector<std::pair<int, std::string>> socket_errors;
    s.OnSocketError = [&](TUDPSocket&, std::uint16_t error, const std::string& message) {
      socket_errors.emplace_back(error, message);
    };
    s.SetRemoteHost("127.0.0.1");
    s.SetRemotePort(peer.Port());
    Send(s, "status");
    ASSERT_EQ(peer.Receive(), "status");

    // A socket the system refuses is a failure with the system's error number.
    {
      NoNewFiles limit;
      ASSERT_TRUE(limit.ok());
      try {
        s.SetLocalPort(0);
        ADD_FAILURE() << "no error";
      } catch (const UDPSockError& e) {
        EXPECT_EQ(e.Message(), error_message);
      }
    }
    EXPECT_EQ(reported, c.expected);
    if (!c.expected.empty()) {
      EXPECT_EQ(s.Status(), c.expected.back());
    }
    EXPECT_EQ(s.LastError(), static_cast<std::uint32_t>(EMFILE));
    ASSERT_EQ(socket_errors.size(), 1u);
    EXPECT_EQ(socket_errors[0].first, EMFILE);
    EXPECT_EQ(socket_errors[0].second, error_message);

    // Without a socket nothing can be sent, and the caller learns so.
    try {
      Send(s, "lost");
      ADD_FAILURE() << "no error";
    } catch (const UDPSockError& e) {
      EXPECT_EQ(e.Message(), "Unknown Error No. " + std::to_string(EBADF));
    }
    EXPECT_EQ(socket_errors.size(), 2u);
    EXPECT_FALSE(peer.Receive(50));
  }
}

TEST(UdpSocket, ConstructionFailsWhenNoSocketCanBeCreated) {
  NoNewFiles limit;
  ASSERT_TRUE(limit.ok());
  try {
    TUDPSocket s;
    ADD_FAILURE() << "no error";
  } catch (const UDPSockError& e) {
    EXPECT_EQ(e.Message(), "Unknown Error No. " + std::to_string(EMFILE));
  }
}

}  // namespace
}  // namespace pelvane
