// TUDPSocket: sends and receives single UDP datagrams (IPv4) and reports each arriving datagram
// as an event on the thread that runs the Qt event loop.
//
// Two roles:
// - receiver: construct, RemotePort 0, SetLocalPort(port) (binds), ReportLevel, OnDataReceived;
//   every waiting datagram raises OnDataReceived once, in arrival order; the handler calls
//   ReadStream to get the bytes.
// - sender: construct, RemoteHost, SetLocalPort(2000), RemotePort, SendStream, destroy. The bind
//   of a sender fails quietly while the receiver holds the port; the datagram then leaves from a
//   port the system chooses.
//
// Receiving needs a running Qt event loop (a QCoreApplication is enough). Name lookups process
// the loop's pending events while they wait, so event handlers may run in the middle of
// SendStream.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "crypto/exception.h"
#include "messaging/memory_stream.h"

class QSocketNotifier;

namespace pelvane {

// A failure of the UDP component; carries the message text.
class UDPSockError : public Exception {
  using Exception::Exception;
};

class TUDPSocket;

using TOnReceive =
    std::function<void(TUDPSocket& sender, int NumberBytes, const std::string& FromIP)>;
using TNotifyEvent = std::function<void(TUDPSocket& sender)>;
using TOnStatus = std::function<void(TUDPSocket& sender, const std::string& status)>;
using THandlerEvent = std::function<void(bool& handled)>;
using TStreamInvalid = std::function<void(bool& handled, TMemoryStream& Stream)>;
// Declared for completeness; the component never fires it.
using TBuffInvalid = std::function<void(bool& handled, std::string& Buff, int& length)>;
using TOnSocketError =
    std::function<void(TUDPSocket& sender, std::uint16_t error, const std::string& message)>;

class TUDPSocket {
 public:
  // The largest datagram sent or received, in bytes.
  static constexpr int kMaxDatagram = 2048;
  // Host names of this many characters or more are refused like a failed lookup.
  static constexpr std::size_t kMaxHostName = 128;
  // A name lookup that has not answered after this long counts as failed.
  static constexpr int kDefaultLookupTimeoutMs = 30000;

  // Creates an unbound IPv4 datagram socket. Throws UDPSockError "Unknown Error No. N" when the
  // system refuses the socket.
  TUDPSocket();
  TUDPSocket(const TUDPSocket&) = delete;
  TUDPSocket& operator=(const TUDPSocket&) = delete;
  ~TUDPSocket();

  const std::string& RemoteHost() const noexcept { return remote_host_; }
  void SetRemoteHost(std::string host) { remote_host_ = std::move(host); }
  // Only the low 16 bits are used: 70000 sends to port 4464.
  int RemotePort() const noexcept { return remote_port_; }
  void SetRemotePort(int port) noexcept { remote_port_ = port; }
  int LocalPort() const noexcept { return local_port_; }
  // Replaces the socket with a fresh one and tries to bind it to the port (low 16 bits) on all
  // local addresses, then registers for read notifications (see Loaded). A failed bind is not an
  // error; Bound() tells. Throws UDPSockError when the new socket cannot be created.
  void SetLocalPort(int port);
  int ReportLevel() const noexcept { return report_level_; }
  void SetReportLevel(int level) noexcept { report_level_ = level; }

  // True when the current socket was bound to LocalPort by this component; false when the
  // bind failed (for example because another socket holds the port).
  bool Bound() const noexcept { return bound_; }
  // The local port the socket actually uses (0 while the system has not chosen one).
  int BoundPort() const noexcept;
  // The last reported status text, the last error number fetched from the system, and the
  // result of the last receive (-1 when it failed).
  const std::string& Status() const noexcept { return status_; }
  std::uint32_t LastError() const noexcept { return last_error_; }
  int ReceivedCount() const noexcept { return received_count_; }
  // How many name lookups the last resolution of RemoteHost started (0 for a dotted address).
  int LookupAttempts() const noexcept { return lookup_attempts_; }

  // Binds the socket to LocalPort (failure tolerated) and registers for read notifications.
  // Called by SetLocalPort; calling it again is harmless.
  void Loaded();

  // Sends the whole stream as one datagram to RemoteHost:RemotePort.
  // Throws: Exception "Invalid stream" for an empty stream (OnStreamInvalid gets one chance to
  // fill it); UDPSockError "Datagram too large" above kMaxDatagram bytes; UDPSockError "Host
  // Lookup Canceled" when the name does not resolve; UDPSockError "Null Remote Address" for
  // address 0; UDPSockError "Unknown Error No. 9" when SetLocalPort failed to create a socket.
  // Nothing is sent in these cases.
  void SendStream(TMemoryStream& stream);

  // Writes the last received datagram at the stream's position and rewinds the stream.
  // Throws EWriteError "Stream write error" after a failed receive.
  void ReadStream(TMemoryStream& stream);

  // While held, read notifications are not reported: arriving datagrams wait in the socket and
  // raise OnDataReceived, one event each and in arrival order, once the hold ends. A pause that
  // runs an event loop holds the receiver so that no datagram is handled during it.
  void HoldNotifications(bool held) noexcept;
  bool NotificationsHeld() const noexcept { return held_; }

  // The process-wide limit on a name lookup's wait, in milliseconds.
  static int LookupTimeoutMs() noexcept;
  static void SetLookupTimeoutMs(int milliseconds) noexcept;

  // Receives failures that escape an event handler run from the event loop (OnDataReceived and
  // whatever it calls): exceptions must not unwind through the event loop. The message is the
  // exception's text. Without a handler the message goes to Qt's warning output. Process-wide.
  using TEventErrorHandler = std::function<void(const std::string& message)>;
  static void SetEventErrorHandler(TEventErrorHandler handler);

  TOnReceive OnDataReceived;
  TNotifyEvent OnDataSend;
  TOnStatus OnStatus;
  THandlerEvent OnInvalidHost;
  TStreamInvalid OnStreamInvalid;
  TBuffInvalid OnBufferInvalid;
  TOnSocketError OnSocketError;

 private:
  void CreateSocket();
  void CloseSocket() noexcept;
  void ResolveRemoteHost();
  bool LookupHost(const std::string& name, std::uint32_t& address);
  [[noreturn]] void CheckSocketError(int error);
  void ReportStatus(int level, const std::string& text);
  void ReceiveDatagram();
  void OnReadNotification() noexcept;

  std::array<char, kMaxDatagram> receive_buffer_{};
  int received_count_ = 0;
  std::string remote_host_;
  int remote_port_ = 0;
  int local_port_ = 0;
  std::uint32_t remote_address_ = 0;  // network byte order
  int lookup_attempts_ = 0;
  int report_level_ = 1;
  std::string status_;
  bool initialized_ = false;
  std::uint32_t last_error_ = 0;
  bool bound_ = false;
  bool held_ = false;
  int socket_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace pelvane
