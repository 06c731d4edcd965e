// pelvane-cli: the wallet without windows. Runs the same protocol session as the windows, prints
// the log to standard output as it grows and the labels' final values at the end.
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "app/session/customer.h"
#include "app/session/error_reporter.h"
#include "app/session/purchase_file.h"
#include "app/session/wallet_session.h"
#include "crypto/exception.h"
#include "crypto/formats/charset.h"
#include "crypto/secure.h"
#include "messaging/pacing.h"
#include "messaging/udp_socket.h"

namespace {

constexpr int kExitEnded = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitTimeout = 3;

constexpr char kProgram[] = "pelvane-cli";

// The dialog's presets.
constexpr char kDefaultFirstName[] = "Jan";
constexpr char kDefaultSurname[] = "Nov\xC3\xA1k";  // UTF-8
constexpr char kDefaultBirthNumber[] = "750101/1234";
constexpr char kDefaultBank[] = "127.0.0.1";

// Label captions of the main window (UTF-8).
constexpr char kNameCaption[] = "Jm\xC3\xA9no";
constexpr char kBirthNumberCaption[] = "Rodn\xC3\xA9 \xC4\x8D\xC3\xADslo";
constexpr char kBalanceCaption[] = "Stav \xC3\xBA\xC4\x8Dtu";

// Windows-1250 text for the terminal: UTF-8, with CR LF and lone CR as line feeds.
std::string ForTerminal(std::string_view cp1250) {
  std::string utf8 = pelvane::Cp1250ToUtf8(cp1250);
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r') {
      out += '\n';
      if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
    } else {
      out += utf8[i];
    }
  }
  return out;
}

void PrintError(std::string_view utf8) {
  std::fprintf(stderr, "%s: %.*s\n", kProgram, static_cast<int>(utf8.size()), utf8.data());
}

class StdoutLog final : public pelvane::LogSink {
 public:
  void AppendLine(std::string_view line) override {
    const std::string text = ForTerminal(line);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
};

class KeptLabels final : public pelvane::LabelSink {
 public:
  void SetLabel(pelvane::WalletLabel label, std::string_view text) override {
    switch (label) {
      case pelvane::WalletLabel::kName:
        name.assign(text);
        break;
      case pelvane::WalletLabel::kBirthNumber:
        birth_number.assign(text);
        break;
      case pelvane::WalletLabel::kBalance:
        balance.assign(text);
        break;
    }
  }
  void Print() const {
    std::printf("\n%s: %s\n%s: %s\n%s: %s\n", kNameCaption, ForTerminal(name).c_str(),
                kBirthNumberCaption, ForTerminal(birth_number).c_str(), kBalanceCaption,
                ForTerminal(balance).c_str());
    std::fflush(stdout);
  }
  std::string name;
  std::string birth_number;
  std::string balance;
};

class StderrReporter final : public pelvane::ErrorReporter {
 public:
  void ReportError(std::string_view message) noexcept override {
    try {
      PrintError(pelvane::Cp1250ToUtf8(message));
    } catch (...) {
      PrintError("failure");
    }
  }
};

// A failure of the front end itself (reading the password); the message is UTF-8.
class CliError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A usage error: reported with a pointer to --help, exit status 2.
struct UsageError {
  std::string message;
};

// The first line of text, without its line break.
std::string FirstLine(std::string text) {
  const std::size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) {
    pelvane::SecureWipe(text.data() + end, text.size() - end);
    text.resize(end);
  }
  return text;
}

std::string ReadAll(int fd, const std::string& name) {
  std::string content;
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      pelvane::SecureWipe(chunk, sizeof chunk);
      pelvane::SecureWipe(content);
      throw CliError("Cannot read " + name + ": " + std::strerror(errno));
    }
    if (got == 0) break;
    content.append(chunk, static_cast<std::size_t>(got));
    // Only the first line counts; stop reading once it is complete.
    if (content.find('\n') != std::string::npos) break;
  }
  pelvane::SecureWipe(chunk, sizeof chunk);
  return content;
}

std::string ReadPasswordFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw CliError("Cannot open file " + path + ": " + std::strerror(errno));
  std::string content;
  try {
    content = ReadAll(fd, path);
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  return FirstLine(std::move(content));
}

