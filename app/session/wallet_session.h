// The wallet's protocol session, free of any GUI: the windows, the headless wallet and tests drive
// the same object.
//
// How a front end uses it:
//   1. Implement LogSink, LabelSink and ErrorReporter (sinks.h); all texts are Windows-1250.
//   2. Open the receiver on port 2000 (OpenWalletReceiver below) with a handler that calls
//      ReceiveFrom. The receiver belongs to the front end and lives as long as it.
//   3. Construct the session with the three sinks (and, for tests, a transport); they must
//      outlive it.
//   4. Call Start() once with the exchange's inputs (the customer and his digest, the bank's
//      address, the purchase if any: exchange_inputs.h), when the main view is shown for the
//      first time. Start() throws on a failure; the caller reports it (GuardHandler in
//      error_reporter.h) and goes on. Whatever Start() did before the failure stays done.
//
// Every received datagram is handled to completion by ReceiveFrom, which never throws: a
// failure inside a step (a malformed frame, a conversion error, a failed send, an RSA or cipher
// error) stops that step and is logged as one line "*** Chyba: " + the failure's message; the
// wallet keeps listening. The error reporter is used only when even that line cannot be logged.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/session/exchange_inputs.h"
#include "app/session/sinks.h"
#include "app/session/transport.h"
#include "crypto/exception.h"
#include "messaging/udp_socket.h"
#include "protocol/ports.h"
#include "protocol/texts.h"

namespace pelvane {

// The start of the line that logs a failure inside a step.
inline constexpr char kStepFailurePrefix[] = "*** Chyba: ";

// The receiver could not bind its port: another program holds it.
class EPortInUse : public Exception {
  using Exception::Exception;
};

// Sets up the front end's receiver as the main window does: RemotePort 0, LocalPort 2000 (which
// binds), ReportLevel 1 and the data-received handler. Throws EPortInUse, with a message for the
// user, when the port could not be bound; the socket then receives nothing.
void OpenWalletReceiver(TUDPSocket& socket, TOnReceive handler);

// The eight key texts of the session, all empty at first. Session keys and the private key are
// wiped when overwritten and when the slots go away.
struct KeySlots {
  std::string FOwnPublicKey;
  std::string FOwnPrivateKey;
  std::string FBankPublicKey;
  std::string FMerchantPublicKey;
  std::string FGatewayPublicKey;
  std::string FBankSessionKey;
  std::string FGatewaySessionKey;
  std::string FMerchantSessionKey;

  KeySlots() = default;
  KeySlots(const KeySlots&) = delete;
  KeySlots& operator=(const KeySlots&) = delete;
  ~KeySlots();
};

class WalletSession {
 public:
  // Sends real datagrams (DatagramTransport).
  WalletSession(LogSink& log, LabelSink& labels, ErrorReporter& errors);
  // Sends through the given transport, which must outlive the session.
  WalletSession(LogSink& log, LabelSink& labels, ErrorReporter& errors,
                SessionTransport& transport);
  virtual ~WalletSession();
  WalletSession(const WalletSession&) = delete;
  WalletSession& operator=(const WalletSession&) = delete;

  // The first showing of the main window: keeps the inputs for the exchange, empties the bank's
  // public key, takes the merchant's host from the purchase file (when there is one), loads the
  // wallet's key pair and logs it, sends the public key to the bank (99) and shows the customer
  // in the labels.
  void Start(ExchangeInputs inputs);

  // The receiver's data-received event: reads the datagram of byte_count bytes from socket,
  // logs its arrival and runs its step. Never throws (see the top of this file).
  void ReceiveFrom(TUDPSocket& socket, int byte_count, const std::string& from_ip);
  // The same for a datagram already in hand (tests, fuzzing).
  void DataReceived(std::string_view datagram, const std::string& from_ip) noexcept;

  // Runs the step for the frame's identifier. Throws on a failure inside the step.
  void ProcessMessage(std::string_view frame);

  // True once the run's order (message 79) has been sealed and handed to the transport. From
  // then the messages that drive an exchange forward (98, 2, 76, 95, 96) are logged as received
  // and change nothing: no new keys, nothing sent (a refusal text in 2 or 76 is still logged
  // with the end line, which sends nothing either). A run pays at most once; Start begins a
  // new run.
  bool OrderSent() const noexcept { return order_sent_; }

  // True once an end-of-connection line has been logged.
  bool ConnectionEnded() const noexcept { return end_logged_; }
  // Called once, after the handling of the datagram whose step logged the first
  // end-of-connection line has finished (so whatever that step sent has left). Must not throw;
  // a failure is reported through the error reporter.
  std::function<void()> OnConnectionEnded;

  const KeySlots& Keys() const noexcept { return keys_; }
  // The merchant's host (from the purchase file at Start) and the payment gateway's (from
  // message 76); empty until known.
  const std::string& MerchantHost() const noexcept { return merchant_host_; }
  const std::string& GatewayHost() const noexcept { return gateway_host_; }

 protected:
  void Log(std::string_view line) { log_.AppendLine(line); }
  LogSink& LogOutput() noexcept { return log_; }
  LabelSink& Labels() noexcept { return labels_; }
  ErrorReporter& Errors() noexcept { return errors_; }

 private:
  template <typename Step>
  void HandleDatagram(Step&& step) noexcept;
  void LogStepFailure() noexcept;
  void LogEnd();
  // OpenSecureMessage with the key and the own key pair.
  std::string Open(std::string_view frame, const std::string& session_key) const;
  // The public key a key message (98, 95, 96) carries. Throws, before the step changes any slot,
  // when the body is no key the RSA component accepts: a stray frame must not replace a key or
  // a session key the exchange relies on.
  static std::string TakePeerKey(std::string_view frame);
  // After the order has gone: logs that the message changes nothing and returns true.
  bool OrderAlreadySent();
  // The error check: logs a "***" text and the end line and returns true.
  bool Refused(const std::string& text);
  void SetSecret(std::string& slot, std::string value);

  // One handler per message the wallet receives (protocol/messages.h).
  void OnBankKey(std::string_view frame);                                      // 98
  void OnBalance(std::string_view frame);                                      // 2
  void OnPaymentList(std::string_view frame);                                  // 13
  void OnGatewayAddress(std::string_view frame);                               // 76
  void OnGatewayKey(std::string_view frame);                                   // 95
  void OnMerchantKey(std::string_view frame);                                  // 96
  void OnPaymentConfirmed(std::string_view frame);                             // 10
  void OnFinalReport(std::string_view frame, const std::string& session_key);  // 20 22 23 25

  LogSink& log_;
  LabelSink& labels_;
  ErrorReporter& errors_;
  std::unique_ptr<SessionTransport> own_transport_;
  SessionTransport& transport_;
  KeySlots keys_;
  ExchangeInputs inputs_;
  std::string merchant_host_;
  std::string gateway_host_;
  int depth_ = 0;
  bool end_logged_ = false;
  bool order_sent_ = false;
  bool end_announced_ = false;
};

}  // namespace pelvane
