// One peer's UDP endpoint: a datagram socket bound to a given IPv4 address and port, reporting
// every arriving datagram on the Qt event loop, and sending its answers from that same socket
// (so a peer's datagrams come from its well-known port) after the process-wide pacing pause,
// through a send queue per destination (send_queue.h) rather than a sleep.
//
// Receiving is fair among senders: what is waiting is read in rounds of at most kReadRound
// datagrams, at most kPerSenderPerRound of them from one sender (address and port; the rest of
// that sender's are dropped and counted), and handled taking the senders in turn. The receive
// buffer is enlarged to hold a burst while a datagram is handled.
// (so a peer's datagrams come from its well-known port) after the process-wide pacing pause.
//
// Why not the wallet's TUDPSocket (messaging/udp_socket.h): that component keeps the contract
// the wallet was built on (it binds every local address, carries at most 2048 bytes, reports
// no sender port, sends each datagram from a fresh socket). A peer must listen on the address
// it is told, answer from its own port, and learn the sender's port, because it accepts
// debit requests and results only from the other peer's well-known port.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "crypto/exception.h"
#include "peers/send_queue.h"

class QSocketNotifier;

namespace pelvane::peers {

// A socket that cannot be created or bound, an address that does not resolve, or a datagram
// the system refuses to send.
class EPeerSocket : public Exception {
  using Exception::Exception;
};

// The dotted IPv4 text of host (a dotted address or a name). Throws EPeerSocket when it does
// not resolve.
std::string ResolveIpv4(const std::string& host);

class PeerSocket {
 public:
  // (datagram bytes, sender's dotted address, sender's port)
  using Handler =
      std::function<void(const std::string& datagram, const std::string& from_ip, int from_port)>;

  // Binds address:port (address a dotted IPv4 address or a name). Throws EPeerSocket.
  PeerSocket(const std::string& address, int port);
  PeerSocket(const PeerSocket&) = delete;
  PeerSocket& operator=(const PeerSocket&) = delete;
  ~PeerSocket();

  // Called once per datagram on the thread that runs the event loop. Exceptions that escape
  // the handler are caught and handed to OnError.
  Handler OnDatagram;
  std::function<void(const std::string& message)> OnError;

  // Queues bytes as one datagram to host:port; it leaves PacingMs() after the previous one to
  // the same destination. Throws EPeerSocket when the host does not resolve. A datagram the
  // queue has no room for, or that the system refuses when it leaves, is reported to OnError.
  void Send(const std::string& host, int port, const std::string& bytes);

  int Port() const noexcept { return port_; }
  // Datagrams received so far that the per-sender bound dropped.
  std::size_t DroppedFromFloods() const noexcept { return dropped_; }

  static constexpr std::size_t kReadRound = 256;
  static constexpr std::size_t kPerSenderPerRound = 32;
  static constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

 private:
  void ReadPending() noexcept;
  void Handle(const std::string& datagram, const std::string& ip, int port) noexcept;
  void Transmit(const std::string& ip, int port, const std::string& bytes);

  int fd_ = -1;
  int port_ = 0;
  std::size_t dropped_ = 0;
  std::unique_ptr<QSocketNotifier> notifier_;
  SendQueue queue_;
};

}  // namespace pelvane::peers
