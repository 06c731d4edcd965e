#include "peers/peer_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "messaging/pacing.h"

namespace pelvane::peers {

namespace {

sockaddr_in AddressOf(const std::string& host, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::inet_pton(AF_INET, host.c_str(), &a.sin_addr) == 1) return a;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 ||
      found == nullptr) {
    throw EPeerSocket("The address \"" + host + "\" does not resolve to an IPv4 address");
  }
  a.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  ::freeaddrinfo(found);
  return a;
}

std::string SystemError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

}  // namespace

std::string ResolveIpv4(const std::string& host) {
  const sockaddr_in a = AddressOf(host, 0);
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
  return text;
}

PeerSocket::PeerSocket(const std::string& address, int port) : port_(port) {
  const sockaddr_in local = AddressOf(address, port);
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd_ < 0) throw EPeerSocket(SystemError("Cannot create a UDP socket"));
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const std::string message = SystemError("Cannot bind " + address + ":" + std::to_string(port));
    ::close(fd_);
    throw EPeerSocket(message);
  }
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { ReadPending(); });
}

PeerSocket::~PeerSocket() {
  notifier_.reset();
  ::close(fd_);
}

void PeerSocket::ReadPending() noexcept {
  // Drain what is waiting now; each datagram is handled to completion before the next is read.
  std::vector<char> buffer(65536);
  for (;;) {
    sockaddr_in from{};
    socklen_t from_size = sizeof from;
    const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &from_size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // EAGAIN: nothing more waiting; other errors (ICMP reports) are not datagrams
    }
    char ip[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
    try {
      if (OnDatagram) {
        OnDatagram(std::string(buffer.data(), static_cast<std::size_t>(n)), ip,
                   ntohs(from.sin_port));
      }
    } catch (const std::exception& e) {
      if (OnError) OnError(e.what());
    } catch (...) {
      if (OnError) OnError("unknown failure");
    }
  }
}

void PeerSocket::Send(const std::string& host, int port, const std::string& bytes) {
  const sockaddr_in to = AddressOf(host, port);
  std::this_thread::sleep_for(std::chrono::milliseconds(PacingMs()));
  if (::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) != static_cast<ssize_t>(bytes.size())) {
    throw EPeerSocket(SystemError("Cannot send to " + host + ":" + std::to_string(port)));
  }
}

}  // namespace pelvane::peers
