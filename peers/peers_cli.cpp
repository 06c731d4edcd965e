#include "peers/peers_cli.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include "crypto/exception.h"
#include "crypto/formats/charset.h"
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
    "                [--catalogue FILE]\n"
    "  pelvane-peers account add [--db FILE] --first-name NAME --surname NAME\n"
    "                --birth-number NUMBER --password-file FILE --balance CROWNS\n"
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
    "  --help         show this help\n"
    "  --version      show the program's version\n";

struct UsageError {
  std::string message;
};

// --name value or --name=value options after the positional words.
struct Parsed {
  std::vector<std::string> words;
  std::map<std::string, std::string> options;
  bool help = false;
  bool version = false;
};

Parsed Parse(const std::vector<std::string>& args) {
  Parsed parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (arg == "--no-http") {
      if (parsed.options.count("no-http") != 0)
        throw UsageError{"The option --no-http is repeated"};
      parsed.options["no-http"] = "";
    } else if (arg == "--version") {
      parsed.version = true;
    } else if (arg.rfind("--", 0) == 0) {
      std::string name = arg.substr(2);
      std::string value;
      if (const auto eq = name.find('='); eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
      } else {
        if (i + 1 >= args.size()) throw UsageError{"The option --" + name + " needs a value"};
        value = args[++i];
      }
      if (parsed.options.count(name) != 0)
        throw UsageError{"The option --" + name + " is repeated"};
      parsed.options[name] = value;
    } else {
      if (!parsed.options.empty()) {
        throw UsageError{"Unexpected argument \"" + arg + "\" after the options"};
      }
      parsed.words.push_back(arg);
    }
  }
  return parsed;
}

void AllowOnly(const Parsed& parsed, std::initializer_list<const char*> allowed) {
  for (const auto& [name, value] : parsed.options) {
    bool ok = false;
    for (const char* a : allowed)
      ok = ok || name == a;
    if (!ok) throw UsageError{"Unknown option --" + name};
  }
}

std::string Option(const Parsed& parsed, const std::string& name, std::string fallback = {}) {
  const auto it = parsed.options.find(name);
  return it == parsed.options.end() ? fallback : it->second;
}

std::string Required(const Parsed& parsed, const std::string& name) {
  const auto it = parsed.options.find(name);
  if (it == parsed.options.end()) throw UsageError{"The option --" + name + " is required"};
  return it->second;
}

std::int64_t NumberOption(const std::string& name, const std::string& text, std::int64_t max) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
    throw UsageError{"--" + name + " needs a whole number from 0 to " + std::to_string(max)};
  const std::int64_t value = std::stoll(text);
  if (value > max) {
    throw UsageError{"--" + name + " needs a whole number from 0 to " + std::to_string(max)};
  }
  return value;
}

std::string Cp1250Field(const std::string& name, const std::string& utf8) {
  try {
    return Utf8ToCp1250(utf8);
  } catch (const EConvertError&) {
    throw UsageError{"--" + name + " holds a character that Windows-1250 cannot represent"};
  }
}

std::string DatabasePath(const Parsed& parsed) {
  const auto it = parsed.options.find("db");
  return it != parsed.options.end() ? it->second : DefaultDatabasePath();
}

// The password: the file's first line without its line break, converted from UTF-8 (as the
// wallet's command line reads it, so both compute the same customer digest).
std::string ReadPassword(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Exception("Cannot read the password file " + path);
  WipedString text(std::string(std::istreambuf_iterator<char>(in), {}));
  const std::size_t end = text->find_first_of("\r\n");
  if (end != std::string::npos) {
    SecureWipe(text->data() + end, text->size() - end);
    text->resize(end);
  }
  try {
    return Utf8ToCp1250(*text);
  } catch (const EConvertError&) {
    throw Exception("The password file " + path +
                    " holds a character that Windows-1250 cannot represent");
  }
}

