#include "app/session/wallet_session.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>

#include "app/session/conversion.h"
#include "app/session/error_reporter.h"
#include "app/session/log.h"
#include "app/session/purchase_file.h"
#include "app/session/wallet_keys.h"
#include "crypto/formats/formats.h"
#include "crypto/secure.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "messaging/memory_stream.h"
#include "messaging/pacing.h"
#include "protocol/key_message.h"
#include "protocol/messages.h"
#include "protocol/order.h"
#include "protocol/refusal.h"

namespace pelvane {
namespace {

// Log texts (Windows-1250). Lines composed inside an entry are indented by three blanks.
constexpr char kIndent[] = "   ";
constexpr char kGeneratingKeys[] =
    "Generuji ve\xF8"
    "ejn\xFD a priv\xE1tn\xED kl\xED\xE8 ...";
constexpr char kPrivateKeyTitle[] = "   Priv\xE1tn\xED kl\xED\xE8:";
constexpr char kPublicKeyTitle[] =
    "   Ve\xF8"
    "ejn\xFD kl\xED\xE8:";
constexpr char kDoneIn[] = "   Hotovo , doba generov\xE1n\xED: ";
constexpr char kReceivedFrom[] = "P\xF8ijata data od ";
constexpr char kLength[] = ", D\xE9lka: ";
constexpr char kBytes[] = " bajt\xF9";
constexpr char kMessageId[] = "   ID zpr\xE1vy: ";
constexpr char kBankKeyTitle[] =
    "   Ve\xF8"
    "ejn\xFD kl\xED\xE8 banky z\xE1kazn\xEDka:";
constexpr char kCrowns[] = " K\xE8";
constexpr char kBalanceIs[] = "   Z\xE1kazn\xEDk m\xE1 na \xFA\xE8tu ";
constexpr char kOrderTitle[] = "   Objednan\xE9 zbo\x9E\xED:";
constexpr char kNameColumn[] = "N\xE1zev";
constexpr char kCountColumn[] =
    "Po\xE8"
    "et";
constexpr char kPriceColumn[] = "Cena";
constexpr char kPaymentsTitle[] = "   Z\xE1kazn\xEDk provedl tyto platby:";
constexpr char kPaymentsHeader[] =
    "   Datum       \xC8"
    "as          \xC8\xE1stka        Na konto";
constexpr char kGatewayAnswer[] =
    "   Odpov\xEC\xEF na \x9E\xE1"
    "dost o URL platebn\xED br\xE1ny.";
constexpr char kUrl[] = "   URL: ";
constexpr char kGatewayKeyTitle[] =
    "   Ve\xF8"
    "ejn\xFD kl\xED\xE8 platebn\xED br\xE1ny:";
constexpr char kMerchantKeyTitle[] =
    "   Ve\xF8"
    "ejn\xFD kl\xED\xE8 obchodn\xEDka:";
constexpr char kPaid[] =
    "   Objednan\xE9 zbo\x9E\xED bylo zaplaceno z \xFA\xE8tu z\xE1kazn\xEDka: ";
constexpr char kNoPurchaseFile[] =
    "Pen\xEC\x9E"
    "enka byla spu\x9At\xECna bez souboru s popisem n\xE1kupu, objedn\xE1vku nelze odeslat.";
constexpr char kOrderTooLong[] =
    "Objedn\xE1vka je p\xF8\xEDli\x9A dlouh\xE1: zpr\xE1va 79 by m\xECla ";
constexpr char kOrderTooLongLimit[] =
    " bajt\xF9, datagram unese nejv\xFD\x9A"
    "e ";
// "   Objednávka už byla odeslána; zpráva nic nemění."
constexpr char kOrderAlreadySent[] =
    "   Objedn\xE1vka u\x9E byla odesl\xE1na; zpr\xE1va nic nem\xECn\xED.";
constexpr char kPortTaken1[] = "Port ";
constexpr char kPortTaken2[] =
    " je obsazen jin\xFDm programem; pen\xEC\x9E"
    "enka nem\xF9\x9E"
    "e p\xF8ij\xEDmat zpr\xE1vy. Ukon\xE8"
    "ete druh\xFD program a spus\x9Dte pen\xEC\x9E"
    "enku znovu.";

// The hexadecimal text of a key, as the log shows it.
std::string Hex(std::string_view bytes) {
  return StrToFormat(bytes, kFormatHex);
}

// text left-aligned in width byte columns (never cut).
std::string PadRight(std::string_view text, std::size_t width) {
  std::string out(text);
  if (out.size() < width) out.append(width - out.size(), ' ');
  return out;
}

// text right-aligned in width byte columns (never cut).
std::string PadLeft(std::string_view text, std::size_t width) {
  std::string out;
  if (text.size() < width) out.assign(width - text.size(), ' ');
  out.append(text);
  return out;
}

// A duration shown as a time of day in the long time format, "h:mm:ss".
std::string FormatDuration(std::chrono::steady_clock::duration elapsed) {
  const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", (seconds / 3600) % 24, (seconds / 60) % 60,
                seconds % 60);
  return text;
}

// Decrements a nesting counter when a handler leaves, also by an exception.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) noexcept : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

}  // namespace

