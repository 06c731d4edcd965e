// pelvane-load: many wallets buying at once against pelvane-peers, through a relay that loses,
// duplicates, delays and reorders datagrams, while a forger replays and forges datagrams to
// every port. At the end the bank's ledger is checked against what the wallets sealed and what
// they were told (ledger_check.h).
//
// Addresses (all loopback):
//   127.0.0.1      the peers (pelvane-peers --bind 127.0.0.1), ports 2001, 2003, 2004
//   127.0.1.1      the relay's face of the peers: wallets and peers address each other there
//                  (--bank-host, --gateway-host, --merchant-host and the purchase's merchant)
//   127.0.0.2...   wallet i on 127.0.0.(2+i) port 2000, each a WalletSession of its own
//   127.0.2.1...   the relay's face of wallet i towards the peers (port 2000)
//   127.0.3.1      the forger
//
// The wallet has no retransmission: a lost datagram leaves it waiting. The harness's link
// below each wallet sends the datagrams of the wallet's last step again, byte for byte, when
// nothing has come back for a while; to the peers that is the same as a duplicate from the
// network, which they must absorb anyway. This is what gives a sealed order an outcome across
// a lost 79, 10, 25 or 23; the wallet session itself is unchanged.
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTimer>
#include <QUdpSocket>
#include <QVariant>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/session/exchange_inputs.h"
#include "app/session/purchase_file.h"
#include "app/session/sinks.h"
#include "app/session/transport.h"
#include "app/session/wallet_keys.h"
#include "app/session/wallet_session.h"
#include "bench/load/ledger_check.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "messaging/pacing.h"
#include "peers/bank_database.h"
#include "peers/merchant.h"
#include "peers/peer_wire.h"
#include "protocol/messages.h"
#include "protocol/ports.h"

namespace pelvane::load {
namespace {

constexpr char kPeersAddress[] = "127.0.0.1";
constexpr char kRelayAddress[] = "127.0.1.1";
constexpr char kForgerAddress[] = "127.0.3.1";
constexpr int kPeerPorts[] = {kBankPort, kGatewayPort, kMerchantPort};
constexpr int kMaxWallets = 250;
constexpr std::int64_t kOpeningBalance = 1000000;

// Log texts of the wallet the harness reads its outcomes from (Windows-1250).
constexpr char kPaidLine[] =
    "   Objednan\xE9 zbo\x9E\xED bylo zaplaceno z \xFA\xE8tu z\xE1kazn\xEDka: ";
constexpr char kPaymentRefused[] = "*** Platba zam\xEDtnuta";
constexpr char kDispatched[] = "Zbo\x9E\xED bylo odesl\xE1no.";
constexpr char kNotDispatched[] = "*** Zbo\x9E\xED nebylo odesl\xE1no";
constexpr char kOrderRefused[] = "*** Objedn\xE1vka byla odm\xEDtnuta";

std::string WalletAddress(int i) {
  return "127.0.0." + std::to_string(2 + i);
}
std::string ProxyAddress(int i) {
  return "127.0.2." + std::to_string(1 + i);
}

struct Options {
  int wallets = 20;
  int orders = 3;
  double loss = 0;       // each datagram through the relay, 0..1
  double duplicate = 0;  // each datagram through the relay, 0..1
  double reorder = 0;    // each datagram through the relay: held back so that later ones pass
  int delay_ms = 0;      // each datagram through the relay: a random delay up to this
  int forge_rate = 0;    // forged or replayed datagrams per second
  int timeout_s = 120;
  std::string peers_program;
  std::string work_dir;
  // Debits the first sealed order a second time before the check: the check must see it.
  bool plant_double_debit = false;
};

[[noreturn]] void Usage(const std::string& problem) {
  std::fprintf(stderr,
               "pelvane-load: %s\n"
               "Usage: pelvane-load --peers PELVANE-PEERS [--wallets N] [--orders N]\n"
               "         [--loss PERCENT] [--duplicate PERCENT] [--reorder PERCENT]\n"
               "         [--delay-ms N] [--forge PER-SECOND] [--timeout SECONDS] [--dir DIR]\n"
               "         [--plant-double-debit]\n",
               problem.c_str());
  std::exit(2);
}

double Percent(const std::string& name, const std::string& text) {
  try {
    std::size_t used = 0;
    const double value = std::stod(text, &used);
    if (used != text.size() || value < 0 || value > 100) throw std::invalid_argument(text);
    return value / 100;
  } catch (const std::exception&) {
    Usage("--" + name + " needs a percentage from 0 to 100");
  }
}

int Whole(const std::string& name, const std::string& text, int low, int high) {
  try {
    std::size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used != text.size() || value < low || value > high) throw std::invalid_argument(text);
    return value;
  } catch (const std::exception&) {
    Usage("--" + name + " needs a whole number from " + std::to_string(low) + " to " +
          std::to_string(high));
  }
}

Options ParseOptions(const QStringList& arguments) {
  Options o;
  for (int i = 1; i < arguments.size(); ++i) {
    const std::string name = arguments[i].toStdString();
    if (name == "--plant-double-debit") {
      o.plant_double_debit = true;
      continue;
    }
    if (i + 1 >= arguments.size()) Usage(name + " needs a value");
    const std::string value = arguments[++i].toStdString();
    if (name == "--wallets") {
      o.wallets = Whole("wallets", value, 1, kMaxWallets);
    } else if (name == "--orders") {
      o.orders = Whole("orders", value, 1, 100000);
    } else if (name == "--loss") {
      o.loss = Percent("loss", value);
    } else if (name == "--duplicate") {
      o.duplicate = Percent("duplicate", value);
    } else if (name == "--reorder") {
      o.reorder = Percent("reorder", value);
    } else if (name == "--delay-ms") {
      o.delay_ms = Whole("delay-ms", value, 0, 10000);
    } else if (name == "--forge") {
      o.forge_rate = Whole("forge", value, 0, 100000);
    } else if (name == "--timeout") {
      o.timeout_s = Whole("timeout", value, 1, 86400);
    } else if (name == "--peers") {
      o.peers_program = value;
    } else if (name == "--dir") {
      o.work_dir = value;
    } else {
      Usage("unknown option " + name);
    }
  }
  if (o.peers_program.empty()) Usage("--peers is required");
  return o;
}

std::unique_ptr<QUdpSocket> Bind(const std::string& address, int port) {
  auto socket = std::make_unique<QUdpSocket>();
  if (!socket->bind(QHostAddress(QString::fromStdString(address)), static_cast<quint16>(port))) {
    throw std::runtime_error("cannot bind " + address + ":" + std::to_string(port) + ": " +
                             socket->errorString().toStdString());
  }
  socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(4 << 20));
  return socket;
}

