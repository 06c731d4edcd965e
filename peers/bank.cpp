#include "peers/bank.h"

#include <cstdio>
#include <deque>

#include "crypto/formats/charset.h"
#include "messaging/frames.h"
#include "peers/peer_wire.h"
#include "protocol/messages.h"
#include "protocol/ports.h"
#include "protocol/refusal.h"
#include "protocol/texts.h"

namespace pelvane::peers {

namespace {

constexpr char kNotIdentifiedText[] = "*** Z\xE1kazn\xEDk nen\xED identifikov\xE1n.";
constexpr char kUnknownRequestText[] =
    "*** Nezn\xE1m\xFD po\x9E"
    "adavek.";
constexpr char kUnknownCustomerReason[] = "Z\xE1kazn\xEDk nen\xED veden v bance.";
constexpr char kInvalidAmountReason[] = "Neplatn\xE1 \xE8\xE1stka.";
constexpr char kNoPaymentsText[] =
    "   \x8E\xE1"
    "dn\xE9 platby.";
// "   (starší platby vynechány: N)"
constexpr char kOmittedPrefix[] = "   (star\x9A\xED platby vynech\xE1ny: ";

std::string ToCp1250OrQuestion(const std::string& utf8) {
  try {
    return Utf8ToCp1250(utf8);
  } catch (const Exception&) {
    return "?";
  }
}

// "   dd.mm.yyyy  hh:mm:ss" + amount right-aligned to the end of the "Částka" column + " Kč" +
// the merchant's account under "Na konto".
std::string PaymentLine(const Payment& p) {
  // paid_at is "YYYY-MM-DD HH:MM:SS"
  std::string date =
      p.paid_at.size() >= 19
          ? p.paid_at.substr(8, 2) + "." + p.paid_at.substr(5, 2) + "." + p.paid_at.substr(0, 4)
          : p.paid_at;
  std::string time = p.paid_at.size() >= 19 ? p.paid_at.substr(11, 8) : "";
  char line[64];
  std::snprintf(line, sizeof line, "   %-10s  %-8s%11lld K\xE8     ", date.c_str(), time.c_str(),
                static_cast<long long>(p.amount));
  return line + ToCp1250OrQuestion(p.merchant);
}

}  // namespace

Bank::Bank(BankDatabase& db, const std::string& bind_address, const std::string& gateway_host,
           LogSink log, PeerSeam seam)
    : PeerBase("bank", bind_address, kBankPort, kMsgBankKey, std::move(log), std::move(seam)),
      db_(db),
      gateway_host_(gateway_host),
      gateway_ip_(ResolveIpv4(gateway_host)) {}

std::string Bank::PaymentListText(const std::vector<Payment>& payments) {
  if (payments.empty()) return kNoPaymentsText;
  // Room for the note about omitted payments, should one be needed.
  const std::size_t note_room = sizeof kOmittedPrefix + 12;
  std::deque<std::string> lines;
  std::size_t size = 0;
  std::size_t omitted = 0;
  for (auto it = payments.rbegin(); it != payments.rend(); ++it) {
    std::string line = PaymentLine(*it);
    const std::size_t added = line.size() + (lines.empty() ? 0 : 2);
    if (size + added + note_room > kMaxSecureText) {
      omitted = static_cast<std::size_t>(payments.rend() - it);
      break;
    }
    size += added;
    lines.push_front(std::move(line));
  }
  std::string text;
  if (omitted > 0) text = kOmittedPrefix + std::to_string(omitted) + ")";
  for (const std::string& line : lines) {
    if (!text.empty()) text += "\r\n";
    text += line;
  }
  return text;
}

bool Bank::Handle(int id, const std::string& frame, const std::string& from_ip, int from_port) {
  if (id == kMsgDebitRequest) {
    OnDebitRequest(frame, from_ip, from_port);
    return true;
  }
  if (id != kMsgCustomerDigest && id != kMsgPaymentList && id != kMsgWalletRefusal &&
      id != kMsgGatewayAddressRequest) {
    return false;
  }
  WalletKeys* wallet = Wallet(from_ip, true);
  if (wallet == nullptr) return true;
  switch (id) {
    case kMsgCustomerDigest:
      OnCustomerDigest(frame, from_ip, *wallet);
      break;
    case kMsgPaymentList:
      OnPaymentListRequest(frame, from_ip, *wallet);
      break;
    case kMsgWalletRefusal:
      OnWalletRefusal(frame, from_ip, *wallet);
      break;
    default:
      OnGatewayAddressRequest(frame, from_ip, *wallet);
      break;
  }
  return true;
}

void Bank::OnCustomerDigest(const std::string& frame, const std::string& ip, WalletKeys& wallet) {
  const std::string digest = OpenFromWallet(frame, wallet);
  if (IsRefusal(digest)) {
    customers_.erase(ip);
    SendSecureToWallet(ip, wallet, kMsgBalance, digest);
    return;
  }
  const std::optional<Account> account = db_.FindByDigest(digest);
  if (!account) {
    customers_.erase(ip);
    Log("no account for the customer digest " + digest);
    SendSecureToWallet(ip, wallet, kMsgBalance, kUnknownCustomerText);
    return;
  }
  customers_[ip] = account->id;
  Log("customer identified: " + account->name + " (account " + std::to_string(account->id) + ")");
  SendSecureToWallet(ip, wallet, kMsgBalance, std::to_string(account->balance));
}

void Bank::OnPaymentListRequest(const std::string& frame, const std::string& ip,
                                WalletKeys& wallet) {
  const std::string digest = OpenFromWallet(frame, wallet);
  if (IsRefusal(digest)) {
    SendSecureToWallet(ip, wallet, kMsgPaymentList, digest);
    return;
  }
  const std::optional<Account> account = db_.FindByDigest(digest);
  if (!account) {
    SendSecureToWallet(ip, wallet, kMsgPaymentList, kUnknownCustomerText);
    return;
  }
  const std::vector<Payment> payments = db_.Payments(account->id);
  Log("listing " + std::to_string(payments.size()) + " payment(s) of " + account->name);
  SendSecureToWallet(ip, wallet, kMsgPaymentList, PaymentListText(payments));
}

void Bank::OnWalletRefusal(const std::string& frame, const std::string& ip, WalletKeys& wallet) {
  const std::string text = OpenFromWallet(frame, wallet);
  const auto customer = customers_.find(ip);
  const std::int64_t account_id = customer == customers_.end() ? 0 : customer->second;
  db_.RecordRefusal(account_id, Cp1250ToUtf8(text));
  LogText("the wallet refused the purchase (recorded): ", text);
}

void Bank::OnGatewayAddressRequest(const std::string& frame, const std::string& ip,
                                   WalletKeys& wallet) {
  const std::string text = OpenFromWallet(frame, wallet);
  if (IsRefusal(text)) {
    SendSecureToWallet(ip, wallet, kMsgGatewayAddress, text);
  } else if (text != kGatewayAddressQuery) {
    SendSecureToWallet(ip, wallet, kMsgGatewayAddress, kUnknownRequestText);
  } else if (customers_.find(ip) == customers_.end()) {
    SendSecureToWallet(ip, wallet, kMsgGatewayAddress, kNotIdentifiedText);
  } else {
    SendSecureToWallet(ip, wallet, kMsgGatewayAddress, gateway_host_);
  }
}

void Bank::OnDebitRequest(const std::string& frame, const std::string& ip, int port) {
  if (ip != gateway_ip_ || port != kGatewayPort) {
    Log("debit request from " + ip + ":" + std::to_string(port) +
        " refused: not the payment gateway");
    return;
  }
  const std::vector<std::string> fields = UnpackFields(GetMessageBody(frame), 4);
  const std::string& reference = fields[0];
  const std::string& digest = fields[1];
  const std::int64_t amount = ParseAmount(fields[2]);
  const std::string merchant = Cp1250ToUtf8(fields[3]);
  Log("debit request " + reference + ": " + std::to_string(amount) + " CZK to " + merchant);

  const DebitResult result = db_.Debit(digest, amount, merchant, reference);
  std::string status = kResultPaid;
  std::string detail = std::to_string(amount);
  switch (result.refusal) {
    case DebitRefusal::kNone:
      Log(std::string(result.repeated ? "already debited" : "debited") + " " +
          std::to_string(amount) + " CZK; balance now " + std::to_string(result.balance));
      break;
    case DebitRefusal::kUnknownCustomer:
      status = kResultRefused;
      detail = kUnknownCustomerReason;
      break;
    case DebitRefusal::kInvalidAmount:
      status = kResultRefused;
      detail = kInvalidAmountReason;
      break;
    case DebitRefusal::kInsufficientFunds:
      status = kResultRefused;
      detail = std::string(kInsufficientFundsReason);
      break;
  }
  if (status == kResultRefused) {
    LogText("debit refused: ", detail);
    if (const auto account = db_.FindByDigest(digest)) {
      db_.RecordRefusal(account->id, Cp1250ToUtf8(detail));
    }
  }
  SendFrame(ip, port, BuildPlainFrame(PackFields({reference, status, detail}), kMsgDebitResult));
}

}  // namespace pelvane::peers