void OpenWalletReceiver(TUDPSocket& socket, TOnReceive handler) {
  socket.SetRemotePort(0);
  socket.SetLocalPort(kWalletPort);
  socket.SetReportLevel(1);
  socket.OnDataReceived = std::move(handler);
  socket.Loaded();
  if (!socket.Bound()) {
    throw EPortInUse(kPortTaken1 + std::to_string(kWalletPort) + kPortTaken2);
  }
}

KeySlots::~KeySlots() {
  SecureWipe(FOwnPrivateKey);
  SecureWipe(FBankSessionKey);
  SecureWipe(FGatewaySessionKey);
  SecureWipe(FMerchantSessionKey);
}

WalletSession::WalletSession(LogSink& log, LabelSink& labels, ErrorReporter& errors)
    : log_(log),
      labels_(labels),
      errors_(errors),
      own_transport_(std::make_unique<DatagramTransport>()),
      transport_(*own_transport_) {}

WalletSession::WalletSession(LogSink& log, LabelSink& labels, ErrorReporter& errors,
                             SessionTransport& transport)
    : log_(log), labels_(labels), errors_(errors), transport_(transport) {}

WalletSession::~WalletSession() = default;

void WalletSession::SetSecret(std::string& slot, std::string value) {
  SecureWipe(slot);
  slot = std::move(value);
}

void WalletSession::Start(ExchangeInputs inputs) {
  order_sent_ = false;
  SecureWipe(inputs_.customer_digest);
  inputs_ = std::move(inputs);
  keys_.FBankPublicKey.clear();
  if (inputs_.purchase != nullptr) {
    std::string url;
    inputs_.purchase->FindFileValue(kMerchantUrlKey, url);
    merchant_host_ = ExtractHost(url);
  }
  LogTimestamp(log_);
  Log(kGeneratingKeys);
  const auto t0 = std::chrono::steady_clock::now();
  keys_.FOwnPublicKey = kWalletPublicKey;
  SetSecret(keys_.FOwnPrivateKey, kWalletPrivateKey);
  const auto t1 = std::chrono::steady_clock::now();
  Log(kPrivateKeyTitle);
  {
    WipedString hex(kIndent + Hex(keys_.FOwnPrivateKey));
    Log(*hex);
  }
  Log(kPublicKeyTitle);
  Log(kIndent + Hex(keys_.FOwnPublicKey));
  Log(kDoneIn + FormatDuration(t1 - t0));
  transport_.SendPlain(inputs_.bank_host, kBankPort, keys_.FOwnPublicKey, kMsgWalletKey);
  labels_.SetLabel(WalletLabel::kName, inputs_.first_name + ' ' + inputs_.surname);
  labels_.SetLabel(WalletLabel::kBirthNumber, inputs_.birth_number);
}

void WalletSession::ReceiveFrom(TUDPSocket& socket, int byte_count, const std::string& from_ip) {
  HandleDatagram([&] {
    TMemoryStream buffer;
    socket.ReadStream(buffer);
    const std::string frame = buffer.ReadString(byte_count);
    LogTimestamp(log_);
    Log(kReceivedFrom + from_ip + kLength + std::to_string(byte_count) + kBytes);
    ProcessMessage(frame);
  });
}

void WalletSession::DataReceived(std::string_view datagram, const std::string& from_ip) noexcept {
  HandleDatagram([&] {
    const std::string frame(datagram);
    LogTimestamp(log_);
    Log(kReceivedFrom + from_ip + kLength + std::to_string(frame.size()) + kBytes);
    ProcessMessage(frame);
  });
}

template <typename Step>
void WalletSession::HandleDatagram(Step&& step) noexcept {
  {
    // A step may be entered again while a send waits for a name lookup; the end of the
    // connection is announced only when the outermost handling is over.
    DepthGuard depth(depth_);
    try {
      step();
    } catch (...) {
      LogStepFailure();
    }
  }
  if (depth_ == 0 && end_logged_ && !end_announced_) {
    end_announced_ = true;
    if (OnConnectionEnded) {
      try {
        OnConnectionEnded();
      } catch (...) {
        ReportCurrentFailure();
      }
    }
  }
}