void SendFrom(QUdpSocket& socket, const std::string& ip, int port, const std::string& bytes) {
  socket.writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()),
                       QHostAddress(QString::fromStdString(ip)), static_cast<quint16>(port));
}

// Calls handler(bytes, sender address, sender port) for every datagram that arrives.
void OnDatagrams(QUdpSocket& socket,
                 std::function<void(const std::string&, const std::string&, int)> handler) {
  QObject::connect(&socket, &QUdpSocket::readyRead, [&socket, handler] {
    while (socket.hasPendingDatagrams()) {
      const QNetworkDatagram d = socket.receiveDatagram();
      if (!d.isValid()) break;
      const QByteArray data = d.data();
      handler(std::string(data.constData(), static_cast<std::size_t>(data.size())),
              d.senderAddress().toString().toStdString(), d.senderPort());
    }
  });
}

// The identifier of a frame; -1 for a datagram that does not start with two hex digits.
int IdOf(const std::string& bytes) {
  if (bytes.size() < 2 || !std::isxdigit(static_cast<unsigned char>(bytes[0])) ||
      !std::isxdigit(static_cast<unsigned char>(bytes[1]))) {
    return -1;
  }
  return HexFieldToInt(bytes.substr(0, 2));
}

using Clock = std::chrono::steady_clock;
double MsSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// What the relay does to each datagram.
class Chaos {
 public:
  explicit Chaos(const Options& o) : o_(o), rng_(20261210) {}

  // Sends zero, one or two copies, now or later.
  void Deliver(const std::function<void()>& send) {
    ++passed;
    if (Chance(o_.loss)) {
      ++dropped;
      return;
    }
    const int copies = Chance(o_.duplicate) ? 2 : 1;
    duplicated += copies - 1;
    for (int c = 0; c < copies; ++c) {
      int delay = o_.delay_ms > 0 ? std::uniform_int_distribution<int>(0, o_.delay_ms)(rng_) : 0;
      if (Chance(o_.reorder)) {
        delay += std::uniform_int_distribution<int>(5, 30)(rng_);
        ++reordered;
      }
      if (delay == 0) {
        send();
      } else {
        QTimer::singleShot(delay, send);
      }
    }
  }

