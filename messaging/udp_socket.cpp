#include "messaging/udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QDebug>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "crypto/secure.h"

namespace pelvane {

namespace {

constexpr char kHostLookupCanceled[] = "Host Lookup Canceled";
// The receive buffer asked for by a bound socket: about 500 datagrams of the largest size.
constexpr int kReceiveBufferBytes = 1 << 20;

std::atomic<int>& LookupTimeout() noexcept {
  static std::atomic<int> timeout{TUDPSocket::kDefaultLookupTimeoutMs};
  return timeout;
}

TUDPSocket::TEventErrorHandler& EventErrorHandler() {
  static TUDPSocket::TEventErrorHandler handler;
  return handler;
}

sockaddr_in MakeAddress(std::uint32_t address_network_order, int port) noexcept {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port & 0xFFFF));
  a.sin_addr.s_addr = address_network_order;
  return a;
}

}  // namespace

int TUDPSocket::LookupTimeoutMs() noexcept {
  return LookupTimeout().load();
}

void TUDPSocket::SetLookupTimeoutMs(int milliseconds) noexcept {
  LookupTimeout().store(milliseconds < 0 ? 0 : milliseconds);
}

void TUDPSocket::SetEventErrorHandler(TEventErrorHandler handler) {
  EventErrorHandler() = std::move(handler);
}

TUDPSocket::TUDPSocket() {
  // Nothing can listen yet; the call keeps the status table complete.
  ReportStatus(8, "Initializing Winsock");
  CreateSocket();
  initialized_ = true;
}

TUDPSocket::~TUDPSocket() {
  CloseSocket();
  SecureWipe(receive_buffer_);
}

void TUDPSocket::CreateSocket() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) CheckSocketError(errno);
  socket_ = fd;
  bound_ = false;
}

void TUDPSocket::CloseSocket() noexcept {
  // The notifier must go before its descriptor is closed.
  notifier_.reset();
  if (socket_ >= 0) ::close(socket_);
  socket_ = -1;
  bound_ = false;
}

void TUDPSocket::SetLocalPort(int port) {
  CloseSocket();
  CreateSocket();
  local_port_ = port;
  Loaded();
}

void TUDPSocket::Loaded() {
  if (socket_ < 0) return;
  const sockaddr_in local = MakeAddress(htonl(INADDR_ANY), local_port_);
  // A failed bind is tolerated: the system then picks a port at the first send. A second bind
  // of an already bound socket fails and changes nothing.
  if (::bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0) {
    bound_ = true;
    // A bound socket receives: room for bursts, so that a peer's datagram is not dropped while
    // the handler works through a queue of others. The system caps the size (rmem_max); a
    // refusal leaves its default.
    const int size = kReceiveBufferBytes;
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
  // Read notifications need an event loop in this thread; without one the socket can still
  // send.
  if (!notifier_ && QAbstractEventDispatcher::instance() != nullptr) {
    notifier_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { OnReadNotification(); });
    notifier_->setEnabled(!held_);
  }
}

void TUDPSocket::HoldNotifications(bool held) noexcept {
  held_ = held;
  if (notifier_) notifier_->setEnabled(!held);
}

int TUDPSocket::BoundPort() const noexcept {
  if (socket_ < 0) return 0;
  sockaddr_in local{};
  socklen_t size = sizeof local;
  if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
  return ntohs(local.sin_port);
}

bool TUDPSocket::LookupHost(const std::string& name, std::uint32_t& address) {
  // Overlong names, empty names and names with a zero byte never reach the resolver.
  if (name.empty() || name.size() >= kMaxHostName || name.find('\0') != std::string::npos) {
    return false;
  }
  const QString qname = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
  bool done = false;
  bool found = false;
  std::uint32_t result = 0;
  const auto take = [&](const QHostInfo& info) {
    done = true;
    if (info.error() != QHostInfo::NoError) return;
    for (const QHostAddress& a : info.addresses()) {
      if (a.protocol() == QAbstractSocket::IPv4Protocol) {
        result = htonl(a.toIPv4Address());
        found = true;
        return;
      }
    }
  };

  if (QAbstractEventDispatcher::instance() == nullptr) {
    // No event loop to keep alive: a blocking lookup behaves the same.
    take(QHostInfo::fromName(qname));
  } else {
    QEventLoop loop;
    // The receiver object scopes the answer: once it is gone, a late answer goes nowhere.
    QObject receiver;
    const int id = QHostInfo::lookupHost(qname, &receiver, [&](const QHostInfo& info) {
      take(info);
      loop.quit();
    });
    if (!done) {
      QTimer timer;
      timer.setSingleShot(true);
      QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
      timer.start(LookupTimeoutMs());
      // Runs every pending event (datagram arrivals included) until the answer or the
      // time-out; a lookup that never answers thus counts as failed.
      loop.exec();
    }
    if (!done) QHostInfo::abortHostLookup(id);
  }
  if (found) address = result;
  return found;
}

