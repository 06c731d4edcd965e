// The wallet's start: application title, the identification dialog, the hidden main window, and
// the event loop until the dialog closes.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/session/customer.h"
#include "app/session/error_reporter.h"
#include "app/windows/error_box.h"
#include "app/windows/wallet_windows.h"

namespace {

// With PELVANE_SCREENSHOT_DIR set, saves the dialog as wallet-dialog.png, presses OK, saves the
// main window as wallet-main.png and ends the program. Used to render the documentation's
// pictures; without the variable nothing here runs.
void ScheduleScreenshots(pelvane::WalletWindows& windows, const QString& directory) {
  QTimer::singleShot(700, &windows.dialog(), [&windows, directory] {
    if (!windows.dialog().grab().save(QDir(directory).filePath("wallet-dialog.png"))) {
      std::fprintf(stderr, "pelvane: cannot save wallet-dialog.png\n");
    }
    windows.dialog().okButton->click();
    QTimer::singleShot(1500, &windows.mainWindow(), [&windows, directory] {
      if (!windows.mainWindow().grab().save(QDir(directory).filePath("wallet-main.png"))) {
        std::fprintf(stderr, "pelvane: cannot save wallet-main.png\n");
      }
      QCoreApplication::quit();
    });
  });
}

constexpr char kProgram[] = "pelvane";
constexpr int kExitUsage = 2;

// True when the command line asks only for help or the version. Those are answered without the
// windowing system, so they work where there is no display. --help-all lists the windowing
// system's own options, so it goes through the full application.
bool AsksForInformation(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") return false;
    if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "-v" || arg == "--version") {
      return true;
    }
  }
  return false;
}

// Reads the command line from which the application has removed Qt's own options. Help and
// version requests print and end the program; an unknown option or a second file is a usage
// error (exit status 2), so a mistyped option is never opened as a purchase file. Returns the
// purchase description file's name, empty without one.
QString ParseCommandLine(const QStringList& arguments) {
  QCoreApplication::setApplicationName(kProgram);
  QCoreApplication::setApplicationVersion(PELVANE_VERSION);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Pelvane wallet: identifies the customer, exchanges keys with his bank over UDP\n"
      "(receiving on port 2000) and shows his balance. With PURCHASE-FILE it pays the\n"
      "purchase the file describes through the merchant and the payment gateway; without\n"
      "one it lists the payments already made. Every step is logged in the main window.\n"
      "A file name that begins with '-' follows '--'.");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  parser.addPositionalArgument("PURCHASE-FILE", "Purchase description file (Windows-1250).",
                               "[PURCHASE-FILE]");
  const bool parsed = parser.parse(arguments);
  if (parser.isSet("help-all")) parser.process({arguments.value(0, kProgram), "--help-all"});
  if (parser.isSet(help)) parser.showHelp(EXIT_SUCCESS);
  if (parser.isSet(version)) parser.showVersion();

  QString error;
  if (!parsed) {
    error = parser.errorText();
  } else if (parser.positionalArguments().size() > 1) {
    error = "More than one purchase file given.";
  }
  if (!error.isEmpty()) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                 error.toLocal8Bit().constData(), kProgram);
    std::exit(kExitUsage);
  }
  return parser.positionalArguments().value(0);
}

// The bytes of the command-line argument that reads as `decoded`: file names are passed on as
// given, even where they are not valid in the locale's encoding.
std::string RawArgument(int argc, char** argv, const QString& decoded) {
  for (int i = 1; i < argc; ++i) {
    if (QString::fromLocal8Bit(argv[i]) == decoded) return argv[i];
  }
  return QFile::encodeName(decoded).toStdString();
}

}  // namespace

int main(int argc, char** argv) {
  if (AsksForInformation(argc, argv)) {
    QCoreApplication information(argc, argv);
    ParseCommandLine(QCoreApplication::arguments());  // prints and ends the program
  }
  QApplication app(argc, argv);  // removes Qt's own options from argv
  const QString purchase_argument = ParseCommandLine(QCoreApplication::arguments());
  const std::string purchase_file =
      purchase_argument.isEmpty() ? std::string() : RawArgument(argc, argv, purchase_argument);
  QApplication::setApplicationName(
      QString::fromUtf8(pelvane::kApplicationTitle.data(), pelvane::kApplicationTitle.size()));
  // The program ends when the dialog closes, not when the last visible window does.
  QApplication::setQuitOnLastWindowClosed(false);

  pelvane::MessageBoxReporter error_box;
  pelvane::ScopedErrorReporter reporter(error_box);

  int status = 0;
  {
    pelvane::WalletWindows windows(purchase_file);
    const QString screenshots = qEnvironmentVariable("PELVANE_SCREENSHOT_DIR");
    if (!screenshots.isEmpty()) ScheduleScreenshots(windows, screenshots);
    status = QApplication::exec();
  }
  pelvane::ReleaseCustomerGlobals();
  return status;
}
