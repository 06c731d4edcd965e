#include "peers/gateway.h"

#include <QDateTime>

#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "peers/peer_wire.h"
#include "protocol/messages.h"
#include "protocol/ports.h"
#include "protocol/refusal.h"

namespace pelvane::peers {

namespace {

// Orders remembered at most (for repeats); the oldest goes first.
constexpr std::size_t kMaxOrders = 4096;
constexpr std::size_t kMaxReference = 64;
constexpr char kRefusedPrefix[] = "*** Platba zam\xEDtnuta: ";
constexpr char kBadBlockReason[] = "Blok pro platebn\xED br\xE1nu nelze otev\xF8\xEDt.";
// "Banka neodpovídá."
constexpr char kBankSilentReason[] =
    "Banka neodpov\xED"
    "d\xE1.";

long long NowMs() {
  return QDateTime::currentMSecsSinceEpoch();
}

}  // namespace

Gateway::Gateway(const std::string& bind_address, const std::string& bank_host, LogSink log,
                 PeerSeam seam, const std::string& merchant_host)
    : PeerBase("gateway", bind_address, kGatewayPort, kMsgGatewayKey, std::move(log),
               std::move(seam)),
      bank_ip_(ResolveIpv4(bank_host)),
      merchant_ip_(ResolveIpv4(merchant_host.empty() ? bind_address : merchant_host)),
      retrier_(
          DebitRetry(),
          [this](const std::string& reference, int try_number) {
            const auto it = orders_.find(reference);
            if (it == orders_.end()) return;
            Log("no answer from the bank about order " + reference + "; try " +
                std::to_string(try_number));
            SendFrame(bank_ip_, kBankPort, it->second.request);
          },
          [this](const std::string& reference) { BankSilent(reference); }) {}

RetryPolicy Gateway::DebitRetry() {
  RetryPolicy policy;
  policy.tries = 5;
  policy.hops = 2;
  policy.margin_ms = 300;
  // Between the deadline the bank keeps and the give-up: a debit made just before the deadline
  // has its answer back before the wallet could be told "refused".
  policy.grace_ms = 1000;
  return policy;
}

bool Gateway::Handle(int id, const std::string& frame, const std::string& from_ip, int from_port) {
  if (id == kMsgAuthorizationRequest) {
    OnAuthorizationRequest(frame, from_ip, from_port);
    return true;
  }
  if (id == kMsgDebitResult) {
    OnDebitResult(frame, from_ip, from_port);
    return true;
  }
  return false;
}

Gateway::Authorization& Gateway::Remember(const std::string& reference) {
  if (orders_.size() >= kMaxOrders && !order_age_.empty()) {
    retrier_.Answered(order_age_.front());
    orders_.erase(order_age_.front());
    order_age_.pop_front();
  }
  order_age_.push_back(reference);
  return orders_[reference];
}

void Gateway::Announce(const std::string& reference, const std::string& wallet_ip) {
  const Authorization& order = orders_.at(reference);
  const bool paid = order.outcome == Outcome::kPaid;
  if (!wallet_ip.empty()) {
    SendSecureToWallet(wallet_ip, order.keys, paid ? kMsgPaymentConfirmed : kMsgGatewayRefusal,
                       paid ? order.detail : kRefusedPrefix + StripRefusalMark(order.detail));
  }
  SendFrame(order.merchant_ip, order.merchant_port,
            BuildPlainFrame(PackFields({reference, paid ? kResultPaid : kResultRefused,
                                        paid ? order.detail : StripRefusalMark(order.detail)}),
                            kMsgAuthorizationResult));
  LogText("told the merchant " + order.merchant_ip + ":" + std::to_string(order.merchant_port) +
              " about order " + reference + ": " + (paid ? kResultPaid : kResultRefused) + " ",
          order.detail);
}

void Gateway::Settle(const std::string& reference, Outcome outcome, const std::string& detail) {
  Authorization& order = orders_.at(reference);
  order.outcome = outcome;
  order.detail = detail;
  Announce(reference, order.wallet_ip);
}

void Gateway::OnAuthorizationRequest(const std::string& frame, const std::string& ip, int port) {
  if (ip != merchant_ip_ || port != kMerchantPort) {
    Log("authorization request from " + ip + ":" + std::to_string(port) +
        " ignored: not the merchant");
    return;
  }
  const std::vector<std::string> fields = UnpackFields(GetMessageBody(frame), 6);
  const std::string& reference = fields[0];
  const std::string& wallet_ip = fields[1];
  const std::int64_t amount = ParseAmount(fields[2]);
  const std::string& merchant_account = fields[3];
  const std::string& gateway_block = fields[4];
  // The address that sent the order again, when one did: it has not heard the outcome.
  const std::string& retell_to = fields[5];
  if (reference.empty() || reference.size() > kMaxReference) {
    throw EPeerFrame("The order reference is empty or too long");
  }
  LogText("authorization request " + reference + " for " + std::to_string(amount) +
              " CZK from the merchant with account ",
          merchant_account);
  if (const auto known = orders_.find(reference); known != orders_.end()) {
    const Authorization& order = known->second;
    if (order.wallet_ip != wallet_ip || order.amount != amount ||
        order.merchant_account != merchant_account || order.gateway_block != gateway_block) {
      Log("order " + reference + " was requested before with other content; ignored");
      return;
    }
    if (order.outcome == Outcome::kPending) {
      Log("order " + reference + " is already being paid; repeated request ignored");
      return;
    }
    Log("order " + reference + " was settled before; repeating its outcome to the merchant" +
        (retell_to.empty() ? "" : " and the wallet at " + retell_to));
    Announce(reference, retell_to);
    return;
  }

  WalletKeys* wallet = Wallet(wallet_ip, true);
  if (wallet == nullptr) {
    // Nothing is settled: the wallet's keys may still be on their way, and the merchant asks
    // again.
    return;
  }
  std::string digest;
  try {
    digest = OpenFromWallet(std::string("4F") + gateway_block, *wallet);
  } catch (const Exception& e) {
    LogText("the gateway block does not open: ", e.Message());
    digest = std::string("*** ") + kBadBlockReason;
  }
  if (IsRefusal(digest) && wallet->carried_over) {
    Log("the gateway block does not open with the session key of the wallet's last exchange; "
        "waiting for its new one (the merchant asks again)");
    return;
  }
  Authorization& order = Remember(reference);
  order.wallet_ip = wallet_ip;
  order.amount = amount;
  order.merchant_account = merchant_account;
  order.gateway_block = gateway_block;
  order.merchant_ip = ip;
  order.merchant_port = port;
  order.keys = *wallet;
  if (IsRefusal(digest)) {
    Settle(reference, Outcome::kRefused, StripRefusalMark(digest));
    return;
  }
  // The bank refuses the request after this moment; the gateway gives up on the bank only
  // later, so a refusal the wallet is told can never be followed by a debit.
  const RetryPolicy policy = DebitRetry();
  const long long deadline =
      NowMs() + (policy.tries - 1) * policy.IntervalMs() + policy.IntervalMs() / 2;
  order.request = BuildPlainFrame(PackFields({reference, digest, std::to_string(amount),
                                              merchant_account, std::to_string(deadline)}),
                                  kMsgDebitRequest);
  Log("asking the bank to debit " + std::to_string(amount) + " CZK for order " + reference);
  retrier_.Sent(reference);
  SendFrame(bank_ip_, kBankPort, order.request);
}

void Gateway::BankSilent(const std::string& reference) {
  const auto it = orders_.find(reference);
  if (it == orders_.end() || it->second.outcome != Outcome::kPending) return;
  Log("the bank never answered about order " + reference + "; refusing it");
  Settle(reference, Outcome::kRefused, kBankSilentReason);
}

void Gateway::OnDebitResult(const std::string& frame, const std::string& ip, int port) {
  if (ip != bank_ip_ || port != kBankPort) {
    Log("debit result from " + ip + ":" + std::to_string(port) + " ignored: not the bank");
    return;
  }
  const std::vector<std::string> fields = UnpackFields(GetMessageBody(frame), 3);
  const std::string& reference = fields[0];
  const std::string& status = fields[1];
  const std::string& detail = fields[2];
  const bool paid = status == kResultPaid;
  if (!paid && status != kResultRefused) throw EPeerFrame("Unknown debit result " + status);
  const auto it = orders_.find(reference);
  if (it == orders_.end()) {
    Log("debit result for unknown order " + reference + "; ignored");
    return;
  }
  Authorization& order = it->second;
  if (order.outcome != Outcome::kPending) {
    if ((order.outcome == Outcome::kPaid) != paid) {
      // Only possible when every answer of the bank was lost until after the deadline.
      LogText("*** the bank's answer " + status + " about order " + reference +
                  " contradicts the outcome already told: ",
              detail);
    }
    return;  // a duplicate, or the answer to a retry
  }
  retrier_.Answered(reference);
  if (paid) {
    Settle(reference, Outcome::kPaid, std::to_string(order.amount));
  } else {
    Settle(reference, Outcome::kRefused, detail);
  }
}

}  // namespace pelvane::peers
