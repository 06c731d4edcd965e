// The status line at the bottom of the main window: what the wallet is waiting for and for how
// long ("Čekám na odpověď banky… 12 s"). After a while without any datagram it adds that the peer
// may be unreachable and that the window can be closed. The log and the wire do not change: the
// status line learns what happens from the session's transport (StatusTransport) and from the
// main window's receiver.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <string>
#include <string_view>

#include "app/session/transport.h"

class QLabel;

namespace pelvane {

class StatusLine final : public QObject {
  Q_OBJECT

 public:
  // Without any datagram for this long, the peer may be unreachable.
  static constexpr int kDefaultUnreachableAfterMs = 30000;

  // Shows its text in label (not owned; must outlive this object).
  explicit StatusLine(QLabel& label);

  // A datagram to the peer on port is about to wait for its pause and leave.
  void Sending(int port);
  // The datagram with this identifier has left for the peer on port.
  void Sent(int port, int identifier);
  // Sending to the peer on port failed.
  void SendFailed(int port);
  // A datagram with this identifier (-1 when unreadable) has arrived.
  void Received(int identifier);
  // The session has logged the end of the connection.
  void Ended();

  void SetUnreachableAfterMs(int milliseconds);
  QString Text() const;

 signals:
  // The shown text changed (the seconds count as a change).
  void textChanged(const QString& text);

 private:
  enum class State { kIdle, kSending, kAwaiting, kFailed, kEnded };
  // What an answer is awaited for.
  enum class Awaited { kBank, kGateway, kMerchant, kOther, kPayment, kFinalReports };

  void StartClock();
  void Refresh();

  QLabel& label_;
  State state_ = State::kIdle;
  int port_ = 0;
  Awaited awaited_ = Awaited::kBank;
  QElapsedTimer since_last_datagram_;
  QTimer tick_;
  QTimer unreachable_;
  int unreachable_after_ms_ = kDefaultUnreachableAfterMs;
};

// Passes every send and pause on to the real transport and tells the status line about it.
class StatusTransport final : public SessionTransport {
 public:
  StatusTransport(SessionTransport& inner, StatusLine& status) : inner_(inner), status_(status) {}

  void SendPlain(const std::string& host, int port, std::string_view data, int identifier) override;
  void SendKey(std::string_view session_key, const std::string& public_key, const std::string& host,
               int port, int identifier) override;
  void SendSecure(const std::string& host, int port, std::string_view text, int identifier,
                  const std::string& public_key, std::string_view session_key) override;
  void SendDual(std::string_view first_block, std::string_view second_block,
                const std::string& host, int identifier, int port) override;
  void Pause(int milliseconds) override;

 private:
  template <typename Send>
  void Around(int port, int identifier, Send&& send);

  SessionTransport& inner_;
  StatusLine& status_;
};

}  // namespace pelvane
