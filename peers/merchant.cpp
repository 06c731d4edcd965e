#include "peers/merchant.h"

#include "crypto/formats/charset.h"
#include "crypto/formats/formats.h"
#include "crypto/hash/hash.h"
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

// Orders remembered at most (for repeats); the oldest goes first.
constexpr std::size_t kMaxOrders = 4096;
constexpr char kOrderRefusedPrefix[] = "*** Objedn\xE1vka byla odm\xEDtnuta: ";
constexpr char kNotDispatchedPrefix[] = "*** Zbo\x9E\xED nebylo odesl\xE1no: ";
// "platební brána neodpovídá"
constexpr char kGatewaySilentReason[] =
    "platebn\xED br\xE1na neodpov\xED"
    "d\xE1";
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

}  // namespace

Merchant::Merchant(const std::string& bind_address, const std::string& gateway_host, LogSink log,
                   PeerSeam seam)
    : PeerBase("merchant", bind_address, kMerchantPort, kMsgMerchantKey, std::move(log),
               std::move(seam)),
      gateway_ip_(ResolveIpv4(gateway_host)),
      retrier_(
          AuthorizationRetry(),
          [this](const std::string& reference, int try_number) {
            const auto it = orders_.find(reference);
            if (it == orders_.end()) return;
            Log("no answer from the payment gateway about order " + reference + "; try " +
                std::to_string(try_number));
            AskGateway(reference);
          },
          [this](const std::string& reference) { GatewaySilent(reference); }) {}

RetryPolicy Merchant::AuthorizationRetry() {
  // Four datagrams make the round trip (to the gateway, to the bank and back); the gateway
  // gives up on the bank before the merchant gives up on the gateway.
  RetryPolicy policy;
  policy.tries = 6;
  policy.hops = 4;
  policy.margin_ms = 400;
  policy.grace_ms = 1500;
  return policy;
}

std::string Merchant::OrderReference(const std::string& frame) {
  return THash::HashString(THash_SHA1::StaticClass(), frame, nullptr, kFormatHex).substr(0, 16);
}

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
  // The same frame is the same order, from whatever address it comes: a replay of a wallet's
  // key messages and order from elsewhere cannot make a second payment.
  const std::string reference = OrderReference(frame);
  if (const auto known = orders_.find(reference); known != orders_.end()) {
    if (!known->second.settled || retrier_.Waiting(reference)) {
      Log("order " + reference + " repeated while the gateway is being asked; nothing to do");
      return;
    }
    // The wallet sends the same order again: it has not heard the outcome. The gateway tells
    // it again (it answers a repeated reference from its records, the bank is not asked
    // twice), then the report follows.
    Log("order " + reference + " repeated after it was settled; asking the gateway to repeat " +
        "the outcome");
    known->second.retelling = true;
    known->second.retell_to = ip;
    AskGateway(reference);
    retrier_.Sent(reference);
    return;
  }
  WalletKeys* wallet = Wallet(ip, true);
  if (wallet == nullptr) return;
  std::size_t pos = 2;
  const std::string gateway_block = TakeBlock(frame, pos);
  const std::string merchant_block = TakeBlock(frame, pos);

  const WipedString opened(OpenFromWallet(std::string("4F") + merchant_block, *wallet));
  const std::string& order_text = *opened;
  if (IsRefusal(order_text) && wallet->carried_over) {
    // Most likely sealed with this exchange's key, whose 89 has not arrived yet; the wallet
    // could not read a refusal sealed with the old one either.
    Log("the order does not open with the session key of the wallet's last exchange; ignored");
    return;
  }
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
  // The request carries the gateway block as hexadecimal text, twice its size: a block too
  // long for that, with room for the longest address to tell again, is refused before the
  // order is taken.
  std::vector<std::string> request_fields = {
      reference,        ip, std::to_string(order.total), kMerchantAccount, gateway_block,
      "255.255.255.255"};
  const std::string request = BuildPlainFrame(PackFields(request_fields), kMsgAuthorizationRequest);
  request_fields.back().clear();
  if (request.size() > kMaxFrameSize) {
    SendSecureToWallet(ip, *wallet, kMsgMerchantReport,
                       std::string(kOrderRefusedPrefix) + kGatewayBlockTooLong);
    return;
  }
  if (observer_ != nullptr) {
    if (const auto reason = observer_->OrderArrived(reference, order_text)) {
      Log("order " + reference + " refused by the shop");
      SendSecureToWallet(ip, *wallet, kMsgMerchantReport, kOrderRefusedPrefix + *reason);
      return;
    }
  }
  Log("order " + reference + " from the wallet at " + ip + ":");
  for (const OrderItem& item : order.items) {
    LogPrivate("  " + std::to_string(item.count) + " x " + std::to_string(item.price) + " CZK",
               Cp1250ToUtf8(item.name));
  }
  Log("  total " + std::to_string(order.total) + " CZK; asking the payment gateway");
  if (orders_.size() >= kMaxOrders && !order_age_.empty()) {
    retrier_.Answered(order_age_.front());
    orders_.erase(order_age_.front());
    order_age_.pop_front();
  }
  OrderRecord& record = orders_[reference];
  record.wallet_ip = ip;
  record.total = order.total;
  record.keys = *wallet;
  record.request_fields = std::move(request_fields);
  order_age_.push_back(reference);
  SendFrame(gateway_ip_, kGatewayPort, request);
  retrier_.Sent(reference);
}

