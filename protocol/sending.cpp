#include "protocol/sending.h"

#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "messaging/memory_stream.h"
#include "messaging/pacing.h"
#include "messaging/udp_socket.h"
#include "protocol/ports.h"

namespace pelvane {

void SendDatagram(const std::string& host, int port, std::string_view text) {
  Pause(PacingMs());
  TUDPSocket socket;
  socket.SetRemoteHost(host);
  socket.SetLocalPort(kWalletPort);
  if (port > 0) socket.SetRemotePort(port);
  TMemoryStream stream;
  stream.WriteString(text);
  socket.SendStream(stream);
}

void SendPlainMessage(const std::string& host, int port, std::string_view data, int identifier) {
  SendDatagram(host, port, BuildPlainFrame(data, identifier));
}

void SendKeyMessage(std::string_view data, const std::string& public_key, const std::string& host,
                    int port, int identifier) {
  SendDatagram(host, port, BuildKeyFrame(data, public_key, identifier));
}

void SendSecureMessage(const std::string& host, int port, std::string_view text, int identifier,
                       const std::string& public_key, std::string_view session_key) {
  SendDatagram(host, port, BuildSecureFrame(text, identifier, public_key, session_key));
}

void SendDualMessage(std::string_view first_block, std::string_view second_block,
                     const std::string& host, int identifier, int port) {
  SendDatagram(host, port, BuildDualFrame(first_block, second_block, identifier));
}

}  // namespace pelvane
