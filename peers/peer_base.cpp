#include "peers/peer_base.h"

#include <utility>

#include "crypto/formats/charset.h"
#include "crypto/rsa/rsa.h"
#include "crypto/secure.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "protocol/key_message.h"
#include "protocol/messages.h"
#include "protocol/ports.h"

namespace pelvane::peers {

namespace {

// Wallets remembered at most; the oldest entry goes when a new address would exceed it.
constexpr std::size_t kMaxWallets = 256;

}  // namespace

WalletKeys::~WalletKeys() {
  SecureWipe(session_key);
}

PeerBase::PeerBase(std::string name, const std::string& bind_address, int port, int key_message,
                   LogSink log, PeerSeam seam)
    : name_(std::move(name)),
      log_(std::move(log)),
      key_message_(key_message),
      keys_(seam.keys.public_key.empty() ? GenerateRsaKeyPair(kb0512) : std::move(seam.keys)),
      send_(std::move(seam.send)) {
  if (send_) return;
  socket_ = std::make_unique<PeerSocket>(bind_address, port);
  socket_->OnDatagram = [this](const std::string& datagram, const std::string& from_ip,
                               int from_port) { OnDatagram(datagram, from_ip, from_port); };
  socket_->OnError = [this](const std::string& message) {
    Log("datagram rejected: " + Cp1250ToUtf8(message));
  };
  Log("listening on " + bind_address + ":" + std::to_string(port));
}

PeerBase::~PeerBase() = default;

void PeerBase::Log(const std::string& utf8_line) const {
  if (!log_) return;
  // Control characters (from malformed datagrams quoted in a message) would garble the
  // terminal; they are shown as \xNN, and line breaks of multi-line texts as " | ".
  std::string line = "[" + name_ + "] ";
  for (std::size_t i = 0; i < utf8_line.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8_line[i]);
    if (c == '\r' && i + 1 < utf8_line.size() && utf8_line[i + 1] == '\n') continue;
    if (c == '\n') {
      line += " | ";
    } else if (c < 0x20 || c == 0x7F) {
      line += "\\x" + IntToHex(c, 2);
    } else {
      line += static_cast<char>(c);
    }
  }
  log_(line);
}

void PeerBase::LogText(const std::string& label, const std::string& cp1250_text) const {
  Log(label + Cp1250ToUtf8(cp1250_text));
}

WalletKeys* PeerBase::Wallet(const std::string& ip, bool need_session) {
  const auto it = wallets_.find(ip);
  if (it == wallets_.end()) {
    Log("no public key from the wallet at " + ip + " yet (message 99 missing); ignored");
    return nullptr;
  }
  if (need_session && it->second.session_key.empty()) {
    Log("no session key from the wallet at " + ip + " yet (message 89 missing); ignored");
    return nullptr;
  }
  return &it->second;
}

std::string PeerBase::OpenFromWallet(const std::string& frame, const WalletKeys& wallet) const {
  return OpenSecureMessage(frame, wallet.session_key, keys_.public_key, keys_.private_key);
}

void PeerBase::SendSecureToWallet(const std::string& ip, const WalletKeys& wallet, int id,
                                  const std::string& text) {
  const std::string frame = BuildSecureFrame(text, id, wallet.public_key, wallet.session_key);
  SendFrame(ip, kWalletPort, frame);
  LogText("sent " + std::to_string(id) + " to the wallet at " + ip + ": ", text);
}

void PeerBase::SendFrame(const std::string& host, int port, const std::string& frame) {
  // Every receiver of the protocol takes frames of at most kMaxFrameSize bytes.
  if (frame.size() > kMaxFrameSize) {
    throw EEnvelopeTooLarge("A frame of " + std::to_string(frame.size()) +
                            " bytes does not fit one datagram (at most " +
                            std::to_string(kMaxFrameSize) + ")");
  }
  if (send_) {
    send_(host, port, frame);
  } else {
    socket_->Send(host, port, frame);
  }
}

void PeerBase::OnDatagram(const std::string& datagram, const std::string& from_ip, int from_port) {
  const std::string from = from_ip + ":" + std::to_string(from_port);
  if (datagram.size() < 2) {
    Log("received " + std::to_string(datagram.size()) + " bytes from " + from +
        ": not a message frame; ignored");
    return;
  }
  const int id = MessageIdOf(datagram);
  Log("received message " + std::to_string(id) + " (" + std::to_string(datagram.size()) +
      " bytes) from " + from);

  if (id == kMsgWalletKey) {
    std::string key = PublicKeyOfKeyMessage(datagram);
    if (wallets_.find(from_ip) == wallets_.end() && wallets_.size() >= kMaxWallets) {
      wallets_.erase(wallets_.begin());
    }
    WalletKeys& wallet = wallets_[from_ip];
    if (wallet.public_key != key || RepeatedKeyStartsNewExchange()) {
      wallet.public_key = std::move(key);
      SecureWipe(wallet.session_key);
      wallet.carried_over = false;
      OnNewExchange(from_ip);
    } else {
      wallet.carried_over = !wallet.session_key.empty();
    }
    Log("stored the wallet's public key; answering with " + std::to_string(key_message_));
    SendFrame(from_ip, kWalletPort, BuildPlainFrame(keys_.public_key, key_message_));
    return;
  }
  if (id == kMsgSessionKey) {
    WalletKeys* wallet = Wallet(from_ip, false);
    if (wallet == nullptr) return;
    WipedString cipher_text(GetMessageBody(datagram));
    TRSA rsa;
    rsa.SetKeyBits(kb0512);
    rsa.SetPublicKey(keys_.public_key);
    rsa.SetPrivateKey(keys_.private_key);
    WipedString session_key(rsa.DecryptString(*cipher_text));
    if (session_key->size() != static_cast<std::size_t>(kSessionKeyLength)) {
      Log("the session key has " + std::to_string(session_key->size()) + " bytes, not " +
          std::to_string(kSessionKeyLength) + "; ignored");
      return;
    }
    SecureWipe(wallet->session_key);
    wallet->session_key = *session_key;
    wallet->carried_over = false;
    Log("stored the wallet's session key");
    return;
  }
  if (!Handle(id, datagram, from_ip, from_port)) {
    Log("no step for message " + std::to_string(id) + "; ignored");
  }
}

}  // namespace pelvane::peers