void Merchant::AskGateway(const std::string& reference) {
  OrderRecord& record = orders_.at(reference);
  record.request_fields.back() = record.retelling ? record.retell_to : "";
  SendFrame(gateway_ip_, kGatewayPort,
            BuildPlainFrame(PackFields(record.request_fields), kMsgAuthorizationRequest));
}

void Merchant::GatewaySilent(const std::string& reference) {
  const auto it = orders_.find(reference);
  if (it == orders_.end() || it->second.settled) return;
  Log("the payment gateway never answered about order " + reference + "; refusing it");
  it->second.settled = true;
  it->second.gave_up = true;
  it->second.report = kNotDispatchedPrefix + std::string(kGatewaySilentReason);
  Report(reference);
  if (observer_ != nullptr) observer_->OrderRefused(reference, kGatewaySilentReason);
}

void Merchant::Report(const std::string& reference) {
  const OrderRecord& record = orders_.at(reference);
  SendSecureToWallet(record.wallet_ip, record.keys, kMsgMerchantReport, record.report);
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
  if (status != kResultPaid && status != kResultRefused) {
    throw EPeerFrame("Unknown authorization result " + status);
  }
  retrier_.Answered(reference);
  OrderRecord& order = it->second;
  if (order.settled && !order.gave_up) {
    // The answer to a repeat of the order: the report the wallet got the first time. A
    // duplicate answer, or the answer to a retry, changes nothing.
    if (order.retelling) {
      order.retelling = false;
      SendSecureToWallet(order.retell_to, order.keys, kMsgMerchantReport, order.report);
    }
    return;
  }
  if (order.gave_up) {
    Log("late answer from the payment gateway about order " + reference + ": " + status);
  }
  order.settled = true;
  order.gave_up = false;
  if (status == kResultPaid) {
    // "Zboží bylo odesláno. Objednávka č. REF, zaplaceno N Kč."
    order.report = std::string(kDispatchedText) + " Objedn\xE1vka \xE8. " + reference +
                   ", zaplaceno " + std::to_string(order.total) + " K\xE8.";
  } else {
    order.report = kNotDispatchedPrefix + StripRefusalMark(detail);
  }
  Report(reference);
  if (observer_ == nullptr) return;
  if (status == kResultPaid) {
    observer_->OrderPaid(reference, order.total, std::chrono::system_clock::now());
    observer_->OrderDispatched(reference);
  } else {
    observer_->OrderRefused(reference, StripRefusalMark(detail));
  }
}

}  // namespace pelvane::peers
