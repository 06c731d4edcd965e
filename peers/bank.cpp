#include "peers/bank.h"

#include <QDateTime>
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
// "Požadavek na platbu vypršel."
constexpr char kExpiredReason[] =
    "Po\x9E"
    "adavek na platbu vypr\x9A"
    "el.";
// "Databáze banky platbu nepřijala: " + the database's message
constexpr char kDatabaseFailedReason[] = "Datab\xE1ze banky platbu nep\xF8ijala: ";
// "*** Databáze banky není dostupná." (to the wallet)
constexpr char kDatabaseUnavailableText[] = "*** Datab\xE1ze banky nen\xED dostupn\xE1.";
// Refused references remembered at most.
constexpr std::size_t kMaxRefused = 65536;
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
  try {
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
  } catch (const EBankDatabase& e) {
    // The wallet waits for an answer: it gets a refusal instead of silence.
    LogText("database failure: ", e.Message());
    if (id == kMsgCustomerDigest) {
      customers_.erase(from_ip);
      SendSecureToWallet(from_ip, *wallet, kMsgBalance, kDatabaseUnavailableText);
    } else if (id == kMsgPaymentList) {
      SendSecureToWallet(from_ip, *wallet, kMsgPaymentList, kDatabaseUnavailableText);
    }
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

void Bank::RememberRefusal(const std::string& reference, const std::string& reason) {
  if (refused_.count(reference) != 0) return;
  if (refused_.size() >= kMaxRefused && !refused_age_.empty()) {
    refused_.erase(refused_age_.front());
    refused_age_.pop_front();
  }
  refused_[reference] = reason;
  refused_age_.push_back(reference);
}

void Bank::OnDebitRequest(const std::string& frame, const std::string& ip, int port) {
  if (ip != gateway_ip_ || port != kGatewayPort) {
    Log("debit request from " + ip + ":" + std::to_string(port) +
        " refused: not the payment gateway");
    return;
  }
  const std::vector<std::string> fields = UnpackFields(GetMessageBody(frame), 5);
  const std::string& reference = fields[0];
  const std::string& digest = fields[1];
  const std::int64_t amount = ParseAmount(fields[2]);
  const std::string merchant = Cp1250ToUtf8(fields[3]);
  const std::string& deadline_text = fields[4];
  if (reference.empty() || deadline_text.empty() || deadline_text.size() > 15 ||
      deadline_text.find_first_not_of("0123456789") != std::string::npos) {
    throw EPeerFrame("A debit request without a reference or a deadline");
  }
  const bool expired = QDateTime::currentMSecsSinceEpoch() > std::stoll(deadline_text);
  Log("debit request " + reference + ": " + std::to_string(amount) + " CZK to " + merchant);
  const auto answer = [&](const std::string& status, const std::string& detail) {
    SendFrame(ip, port, BuildPlainFrame(PackFields({reference, status, detail}), kMsgDebitResult));
  };
  if (const auto refused = refused_.find(reference); refused != refused_.end()) {
    LogText("refused before: ", refused->second);
    answer(kResultRefused, refused->second);
    return;
  }

  std::string detail;
  DebitResult result;
  try {
    result = db_.Debit(digest, amount, merchant, reference, expired);
  } catch (const EBankDatabase& e) {
    // Rolled back: nothing was debited. The refusal stands also when the database recovers,
    // because the wallet is told it.
    detail = kDatabaseFailedReason + e.Message();
  }
  if (detail.empty()) {
    switch (result.refusal) {
      case DebitRefusal::kNone:
        Log(std::string(result.repeated ? "already debited" : "debited") + " " +
            std::to_string(amount) + " CZK; balance now " + std::to_string(result.balance));
        answer(kResultPaid, std::to_string(amount));
        return;
      case DebitRefusal::kUnknownCustomer:
        detail = kUnknownCustomerReason;
        break;
      case DebitRefusal::kInvalidAmount:
        detail = kInvalidAmountReason;
        break;
      case DebitRefusal::kInsufficientFunds:
        detail = std::string(kInsufficientFundsReason);
        break;
      case DebitRefusal::kExpired:
        detail = kExpiredReason;
        break;
    }
  }
  LogText("debit refused: ", detail);
  RememberRefusal(reference, detail);
  try {
    if (const auto account = db_.FindByDigest(digest)) {
      db_.RecordRefusal(account->id, Cp1250ToUtf8(detail));
    }
  } catch (const EBankDatabase& e) {
    LogText("the refusal could not be recorded: ", e.Message());
  }
  answer(kResultRefused, detail);
}

}  // namespace pelvane::peers