// From the terminal without echo, or the first line of standard input when it is not one.
std::string ReadPassword() {
  if (!::isatty(STDIN_FILENO)) return FirstLine(ReadAll(STDIN_FILENO, "standard input"));
  std::fputs("Heslo: ", stderr);
  std::fflush(stderr);
  termios saved{};
  const bool have_terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (have_terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  try {
    line = ReadAll(STDIN_FILENO, "the terminal");
  } catch (...) {
    if (have_terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    throw;
  }
  if (have_terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  return FirstLine(std::move(line));
}

// SIGINT and SIGTERM end the event loop through a pipe, so the labels are still printed.
int g_signal_pipe[2] = {-1, -1};

extern "C" void OnSignal(int number) {
  const unsigned char byte = static_cast<unsigned char>(number);
  const int saved = errno;
  [[maybe_unused]] const ssize_t n = ::write(g_signal_pipe[1], &byte, 1);
  errno = saved;
}

void InstallSignalHandlers() {
  if (::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier =
      new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, [] {
    unsigned char byte = 0;
    const int status = ::read(g_signal_pipe[0], &byte, 1) == 1 ? 128 + byte : kExitFailure;
    QCoreApplication::exit(status);
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

struct Settings {
  std::string purchase_file;
  std::string first_name;
  std::string surname;
  std::string birth_number;
  std::string bank;
  std::string password_file;
  bool has_password_file = false;
  bool listen = false;
  double timeout_seconds = 0;  // 0: none
  int pause_ms = pelvane::kDefaultPacingMs;
};

Settings ParseArguments(QCoreApplication& app) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromUtf8(
      "Pelvane wallet without windows: identifies the customer, runs the payment protocol\n"
      "against the bank, gateway and merchant over UDP (receiving on port 2000) and prints\n"
      "the log as it grows, then the final values of name, birth number and balance.\n"
      "With PURCHASE-FILE it makes the purchase the file describes; without one it asks the\n"
      "bank for the payments already made.\n"
      "The password is read from --password-file, else from the terminal without echo,\n"
      "else from standard input; never from the command line.\n"
      "\n"
      "Exit status: 0 the exchange ended (end-of-connection line logged), 1 failure\n"
      "(message on standard error), 2 usage error, 3 --timeout passed without an end,\n"
      "128 + the signal's number when interrupted (Ctrl+C: 130)."));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption first_name("first-name",
                                      QString::fromUtf8("Customer's first name (default Jan)."),
                                      "TEXT", QString::fromUtf8(kDefaultFirstName));
  const QCommandLineOption surname("surname",
                                   QString::fromUtf8("Customer's surname (default Novák)."), "TEXT",
                                   QString::fromUtf8(kDefaultSurname));
  const QCommandLineOption birth_number(
      "birth-number", QString::fromUtf8("Customer's birth number (default 750101/1234)."), "TEXT",
      QString::fromUtf8(kDefaultBirthNumber));
  const QCommandLineOption bank("bank", "Address of the customer's bank (default 127.0.0.1).",
                                "HOST", QString::fromUtf8(kDefaultBank));
  const QCommandLineOption password_file("password-file",
                                         "Read the password from the first line of FILE.", "FILE");
  const QCommandLineOption listen("listen",
                                  "Keep running after the end of the exchange (end with Ctrl+C).");
  const QCommandLineOption timeout(
      "timeout", "Exit with status 3 when no end of the exchange comes within SECONDS.", "SECONDS");
  const QCommandLineOption pause_ms("pause-ms",
                                    "Pause before every datagram in milliseconds (default 1000).",
                                    "N", QString::number(pelvane::kDefaultPacingMs));
  for (const QCommandLineOption* option : {&first_name, &surname, &birth_number, &bank,
                                           &password_file, &listen, &timeout, &pause_ms}) {
    parser.addOption(*option);
  }
  parser.addPositionalArgument("PURCHASE-FILE", "Purchase description file (Windows-1250).",
                               "[PURCHASE-FILE]");

  if (!parser.parse(app.arguments())) throw UsageError{parser.errorText().toStdString()};
  if (parser.isSet(help)) parser.showHelp(kExitEnded);
  if (parser.isSet(version)) parser.showVersion();

  const QStringList positional = parser.positionalArguments();
  if (positional.size() > 1) throw UsageError{"more than one purchase file given"};

  Settings s;
  if (!positional.isEmpty()) {
    if (positional.front().isEmpty()) throw UsageError{"the purchase file name is empty"};
    s.purchase_file = QFile::encodeName(positional.front()).toStdString();
  }
  s.first_name = parser.value(first_name).toUtf8().toStdString();
  s.surname = parser.value(surname).toUtf8().toStdString();
  s.birth_number = parser.value(birth_number).toUtf8().toStdString();
  s.bank = parser.value(bank).toUtf8().toStdString();
  s.has_password_file = parser.isSet(password_file);
  if (s.has_password_file)
    s.password_file = QFile::encodeName(parser.value(password_file)).toStdString();
  s.listen = parser.isSet(listen);
  if (parser.isSet(timeout)) {
    bool ok = false;
    s.timeout_seconds = parser.value(timeout).toDouble(&ok);
    if (!ok || !(s.timeout_seconds > 0) || s.timeout_seconds > 2000000) {
      throw UsageError{"--timeout needs a number of seconds greater than 0"};
    }
  }
  bool ok = false;
  s.pause_ms = parser.value(pause_ms).toInt(&ok);
  if (!ok || s.pause_ms < 0) throw UsageError{"--pause-ms needs a whole number of 0 or more"};
  return s;
}

int Run(QCoreApplication& app) {
  Settings settings = ParseArguments(app);
  pelvane::SetPacingMs(settings.pause_ms);

  StdoutLog log;
  KeptLabels labels;
  StderrReporter reporter;
  pelvane::ScopedErrorReporter install(reporter);

  // The purchase file is read as the Windows-1250 bytes it holds. Unlike the windows, which show
  // an error box and go on with an empty order, a file that cannot be read ends the run: an
  // empty order would otherwise be "bought" without anyone noticing.
  std::unique_ptr<pelvane::PurchaseBuffer> purchase;
  if (!settings.purchase_file.empty()) {
    purchase = std::make_unique<pelvane::PurchaseBuffer>();
    purchase->LoadFromFile(settings.purchase_file);
  }

  // The receiver first, as the windows open it: a busy port ends the run before the password is
  // asked for.
  pelvane::TUDPSocket receiver;
  pelvane::WalletSession* session_ptr = nullptr;
  pelvane::OpenWalletReceiver(
      receiver, [&session_ptr](pelvane::TUDPSocket& sender, int count, const std::string& from) {
        if (session_ptr != nullptr) session_ptr->ReceiveFrom(sender, count, from);
      });

  pelvane::ExchangeInputs exchange;
  {
    pelvane::WipedString password(
        settings.has_password_file ? ReadPasswordFile(settings.password_file) : ReadPassword());
    const pelvane::Identification id = pelvane::IdentificationFromUtf8(
        settings.first_name, settings.surname, settings.birth_number, *password, settings.bank);
    exchange = pelvane::ExchangeFor(id, purchase.get());
  }

  pelvane::WalletSession session(log, labels, pelvane::ProcessErrorReporter());
  session_ptr = &session;
  const bool listen = settings.listen;
  session.OnConnectionEnded = [listen] {
    if (!listen) QCoreApplication::exit(kExitEnded);
  };
  InstallSignalHandlers();

  QTimer timer;
  if (settings.timeout_seconds > 0) {
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&session, &settings] {
      if (session.ConnectionEnded()) return;
      PrintError("no end of the exchange within " +
                 QString::number(settings.timeout_seconds).toStdString() + " s");
      QCoreApplication::exit(kExitTimeout);
    });
    timer.start(static_cast<int>(settings.timeout_seconds * 1000));
  }

  int status = kExitFailure;
  try {
    session.Start(std::move(exchange));
    status = QCoreApplication::exec();
  } catch (...) {
    session_ptr = nullptr;
    labels.Print();
    throw;
  }
  session_ptr = nullptr;
  labels.Print();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(kProgram);
  QCoreApplication::setApplicationVersion(PELVANE_VERSION);
  int status = kExitFailure;
  try {
    status = Run(app);
  } catch (const UsageError& e) {
    PrintError(e.message);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
    status = kExitUsage;
  } catch (const pelvane::Exception& e) {
    PrintError(pelvane::Cp1250ToUtf8(e.Message()));
    status = kExitFailure;
  } catch (const std::exception& e) {
    PrintError(e.what());
    status = kExitFailure;
  }
  return status;
}