  bool Chance(double p) { return p > 0 && std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  std::mt19937_64& Rng() { return rng_; }

  long long passed = 0, dropped = 0, duplicated = 0, reordered = 0;

 private:
  const Options& o_;
  std::mt19937_64 rng_;
};

// Recent datagrams with where they were going: material for the forger's replays.
struct Captured {
  std::string bytes;
  std::string ip;
  int port = 0;
};

class Relay {
 public:
  Relay(int wallets, Chaos& chaos) : chaos_(chaos) {
    for (int port : kPeerPorts) {
      faces_[port] = Bind(kRelayAddress, port);
      OnDatagrams(*faces_[port],
                  [this, port](const std::string& bytes, const std::string& ip, int from_port) {
                    FromFace(port, bytes, ip, from_port);
                  });
    }
    for (int i = 0; i < wallets; ++i) {
      wallet_by_address_[WalletAddress(i)] = i;
      proxies_.push_back(Bind(ProxyAddress(i), kWalletPort));
      OnDatagrams(*proxies_.back(),
                  [this, i](const std::string& bytes, const std::string& ip, int from_port) {
                    FromPeer(i, bytes, ip, from_port);
                  });
    }
  }

  std::deque<Captured> captured;
  long long strangers = 0;

 private:
  void Capture(const std::string& bytes, const std::string& ip, int port) {
    captured.push_back({bytes, ip, port});
    if (captured.size() > 512) captured.pop_front();
  }

  // A datagram to the peers' face on port: from a peer (peer to peer) or from a wallet.
  void FromFace(int port, const std::string& bytes, const std::string& ip, int from_port) {
    if (ip == kPeersAddress && faces_.count(from_port) != 0) {
      // Peer to peer: it leaves the relay from the sender's port on the face, where the
      // receiver expects that peer.
      QUdpSocket* face = faces_[from_port].get();
      Capture(bytes, kPeersAddress, port);
      chaos_.Deliver([face, bytes, port] { SendFrom(*face, kPeersAddress, port, bytes); });
      return;
    }
    const auto wallet = wallet_by_address_.find(ip);
    if (wallet == wallet_by_address_.end()) {
      ++strangers;
      return;
    }
    QUdpSocket* proxy = proxies_[static_cast<std::size_t>(wallet->second)].get();
    Capture(bytes, kPeersAddress, port);
    chaos_.Deliver([proxy, bytes, port] { SendFrom(*proxy, kPeersAddress, port, bytes); });
  }

  // A peer's datagram for wallet i.
  void FromPeer(int i, const std::string& bytes, const std::string& ip, int from_port) {
    if (ip != kPeersAddress || faces_.count(from_port) == 0) {
      ++strangers;
      return;
    }
    QUdpSocket* face = faces_[from_port].get();
    const std::string to = WalletAddress(i);
    Capture(bytes, to, kWalletPort);
    chaos_.Deliver([face, bytes, to] { SendFrom(*face, to, kWalletPort, bytes); });
  }

