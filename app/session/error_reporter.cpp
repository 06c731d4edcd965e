#include "app/session/error_reporter.h"

#include <cstdio>

#include "crypto/exception.h"

namespace pelvane {
namespace {

class StderrReporter final : public ErrorReporter {
 public:
  void ReportError(std::string_view message) noexcept override {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(kApplicationTitle.size()),
                 kApplicationTitle.data(), static_cast<int>(message.size()), message.data());
  }
};

StderrReporter& DefaultReporter() noexcept {
  static StderrReporter reporter;
  return reporter;
}

ErrorReporter*& InstalledReporter() noexcept {
  static ErrorReporter* installed = nullptr;
  return installed;
}

ErrorReporter& CurrentReporter() noexcept {
  ErrorReporter* installed = InstalledReporter();
  return installed != nullptr ? *installed : DefaultReporter();
}

class ForwardingReporter final : public ErrorReporter {
 public:
  void ReportError(std::string_view message) noexcept override {
    CurrentReporter().ReportError(message);
  }
};

}  // namespace

std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

std::string FailureMessage(std::exception_ptr failure) {
  try {
    if (failure) std::rethrow_exception(failure);
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
  }
  return "Unknown failure";
}

void SetErrorReporter(ErrorReporter* reporter) noexcept {
  InstalledReporter() = reporter;
}

ErrorReporter& ProcessErrorReporter() noexcept {
  static ForwardingReporter forwarder;
  return forwarder;
}

void ReportCurrentFailure() noexcept {
  try {
    const std::string text = ErrorBoxText(FailureMessage(std::current_exception()));
    CurrentReporter().ReportError(text);
  } catch (...) {
    // Composing the text failed (out of memory): report a fixed text rather than nothing.
    CurrentReporter().ReportError("Out of memory.");
  }
}

ScopedErrorReporter::ScopedErrorReporter(ErrorReporter& reporter) noexcept
    : previous_(InstalledReporter()) {
  SetErrorReporter(&reporter);
}

ScopedErrorReporter::~ScopedErrorReporter() {
  SetErrorReporter(previous_);
}

}  // namespace pelvane
