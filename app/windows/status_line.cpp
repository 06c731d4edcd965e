#include "app/windows/status_line.h"

#include <QLabel>
#include <utility>

#include "protocol/messages.h"
#include "protocol/ports.h"

namespace pelvane {
namespace {

// Message identifiers whose answer the status line names specially.
constexpr int kKeyMessage = 89;        // always followed by the message it keys, in the same step
constexpr int kDualMessage = 79;       // the order: the payment's confirmation comes next
constexpr int kPaymentConfirmed = 10;  // the final reports come next

QString U(const char* utf8) {
  return QString::fromUtf8(utf8);
}

}  // namespace

StatusLine::StatusLine(QLabel& label) : label_(label) {
  tick_.setInterval(1000);
  QObject::connect(&tick_, &QTimer::timeout, this, [this] { Refresh(); });
  unreachable_.setSingleShot(true);
  QObject::connect(&unreachable_, &QTimer::timeout, this, [this] { Refresh(); });
  Refresh();
}

void StatusLine::Sending(int port) {
  if (state_ == State::kEnded) return;
  state_ = State::kSending;
  port_ = port;
  StartClock();
  Refresh();
}

void StatusLine::Sent(int port, int identifier) {
  if (state_ == State::kEnded) return;
  port_ = port;
  StartClock();
  // A session key is always followed by the message it keys, in the same step: still sending.
  if (identifier == kMsgSessionKey) return;
  state_ = State::kAwaiting;
  if (identifier == kMsgDualOrder) {  // the order: the payment's confirmation comes next
    awaited_ = Awaited::kPayment;
  } else if (port == kBankPort) {
    awaited_ = Awaited::kBank;
  } else if (port == kGatewayPort) {
    awaited_ = Awaited::kGateway;
  } else if (port == kMerchantPort) {
    awaited_ = Awaited::kMerchant;
  } else {
    awaited_ = Awaited::kOther;
  }
  Refresh();
}

void StatusLine::SendFailed(int port) {
  if (state_ == State::kEnded) return;
  state_ = State::kFailed;
  port_ = port;
  tick_.stop();
  unreachable_.stop();
  Refresh();
}

void StatusLine::Received(int identifier) {
  if (state_ == State::kEnded) return;
  StartClock();
  if (identifier == kMsgPaymentConfirmed) {  // the final reports come next
    state_ = State::kAwaiting;
    awaited_ = Awaited::kFinalReports;
  }
  Refresh();
}

void StatusLine::Ended() {
  state_ = State::kEnded;
  tick_.stop();
  unreachable_.stop();
  Refresh();
}

void StatusLine::SetUnreachableAfterMs(int milliseconds) {
  unreachable_after_ms_ = milliseconds;
  if (since_last_datagram_.isValid()) StartClock();
}

void StatusLine::StartClock() {
  since_last_datagram_.start();
  tick_.start();
  unreachable_.start(unreachable_after_ms_);
}

QString StatusLine::Text() const {
  // The peer in the dative (to whom the wallet sends) and the genitive (whose answer it awaits).
  const auto to = [this] {
    switch (port_) {
      case kBankPort:
        return U("bance");
      case kGatewayPort:
        return U("platební bráně");
      case kMerchantPort:
        return U("obchodníkovi");
      default:
        return U("protistraně");
    }
  };
  switch (state_) {
    case State::kIdle:
      return QString();
    case State::kSending:
      return U("Odesílám zprávu ") + to() + U("…");
    case State::kFailed:
      return U("Zprávu ") + to() + U(" se nepodařilo odeslat; okno můžete zavřít.");
    case State::kEnded:
      return U("Spojení skončilo; okno můžete zavřít.");
    case State::kAwaiting:
      break;
  }
  QString awaited;
  QString unreachable;
  switch (awaited_) {
    case Awaited::kBank:
      awaited = U("odpověď banky");
      unreachable = U("Banka možná není dostupná");
      break;
    case Awaited::kGateway:
      awaited = U("odpověď platební brány");
      unreachable = U("Platební brána možná není dostupná");
      break;
    case Awaited::kMerchant:
      awaited = U("odpověď obchodníka");
      unreachable = U("Obchodník možná není dostupný");
      break;
    case Awaited::kOther:
      awaited = U("odpověď protistrany");
      unreachable = U("Protistrana možná není dostupná");
      break;
    case Awaited::kPayment:
      awaited = U("potvrzení platby");
      unreachable = U("Platební brána nebo obchodník možná nejsou dostupní");
      break;
    case Awaited::kFinalReports:
      awaited = U("závěrečné zprávy");
      unreachable = U("Protistrany možná nejsou dostupné");
      break;
  }
  const qint64 elapsed_ms = since_last_datagram_.isValid() ? since_last_datagram_.elapsed() : 0;
  QString text = U("Čekám na ") + awaited + U("… ") + QString::number(elapsed_ms / 1000) + U(" s");
  if (elapsed_ms >= unreachable_after_ms_) {
    text += U(". ") + unreachable + U("; okno můžete zavřít.");
  }
  return text;
}

void StatusLine::Refresh() {
  const QString text = Text();
  if (text == label_.text()) return;
  label_.setText(text);
  emit textChanged(text);
}

template <typename Send>
void StatusTransport::Around(int port, int identifier, Send&& send) {
  status_.Sending(port);
  try {
    std::forward<Send>(send)();
  } catch (...) {
    status_.SendFailed(port);
    throw;
  }
  status_.Sent(port, identifier);
}

void StatusTransport::SendPlain(const std::string& host, int port, std::string_view data,
                                int identifier) {
  Around(port, identifier, [&] { inner_.SendPlain(host, port, data, identifier); });
}

void StatusTransport::SendKey(std::string_view session_key, const std::string& public_key,
                              const std::string& host, int port, int identifier) {
  Around(port, identifier,
         [&] { inner_.SendKey(session_key, public_key, host, port, identifier); });
}

void StatusTransport::SendSecure(const std::string& host, int port, std::string_view text,
                                 int identifier, const std::string& public_key,
                                 std::string_view session_key) {
  Around(port, identifier,
         [&] { inner_.SendSecure(host, port, text, identifier, public_key, session_key); });
}

void StatusTransport::SendDual(std::string_view first_block, std::string_view second_block,
                               const std::string& host, int identifier, int port) {
  Around(port, identifier,
         [&] { inner_.SendDual(first_block, second_block, host, identifier, port); });
}

void StatusTransport::Pause(int milliseconds) {
  inner_.Pause(milliseconds);
}

}  // namespace pelvane
