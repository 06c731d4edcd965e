// How the wallet's datagrams leave: after the process-wide pacing pause (messaging/pacing.h),
// each from a fresh TUDPSocket that tries to bind the wallet's port, so that a peer sees the
// wallet's port as the sender's whenever the receiver does not hold it.
#pragma once

#include <string>
#include <string_view>

namespace pelvane {

// Pauses PacingMs(), then sends text unchanged as one datagram to host:port from a fresh
// TUDPSocket that tries to bind kWalletPort. A port of 0 or below leaves the remote port at 0.
// Errors of TUDPSocket::SendStream go on to the caller unchanged.
void SendDatagram(const std::string& host, int port, std::string_view text);

// Builds the plain frame of data under identifier and sends it with SendDatagram.
void SendPlainMessage(const std::string& host, int port, std::string_view data, int identifier);

// Builds the key frame and sends it to host:port with SendDatagram.
void SendKeyMessage(std::string_view data, const std::string& public_key, const std::string& host,
                    int port, int identifier);

// Builds the secure frame and sends it to host:port with SendDatagram.
void SendSecureMessage(const std::string& host, int port, std::string_view text, int identifier,
                       const std::string& public_key, std::string_view session_key);

// Builds the dual frame and sends it to host:port. A frame that is too large is refused before
// anything is sent.
void SendDualMessage(std::string_view first_block, std::string_view second_block,
                     const std::string& host, int identifier, int port);

}  // namespace pelvane
