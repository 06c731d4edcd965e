// Reporting of failures that end an event handler: one process-wide reporter that a front end
// installs (the windows install an error box) and that tests replace, so no test ever waits on a
// modal box.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "app/session/sinks.h"

namespace pelvane {

// The application title; it heads every error box.
inline constexpr std::string_view kApplicationTitle = "Pelvane";

// The text an error box shows for a failure message: the message with a full stop appended when
// its last byte comes after "." in character code order (bytes compared unsigned). A message that
// already ends in ".", "!", "," or a blank, and an empty message, are left as they are.
std::string ErrorBoxText(std::string_view message);

// The message of any caught exception: the text of a pelvane::Exception, what() of any other
// standard exception, and a fixed text for anything else.
std::string FailureMessage(std::exception_ptr failure);

// Installs reporter as the process-wide one; nullptr restores the default, which writes
// "Pelvane: <message>" to standard error. The caller keeps ownership and must uninstall a reporter
// before destroying it (ScopedErrorReporter does both).
void SetErrorReporter(ErrorReporter* reporter) noexcept;

// A reporter that always forwards to the one installed at the moment of the call. Hand it to
// objects that outlive a reporter swap (the session, the windows).
ErrorReporter& ProcessErrorReporter() noexcept;

// Reports the currently handled exception (call inside a catch block) through the installed
// reporter, with the full-stop rule applied.
void ReportCurrentFailure() noexcept;

// Installs a reporter for the lifetime of this object and restores the previous one afterwards.
class ScopedErrorReporter {
 public:
  explicit ScopedErrorReporter(ErrorReporter& reporter) noexcept;
  ~ScopedErrorReporter();
  ScopedErrorReporter(const ScopedErrorReporter&) = delete;
  ScopedErrorReporter& operator=(const ScopedErrorReporter&) = delete;

 private:
  ErrorReporter* previous_;
};

// Runs an event handler. A failure abandons the handler where it was raised, is reported through
// the installed reporter, and the program goes on; nothing is rolled back. Returns whether the
// handler finished without a failure.
template <typename Handler>
bool GuardHandler(Handler&& handler) noexcept {
  try {
    std::forward<Handler>(handler)();
    return true;
  } catch (...) {
    ReportCurrentFailure();
    return false;
  }
}

}  // namespace pelvane
