#include "peers/peers_cli.h"

#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>

#include "cmdline/options.h"
#include "cmdline/password.h"
#include "crypto/exception.h"
#include "crypto/formats/charset.h"
#include "crypto/input_file.h"
#include "crypto/secure.h"
#include "messaging/pacing.h"
#include "peers/bank.h"
#include "peers/bank_database.h"
#include "peers/gateway.h"
#include "peers/merchant.h"
#include "peers/shop_catalogue.h"
#include "peers/web_shop.h"
#include "peers/web_shop_server.h"

namespace pelvane::peers {

namespace {

constexpr char kUsage[] =
    "Usage:\n"
    "  pelvane-peers [--role bank|gateway|merchant|all] [--bind ADDRESS] [--pause-ms N]\n"
    "                [--db FILE] [--bank-host ADDRESS] [--gateway-host ADDRESS]\n"
    "                [--merchant-host ADDRESS] [--http ADDRESS:PORT | --no-http]\n"
    "                [--catalogue FILE] [--verbose]\n"
    "  pelvane-peers account add [--db FILE] --first-name NAME --surname NAME\n"
    "                --birth-number NUMBER [--password-file FILE] --balance CROWNS\n"
    "  pelvane-peers account list [--db FILE]\n"
    "\n"
    "Runs the customer's bank (UDP port 2001), the payment gateway (2003) and the merchant\n"
    "(2004) for the wallet, or manages the bank's accounts.\n"
    "  --role         which peers to run (default all)\n"
    "  --bind         the address the peers listen on (default 127.0.0.1)\n"
    "  --pause-ms     pause before every datagram sent, in milliseconds (default 1000)\n"
    "  --db           the bank's SQLite database (default $XDG_DATA_HOME/pelvane/bank.sqlite;\n"
    "                 :memory: keeps it in memory); created with a demo account on first use\n"
    "  --bank-host    where the gateway finds the bank (default: the bind address)\n"
    "  --gateway-host the gateway's address the bank tells wallets and the merchant uses\n"
    "                 (default: the bind address)\n"
    "  --merchant-host the merchant's address the gateway takes requests from (default: the\n"
    "                 bind address)\n"
    "  --http         where the merchant's web shop listens (default 127.0.0.1:8004)\n"
    "  --no-http      run the merchant without its web shop\n"
    "  --catalogue    the web shop's articles, lines name;count;price with the price for\n"
    "                 count pieces (default: the example books)\n"
    "  --verbose      log balances, payment lists, order items and the texts sent to wallets\n"
    "                 (customer data; without it the log says only that they were sent)\n"
    "  --password-file the new account's password is the file's first line; without it the\n"
    "                 password is typed without echo, or read from standard input; the file\n"
    "                 must be a regular file of at most 4 KiB, readable by you alone\n"
    "  --help         show this help\n"
    "  --version      show the program's version\n";

using cmdline::ParsedOptions;
using cmdline::UsageError;

// Every option of every command; each command allows its own (ParsedOptions::AllowOnly).
ParsedOptions Parse(const std::vector<std::string>& args) {
  cmdline::OptionTable table;
  table.valued = {"role",          "bind",          "pause-ms",   "db",       "bank-host",
                  "gateway-host",  "merchant-host", "first-name", "surname",  "birth-number",
                  "password-file", "balance",       "http",       "catalogue"};
  table.flags = {"help", "version", "no-http", "verbose"};
  table.aliases = {{"-h", "help"}};
  return ParsedOptions(args, table);
}

std::int64_t NumberOption(const std::string& name, const std::string& text, std::int64_t max) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
    throw UsageError("--" + name + " needs a whole number from 0 to " + std::to_string(max));
  const std::int64_t value = std::stoll(text);
  if (value > max) {
    throw UsageError("--" + name + " needs a whole number from 0 to " + std::to_string(max));
  }
  return value;
}

std::string Cp1250Field(const std::string& name, const std::string& utf8) {
  try {
    return Utf8ToCp1250(utf8);
  } catch (const EConvertError&) {
    throw UsageError("--" + name + " holds a character that Windows-1250 cannot represent");
  }
}

std::string DatabasePath(const ParsedOptions& parsed) {
  return parsed.Has("db") ? parsed.Required("db") : DefaultDatabasePath();
}

// The password, converted from UTF-8 (as the wallet's command line reads it, so both compute
// the same customer digest): the first line of --password-file, else typed without echo or
// given on standard input.
std::string ReadPassword(const ParsedOptions& parsed) {
  const bool from_file = parsed.Has("password-file");
  const SecretString utf8 = from_file ? cmdline::ReadPasswordFile(parsed.Required("password-file"))
                                      : cmdline::ReadPasswordFromInput("Password: ");
  try {
    return Utf8ToCp1250(utf8);
  } catch (const EConvertError&) {
    throw Exception(std::string(from_file ? "The password file" : "The password") +
                    " holds a character that Windows-1250 cannot represent");
  }
}

int AccountAdd(const ParsedOptions& parsed, std::ostream& out) {
  parsed.AllowOnly({"db", "first-name", "surname", "birth-number", "password-file", "balance"});
  const std::string first = Cp1250Field("first-name", parsed.Required("first-name"));
  const std::string surname = Cp1250Field("surname", parsed.Required("surname"));
  const std::string birth = Cp1250Field("birth-number", parsed.Required("birth-number"));
  const std::int64_t balance = NumberOption("balance", parsed.Required("balance"), kMaxAmount);
  WipedString password(ReadPassword(parsed));
  BankDatabase db(DatabasePath(parsed));
  const Account account = db.AddAccount(first, surname, birth, *password, balance);
  out << "Added account " << account.id << ": " << account.name << ", balance " << account.balance
      << " K\xC4\x8D, customer digest " << account.digest << "\n";
  return 0;
}

int AccountList(const ParsedOptions& parsed, std::ostream& out) {
  parsed.AllowOnly({"db"});
  BankDatabase db(DatabasePath(parsed));
  char line[128];
  std::snprintf(line, sizeof line, "%4s %14s  %-40s  %s\n", "ID", "Balance", "Customer digest",
                "Name");
  out << line;
  for (const Account& a : db.ListAccounts()) {
    std::snprintf(line, sizeof line, "%4lld %11lld K\xC4\x8D  %-40s  ",
                  static_cast<long long>(a.id), static_cast<long long>(a.balance),
                  a.digest.c_str());
    out << line << a.name << "\n";
  }
  return 0;
}

// Messages of the crypto and messaging layers are Windows-1250; ours (paths, database errors)
// are UTF-8 already. Control bytes (a message may quote received or stored bytes) are shown
// escaped.
std::string ForTerminal(const std::string& message) {
  const std::string shown = EscapeControlBytes(message);
  try {
    Utf8ToCp1250(shown);
    return shown;
  } catch (const EConvertError&) {
    return Cp1250ToUtf8(shown);
  }
}

// SIGINT and SIGTERM end the event loop through a pipe, so the database closes cleanly.
int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto n = ::write(g_signal_pipe[1], &byte, 1);
}

