// pelvane-cli: the wallet without windows. Runs the same protocol session as the windows, prints
// the log to standard output as it grows and the labels' final values at the end.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/session/customer.h"
#include "app/session/error_reporter.h"
#include "app/session/purchase_file.h"
#include "app/session/wallet_session.h"
#include "cmdline/options.h"
#include "cmdline/password.h"
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

// Windows-1250 text for the terminal: UTF-8, with CR LF as line feeds and every other control
// byte shown as "\xNN", so that received bytes cannot move the cursor, clear or reset the
// terminal.
std::string ForTerminal(std::string_view cp1250) {
  return pelvane::Cp1250ToUtf8(pelvane::EscapeControlBytes(cp1250));
}

// A message may quote received bytes: control bytes are shown escaped.
void PrintError(std::string_view utf8) {
  const std::string shown = pelvane::EscapeControlBytes(utf8);
  std::fprintf(stderr, "%s: %s\n", kProgram, shown.c_str());
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

constexpr char kHelp[] =
    "Usage: pelvane-cli [options] [PURCHASE-FILE]\n"
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
    "128 + the signal's number when interrupted (Ctrl+C: 130).\n"
    "\n"
    "Options:\n"
    "  -h, --help              Displays help on commandline options.\n"
    "  -v, --version           Displays version information.\n"
    "  --first-name <TEXT>     Customer's first name (default Jan).\n"
    "  --surname <TEXT>        Customer's surname (default Nov\xC3\xA1k).\n"
    "  --birth-number <TEXT>   Customer's birth number (default 750101/1234).\n"
    "  --bank <HOST>           Address of the customer's bank (default 127.0.0.1).\n"
    "  --password-file <FILE>  Read the password from the first line of FILE.\n"
    "  --listen                Keep running after the end of the exchange (end with Ctrl+C).\n"
    "  --timeout <SECONDS>     Exit with status 3 when no end of the exchange comes within\n"
    "                          SECONDS.\n"
    "  --pause-ms <N>          Pause before every datagram in milliseconds (default 1000).\n"
    "\n"
    "Arguments:\n"
    "  PURCHASE-FILE           Purchase description file (Windows-1250); later arguments\n"
    "                          are ignored. A name that begins with '-' follows '--'.\n";

// Reads the command line (without the program name). --help and --version print and end the
// program.
Settings ParseArguments(const std::vector<std::string>& args) {
  pelvane::cmdline::OptionTable table;
  table.valued = {"first-name",    "surname", "birth-number", "bank",
                  "password-file", "timeout", "pause-ms"};
  table.flags = {"help", "version", "listen"};
  table.aliases = {{"-h", "help"}, {"-?", "help"}, {"-v", "version"}};
  const pelvane::cmdline::ParsedOptions options(args, table);
  if (options.Has("help")) {
    std::fputs(kHelp, stdout);
    std::exit(kExitEnded);
  }
  if (options.Has("version")) {
    std::printf("%s %s\n", kProgram, PELVANE_VERSION);
    std::exit(kExitEnded);
  }

  // Only the first word names the purchase file, as in the windowed wallet.
  const std::vector<std::string>& positional = options.Words();
  for (std::size_t i = 1; i < positional.size(); ++i) {
    PrintError("ignoring the extra argument " + positional[i] +
               "; only the first names the purchase file");
  }

  Settings s;
  if (!positional.empty()) {
    if (positional.front().empty())
      throw pelvane::cmdline::UsageError("the purchase file name is empty");
    s.purchase_file = positional.front();
  }
  s.first_name = options.Value("first-name", kDefaultFirstName);
  s.surname = options.Value("surname", kDefaultSurname);
  s.birth_number = options.Value("birth-number", kDefaultBirthNumber);
  s.bank = options.Value("bank", kDefaultBank);
  s.has_password_file = options.Has("password-file");
  if (s.has_password_file) s.password_file = options.Required("password-file");
  s.listen = options.Has("listen");
  if (options.Has("timeout")) {
    const std::string text = options.Required("timeout");
    char* end = nullptr;
    errno = 0;
    s.timeout_seconds = text.empty() ? 0 : std::strtod(text.c_str(), &end);
    const bool ok = !text.empty() && errno == 0 && end == text.c_str() + text.size();
    if (!ok || !(s.timeout_seconds > 0) || s.timeout_seconds > 2000000) {
      throw pelvane::cmdline::UsageError("--timeout needs a number of seconds greater than 0");
    }
  }
  long long pause = -1;
  try {
    pause = options.Integer("pause-ms", pelvane::kDefaultPacingMs);
  } catch (const pelvane::cmdline::UsageError&) {
    // reported below
  }
  if (pause < 0 || pause > INT_MAX) {
    throw pelvane::cmdline::UsageError("--pause-ms needs a whole number of 0 or more");
  }
  s.pause_ms = static_cast<int>(pause);
  return s;
}

int Run(const std::vector<std::string>& args) {
  Settings settings = ParseArguments(args);
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
    const pelvane::SecretString password =
        settings.has_password_file ? pelvane::cmdline::ReadPasswordFile(settings.password_file)
                                   : pelvane::cmdline::ReadPasswordFromInput("Heslo: ");
    const pelvane::Identification id = pelvane::IdentificationFromUtf8(
        settings.first_name, settings.surname, settings.birth_number, password, settings.bank);
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
    status = Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const pelvane::cmdline::UnknownOption& e) {
    PrintError(e.FileNameHint());  // one line: it may be a file name that begins with "-"
    status = kExitUsage;
  } catch (const pelvane::cmdline::UsageError& e) {
    PrintError(e.what());
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
