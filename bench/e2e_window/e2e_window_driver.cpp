// pelvane-e2e-window: the windowed wallet's start-up (as app/windows/main.cpp does it), with the
// identification dialog filled in and accepted by the program itself, running until the session
// logs its end of connection. bench/e2e runs it against the simulated peers to measure the
// windowed wallet's peak resident memory; the product's own behaviour is unchanged.
//
// Usage: pelvane-e2e-window [PURCHASE-FILE]
// Environment: PELVANE_E2E_PASSWORD (default "demo"), PELVANE_E2E_PAUSE_MS (default 0, the
// pacing before every datagram), PELVANE_E2E_TIMEOUT_MS (default 30000).
// Prints "exchange N ms" on standard output: from the session's first log line (the log view's
// first change) to the end of connection, as bench/e2e measures the headless wallet. Exit status: 0
// the exchange ended, 1 an error was reported, 3 no end within the timeout.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <string>
#include <string_view>

#include "app/session/customer.h"
#include "app/session/error_reporter.h"
#include "app/session/wallet_session.h"
#include "app/windows/wallet_windows.h"
#include "crypto/formats/charset.h"
#include "messaging/pacing.h"

namespace {

constexpr int kExitEnded = 0;
constexpr int kExitFailure = 1;
constexpr int kExitTimeout = 3;

// An error box would wait for a click nobody gives; the driver prints the message and fails.
class StderrReporter final : public pelvane::ErrorReporter {
 public:
  void ReportError(std::string_view message) noexcept override {
    failed = true;
    try {
      const std::string text = pelvane::Cp1250ToUtf8(message);
      std::fprintf(stderr, "pelvane-e2e-window: %s\n", text.c_str());
    } catch (...) {
      std::fprintf(stderr, "pelvane-e2e-window: failure\n");
    }
  }
  bool failed = false;
};

int EnvironmentInt(const char* name, int fallback) {
  bool ok = false;
  const int value = qEnvironmentVariableIntValue(name, &ok);
  return ok ? value : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(
      QString::fromUtf8(pelvane::kApplicationTitle.data(), pelvane::kApplicationTitle.size()));
  QApplication::setQuitOnLastWindowClosed(false);
  pelvane::SetPacingMs(EnvironmentInt("PELVANE_E2E_PAUSE_MS", 0));

  StderrReporter errors;
  pelvane::ScopedErrorReporter reporter(errors);

  const std::string first_argument = argc > 1 ? std::string(argv[1]) : std::string();
  const QString password = qEnvironmentVariableIsSet("PELVANE_E2E_PASSWORD")
                               ? qEnvironmentVariable("PELVANE_E2E_PASSWORD")
                               : QStringLiteral("demo");
  int status = kExitFailure;
  qint64 exchange_ms = -1;
  {
    pelvane::WalletWindows windows(first_argument);
    pelvane::WalletSession* session = windows.mainWindow().Session();
    if (session == nullptr || errors.failed) {
      std::fprintf(stderr, "pelvane-e2e-window: the main window has no session\n");
    } else {
      QElapsedTimer clock;
      session->OnConnectionEnded = [&clock, &exchange_ms] {
        exchange_ms = clock.isValid() ? clock.elapsed() : -1;
        QCoreApplication::exit(kExitEnded);
      };
      QObject::connect(windows.mainWindow().logView, &QPlainTextEdit::textChanged,
                       &windows.mainWindow(), [&clock] {
                         if (!clock.isValid()) clock.start();
                       });
      // Once the dialog is on screen and the event loop runs: type the password, press OK.
      QTimer::singleShot(0, &windows.dialog(), [&windows, &password] {
        windows.dialog().passwordEdit->setText(password);
        windows.dialog().okButton->click();
      });
      QTimer::singleShot(EnvironmentInt("PELVANE_E2E_TIMEOUT_MS", 30000), &windows.mainWindow(),
                         [] { QCoreApplication::exit(kExitTimeout); });
      status = QApplication::exec();
      if (status == kExitEnded && errors.failed) status = kExitFailure;
      if (status != kExitEnded) {
        // The log tells what went wrong.
        const QByteArray log = windows.mainWindow().logView->toPlainText().toUtf8();
        std::fprintf(stderr, "pelvane-e2e-window: %s; the log:\n%s\n",
                     status == kExitTimeout ? "no end of the exchange in time" : "failed",
                     log.constData());
      }
    }
  }
  pelvane::ReleaseCustomerGlobals();
  if (status == kExitEnded) std::printf("exchange %lld ms\n", static_cast<long long>(exchange_ms));
  return status;
}