void WalletSession::LogStepFailure() noexcept {
  const std::exception_ptr failure = std::current_exception();
  try {
    Log(kStepFailurePrefix + FailureMessage(failure));
  } catch (...) {
    // Not even the log takes the line: show the original failure the other way.
    try {
      errors_.ReportError(ErrorBoxText(FailureMessage(failure)));
    } catch (...) {
      errors_.ReportError("Out of memory.");
    }
  }
}

void WalletSession::LogEnd() {
  Log(kEndOfConnectionLine);
  end_logged_ = true;
}

std::string WalletSession::Open(std::string_view frame, const std::string& session_key) const {
  return OpenSecureMessage(frame, session_key, keys_.FOwnPublicKey, keys_.FOwnPrivateKey);
}

std::string WalletSession::TakePeerKey(std::string_view frame) {
  return PublicKeyOfKeyMessage(frame);
}

bool WalletSession::Refused(const std::string& text) {
  if (!IsRefusal(text)) return false;
  Log(text);
  LogEnd();
  return true;
}

bool WalletSession::OrderAlreadySent() {
  if (!order_sent_) return false;
  Log(kOrderAlreadySent);
  return true;
}

void WalletSession::ProcessMessage(std::string_view frame) {
  const int id = MessageIdOf(frame);
  Log(kMessageId + std::to_string(id));
  switch (id) {
    case kMsgBankKey:
      OnBankKey(frame);
      break;
    case kMsgBalance:
      OnBalance(frame);
      break;
    case kMsgPaymentList:
      OnPaymentList(frame);
      break;
    case kMsgGatewayAddress:
      OnGatewayAddress(frame);
      break;
    case kMsgGatewayKey:
      OnGatewayKey(frame);
      break;
    case kMsgMerchantKey:
      OnMerchantKey(frame);
      break;
    case kMsgPaymentConfirmed:
      OnPaymentConfirmed(frame);
      break;
    case kMsgGatewayReport:
    case kMsgGatewayRefusal:
      OnFinalReport(frame, keys_.FGatewaySessionKey);
      break;
    case kMsgBankReport:
      OnFinalReport(frame, keys_.FBankSessionKey);
      break;
    case kMsgMerchantReport:
      OnFinalReport(frame, keys_.FMerchantSessionKey);
      break;
    default:
      break;  // no step for this identifier
  }
}

void WalletSession::OnBankKey(std::string_view frame) {
  std::string key = TakePeerKey(frame);
  if (OrderAlreadySent()) return;
  keys_.FBankPublicKey = std::move(key);
  Log(kBankKeyTitle);
  Log(kIndent + Hex(keys_.FBankPublicKey));
  SetSecret(keys_.FBankSessionKey, GenerateSessionKey(kSessionKeyLength));
  transport_.SendKey(keys_.FBankSessionKey, keys_.FBankPublicKey, inputs_.bank_host, kBankPort,
                     kMsgSessionKey);
  transport_.Pause(SessionPauseMs());
  transport_.SendSecure(inputs_.bank_host, kBankPort, inputs_.customer_digest, kMsgCustomerDigest,
                        keys_.FBankPublicKey, keys_.FBankSessionKey);
}

void WalletSession::OnBalance(std::string_view frame) {
  const std::string text = Open(frame, keys_.FBankSessionKey);
  if (Refused(text)) return;
  if (OrderAlreadySent()) return;
  labels_.SetLabel(WalletLabel::kBalance, text + kCrowns);
  Log(kBalanceIs + text + kCrowns);
  const PurchaseBuffer* purchase = inputs_.purchase;
  if (purchase == nullptr) {
    transport_.SendSecure(inputs_.bank_host, kBankPort, inputs_.customer_digest, kMsgPaymentList,
                          keys_.FBankPublicKey, keys_.FBankSessionKey);
    return;
  }
  LogTimestamp(log_);
  Log(kOrderTitle);
  Log(kIndent + PadRight(kNameColumn, 30) + ' ' + PadLeft(kCountColumn, 5) + ' ' +
      PadLeft(kPriceColumn, 10));
  // The sum of 32-bit prices, kept in 64 bits so that no order can wrap it around.
  std::int64_t total = 0;
  std::string name;
  std::int32_t count = 0;
  std::int32_t price = 0;
  const int items = purchase->GetOrderItem(0, name, count, price);
  for (int i = 1; i <= items; ++i) {
    purchase->GetOrderItem(i, name, count, price);
    total = AddToOrderTotal(total, price);
    Log(kIndent + PadRight(name, 30) + ' ' + PadLeft(std::to_string(count), 4) + ' ' +
        PadLeft(std::to_string(price), 10) + kCrowns);
  }
  const std::int32_t balance = StrToInt(text);
  if (balance < total) {
    Log("");
    Log(kInsufficientFundsText);
    LogEnd();
    transport_.SendSecure(inputs_.bank_host, kBankPort, kInsufficientFundsText, kMsgWalletRefusal,
                          keys_.FBankPublicKey, keys_.FBankSessionKey);
  } else {
    transport_.SendSecure(inputs_.bank_host, kBankPort, kGatewayAddressQuery,
                          kMsgGatewayAddressRequest, keys_.FBankPublicKey, keys_.FBankSessionKey);
  }
}