  Chaos& chaos_;
  std::map<int, std::unique_ptr<QUdpSocket>> faces_;
  std::vector<std::unique_ptr<QUdpSocket>> proxies_;
  std::map<std::string, int> wallet_by_address_;
};

// Replayed and forged datagrams to every port.
class Forger {
 public:
  Forger(int rate, int wallets, Relay& relay, std::mt19937_64& rng,
         std::vector<std::string> digests)
      : wallets_(wallets), relay_(relay), rng_(rng), digests_(std::move(digests)) {
    if (rate <= 0) return;
    outside_ = Bind(kForgerAddress, 0);
    inside_ = Bind(kPeersAddress, 0);  // the peers' own address, another port
    timer_.setInterval(std::max(1, 1000 / rate));
    per_tick_ = std::max(1, rate / 1000);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      for (int i = 0; i < per_tick_; ++i)
        Act();
    });
    timer_.start();
  }
  void Stop() { timer_.stop(); }
  long long sent = 0;

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  int RandomPort() {
    static const int ports[] = {kWalletPort, kBankPort, kGatewayPort, kMerchantPort};
    return ports[Pick(4)];
  }

  void Act() {
    QUdpSocket& from = Pick(2) == 0 ? *outside_ : *inside_;
    const int action = Pick(6);
    const int wallet = Pick(wallets_);
    if (action <= 1 && !relay_.captured.empty()) {
      // A replay to where the datagram was going (or, for key frames, to a wallet).
      const Captured& c =
          relay_.captured[static_cast<std::size_t>(Pick(static_cast<int>(relay_.captured.size())))];
      const int id = IdOf(c.bytes);
      if (action == 1 && (id == kMsgGatewayKey || id == kMsgMerchantKey || id == kMsgBankKey)) {
        SendFrom(from, WalletAddress(wallet), kWalletPort, c.bytes);  // a stray key
      } else {
        SendFrom(from, c.ip, c.port, c.bytes);
      }
    } else if (action == 2) {
      // The wallet's public key, to a peer, from elsewhere.
      SendFrom(from, kPeersAddress, kPeerPorts[Pick(3)],
               BuildPlainFrame(kWalletPublicKey, kMsgWalletKey));
    } else if (action == 3) {
      // Requests between the peers from a stranger: a debit for a real customer, an
      // authorization for a real wallet, results for references seen.
      const std::string digest = digests_[static_cast<std::size_t>(wallet)];
      std::string frame;
      switch (Pick(4)) {
        case 0:
          frame = BuildPlainFrame(peers::PackFields({"F" + std::to_string(sent), digest, "1",
                                                     "666/0100", "99999999999999"}),
                                  peers::kMsgDebitRequest);
          SendFrom(from, kPeersAddress, kBankPort, frame);
          break;
        case 1:
          frame =
              BuildPlainFrame(peers::PackFields({"F" + std::to_string(sent), ProxyAddress(wallet),
                                                 "1", "666/0100", "0004ABCD", ""}),
                              peers::kMsgAuthorizationRequest);
          SendFrom(from, kPeersAddress, kGatewayPort, frame);
          break;
        case 2:
          frame = BuildPlainFrame(peers::PackFields({"F", peers::kResultRefused, "forged"}),
                                  peers::kMsgAuthorizationResult);
          SendFrom(from, kPeersAddress, kMerchantPort, frame);
          break;
        default:
          frame = BuildPlainFrame(peers::PackFields({"F", peers::kResultPaid, "1"}),
                                  peers::kMsgDebitResult);
          SendFrom(from, kPeersAddress, kGatewayPort, frame);
          break;
      }
    } else {
      // Junk to any port of any party.
      std::string junk(static_cast<std::size_t>(1 + Pick(300)), '\0');
      for (char& ch : junk)
        ch = static_cast<char>(Pick(256));
      if (Pick(2) == 0) junk.replace(0, 2, Pick(2) == 0 ? "4F" : "0A");
      const int port = RandomPort();
      SendFrom(from, port == kWalletPort ? WalletAddress(wallet) : kPeersAddress, port, junk);
    }
    ++sent;
  }

  int wallets_;
  Relay& relay_;
  std::mt19937_64& rng_;
  std::vector<std::string> digests_;
  std::unique_ptr<QUdpSocket> outside_, inside_;
  QTimer timer_;
  int per_tick_ = 1;
};

