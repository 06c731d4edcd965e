// The wallet's start: the command line, the application title, the identification dialog, the
// hidden main window, and the event loop until the dialog closes.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/session/customer.h"
#include "app/session/error_reporter.h"
#include "app/windows/command_line.h"
#include "app/windows/error_box.h"
#include "app/windows/wallet_windows.h"

namespace {

constexpr char kProgram[] = "pelvane";
constexpr int kExitUsage = 2;

void SaveGrab(QWidget& widget, const QString& directory, const char* name) {
  if (!widget.grab().save(QDir(directory).filePath(QString::fromLatin1(name)))) {
    std::fprintf(stderr, "%s: cannot save %s\n", kProgram, name);
  }
}

// With PELVANE_SCREENSHOT_DIR set, renders the documentation's pictures into that folder and ends
// the program; without the variable nothing here runs. PELVANE_SCREENSHOT chooses the set:
//   start (default)  the dialog as wallet-dialog.png, then the main window shortly after OK as
//                    wallet-main.png;
//   dialog-2x        the dialog alone as wallet-dialog-2x.png (run with QT_SCALE_FACTOR=2);
//   purchase         types PELVANE_SCREENSHOT_PASSWORD, presses OK and saves the main window as
//                    wallet-purchase.png once the exchange has ended and the log has been quiet
//                    for a moment (or after 90 s).
void ScheduleScreenshots(pelvane::WalletWindows& windows, const QString& directory) {
  const QString set = qEnvironmentVariable("PELVANE_SCREENSHOT", QStringLiteral("start"));
  pelvane::IdentificationDialog& dialog = windows.dialog();
  pelvane::MainWindow& main_window = windows.mainWindow();
  if (set == QStringLiteral("dialog-2x")) {
    QTimer::singleShot(700, &dialog, [&dialog, directory] {
      SaveGrab(dialog, directory, "wallet-dialog-2x.png");
      QCoreApplication::quit();
    });
  } else if (set == QStringLiteral("purchase")) {
    QTimer::singleShot(300, &dialog, [&dialog, &main_window, directory] {
      dialog.passwordEdit->setText(qEnvironmentVariable("PELVANE_SCREENSHOT_PASSWORD"));
      auto quiet = std::make_shared<QElapsedTimer>();
      auto overall = std::make_shared<QElapsedTimer>();
      quiet->start();
      overall->start();
      QObject::connect(main_window.logView, &QPlainTextEdit::textChanged, &main_window,
                       [quiet] { quiet->restart(); });
      auto* poll = new QTimer(&main_window);
      QObject::connect(poll, &QTimer::timeout, &main_window,
                       [&main_window, directory, quiet, overall, poll] {
                         pelvane::WalletSession* session = main_window.Session();
                         const bool ended = session != nullptr && session->ConnectionEnded();
                         if ((ended && quiet->elapsed() > 2500) || overall->elapsed() > 90000) {
                           poll->stop();
                           SaveGrab(main_window, directory, "wallet-purchase.png");
                           QCoreApplication::quit();
                         }
                       });
      poll->start(200);
      dialog.okButton->click();
    });
  } else {
    QTimer::singleShot(700, &dialog, [&dialog, &main_window, directory] {
      SaveGrab(dialog, directory, "wallet-dialog.png");
      dialog.okButton->click();
      QTimer::singleShot(2500, &main_window, [&main_window, directory] {
        SaveGrab(main_window, directory, "wallet-main.png");
        QCoreApplication::quit();
      });
    });
  }
}

// Help and version are answered without the windowing system, so they work without a display;
// --help-all lists the windowing system's own options, so it needs the full application.
[[noreturn]] void ShowInformation(int argc, char** argv,
                                  pelvane::WalletCommandLine::Request request) {
  using Request = pelvane::WalletCommandLine::Request;
  const std::unique_ptr<QCoreApplication> information =
      request == Request::kHelpAll ? std::make_unique<QApplication>(argc, argv)
                                   : std::make_unique<QCoreApplication>(argc, argv);
  QCoreApplication::setApplicationName(kProgram);
  QCoreApplication::setApplicationVersion(PELVANE_VERSION);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Pelvane wallet: identifies the customer, exchanges keys with his bank over UDP\n"
      "(receiving on port 2000) and shows his balance. With PURCHASE-FILE it pays the\n"
      "purchase the file describes through the merchant and the payment gateway; without\n"
      "one it lists the payments already made. Every step is logged in the main window.\n"
      "Arguments after the first file are ignored. A file name that begins with '-'\n"
      "follows '--'. Exit status: 0 the wallet was closed, 1 port 2000 is held by\n"
      "another program, 2 usage error.");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("PURCHASE-FILE", "Purchase description file (Windows-1250).",
                               "[PURCHASE-FILE]");
  if (request == Request::kVersion) parser.showVersion();
  if (request == Request::kHelpAll) parser.process(QStringList{kProgram, "--help-all"});
  parser.showHelp(EXIT_SUCCESS);
}

}  // namespace

int main(int argc, char** argv) {
  const pelvane::WalletCommandLine command_line =
      pelvane::ParseWalletCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  using Request = pelvane::WalletCommandLine::Request;
  if (command_line.request == Request::kUsageError) {
    std::fprintf(stderr, "%s: %s\n", kProgram, command_line.error.c_str());
    return kExitUsage;
  }
  if (command_line.request != Request::kRun) ShowInformation(argc, argv, command_line.request);
  for (const std::string& warning : command_line.warnings) {
    std::fprintf(stderr, "%s: %s\n", kProgram, warning.c_str());
  }

  QApplication app(argc, argv);  // takes the windowing system's own options
  QApplication::setApplicationName(
      QString::fromUtf8(pelvane::kApplicationTitle.data(), pelvane::kApplicationTitle.size()));
  // The program ends when the dialog closes, not when the last visible window does.
  QApplication::setQuitOnLastWindowClosed(false);

  pelvane::MessageBoxReporter error_box;
  pelvane::ScopedErrorReporter reporter(error_box);

  const QString screenshots = qEnvironmentVariable("PELVANE_SCREENSHOT_DIR");
  const int status =
      pelvane::RunWalletWindows(command_line.purchase_file, [&](pelvane::WalletWindows& windows) {
        if (!screenshots.isEmpty()) ScheduleScreenshots(windows, screenshots);
      });
  pelvane::ReleaseCustomerGlobals();
  return status;
}