int RunPeers(const ParsedOptions& parsed, std::ostream& err) {
  parsed.AllowOnly({"role", "bind", "pause-ms", "db", "bank-host", "gateway-host", "merchant-host",
                    "http", "no-http", "catalogue", "verbose"});
  const bool verbose = parsed.Has("verbose");
  const std::string role = parsed.Value("role", "all");
  if (role != "all" && role != "bank" && role != "gateway" && role != "merchant") {
    throw UsageError("--role must be bank, gateway, merchant or all");
  }
  const std::string bind = parsed.Value("bind", "127.0.0.1");
  const std::string peer_default = bind == "0.0.0.0" ? "127.0.0.1" : bind;
  const std::string bank_host = parsed.Value("bank-host", peer_default);
  const std::string gateway_host = parsed.Value("gateway-host", peer_default);
  const std::string merchant_host = parsed.Value("merchant-host", peer_default);
  if (parsed.Has("pause-ms")) {
    SetPacingMs(static_cast<int>(NumberOption("pause-ms", parsed.Required("pause-ms"), 60000)));
  }
  const bool shop_wanted = (role == "all" || role == "merchant") && !parsed.Has("no-http");
  if (parsed.Has("no-http") && (parsed.Has("http") || parsed.Has("catalogue"))) {
    throw UsageError{"--no-http goes with neither --http nor --catalogue"};
  }
  if (role != "all" && role != "merchant" && (parsed.Has("http") || parsed.Has("catalogue"))) {
    throw UsageError{
        "--http and --catalogue belong to the merchant's web shop (--role merchant or all)"};
  }
  std::pair<std::string, int> http_address{"127.0.0.1", 8004};
  if (parsed.Has("http")) {
    try {
      http_address = ParseHttpAddress(parsed.Required("http"));
    } catch (const Exception& e) {
      throw UsageError{e.Message()};
    }
  }
  std::optional<ShopCatalogue> catalogue;
  if (shop_wanted) {
    catalogue = parsed.Has("catalogue") ? ShopCatalogue::Load(parsed.Required("catalogue"))
                                        : ShopCatalogue::Default();
  }
  if (QCoreApplication::instance() == nullptr) {
    err << "pelvane-peers: running the peers needs an application object\n";
    return kExitFailure;
  }

  const LogSink log = StderrLog();
  std::unique_ptr<BankDatabase> db;
  std::unique_ptr<Bank> bank;
  std::unique_ptr<Gateway> gateway;
  std::unique_ptr<Merchant> merchant;
  if (role == "all" || role == "bank") {
    const std::string path = DatabasePath(parsed);
    db = std::make_unique<BankDatabase>(path);
    bank = std::make_unique<Bank>(*db, bind, gateway_host, log);
    log("[bank] accounts in " + path);
  }
  if (role == "all" || role == "gateway") {
    gateway = std::make_unique<Gateway>(bind, bank_host, log, PeerSeam{}, merchant_host);
  }
  if (role == "all" || role == "merchant") {
    merchant = std::make_unique<Merchant>(bind, gateway_host, log);
  }
  for (PeerBase* peer : {static_cast<PeerBase*>(bank.get()), static_cast<PeerBase*>(gateway.get()),
                         static_cast<PeerBase*>(merchant.get())}) {
    if (peer != nullptr) peer->SetVerbose(verbose);
  }
  std::unique_ptr<WebShop> shop;
  std::unique_ptr<WebShopServer> shop_server;
  if (shop_wanted) {
    const std::string listen = http_address.first + ":" + std::to_string(http_address.second);
    shop = std::make_unique<WebShop>(std::move(*catalogue), merchant_host, listen, log);
    try {
      shop_server = std::make_unique<WebShopServer>(*shop, http_address.first, http_address.second);
    } catch (const Exception& e) {
      // The shop's usual port being taken (another pelvane-peers, say) does not stop the
      // peers; a port asked for with --http does.
      if (parsed.Has("http")) throw;
      log("[shop] " + e.Message() + "; running without the web shop");
      shop.reset();
    }
    if (shop) {
      merchant->SetObserver(shop.get());
      log("[shop] web shop on http://" + listen + "/");
    }
  }

  if (::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw Exception("Cannot create the signal pipe");
  }
  QSocketNotifier signal_notifier(g_signal_pipe[0], QSocketNotifier::Read);
  QObject::connect(&signal_notifier, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  const int rc = QCoreApplication::exec();
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  ::close(g_signal_pipe[0]);
  ::close(g_signal_pipe[1]);
  if (merchant) merchant->SetObserver(nullptr);
  log("[peers] stopped");
  return rc;
}

}  // namespace

