// The part every simulated peer shares: its socket (or a send function), its key pair, the keys
// each wallet gave it (messages 99 and 89), the answer with its own key, and a log with the
// peer's name.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "crypto/rsa/keygen.h"
#include "peers/peer_log.h"
#include "peers/peer_socket.h"

namespace pelvane::peers {

// What a peer knows about one wallet (by its address): the wallet's public key (message 99)
// and the session key it sent (message 89).
struct WalletKeys {
  std::string public_key;
  std::string session_key;
  // The session key came in the wallet's previous exchange: the wallet announced the same key
  // again (99) and has not sent this exchange's 89 yet. A block that does not open with it may
  // well open with the 89 still on its way, so it is not refused.
  bool carried_over = false;
  ~WalletKeys();
};

// Sends one datagram: (host, port, bytes).
using SendFunction =
    std::function<void(const std::string& host, int port, const std::string& bytes)>;

// A peer without a socket (tests, fuzzing): when send is set, the peer binds nothing and its
// datagrams go to send; when keys holds a public key, the peer uses that pair instead of a
// fresh one. Datagrams are then handed in with PeerBase::OnDatagram.
struct PeerSeam {
  SendFunction send;
  RsaKeyPair keys;
};

// The part every peer shares: its socket, its key pair, the wallets' keys, the answer to 99
// and the reception of 89, and a log with the peer's name.
class PeerBase {
 public:
  PeerBase(std::string name, const std::string& bind_address, int port, int key_message,
           LogSink log, PeerSeam seam = {});
  virtual ~PeerBase();
  PeerBase(const PeerBase&) = delete;
  PeerBase& operator=(const PeerBase&) = delete;

  const std::string& PublicKey() const noexcept { return keys_.public_key; }

  // Handles one datagram from from_ip:from_port, as the socket does for each it receives.
  // Failures propagate (the socket logs them).
  void OnDatagram(const std::string& datagram, const std::string& from_ip, int from_port);

 protected:
  // Runs the step for a wallet or peer message other than 99 and 89; returns false for an
  // identifier the peer has no step for.
  virtual bool Handle(int id, const std::string& frame, const std::string& from_ip,
                      int from_port) = 0;

  // A wallet announced its key (message 99): a new exchange starts, so what the peer learned
  // in that wallet's earlier exchange is forgotten.
  virtual void OnNewExchange(const std::string& /*wallet_ip*/) {}
  // Whether a 99 that repeats the key already stored for its address starts a new exchange
  // too. The gateway and the merchant keep the session key then: a repeated or replayed 99
  // arriving between a wallet's 89 and its order must not make them drop the order. Any 99
  // with another key starts a new exchange everywhere.
  virtual bool RepeatedKeyStartsNewExchange() const { return false; }

  void Log(const std::string& utf8_line) const;
  // Logs a Windows-1250 text, prefixed by a UTF-8 label.
  void LogText(const std::string& label, const std::string& cp1250_text) const;

  // The keys the wallet at ip sent; nullptr when it sent no public key yet, or (with
  // need_session) no session key.
  WalletKeys* Wallet(const std::string& ip, bool need_session);
  // Opens a secure frame from the wallet at ip with its session key and our key pair.
  std::string OpenFromWallet(const std::string& frame, const WalletKeys& wallet) const;
  // Sends a secure frame to the wallet (its port 2000), sealed with its keys.
  void SendSecureToWallet(const std::string& ip, const WalletKeys& wallet, int id,
                          const std::string& text);
  // Sends one frame; one longer than a datagram carries (kMaxFrameSize) throws
  // EEnvelopeTooLarge and is not sent.
  void SendFrame(const std::string& host, int port, const std::string& frame);

  PeerSocket& Socket() { return *socket_; }

 private:
  std::string name_;
  LogSink log_;
  int key_message_;
  RsaKeyPair keys_;
  std::map<std::string, WalletKeys> wallets_;
  SendFunction send_;
  std::unique_ptr<PeerSocket> socket_;  // none when send_ is set
};

}  // namespace pelvane::peers