void WalletSession::OnPaymentList(std::string_view frame) {
  const std::string text = Open(frame, keys_.FBankSessionKey);
  if (Refused(text)) return;
  Log(kPaymentsTitle);
  Log("");
  Log(kPaymentsHeader);
  Log(text);
  LogEnd();
}

void WalletSession::OnGatewayAddress(std::string_view frame) {
  const std::string text = Open(frame, keys_.FBankSessionKey);
  if (Refused(text)) return;
  if (OrderAlreadySent()) return;
  Log(kGatewayAnswer);
  Log(kUrl + text);
  gateway_host_ = text;
  transport_.SendPlain(gateway_host_, kGatewayPort, keys_.FOwnPublicKey, kMsgWalletKey);
}

void WalletSession::OnGatewayKey(std::string_view frame) {
  std::string key = TakePeerKey(frame);
  if (OrderAlreadySent()) return;
  keys_.FGatewayPublicKey = std::move(key);
  Log(kGatewayKeyTitle);
  Log(kIndent + Hex(keys_.FGatewayPublicKey));
  transport_.SendPlain(merchant_host_, kMerchantPort, keys_.FOwnPublicKey, kMsgWalletKey);
}

void WalletSession::OnMerchantKey(std::string_view frame) {
  std::string key = TakePeerKey(frame);
  if (OrderAlreadySent()) return;
  keys_.FMerchantPublicKey = std::move(key);
  Log(kMerchantKeyTitle);
  Log(kIndent + Hex(keys_.FMerchantPublicKey));
  // Without a purchase there is no order to send; the peers get nothing rather than keys for
  // a message that never follows.
  if (inputs_.purchase == nullptr) {
    Log(std::string(kStepFailurePrefix) + kNoPurchaseFile);
    return;
  }
  std::string order;
  std::int32_t count = 0;
  std::int32_t price = 0;
  inputs_.purchase->GetOrderItem(0, order, count, price);
  // Refuse an order that message 79 cannot carry before any key leaves, so that the peers are
  // not left with session keys for a message that never comes.
  const std::size_t dual_size =
      2 + SecureBlockSize(inputs_.customer_digest.size()) + SecureBlockSize(order.size());
  if (dual_size > kMaxFrameSize) {
    throw EEnvelopeTooLarge(kOrderTooLong + std::to_string(dual_size) + kOrderTooLongLimit +
                            std::to_string(kMaxFrameSize) + ".");
  }
  SetSecret(keys_.FGatewaySessionKey, GenerateSessionKey(kSessionKeyLength));
  transport_.SendKey(keys_.FGatewaySessionKey, keys_.FGatewayPublicKey, gateway_host_, kGatewayPort,
                     kMsgSessionKey);
  SetSecret(keys_.FMerchantSessionKey, GenerateSessionKey(kSessionKeyLength));
  transport_.SendKey(keys_.FMerchantSessionKey, keys_.FMerchantPublicKey, merchant_host_,
                     kMerchantPort, kMsgSessionKey);
  const std::string merchant_block =
      BuildSecureBlock(order, keys_.FMerchantSessionKey, keys_.FMerchantPublicKey);
  const std::string gateway_block =
      BuildSecureBlock(inputs_.customer_digest, keys_.FGatewaySessionKey, keys_.FGatewayPublicKey);
  // From here on the order counts as gone, even if the send below fails half-way: a run pays
  // at most once, so nothing may seal a second 79.
  order_sent_ = true;
  transport_.SendDual(gateway_block, merchant_block, merchant_host_, kMsgDualOrder, kMerchantPort);
}

void WalletSession::OnPaymentConfirmed(std::string_view frame) {
  const std::string text = Open(frame, keys_.FGatewaySessionKey);
  if (Refused(text)) return;
  Log(kPaid + text + kCrowns);
}

void WalletSession::OnFinalReport(std::string_view frame, const std::string& session_key) {
  Log(Open(frame, session_key));
  LogEnd();
}

}  // namespace pelvane
