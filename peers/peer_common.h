// What the three simulated peers share: the ports and message identifiers, the frames they
// exchange among themselves, the keys each wallet gave them, logging, and the parsing of an
// order text.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/exception.h"
#include "crypto/rsa/keygen.h"
#include "peers/peer_socket.h"

namespace pelvane::peers {

inline constexpr int kBankPort = 2001;
inline constexpr int kGatewayPort = 2003;
inline constexpr int kMerchantPort = 2004;

// Identifiers of the wallet protocol.
enum WalletMessage : int {
  kMsgCustomerDigest = 1,
  kMsgBalance = 2,
  kMsgPaymentConfirmed = 10,
  kMsgPaymentList = 13,
  kMsgWalletRefusal = 21,
  kMsgMerchantReport = 23,
  kMsgGatewayRefusal = 25,
  kMsgGatewayAddressRequest = 75,
  kMsgGatewayAddress = 76,
  kMsgDualOrder = 79,
  kMsgSessionKey = 89,
  kMsgGatewayKey = 95,
  kMsgMerchantKey = 96,
  kMsgBankKey = 98,
  kMsgWalletKey = 99,
};

// Identifiers the peers use among themselves (the wallet never uses them). Each is a plain
// frame whose data is a list of fields, each field len4(field) + field.
enum PeerMessage : int {
  kMsgAuthorizationRequest = 0xA0,  // merchant -> gateway
  kMsgAuthorizationResult = 0xA1,   // gateway -> merchant
  kMsgDebitRequest = 0xB0,          // gateway -> bank
  kMsgDebitResult = 0xB1,           // bank -> gateway
};

// Result words of the peer-to-peer results.
inline constexpr char kResultPaid[] = "PAID";
inline constexpr char kResultRefused[] = "REFUSED";

// A peer-to-peer frame whose fields are missing or malformed.
class EPeerFrame : public Exception {
  using Exception::Exception;
};

// The data of a peer-to-peer frame: each field as len4(field) + field.
std::string PackFields(const std::vector<std::string>& fields);
// The fields of PackFields' output; exactly count of them, or EPeerFrame.
std::vector<std::string> UnpackFields(std::string_view data, std::size_t count);

// A whole crown amount as decimal text, and back. ParseAmount accepts only decimal digits
// (at most ten, value at most 2147483647) and throws EPeerFrame otherwise.
std::int64_t ParseAmount(std::string_view text);

// A refusal text without its leading "***" and blanks; other texts unchanged.
std::string StripRefusalMark(std::string_view text);

// One ordered article of a merchant block.
struct OrderItem {
  std::string name;  // Windows-1250
  std::int64_t count = 0;
  std::int64_t price = 0;
};

struct Order {
  std::vector<OrderItem> items;
  std::int64_t total = 0;  // the sum of the prices (the count does not multiply the price)
};

// Parses an order text (lines name;count;price ending with CR LF; a last line without a break
// is accepted, empty lines are skipped). Returns the reason (Windows-1250, no "***") when the
// order cannot be accepted: no items, a line without two ";", a count or price that is not an
// integer, a count below 1, a negative price, a total of 0 or above 2147483647.
std::optional<std::string> ParseOrder(std::string_view text, Order& order);

// A log line sink taking UTF-8 text.
using LogSink = std::function<void(const std::string& line)>;

// Writes "hh:mm:ss [peer] line" to standard error.
LogSink StderrLog();

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
