// The wallet's protocol session, free of any GUI: the windows, a headless front end and tests drive
// the same object.
//
// How a front end uses it:
//   1. Implement LogSink, LabelSink and ErrorReporter (sinks.h); all texts are Windows-1250.
//   2. Before the session starts, fill the customer globals (AcceptIdentification in customer.h)
//      and, for a purchase, the purchase buffer (LoadPurchaseFile in purchase_file.h).
//   3. Construct the session with the three sinks; they must outlive it.
//   4. Call Start() once, when the main view is shown for the first time. Start() throws on a
//      failure; the caller reports it (GuardHandler in error_reporter.h) and goes on. Whatever
//      Start() did before the failure stays done.
// The error reporter handed in is for failures the session meets on its own, outside a call made
// by the front end (the handling of a received message); it is not used for failures of Start().
#pragma once

#include <string_view>

#include "app/session/sinks.h"

namespace pelvane {

class WalletSession {
 public:
  WalletSession(LogSink& log, LabelSink& labels, ErrorReporter& errors);
  virtual ~WalletSession();
  WalletSession(const WalletSession&) = delete;
  WalletSession& operator=(const WalletSession&) = delete;

  // The first showing of the main window: takes the merchant's host from the purchase file (when
  // there is one) into MerchantHost, and shows the customer's name and birth number in the labels.
  void Start();

 protected:
  void Log(std::string_view line) { log_.AppendLine(line); }
  LogSink& LogOutput() noexcept { return log_; }
  LabelSink& Labels() noexcept { return labels_; }
  ErrorReporter& Errors() noexcept { return errors_; }

 private:
  LogSink& log_;
  LabelSink& labels_;
  ErrorReporter& errors_;
};

}  // namespace pelvane