std::string DefaultDatabasePath() {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (base.isEmpty()) throw Exception("No data folder for the bank database; give --db FILE");
  // The folder of the bank's books is its owner's alone (0700), like the database in it.
  const QString folder = base + "/pelvane";
  const std::string folder_path = QFile::encodeName(folder).toStdString();
  if (!QDir().mkpath(base) || (::mkdir(folder_path.c_str(), 0700) != 0 && errno != EEXIST)) {
    throw Exception("Cannot create the folder " + PathForMessage(folder_path));
  }
  struct stat info {};
  if (::lstat(folder_path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    throw Exception("Cannot create the folder " + PathForMessage(folder_path));
  }
  // A folder made by an earlier version with the umask's mode is narrowed.
  if (info.st_uid == ::geteuid() && (info.st_mode & 077) != 0) {
    ::chmod(folder_path.c_str(), 0700);
  }
  return (folder + "/bank.sqlite").toStdString();
}

int RunPeersCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    const ParsedOptions parsed = Parse(args);
    if (parsed.Has("help")) {
      out << kUsage;
      return 0;
    }
    if (parsed.Has("version")) {
      out << "pelvane-peers " << PELVANE_VERSION << "\n";
      return 0;
    }
    const std::vector<std::string>& words = parsed.Words();
    if (words.empty()) return RunPeers(parsed, err);
    if (words[0] == "account" && words.size() == 2) {
      if (words[1] == "add") return AccountAdd(parsed, out);
      if (words[1] == "list") return AccountList(parsed, out);
    }
    throw UsageError("Unknown command \"" + words[0] + "\"");
  } catch (const UsageError& e) {
    err << "pelvane-peers: " << EscapeControlBytes(e.what()) << "\n" << kUsage;
    return kExitUsage;
  } catch (const Exception& e) {
    err << "pelvane-peers: " << ForTerminal(e.Message()) << "\n";
    return kExitFailure;
  } catch (const std::exception& e) {
    err << "pelvane-peers: " << EscapeControlBytes(e.what()) << "\n";
    return kExitFailure;
  }
}

}  // namespace pelvane::peers
