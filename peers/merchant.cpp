#include "peers/merchant.h"

#include "crypto/secure.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "peers/order_text.h"
#include "peers/peer_wire.h"
#include "protocol/messages.h"
#include "protocol/ports.h"
#include "protocol/refusal.h"

namespace pelvane::peers {

namespace {

constexpr std::size_t kMaxPending = 1024;
constexpr char kOrderRefusedPrefix[] = "*** Objedn\xE1vka byla odm\xEDtnuta: ";
constexpr char kNotDispatchedPrefix[] = "*** Zbo\x9E\xED nebylo odesl\xE1no: ";
// "blok pro platební bránu je příliš dlouhý"
constexpr char kGatewayBlockTooLong[] =
    "blok pro platebn\xED br\xE1nu je p\xF8\xEDli\x9A dlouh\xFD";

// The secure block that starts at pos of a dual frame (len4 + body), advancing pos.
std::string TakeBlock(const std::string& frame, std::size_t& pos) {
  if (frame.size() < pos + 4) throw EPeerFrame("The dual message is cut short");
  const std::string_view digits = std::string_view(frame).substr(pos, 4);
  for (char c : digits) {
    if (!IsHexDigit(c)) throw EPeerFrame("A block length of the dual message is not hexadecimal");
  }
  const auto length = static_cast<std::size_t>(HexFieldToInt(digits));
  if (frame.size() < pos + 4 + length) throw EPeerFrame("A block of the dual message is cut short");
  std::string block = frame.substr(pos, 4 + length);
  pos += 4 + length;
  return block;
}

std::string NewReference() {
  unsigned char bytes[8];
  SecureRandomBytes(bytes, sizeof bytes);
  std::string reference;
  for (unsigned char b : bytes)
    reference += IntToHex(b, 2);
  return reference;
}

}  // namespace

Merchant::Merchant(const std::string& bind_address, const std::string& gateway_host, LogSink log,
                   PeerSeam seam)
    : PeerBase("merchant", bind_address, kMerchantPort, kMsgMerchantKey, std::move(log),
               std::move(seam)),
      gateway_ip_(ResolveIpv4(gateway_host)) {}

bool Merchant::Handle(int id, const std::string& frame, const std::string& from_ip, int from_port) {
  if (id == kMsgDualOrder) {
    OnOrder(frame, from_ip);
    return true;
  }
  if (id == kMsgAuthorizationResult) {
    OnAuthorizationResult(frame, from_ip, from_port);
    return true;
  }
  return false;
}

void Merchant::OnOrder(const std::string& frame, const std::string& ip) {
  WalletKeys* wallet = Wallet(ip, true);
  if (wallet == nullptr) return;
  std::size_t pos = 2;
  const std::string gateway_block = TakeBlock(frame, pos);
  const std::string merchant_block = TakeBlock(frame, pos);

  const std::string order_text = OpenFromWallet(std::string("4F") + merchant_block, *wallet);
  if (IsRefusal(order_text)) {
    SendSecureToWallet(ip, *wallet, kMsgMerchantReport,
                       kOrderRefusedPrefix + StripRefusalMark(order_text));
    return;
  }
  Order order;
  if (const auto reason = ParseOrder(order_text, order)) {
    SendSecureToWallet(ip, *wallet, kMsgMerchantReport, kOrderRefusedPrefix + *reason);
    return;
  }
  const std::string reference = NewReference();
  // The request carries the gateway block as hexadecimal text, twice its size: a block too
  // long for that is refused before the order is taken.
  const std::string request = BuildPlainFrame(
      PackFields({reference, ip, std::to_string(order.total), kMerchantAccount, gateway_block}),
      kMsgAuthorizationRequest);
  if (request.size() > kMaxFrameSize) {
    SendSecureToWallet(ip, *wallet, kMsgMerchantReport,
                       std::string(kOrderRefusedPrefix) + kGatewayBlockTooLong);
    return;
  }
  Log("order " + reference + " from the wallet at " + ip + ":");
  for (const OrderItem& item : order.items) {
    LogText("  " + std::to_string(item.count) + " x " + std::to_string(item.price) + " CZK  ",
            item.name);
  }
  Log("  total " + std::to_string(order.total) + " CZK; asking the payment gateway");
  if (orders_.size() >= kMaxPending) orders_.erase(orders_.begin());
  orders_[reference] = PendingOrder{ip, order.total};
  SendFrame(gateway_ip_, kGatewayPort, request);
}

void Merchant::OnAuthorizationResult(const std::string& frame, const std::string& ip, int port) {
  if (ip != gateway_ip_ || port != kGatewayPort) {
    Log("authorization result from " + ip + ":" + std::to_string(port) +
        " ignored: not the payment gateway");
    return;
  }
  const std::vector<std::string> fields = UnpackFields(GetMessageBody(frame), 3);
  const std::string& reference = fields[0];
  const std::string& status = fields[1];
  const std::string& detail = fields[2];
  const auto it = orders_.find(reference);
  if (it == orders_.end()) {
    Log("authorization result for unknown order " + reference + "; ignored");
    return;
  }
  const PendingOrder order = it->second;
  orders_.erase(it);
  if (status != kResultPaid && status != kResultRefused) {
    throw EPeerFrame("Unknown authorization result " + status);
  }
  WalletKeys* wallet = Wallet(order.wallet_ip, true);
  if (wallet == nullptr) return;
  if (status == kResultPaid) {
    // "Zboží bylo odesláno. Objednávka č. REF, zaplaceno N Kč."
    SendSecureToWallet(order.wallet_ip, *wallet, kMsgMerchantReport,
                       std::string(kDispatchedText) + " Objedn\xE1vka \xE8. " + reference +
                           ", zaplaceno " + std::to_string(order.total) + " K\xE8.");
  } else {
    SendSecureToWallet(order.wallet_ip, *wallet, kMsgMerchantReport,
                       kNotDispatchedPrefix + StripRefusalMark(detail));
  }
}

}  // namespace pelvane::peers
