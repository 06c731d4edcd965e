// The wallet's protocol session, free of any GUI: the windows, the headless wallet and tests drive
// the same object.
//
// How a front end uses it:
//   1. Implement LogSink, LabelSink and ErrorReporter (sinks.h); all texts are Windows-1250.
//   2. Open the receiver on port 2000 (OpenWalletReceiver below) with a handler that calls
//      UDPSocket1DataReceived. The receiver belongs to the front end and lives as long as it.
//   3. Before the session starts, fill the customer globals (AcceptIdentification in customer.h)
//      and, for a purchase, the purchase buffer (LoadPurchaseFile in purchase_file.h).
//   4. Construct the session with the three sinks (and, for tests, a transport); they must
//      outlive it.
//   5. Call Start() once, when the main view is shown for the first time. Start() throws on a
//      failure; the caller reports it (GuardHandler in error_reporter.h) and goes on. Whatever
//      Start() did before the failure stays done.
//
// Every received datagram is handled to completion by UDPSocket1DataReceived, which never
// throws: a failure inside a step (a malformed frame, a conversion error, a failed send, an RSA or
// cipher error) stops that step and is logged as one line "*** Chyba: " + the failure's message;
// the wallet keeps listening. The error reporter is used only when even that line cannot be
// logged.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/session/sinks.h"
#include "app/session/transport.h"
#include "crypto/exception.h"
#include "messaging/udp_socket.h"

namespace pelvane {

// The line that ends an exchange in the log (Windows-1250).
inline constexpr char kEndOfConnectionLine[] = "--- KONEC SPOJEN\xCD ---";
// The start of the line that logs a failure inside a step.
inline constexpr char kStepFailurePrefix[] = "*** Chyba: ";
// The refusal sent to the bank (message 21) when the balance does not cover the order.
inline constexpr char kInsufficientFundsText[] =
    "*** Z\xE1kazn\xEDk m\xE1 nedostate\xE8nou hotovost na \xFA\xE8tu.";

// Local port of the wallet's receiver and the peers' ports.
inline constexpr int kReceiverPort = 2000;
inline constexpr int kBankPort = 2001;
inline constexpr int kGatewayPort = 2003;
inline constexpr int kMerchantPort = 2004;

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

  // The first showing of the main window: empties the bank's public key, takes the merchant's
  // host from the purchase file (when there is one), loads the wallet's key pair and logs it,
  // sends the public key to the bank (99) and shows the customer in the labels.
  void Start();

  // The receiver's data-received event: reads the datagram of NumberBytes bytes from sender,
  // logs its arrival and runs its step. Never throws (see the top of this file).
  void UDPSocket1DataReceived(TUDPSocket& sender, int NumberBytes, const std::string& FromIP);
  // The same for a datagram already in hand (tests, fuzzing).
  void DataReceived(std::string_view datagram, const std::string& FromIP) noexcept;

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

  void Message98(std::string_view frame);
  void Message2(std::string_view frame);
  void Message13(std::string_view frame);
  void Message76(std::string_view frame);
  void Message95(std::string_view frame);
  void Message96(std::string_view frame);
  void Message10(std::string_view frame);
  void FinalReport(std::string_view frame, const std::string& session_key);

  LogSink& log_;
  LabelSink& labels_;
  ErrorReporter& errors_;
  std::unique_ptr<SessionTransport> own_transport_;
  SessionTransport& transport_;
  KeySlots keys_;
  int depth_ = 0;
  bool end_logged_ = false;
  bool order_sent_ = false;
  bool end_announced_ = false;
};

}  // namespace pelvane
