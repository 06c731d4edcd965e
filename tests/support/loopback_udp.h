// Helpers for tests that exchange datagrams over the loopback interface: a plain blocking UDP
// socket to play the peer, and waiting on the Qt event loop.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cerrno>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace pelvane::testing {

// A UDP socket on 127.0.0.1 outside the component under test.
class RawUdp {
 public:
  // port 0 lets the system choose a free port.
  explicit RawUdp(int port = 0) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) throw std::runtime_error("socket failed");
    sockaddr_in a = Loopback(port);
    bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  RawUdp(const RawUdp&) = delete;
  RawUdp& operator=(const RawUdp&) = delete;
  ~RawUdp() { ::close(fd_); }

  bool Bound() const { return bound_; }
  int Port() const {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
    return ntohs(a.sin_port);
  }
  int Fd() const { return fd_; }

  void SendTo(int port, const std::string& bytes) const {
    sockaddr_in a = Loopback(port);
    if (::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a) !=
        static_cast<ssize_t>(bytes.size())) {
      throw std::runtime_error("sendto failed");
    }
  }

  // The next datagram, or nothing when none arrives within timeout_ms.
  std::optional<std::string> Receive(int timeout_ms = 2000) const {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) != 1) return std::nullopt;
    std::string buffer(70000, '\0');
    const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
    if (n < 0) return std::nullopt;
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
  }

  static sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
  }

 private:
  int fd_ = -1;
  bool bound_ = false;
};

// Runs the event loop until done() holds or timeout_ms pass; returns done().
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeout_ms = 3000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < timeout_ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!done()) ::usleep(1000);
  }
  return done();
}

// Runs the event loop for a while, for checks that nothing (more) arrives.
inline void ProcessEventsFor(int ms) {
  ProcessEventsUntil([] { return false; }, ms);
}

}  // namespace pelvane::testing