int AccountAdd(const Parsed& parsed, std::ostream& out) {
  AllowOnly(parsed, {"db", "first-name", "surname", "birth-number", "password-file", "balance"});
  const std::string first = Cp1250Field("first-name", Required(parsed, "first-name"));
  const std::string surname = Cp1250Field("surname", Required(parsed, "surname"));
  const std::string birth = Cp1250Field("birth-number", Required(parsed, "birth-number"));
  const std::string password_file = Required(parsed, "password-file");
  const std::int64_t balance = NumberOption("balance", Required(parsed, "balance"), kMaxAmount);
  WipedString password(ReadPassword(password_file));
  BankDatabase db(DatabasePath(parsed));
  const Account account = db.AddAccount(first, surname, birth, *password, balance);
  out << "Added account " << account.id << ": " << account.name << ", balance " << account.balance
      << " K\xC4\x8D, customer digest " << account.digest << "\n";
  return 0;
}

int AccountList(const Parsed& parsed, std::ostream& out) {
  AllowOnly(parsed, {"db"});
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
// are UTF-8 already.
std::string ForTerminal(const std::string& message) {
  try {
    Utf8ToCp1250(message);
    return message;
  } catch (const EConvertError&) {
    return Cp1250ToUtf8(message);
  }
}

// SIGINT and SIGTERM end the event loop through a pipe, so the database closes cleanly.
int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto n = ::write(g_signal_pipe[1], &byte, 1);
}

int RunPeers(const Parsed& parsed, std::ostream& err) {
  AllowOnly(parsed, {"role", "bind", "pause-ms", "db", "bank-host", "gateway-host", "merchant-host",
                     "http", "no-http", "catalogue"});
  const std::string role = Option(parsed, "role", "all");
  if (role != "all" && role != "bank" && role != "gateway" && role != "merchant") {
    throw UsageError{"--role must be bank, gateway, merchant or all"};
  }
  const std::string bind = Option(parsed, "bind", "127.0.0.1");
  const std::string peer_default = bind == "0.0.0.0" ? "127.0.0.1" : bind;
  const std::string bank_host = Option(parsed, "bank-host", peer_default);
  const std::string gateway_host = Option(parsed, "gateway-host", peer_default);
  const std::string merchant_host = Option(parsed, "merchant-host", peer_default);
  if (parsed.options.count("pause-ms") != 0) {
    SetPacingMs(static_cast<int>(NumberOption("pause-ms", parsed.options.at("pause-ms"), 60000)));
  }
  const bool shop_wanted =
      (role == "all" || role == "merchant") && parsed.options.count("no-http") == 0;
  if (parsed.options.count("no-http") != 0 &&
      (parsed.options.count("http") != 0 || parsed.options.count("catalogue") != 0)) {
    throw UsageError{"--no-http goes with neither --http nor --catalogue"};
  }
  std::pair<std::string, int> http_address{"127.0.0.1", 8004};
  if (parsed.options.count("http") != 0) {
    try {
      http_address = ParseHttpAddress(parsed.options.at("http"));
    } catch (const Exception& e) {
      throw UsageError{e.Message()};
    }
  }
  std::optional<ShopCatalogue> catalogue;
  if (shop_wanted) {
    catalogue = parsed.options.count("catalogue") != 0
                    ? ShopCatalogue::Load(parsed.options.at("catalogue"))
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
      if (parsed.options.count("http") != 0) throw;
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
  const QString folder = base + "/pelvane";
  if (!QDir().mkpath(folder)) {
    throw Exception("Cannot create the folder " + folder.toStdString());
  }
  return (folder + "/bank.sqlite").toStdString();
}

int RunPeersCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    const Parsed parsed = Parse(args);
    if (parsed.help) {
      out << kUsage;
      return 0;
    }
    if (parsed.version) {
      out << "pelvane-peers " << PELVANE_VERSION << "\n";
      return 0;
    }
    if (parsed.words.empty()) return RunPeers(parsed, err);
    if (parsed.words[0] == "account" && parsed.words.size() == 2) {
      if (parsed.words[1] == "add") return AccountAdd(parsed, out);
      if (parsed.words[1] == "list") return AccountList(parsed, out);
    }
    throw UsageError{"Unknown command \"" + parsed.words[0] + "\""};
  } catch (const UsageError& e) {
    err << "pelvane-peers: " << e.message << "\n" << kUsage;
    return kExitUsage;
  } catch (const Exception& e) {
    err << "pelvane-peers: " << ForTerminal(e.Message()) << "\n";
    return kExitFailure;
  } catch (const std::exception& e) {
    err << "pelvane-peers: " << e.what() << "\n";
    return kExitFailure;
  }
}

}  // namespace pelvane::peers
