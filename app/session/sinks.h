// The narrow interface between the wallet's GUI-free session and whatever front end shows it.
//
// The session (app/session) never touches a widget or a terminal. It speaks to its front end only
// through the three small interfaces below; the windows (app/windows), a headless front end and
// the tests each implement them in their own way:
//
//   LogSink        receives every log line, in order. The session only appends: nothing it has
//                  logged is ever changed or removed.
//   LabelSink      receives the texts of the three value labels of the main window.
//   ErrorReporter  receives the message of a failure that ended an event handler; the program goes
//                  on afterwards. A front end shows it (an error box, a line on stderr); a test
//                  records it. Reporting must not throw.
//
// Every text crossing this interface is Windows-1250 bytes, exactly as the wallet keeps and sends
// it. Conversion to Unicode belongs to the front end (Cp1250ToUtf8 in crypto/formats/charset.h),
// so what the session logs is byte-for-byte what a test sees.
//
// All calls happen on the one thread that runs the session; implementations need no locking.
#pragma once

#include <string_view>

namespace pelvane {

// Appends log lines. A line may itself hold line breaks (CR, LF or CR LF); a front end that shows
// lines shows such a text as several lines. Lines are Windows-1250.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void AppendLine(std::string_view line) = 0;
};

// The value labels of the main window's "Uživatel" box.
enum class WalletLabel {
  kName,         // Label4: first name and surname
  kBirthNumber,  // Label5: birth number
  kBalance,      // Label6: account balance
};

// Sets a value label to a Windows-1250 text.
class LabelSink {
 public:
  virtual ~LabelSink() = default;
  virtual void SetLabel(WalletLabel label, std::string_view text) = 0;
};

// Shows the message of a failure. The message is Windows-1250 and already final: the full-stop
// rule (ErrorBoxText in error_reporter.h) has been applied by the caller. Must not throw.
class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  virtual void ReportError(std::string_view message) noexcept = 0;
};

}  // namespace pelvane
