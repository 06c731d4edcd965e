// How the session's messages leave the wallet.
//
// The session never sends a datagram itself: every send, and the wait between the key frame and
// the first secure frame to the bank, goes through the SessionTransport it holds. The default,
// DatagramTransport, is the real thing: the wallet's senders (protocol/sending.h), each with the
// pacing pause before its datagram, and the same pause for the wait. Tests and fuzzing
// substitute the FrameRecorder of the test-support library, which builds the very same frames
// and keeps them instead.
#pragma once

#include <string>
#include <string_view>

namespace pelvane {

class SessionTransport {
 public:
  virtual ~SessionTransport() = default;
  // A plain frame of data under identifier.
  virtual void SendPlain(const std::string& host, int port, std::string_view data,
                         int identifier) = 0;
  // A key frame: session_key encrypted under the peer's public key.
  virtual void SendKey(std::string_view session_key, const std::string& public_key,
                       const std::string& host, int port, int identifier) = 0;
  // A secure frame of text under the peer's public key and the session key.
  virtual void SendSecure(const std::string& host, int port, std::string_view text, int identifier,
                          const std::string& public_key, std::string_view session_key) = 0;
  // A dual frame: identifier, then the two secure blocks in this order.
  virtual void SendDual(std::string_view first_block, std::string_view second_block,
                        const std::string& host, int identifier, int port) = 0;
  // Blocks for the given time (the wait between 89 and 1 to the bank).
  virtual void Pause(int milliseconds) = 0;
};

// Sends real datagrams (SendPlainMessage, SendKeyMessage, SendSecureMessage, SendDualMessage),
// each after the pacing pause; Pause spends the wait through the process-wide pause (pacing.h).
class DatagramTransport final : public SessionTransport {
 public:
  void SendPlain(const std::string& host, int port, std::string_view data, int identifier) override;
  void SendKey(std::string_view session_key, const std::string& public_key, const std::string& host,
               int port, int identifier) override;
  void SendSecure(const std::string& host, int port, std::string_view text, int identifier,
                  const std::string& public_key, std::string_view session_key) override;
  void SendDual(std::string_view first_block, std::string_view second_block,
                const std::string& host, int identifier, int port) override;
  void Pause(int milliseconds) override;
};

}  // namespace pelvane