void TUDPSocket::ResolveRemoteHost() {
  lookup_attempts_ = 0;
  const std::string name = remote_host_;
  in_addr dotted{};
  if (name.find('\0') == std::string::npos && ::inet_aton(name.c_str(), &dotted) != 0) {
    remote_address_ = dotted.s_addr;
    return;
  }
  for (;;) {
    ++lookup_attempts_;
    std::uint32_t address = 0;
    if (LookupHost(name, address)) {
      remote_address_ = address;
      return;
    }
    if (lookup_attempts_ > 1) throw UDPSockError(kHostLookupCanceled);
    bool handled = false;
    if (OnInvalidHost) OnInvalidHost(handled);
    if (!handled) throw UDPSockError(kHostLookupCanceled);
  }
}

void TUDPSocket::SendStream(TMemoryStream& stream) {
  int attempts = 0;
  while (stream.Size() == 0) {
    if (attempts > 0 || !OnStreamInvalid) throw Exception("Invalid stream");
    bool handled = false;
    OnStreamInvalid(handled, stream);
    if (!handled) throw Exception("Invalid stream");
    ++attempts;
  }
  if (stream.Size() > kMaxDatagram) throw UDPSockError("Datagram too large");
  // A component whose socket could not be replaced has nothing to send with.
  if (socket_ < 0) CheckSocketError(EBADF);

  ResolveRemoteHost();
  if (remote_address_ == 0) throw UDPSockError("Null Remote Address");
  ReportStatus(2, "Sending Data");

  const sockaddr_in to = MakeAddress(remote_address_, remote_port_);
  std::array<char, kMaxDatagram> send_buffer{};
  stream.SetPosition(0);
  const std::int32_t size = stream.Read(send_buffer.data(), kMaxDatagram);
  // As with any datagram, delivery is not confirmed; the result of the send is not examined.
  const ssize_t sent = ::sendto(socket_, send_buffer.data(), static_cast<std::size_t>(size), 0,
                                reinterpret_cast<const sockaddr*>(&to), sizeof to);
  static_cast<void>(sent);
  SecureWipe(send_buffer);
  if (OnDataSend) OnDataSend(*this);
}

void TUDPSocket::ReadStream(TMemoryStream& stream) {
  stream.WriteBuffer(receive_buffer_.data(), received_count_);
  stream.SetPosition(0);
}

void TUDPSocket::OnReadNotification() noexcept {
  if (!initialized_) return;
  std::string failure;
  try {
    ReceiveDatagram();
    return;
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "Unknown error in a datagram handler";
  }
  try {
    if (EventErrorHandler()) {
      EventErrorHandler()(failure);
      return;
    }
  } catch (...) {
    // The reporter failed as well; fall back to the warning output.
  }
  qWarning("%s", failure.c_str());
}

void TUDPSocket::ReceiveDatagram() {
  sockaddr_in from{};
  iovec part{receive_buffer_.data(), receive_buffer_.size()};
  msghdr message{};
  message.msg_name = &from;
  message.msg_namelen = sizeof from;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  ssize_t n;
  do {
    n = ::recvmsg(socket_, &message, 0);
  } while (n < 0 && errno == EINTR);
  // A notification without a waiting datagram reports nothing.
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
  // A datagram longer than the buffer counts as a failed receive.
  if (n >= 0 && (message.msg_flags & MSG_TRUNC) != 0) n = -1;
  received_count_ = n < 0 ? -1 : static_cast<int>(n);

  if (OnDataReceived) {
    const std::uint32_t a = ntohl(from.sin_addr.s_addr);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (a >> 24) & 0xFFu, (a >> 16) & 0xFFu,
                  (a >> 8) & 0xFFu, a & 0xFFu);
    OnDataReceived(*this, received_count_, std::string(text));
  }
}

void TUDPSocket::ReportStatus(int level, const std::string& text) {
  if (level > report_level_) return;
  status_ = text;
  if (OnStatus) OnStatus(*this, status_);
}

void TUDPSocket::CheckSocketError(int error) {
  ReportStatus(16, "Checking Error In Error Manager");
  last_error_ = static_cast<std::uint32_t>(error);
  const std::string message = "Unknown Error No. " + std::to_string(error);
  ReportStatus(8, "Looking Up Error Message" + message);
  if (OnSocketError) OnSocketError(*this, static_cast<std::uint16_t>(error), message);
  throw UDPSockError(message);
}

}  // namespace pelvane
