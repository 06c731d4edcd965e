#include "app/session/transport.h"

#include "messaging/pacing.h"
#include "protocol/sending.h"

namespace pelvane {

void DatagramTransport::SendPlain(const std::string& host, int port, std::string_view data,
                                  int identifier) {
  SendPlainMessage(host, port, data, identifier);
}

void DatagramTransport::SendKey(std::string_view session_key, const std::string& public_key,
                                const std::string& host, int port, int identifier) {
  SendKeyMessage(session_key, public_key, host, port, identifier);
}

void DatagramTransport::SendSecure(const std::string& host, int port, std::string_view text,
                                   int identifier, const std::string& public_key,
                                   std::string_view session_key) {
  SendSecureMessage(host, port, text, identifier, public_key, session_key);
}

void DatagramTransport::SendDual(std::string_view first_block, std::string_view second_block,
                                 const std::string& host, int identifier, int port) {
  SendDualMessage(first_block, second_block, host, identifier, port);
}

void DatagramTransport::Pause(int milliseconds) {
  pelvane::Pause(milliseconds);  // the process-wide pause (pacing.h), not this method
}

}  // namespace pelvane
