// The wallet's start: application title, the identification dialog, the hidden main window, and
// the event loop until the dialog closes.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/session/customer.h"
#include "app/session/error_reporter.h"
#include "app/windows/error_box.h"
#include "app/windows/wallet_windows.h"

namespace {

// With PELVANE_SCREENSHOT_DIR set, saves the dialog as wallet-dialog.png, presses OK, saves the
// main window as wallet-main.png and ends the program. Used to render the documentation's
// pictures; without the variable nothing here runs.
void ScheduleScreenshots(pelvane::WalletWindows& windows, const QString& directory) {
  QTimer::singleShot(700, &windows.Form2(), [&windows, directory] {
    if (!windows.Form2().grab().save(QDir(directory).filePath("wallet-dialog.png"))) {
      std::fprintf(stderr, "pelvane: cannot save wallet-dialog.png\n");
    }
    windows.Form2().BitBtn1->click();
    QTimer::singleShot(1500, &windows.Form1(), [&windows, directory] {
      if (!windows.Form1().grab().save(QDir(directory).filePath("wallet-main.png"))) {
        std::fprintf(stderr, "pelvane: cannot save wallet-main.png\n");
      }
      QCoreApplication::quit();
    });
  });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);  // removes Qt's own options from argv
  QApplication::setApplicationName(
      QString::fromUtf8(pelvane::kApplicationTitle.data(), pelvane::kApplicationTitle.size()));
  // The program ends when the dialog closes, not when the last visible window does.
  QApplication::setQuitOnLastWindowClosed(false);

  pelvane::MessageBoxReporter error_box;
  pelvane::ScopedErrorReporter reporter(error_box);

  const std::string first_argument = argc > 1 ? std::string(argv[1]) : std::string();
  int status = 0;
  {
    pelvane::WalletWindows windows(first_argument);
    const QString screenshots = qEnvironmentVariable("PELVANE_SCREENSHOT_DIR");
    if (!screenshots.isEmpty()) ScheduleScreenshots(windows, screenshots);
    status = QApplication::exec();
  }
  pelvane::ReleaseCustomerGlobals();
  return status;
}