class RecordingLog final : public LogSink {
 public:
  void AppendLine(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

class NoLabels final : public LabelSink {
 public:
  void SetLabel(WalletLabel, std::string_view) override {}
};

class CountingReporter final : public ErrorReporter {
 public:
  void ReportError(std::string_view) noexcept override { ++reported; }
  int reported = 0;
};

// One datagram the wallet sent: where to and its exact bytes.
struct SentDatagram {
  std::string host;
  int port = 0;
  std::string frame;
};

// Builds the wallet's frames with the same envelope functions as the real transport and sends
// them from the wallet's own socket; keeps the datagrams of the current step for re-sending.
class WalletLink final : public SessionTransport {
 public:
  explicit WalletLink(QUdpSocket& socket) : socket_(socket) {}

  void SendPlain(const std::string& host, int port, std::string_view data, int id) override {
    Send(host, port, BuildPlainFrame(data, id));
  }
  void SendKey(std::string_view key, const std::string& public_key, const std::string& host,
               int port, int id) override {
    Send(host, port, BuildKeyFrame(key, public_key, id));
  }
  void SendSecure(const std::string& host, int port, std::string_view text, int id,
                  const std::string& public_key, std::string_view key) override {
    Send(host, port, BuildSecureFrame(text, id, public_key, key));
  }
  void SendDual(std::string_view first, std::string_view second, const std::string& host, int id,
                int port) override {
    Send(host, port, BuildDualFrame(first, second, id));
  }
  void Pause(int) override {}

  void BeginStep() { step.clear(); }
  void Resend() {
    for (const SentDatagram& d : last_step)
      SendFrom(socket_, d.host, d.port, d.frame);
  }
  std::vector<SentDatagram> step;       // sent by the step running now
  std::vector<SentDatagram> last_step;  // sent by the last step the link sends again

 private:
  void Send(const std::string& host, int port, std::string frame) {
    // As the real transport: a host that is no address fails the step (a session that has not
    // learned the gateway's address yet must not seal an order).
    if (QHostAddress(QString::fromStdString(host)).isNull()) {
      throw std::runtime_error("Host Lookup Canceled");
    }
    SendFrom(socket_, host, port, frame);
    step.push_back({host, port, std::move(frame)});
  }
  QUdpSocket& socket_;
};

struct Customer {
  std::string first_name, surname, birth_number, password, digest;
  std::int64_t account_id = 0;
};

class Harness;

// One wallet: its socket, its customer, and one WalletSession per run.
struct Wallet {
  int index = 0;
  Customer customer;
  std::unique_ptr<QUdpSocket> socket;
  std::unique_ptr<WalletLink> link;
  RecordingLog log;
  NoLabels labels;
  CountingReporter errors;
  std::unique_ptr<WalletSession> session;
  std::unique_ptr<PurchaseBuffer> purchase;  // this run's, for the session's inputs

  int run = 0;  // runs started
  bool active = false;
  bool sealed = false;
  bool reported = false;  // 23 arrived
  bool merchant_refused = false;
  std::size_t order_index = 0;
  std::int64_t total = 0;
  Clock::time_point started;
  QTimer resend_timer;
  int resends = 0;
  // When the last step was sent, until something comes back; and the usual wait for that.
  std::optional<Clock::time_point> step_sent;
  double round_trip_ms = 100;
};

class Harness {
 public:
  explicit Harness(Options o) : o_(std::move(o)), chaos_(o_) {}

  int Run();

 private:
  void SetUpDirectory();
  void CreateAccounts();
  void StartPeers();
  void StopPeers();
  void StartRun(Wallet& w);
  void EndRun(Wallet& w, const char* why);
  void Received(Wallet& w, const std::string& bytes, const std::string& ip);
  template <typename Call>
  // from_peers: the call handles Start or a datagram from the peers' side (not the forger's);
  // only such a step is the one the link sends again.
  void CallSession(Wallet& w, bool from_peers, Call&& call);
  void ArmResend(Wallet& w);
  int Report();

  Options o_;
  Chaos chaos_;
  std::string db_path_, peers_log_;
  QProcess peers_;
  std::vector<std::unique_ptr<Wallet>> wallets_;
  std::unique_ptr<Relay> relay_;
  std::unique_ptr<Forger> forger_;
  std::vector<SealedOrder> orders_;
  std::vector<double> latencies_ms_;
  std::map<std::int64_t, AccountBalances> balances_;
  int abandoned_before_order_ = 0;
  int finished_wallets_ = 0;
  Clock::time_point began_, last_outcome_;
};

void Harness::SetUpDirectory() {
  namespace fs = std::filesystem;
  fs::path dir = o_.work_dir.empty()
                     ? fs::temp_directory_path() / ("pelvane-load-" + std::to_string(::getpid()))
                     : fs::path(o_.work_dir);
  fs::create_directories(dir);
  db_path_ = (dir / "bank.sqlite").string();
  peers_log_ = (dir / "peers.log").string();
  fs::remove(db_path_);
}

void Harness::CreateAccounts() {
  peers::BankDatabase db(db_path_);
  for (int i = 0; i < o_.wallets; ++i) {
    auto w = std::make_unique<Wallet>();
    w->index = i;
    Customer& c = w->customer;
    c.first_name = "Zakaznik";
    c.surname = "Cislo" + std::to_string(i);
    c.birth_number = "800101/" + std::to_string(1000 + i);
    c.password = "heslo" + std::to_string(i);
    const peers::Account account =
        db.AddAccount(c.first_name, c.surname, c.birth_number, c.password, kOpeningBalance);
    c.account_id = account.id;
    c.digest = account.digest;
    balances_[account.id].before = kOpeningBalance;
    wallets_.push_back(std::move(w));
  }
}

void Harness::StartPeers() {
  peers_.setStandardErrorFile(QString::fromStdString(peers_log_));
  peers_.setStandardOutputFile(QProcess::nullDevice());
  peers_.start(QString::fromStdString(o_.peers_program),
               {"--bind", kPeersAddress, "--pause-ms", "0", "--db",
                QString::fromStdString(db_path_), "--bank-host", kRelayAddress, "--gateway-host",
                kRelayAddress, "--merchant-host", kRelayAddress});
  if (!peers_.waitForStarted(10000)) throw std::runtime_error("pelvane-peers does not start");
  // Ready once the merchant (created last) listens.
  for (int waited = 0; waited < 30000; waited += 50) {
    std::ifstream log(peers_log_);
    const std::string text((std::istreambuf_iterator<char>(log)), {});
    if (text.find("[merchant] listening") != std::string::npos) return;
    if (peers_.state() == QProcess::NotRunning) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  throw std::runtime_error("pelvane-peers did not come up; see " + peers_log_);
}

void Harness::StopPeers() {
  peers_.terminate();
  if (!peers_.waitForFinished(10000)) {
    peers_.kill();
    peers_.waitForFinished(5000);
  }
}

template <typename Call>
void Harness::CallSession(Wallet& w, bool from_peers, Call&& call) {
  w.link->BeginStep();
  call();
  if (!w.link->step.empty() && from_peers) {
    w.link->last_step = w.link->step;
    w.step_sent = Clock::now();
    w.resends = 0;
    ArmResend(w);
  }
}

void Harness::ArmResend(Wallet& w) {
  // Four usual round trips, and longer waits after each fruitless re-send: under load the
  // answer may just be slow.
  const int base = std::clamp(static_cast<int>(4 * w.round_trip_ms) + 100, 150, 3000);
  w.resend_timer.start(base << std::min(w.resends, 2));
}

void Harness::StartRun(Wallet& w) {
  ++w.run;
  w.active = true;
  w.sealed = false;
  w.reported = false;
  w.merchant_refused = false;
  w.resends = 0;
  w.log.lines.clear();
  // Prices differ per wallet and run, so every order is its own.
  w.total = 100 + w.index * 7 + w.run;
  w.purchase = std::make_unique<PurchaseBuffer>(
      "SET-SET-OBJEDNAVKA\r\nh2\r\nSET-SET-URL: http://" + std::string(kRelayAddress) +
      "/obchod\r\nh4\r\nh5\r\nh6\r\nh7\r\nh8\r\nh9\r\nZbozi " + std::to_string(w.index) + "/" +
      std::to_string(w.run) + ";1;" + std::to_string(w.total) + "\r\n");
  w.session = std::make_unique<WalletSession>(w.log, w.labels, w.errors, *w.link);
  w.started = Clock::now();
  try {
    ExchangeInputs inputs;
    inputs.first_name = w.customer.first_name;
    inputs.surname = w.customer.surname;
    inputs.birth_number = w.customer.birth_number;
    inputs.customer_digest = w.customer.digest;
    inputs.bank_host = kRelayAddress;
    inputs.purchase = w.purchase.get();
    CallSession(w, true, [&] { w.session->Start(std::move(inputs)); });
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wallet %d: start failed: %s\n", w.index, e.what());
  }
}

void Harness::EndRun(Wallet& w, const char* why) {
  w.active = false;
  w.resend_timer.stop();
  if (!w.sealed) ++abandoned_before_order_;
  if (why != nullptr && std::getenv("PELVANE_LOAD_DEBUG") != nullptr) {
    std::fprintf(stderr, "wallet %d run %d: %s; the wallet's log ends:\n", w.index, w.run, why);
    const std::size_t n = w.log.lines.size();
    for (std::size_t i = n > 40 ? n - 40 : 0; i < n; ++i)
      std::fprintf(stderr, "  %s\n", w.log.lines[i].substr(0, 120).c_str());
  }
  if (w.run < o_.orders) {
    QTimer::singleShot(0, [this, &w] { StartRun(w); });
  } else if (++finished_wallets_ == o_.wallets) {
    // Late duplicates and retries settle, then the ledger is read.
    QTimer::singleShot(1500, [] { QCoreApplication::exit(0); });
  }
}

void Harness::Received(Wallet& w, const std::string& bytes, const std::string& ip) {
  if (!w.active || !w.session) return;
  const int id = IdOf(bytes);
  if (ip == kRelayAddress && w.step_sent) {
    w.round_trip_ms = 0.8 * w.round_trip_ms + 0.2 * MsSince(*w.step_sent);
    w.step_sent.reset();
  }
  const std::size_t before = w.log.lines.size();
  CallSession(w, ip == kRelayAddress, [&] { w.session->DataReceived(bytes, ip); });
  if (ip == kRelayAddress && !w.link->last_step.empty() && w.link->step.empty()) {
    ArmResend(w);  // something came back: the exchange is moving
  }
  if (!w.sealed && w.session->OrderSent()) {
    w.sealed = true;
    // The order went in this call's step (whatever set it off): that step is the one to send
    // again from now on.
    const SentDatagram* dual = nullptr;
    for (const SentDatagram& f : w.link->step)
      if (IdOf(f.frame) == kMsgDualOrder) dual = &f;
    if (dual != nullptr) {
      w.link->last_step = w.link->step;
      dual = nullptr;
      for (const SentDatagram& f : w.link->last_step)
        if (IdOf(f.frame) == kMsgDualOrder) dual = &f;
      w.step_sent = Clock::now();
      w.resends = 0;
      ArmResend(w);
    }
    SealedOrder order;
    order.wallet = "wallet " + std::to_string(w.index) + " run " + std::to_string(w.run);
    order.reference = dual ? peers::Merchant::OrderReference(dual->frame) : "?";
    order.account_id = w.customer.account_id;
    order.total = w.total;
    w.order_index = orders_.size();
    orders_.push_back(std::move(order));
  }
  if (!w.sealed) return;
  SealedOrder& order = orders_[w.order_index];
  const bool first_outcome = order.told.empty();
  for (std::size_t i = before; i < w.log.lines.size(); ++i) {
    const std::string& line = w.log.lines[i];
    if (id == kMsgPaymentConfirmed && line.rfind(kPaidLine, 0) == 0) {
      const std::string amount = line.substr(sizeof kPaidLine - 1);
      order.told.push_back("PAID " + amount.substr(0, amount.find(' ')));
    } else if (id == kMsgGatewayRefusal && line.rfind(kPaymentRefused, 0) == 0) {
      order.told.push_back("REFUSED");
    } else if (id == kMsgMerchantReport &&
               (line.rfind(kDispatched, 0) == 0 || line.rfind(kNotDispatched, 0) == 0 ||
                line.rfind(kOrderRefused, 0) == 0)) {
      w.reported = true;
      w.merchant_refused = line.rfind(kDispatched, 0) != 0;
    }
  }
  if (first_outcome && !order.told.empty()) {
    latencies_ms_.push_back(MsSince(w.started));
    last_outcome_ = Clock::now();
  }
  if (w.reported && w.merchant_refused && order.told.empty()) {
    // A refusal in 23 without 10 or 25: the gateway never had the order.
    order.told.push_back("REFUSED");
    latencies_ms_.push_back(MsSince(w.started));
    last_outcome_ = Clock::now();
  }
  if (w.reported && !order.told.empty()) EndRun(w, nullptr);
}

int Harness::Run() {
  SetPacingMs(0);
  SetUpDirectory();
  CreateAccounts();
  StartPeers();
  relay_ = std::make_unique<Relay>(o_.wallets, chaos_);
  std::vector<std::string> digests;
  for (auto& w : wallets_)
    digests.push_back(w->customer.digest);
  forger_ = std::make_unique<Forger>(o_.forge_rate, o_.wallets, *relay_, chaos_.Rng(), digests);
  for (auto& owned : wallets_) {
    Wallet& w = *owned;
    w.socket = Bind(WalletAddress(w.index), kWalletPort);
    w.link = std::make_unique<WalletLink>(*w.socket);
    OnDatagrams(*w.socket, [this, &w](const std::string& bytes, const std::string& ip, int) {
      Received(w, bytes, ip);
    });
    w.resend_timer.setSingleShot(true);
    QObject::connect(&w.resend_timer, &QTimer::timeout, [this, &w] {
      if (!w.active) return;
      // Before its order a run can stall for good: a duplicated 98 that re-keys the wallet may
      // reach the bank in the other order than the wallet's two 89s, and the keys then differ.
      // A customer would start again; so does the harness, after fewer tries.
      if (w.resends >= (w.sealed ? 8 : 4)) {
        EndRun(w, w.sealed ? "sealed order, no outcome after 8 re-sends"
                           : "no order after 4 re-sends");
        return;
      }
      ++w.resends;
      w.step_sent = Clock::now();
      w.link->Resend();
      ArmResend(w);
    });
  }
  began_ = last_outcome_ = Clock::now();
  for (auto& w : wallets_)
    StartRun(*w);
  QTimer::singleShot(o_.timeout_s * 1000, [] { QCoreApplication::exit(3); });
  const int loop = QCoreApplication::exec();
  forger_->Stop();
  StopPeers();
  if (loop == 3) std::fprintf(stderr, "pelvane-load: time-out after %d s\n", o_.timeout_s);
  return Report() + (loop == 3 ? 1 : 0) > 0 ? 1 : 0;
}

int Harness::Report() {
  peers::BankDatabase db(db_path_);
  if (o_.plant_double_debit && !orders_.empty()) {
    for (const auto& w : wallets_) {
      if (w->customer.account_id == orders_.front().account_id) {
        db.Debit(w->customer.digest, orders_.front().total, "planted", "PLANTED");
      }
    }
    std::printf("planted a second debit of %lld for %s\n",
                static_cast<long long>(orders_.front().total), orders_.front().wallet.c_str());
  }
  std::vector<LedgerPayment> payments;
  for (const peers::Account& account : db.ListAccounts()) {
    if (balances_.count(account.id) != 0) balances_[account.id].after = account.balance;
    for (const peers::Payment& p : db.Payments(account.id))
      payments.push_back({p.account_id, p.amount, p.reference});
  }
  const std::vector<std::string> anomalies = CheckLedger(orders_, payments, balances_);

  int paid = 0, refused = 0, untold = 0;
  for (const SealedOrder& order : orders_) {
    const std::set<std::string> told(order.told.begin(), order.told.end());
    if (told.empty()) {
      ++untold;
    } else if (told.begin()->rfind("PAID", 0) == 0) {
      ++paid;
    } else {
      ++refused;
    }
  }
  std::vector<double> sorted = latencies_ms_;
  std::sort(sorted.begin(), sorted.end());
  const auto quantile = [&](double q) {
    if (sorted.empty()) return 0.0;
    return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(q * sorted.size()))];
  };
  const double seconds = std::chrono::duration<double>(last_outcome_ - began_).count();
  std::printf(
      "wallets %d x %d runs, loss %.1f %%, duplication %.1f %%, reorder %.1f %%, "
      "delay up to %d ms, forged %lld datagrams\n",
      o_.wallets, o_.orders, o_.loss * 100, o_.duplicate * 100, o_.reorder * 100, o_.delay_ms,
      forger_ ? forger_->sent : 0LL);
  std::printf("relay: %lld datagrams, %lld dropped, %lld duplicated, %lld held back\n",
              chaos_.passed, chaos_.dropped, chaos_.duplicated, chaos_.reordered);
  std::printf(
      "orders sealed: %zu; outcomes told: %d paid, %d refused, %d never told; "
      "runs abandoned before an order: %d\n",
      orders_.size(), paid, refused, untold, abandoned_before_order_);
  std::printf("debits in the ledger: %zu\n", payments.size());
  std::printf("purchases per second: %.1f (%d outcomes in %.2f s)\n",
              seconds > 0 ? (paid + refused) / seconds : 0.0, paid + refused, seconds);
  std::printf(
      "latency from the first datagram to the outcome: median %.0f ms, 99th "
      "percentile %.0f ms, max %.0f ms\n",
      quantile(0.5), quantile(0.99), sorted.empty() ? 0.0 : sorted.back());
  std::printf("anomalies: %zu\n", anomalies.size());
  for (const std::string& a : anomalies)
    std::printf("  %s\n", a.c_str());
  std::fflush(stdout);
  return anomalies.empty() && !orders_.empty() ? 0 : 1;
}

}  // namespace
}  // namespace pelvane::load

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  try {
    pelvane::load::Harness harness(pelvane::load::ParseOptions(QCoreApplication::arguments()));
    return harness.Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pelvane-load: %s\n", e.what());
    return 2;
  }
}
