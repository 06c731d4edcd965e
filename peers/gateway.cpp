#include "peers/gateway.h"

#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "peers/peer_wire.h"
#include "protocol/messages.h"
#include "protocol/ports.h"
#include "protocol/refusal.h"

namespace pelvane::peers {

namespace {

constexpr std::size_t kMaxPending = 1024;
constexpr std::size_t kMaxReference = 64;
constexpr char kRefusedPrefix[] = "*** Platba zam\xEDtnuta: ";
constexpr char kNoWalletKeysReason[] =
    "Platebn\xED br\xE1na nem\xE1 kl\xED\xE8"
    "e z\xE1kazn\xEDka.";
constexpr char kBadBlockReason[] = "Blok pro platebn\xED br\xE1nu nelze otev\xF8\xEDt.";

}  // namespace

Gateway::Gateway(const std::string& bind_address, const std::string& bank_host, LogSink log,
                 PeerSeam seam)
    : PeerBase("gateway", bind_address, kGatewayPort, kMsgGatewayKey, std::move(log),
               std::move(seam)),
      bank_ip_(ResolveIpv4(bank_host)) {}

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

void Gateway::AnswerMerchant(const std::string& ip, int port, const std::string& reference,
                             const std::string& status, const std::string& detail) {
  SendFrame(ip, port,
            BuildPlainFrame(PackFields({reference, status, detail}), kMsgAuthorizationResult));
  LogText("told the merchant " + ip + ":" + std::to_string(port) + " about order " + reference +
              ": " + status + " ",
          detail);
}

void Gateway::OnAuthorizationRequest(const std::string& frame, const std::string& ip, int port) {
  const std::vector<std::string> fields = UnpackFields(GetMessageBody(frame), 5);
  const std::string& reference = fields[0];
  const std::string& wallet_ip = fields[1];
  const std::int64_t amount = ParseAmount(fields[2]);
  const std::string& merchant_account = fields[3];
  const std::string& gateway_block = fields[4];
  if (reference.empty() || reference.size() > kMaxReference) {
    throw EPeerFrame("The order reference is empty or too long");
  }
  LogText("authorization request " + reference + " for " + std::to_string(amount) +
              " CZK from the merchant with account ",
          merchant_account);
  if (pending_.count(reference) != 0) {
    Log("order " + reference + " is already being paid; repeated request ignored");
    return;
  }

  WalletKeys* wallet = Wallet(wallet_ip, true);
  if (wallet == nullptr) {
    AnswerMerchant(ip, port, reference, kResultRefused, kNoWalletKeysReason);
    return;
  }
  std::string digest;
  try {
    digest = OpenFromWallet(std::string("4F") + gateway_block, *wallet);
  } catch (const Exception& e) {
    LogText("the gateway block does not open: ", e.Message());
    digest = std::string("*** ") + kBadBlockReason;
  }
  if (IsRefusal(digest)) {
    SendSecureToWallet(wallet_ip, *wallet, kMsgGatewayRefusal,
                       kRefusedPrefix + StripRefusalMark(digest));
    AnswerMerchant(ip, port, reference, kResultRefused, StripRefusalMark(digest));
    return;
  }
  if (pending_.size() >= kMaxPending) pending_.erase(pending_.begin());
  pending_[reference] = Pending{wallet_ip, ip, port, amount};
  Log("asking the bank to debit " + std::to_string(amount) + " CZK for order " + reference);
  try {
    SendFrame(
        bank_ip_, kBankPort,
        BuildPlainFrame(PackFields({reference, digest, std::to_string(amount), merchant_account}),
                        kMsgDebitRequest));
  } catch (...) {
    pending_.erase(reference);  // no result will come for a request that never left
    throw;
  }
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
  const auto it = pending_.find(reference);
  if (it == pending_.end()) {
    Log("debit result for unknown order " + reference + "; ignored");
    return;
  }
  const Pending pending = it->second;
  pending_.erase(it);

  const bool paid = status == kResultPaid;
  if (!paid && status != kResultRefused) throw EPeerFrame("Unknown debit result " + status);
  if (WalletKeys* wallet = Wallet(pending.wallet_ip, true)) {
    if (paid) {
      SendSecureToWallet(pending.wallet_ip, *wallet, kMsgPaymentConfirmed,
                         std::to_string(pending.amount));
    } else {
      SendSecureToWallet(pending.wallet_ip, *wallet, kMsgGatewayRefusal,
                         kRefusedPrefix + StripRefusalMark(detail));
    }
  }
  AnswerMerchant(pending.merchant_ip, pending.merchant_port, reference, status,
                 paid ? std::to_string(pending.amount) : detail);
}

}  // namespace pelvane::peers
