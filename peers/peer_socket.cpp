#include "peers/peer_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <utility>
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

PeerSocket::PeerSocket(const std::string& address, int port)
    : port_(port), queue_([this](const std::string& ip, int to_port, const std::string& bytes) {
        Transmit(ip, to_port, bytes);
      }) {
  queue_.OnError = [this](const std::string& message) {
    if (OnError) OnError(message);
  };
  const sockaddr_in local = AddressOf(address, port);
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd_ < 0) throw EPeerSocket(SystemError("Cannot create a UDP socket"));
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const std::string message = SystemError("Cannot bind " + address + ":" + std::to_string(port));
    ::close(fd_);
    throw EPeerSocket(message);
  }
  // A larger receive buffer holds a burst while one datagram is handled; the system may grant
  // less (its ceiling for unprivileged processes), which is no error.
  const int wanted = kReceiveBufferBytes;
  if (::setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &wanted, sizeof wanted) != 0) {
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted);
  }
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { ReadPending(); });
}

PeerSocket::~PeerSocket() {
  notifier_.reset();
  ::close(fd_);
}

void PeerSocket::Handle(const std::string& datagram, const std::string& ip, int port) noexcept {
  try {
    if (OnDatagram) OnDatagram(datagram, ip, port);
  } catch (const std::exception& e) {
    if (OnError) OnError(e.what());
  } catch (...) {
    if (OnError) OnError("unknown failure");
  }
}

void PeerSocket::ReadPending() noexcept {
  struct Arrival {
    std::string datagram;
    std::string ip;
    int port = 0;
  };
  // One round: read what is waiting (at most kReadRound), bounded per sender, then handle the
  // senders in turn so that a flooding sender delays the others by at most its share.
  std::vector<char> buffer(65536);
  std::map<std::pair<std::string, int>, std::deque<Arrival>> by_sender;
  std::vector<std::pair<std::string, int>> order;
  std::size_t dropped_now = 0;
  for (std::size_t read = 0; read < kReadRound;) {
    sockaddr_in from{};
    socklen_t from_size = sizeof from;
    const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &from_size);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;  // EAGAIN: nothing more waiting; other errors (ICMP reports) are not datagrams
    }
    ++read;
    char ip[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
    const std::pair<std::string, int> sender{ip, ntohs(from.sin_port)};
    auto& queue = by_sender[sender];
    if (queue.empty()) order.push_back(sender);
    if (queue.size() >= kPerSenderPerRound) {
      ++dropped_now;
      continue;
    }
    queue.push_back(Arrival{std::string(buffer.data(), static_cast<std::size_t>(n)), sender.first,
                            sender.second});
  }
  if (dropped_now > 0) {
    dropped_ += dropped_now;
    if (OnError) {
      OnError(std::to_string(dropped_now) + " datagram(s) dropped: more than " +
              std::to_string(kPerSenderPerRound) + " from one sender at once");
    }
  }
  for (bool any = true; any;) {
    any = false;
    for (const auto& sender : order) {
      auto& queue = by_sender[sender];
      if (queue.empty()) continue;
      const Arrival arrival = std::move(queue.front());
      queue.pop_front();
      Handle(arrival.datagram, arrival.ip, arrival.port);
      any = true;
    }
  }
}

void PeerSocket::Send(const std::string& host, int port, const std::string& bytes) {
  const std::string ip = ResolveIpv4(host);
  if (!queue_.Enqueue(ip, port, bytes)) {
    if (OnError) {
      OnError("datagram to " + ip + ":" + std::to_string(port) +
              " dropped: too many are waiting for that destination");
    }
  }
}

void PeerSocket::Transmit(const std::string& ip, int port, const std::string& bytes) {
  const sockaddr_in to = AddressOf(ip, port);
  if (::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) != static_cast<ssize_t>(bytes.size())) {
    throw EPeerSocket(SystemError("Cannot send to " + ip + ":" + std::to_string(port)));
  }
}

}  // namespace pelvane::peers
