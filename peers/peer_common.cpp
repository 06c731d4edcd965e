#include "peers/peer_common.h"

#include <QDateTime>
#include <cstdio>
#include <utility>

#include "crypto/formats/charset.h"
#include "crypto/rsa/rsa.h"
#include "crypto/secure.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"

namespace pelvane::peers {

namespace {

// Wallets remembered at most; the oldest entry goes when a new address would exceed it.
constexpr std::size_t kMaxWallets = 256;

// An integer text as the wallet's runtime converts it: optional blanks, an optional sign,
// decimal digits, nothing after them.
std::optional<std::int64_t> ParseInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t digits_start = i;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    if (i - digits_start >= 10) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  if (i == digits_start) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace

std::string PackFields(const std::vector<std::string>& fields) {
  std::string data;
  for (const std::string& field : fields) {
    if (field.size() > 0xFFFF) throw EPeerFrame("A field is too long for its length digits");
    data += IntToHex(static_cast<std::int32_t>(field.size()), 4);
    data += field;
  }
  return data;
}

std::vector<std::string> UnpackFields(std::string_view data, std::size_t count) {
  std::vector<std::string> fields;
  std::size_t pos = 0;
  while (pos < data.size()) {
    if (data.size() - pos < 4) throw EPeerFrame("A field length is cut short");
    const std::string_view digits = data.substr(pos, 4);
    for (char c : digits) {
      const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
      if (!hex) throw EPeerFrame("A field length is not hexadecimal");
    }
    const auto length = static_cast<std::size_t>(HexFieldToInt(digits));
    pos += 4;
    if (data.size() - pos < length) throw EPeerFrame("A field is shorter than its length");
    fields.emplace_back(data.substr(pos, length));
    pos += length;
  }
  if (fields.size() != count) {
    throw EPeerFrame("Expected " + std::to_string(count) + " fields, found " +
                     std::to_string(fields.size()));
  }
  return fields;
}

std::int64_t ParseAmount(std::string_view text) {
  if (text.empty() || text.size() > 10) throw EPeerFrame("Not an amount: " + std::string(text));
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw EPeerFrame("Not an amount: " + std::string(text));
    value = value * 10 + (c - '0');
  }
  if (value > 2147483647) throw EPeerFrame("Amount too large: " + std::string(text));
  return value;
}

std::string StripRefusalMark(std::string_view text) {
  if (text.substr(0, 3) != "***") return std::string(text);
  text.remove_prefix(3);
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  return std::string(text);
}

std::optional<std::string> ParseOrder(std::string_view text, Order& order) {
  order = Order{};
  std::size_t line_number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end);
    if (text.substr(0, 2) == "\r\n") {
      text.remove_prefix(2);
    } else if (!text.empty()) {
      text.remove_prefix(1);
    }
    ++line_number;
    if (line.empty()) continue;
    const std::string where = "polo\x9Eka " + std::to_string(line_number) + ": ";
    const std::size_t first = line.find(';');
    const std::size_t second = first == std::string_view::npos ? first : line.find(';', first + 1);
    if (second == std::string_view::npos) {
      return where +
             "chyb\xED po\xE8"
             "et nebo cena";
    }
    OrderItem item;
    item.name = std::string(line.substr(0, first));
    const auto count = ParseInteger(line.substr(first + 1, second - first - 1));
    const auto price = ParseInteger(line.substr(second + 1));
    if (!count || !price)
      return where +
             "po\xE8"
             "et a cena mus\xED b\xFDt cel\xE1 \xE8\xEDsla";
    if (*count < 1)
      return where +
             "po\xE8"
             "et mus\xED b\xFDt aspo\xF2 1";
    if (*price < 0) return where + "cena nesm\xED b\xFDt z\xE1porn\xE1";
    item.count = *count;
    item.price = *price;
    order.total += item.price;
    if (order.total > 2147483647)
      return std::string("celkov\xE1 cena je p\xF8\xEDli\x9A vysok\xE1");
    order.items.push_back(std::move(item));
  }
  if (order.items.empty())
    return std::string(
        "objedn\xE1vka neobsahuje \x9E\xE1"
        "dn\xE9 zbo\x9E\xED");
  if (order.total == 0) return std::string("celkov\xE1 cena objedn\xE1vky je nulov\xE1");
  return std::nullopt;
}

LogSink StderrLog() {
  return [](const std::string& line) {
    const std::string stamp = QTime::currentTime().toString("hh:mm:ss").toStdString();
    std::fprintf(stderr, "%s %s\n", stamp.c_str(), line.c_str());
    std::fflush(stderr);
  };
}

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
  const int id = HexFieldToInt(std::string_view(datagram).substr(0, 2));
  Log("received message " + std::to_string(id) + " (" + std::to_string(datagram.size()) +
      " bytes) from " + from);

  if (id == kMsgWalletKey) {
    std::string key = GetMessageBody(datagram);
    TRSA check;
    check.SetKeyBits(kb0512);
    check.SetPublicKey(key);  // throws for a text that is no public key
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
