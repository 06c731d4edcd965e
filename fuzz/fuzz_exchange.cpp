// Whole exchanges under a hostile network: the wallet session, the bank, the payment gateway and
// the merchant in one process, joined by a simulated network that the input drives. Datagrams
// in flight are delivered in order or out of it, duplicated, dropped or damaged; frames of a
// recorded clean exchange are injected at any moment. After every step:
//   - the wallet has sent at most one order (message 79) in the run;
//   - the bank holds at most one payment for the run, and every payment matches an order the
//     wallet sealed: the reference the merchant gave that order and the order's total;
//   - no exception escaped the session or a peer (the peers' sockets catch only the system's
//     own exceptions; anything else reaching this harness is a finding).
//
// The network: anybody can send the wallet and the peers datagrams that claim to come from the
// wallet or from a peer to the wallet, so those links are hostile (damage and replays apply).
// The links between the peers themselves (merchant, gateway, bank) are the peers' own network:
// their datagrams may be lost, duplicated or reordered, but not forged or damaged, since the
// peers trust each other's addresses by design.
//
// Randomness: session keys and order references come from the operating system's random
// source. This harness supplies SecureRandomBytes itself (a fixed stream, restarted for every
// input), so that a run is reproducible and the recorded frames are those a run sends.
//
// Input: byte 0 sets standing rules of the network for the run: bit 0 delivers every datagram
// between the peers twice, bit 1 every datagram to or from the wallet twice, bit 2 delivers
// what is left in flight at the end newest first. Then a sequence of steps, one byte each
// (bits 0-2 the operation, bits 3-7 an index), some followed by two bytes (a position and a
// value) for damage:
//   0 deliver the oldest datagram in flight        4 inject recorded frame [index]
//   1 deliver the datagram in flight [index]       5 deliver [index] damaged (pos, xor)
//   2 deliver a copy of [index], keeping it        6 inject recorded frame [index] damaged
//   3 drop [index]                                  7 deliver everything in flight, in order
// At the end everything still in flight is delivered.
//
// PELVANE_PLANT_DOUBLE_ORDER (the fuzzer's own test): the network gives a debit request that
// reaches the bank a second time a fresh reference, as a gateway that re-numbers its retries
// would. The fuzzer must find the double debit that follows.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/session/purchase_file.h"
#include "app/session/wallet_session.h"
#include "crypto/exception.h"
#include "fuzz/fuzz_check.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "messaging/pacing.h"
#include "peers/bank.h"
#include "peers/bank_database.h"
#include "peers/gateway.h"
#include "peers/merchant.h"
#include "peers/peer_wire.h"
#include "protocol/customer_digest.h"
#include "protocol/messages.h"
#include "protocol/ports.h"
#include "tests/support/frame_recorder.h"
#include "tests/support/peer_fixture.h"
#include "tests/support/recording_sinks.h"
#include "tests/support/test_customer.h"

namespace pelvane {

// The random source of this harness: a fixed stream (xorshift), restarted for every input.
namespace {
std::uint64_t g_random_state = 0;
void RestartRandom() {
  g_random_state = 0x9E3779B97F4A7C15ull;
}
}  // namespace

void SecureRandomBytes(void* data, std::size_t size) {
  auto* out = static_cast<unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    g_random_state ^= g_random_state << 13;
    g_random_state ^= g_random_state >> 7;
    g_random_state ^= g_random_state << 17;
    out[i] = static_cast<unsigned char>(g_random_state >> 24);
  }
}

}  // namespace pelvane

namespace {

using namespace pelvane;
using namespace pelvane::peers;

constexpr char kWalletIp[] = "10.1.0.9";
constexpr char kBankIp[] = "10.1.0.2";
constexpr char kGatewayIp[] = "10.1.0.3";
constexpr char kMerchantIp[] = "10.1.0.4";

// Two books for 300 and five pens for 20 (prices are per line): 320 crowns.
const std::string kPurchase =
    "SET objedn\xE1vka\r\n"
    "Obchodn\xEDk: Knihkupectv\xED\r\n"
    "SET-SET-URL: http://10.1.0.4/obchod/set\r\n"
    "Datum: 10.12.2024\r\n"
    "\r\n\r\n\r\n\r\n"
    "Polo\x9Eky:\r\n"
    "Kniha;2;300\r\nPero;5;20\r\n";
constexpr std::int64_t kPurchaseTotal = 320;

struct Datagram {
  std::string from_ip;
  int from_port = 0;
  std::string to_ip;
  int to_port = 0;
  std::string bytes;
};

bool IsWallet(const std::string& ip, int port) {
  return ip == kWalletIp && port == kWalletPort;
}

// A datagram on a hostile link: to or from the wallet.
bool Hostile(const Datagram& d) {
  return IsWallet(d.from_ip, d.from_port) || IsWallet(d.to_ip, d.to_port);
}

bool Tracing() {
  static const bool trace = std::getenv("PELVANE_FUZZ_TRACE") != nullptr;
  return trace;
}

// The peers' log on standard error while tracing (PELVANE_FUZZ_TRACE set: to look at one input).
peers::LogSink PeerLog() {
  return Tracing() ? peers::StderrLog() : peers::LogSink();
}

// The fields of a plain peer-to-peer frame, however many it has.
std::vector<std::string> FieldsOf(const std::string& frame) {
  const std::string body = GetMessageBody(frame);
  for (std::size_t count = 1; count <= 12; ++count) {
    try {
      return UnpackFields(body, count);
    } catch (const Exception&) {
    }
  }
  return {};
}

int IdOf(std::string_view frame) {
  try {
    return MessageIdOf(frame);
  } catch (const Exception&) {
    return -1;
  }
}

class World {
 public:
  World()
      : purchase_(kPurchase),
        session_(log_, labels_, errors_, recorder_),
        db_(":memory:"),
        bank_(db_, kBankIp, kGatewayIp, PeerLog(), Seam(kBankIp, kBankPort)),
        gateway_(kGatewayIp, kBankIp, PeerLog(), Seam(kGatewayIp, kGatewayPort), kMerchantIp),
        merchant_(kMerchantIp, kGatewayIp, PeerLog(), Seam(kMerchantIp, kMerchantPort)) {
    demo_ = db_.FindByDigest(ComputeCustomerDigest(kDemoFirstName, kDemoSurname, kDemoBirthNumber,
                                                   kDemoPassword))
                ->id;
    session_.Start(testing::TestExchange(kDemoPassword, kBankIp, &purchase_));
    TakeWalletFrames();
    Check();
  }

  std::deque<Datagram>& InFlight() { return in_flight_; }
  const std::vector<Datagram>& Delivered() const { return delivered_; }

  void Deliver(Datagram d) {
#ifdef PELVANE_PLANT_DOUBLE_ORDER
    if (d.to_port == kBankPort && IdOf(d.bytes) == kMsgDebitRequest) {
      if (!debit_requests_seen_.insert(d.bytes).second) Renumber(d.bytes);
    }
#endif
    if (Tracing()) {
      std::fprintf(stderr, "%s:%d -> %s:%d  %d (%zu bytes)\n", d.from_ip.c_str(), d.from_port,
                   d.to_ip.c_str(), d.to_port, IdOf(d.bytes), d.bytes.size());
    }
    delivered_.push_back(d);
    if (IsWallet(d.to_ip, d.to_port)) {
      session_.DataReceived(d.bytes, d.from_ip);  // never throws
      TakeWalletFrames();
    } else if (PeerBase* peer = PeerAt(d.to_ip, d.to_port)) {
      try {
        peer->OnDatagram(d.bytes, d.from_ip, d.from_port);
      } catch (const Exception& e) {
        // The peer's socket logs it and goes on.
        if (Tracing()) std::fprintf(stderr, "  failed: %s\n", e.what());
      }
    }
    Check();
  }

  // Standing rules: datagrams delivered twice (between the peers, or to and from the wallet).
  void SetRules(bool twice_between_peers, bool twice_with_wallet) {
    twice_between_peers_ = twice_between_peers;
    twice_with_wallet_ = twice_with_wallet;
  }

  // Delivers d, and once more when the rules say so.
  void Send(Datagram d) {
    const bool twice = Hostile(d) ? twice_with_wallet_ : twice_between_peers_;
    if (twice) Deliver(d);
    Deliver(std::move(d));
  }

  void DeliverAll(std::size_t limit, bool newest_first = false) {
    for (std::size_t i = 0; i < limit && !in_flight_.empty(); ++i) {
      Datagram d;
      if (newest_first) {
        d = std::move(in_flight_.back());
        in_flight_.pop_back();
      } else {
        d = std::move(in_flight_.front());
        in_flight_.pop_front();
      }
      Send(std::move(d));
    }
  }

 private:
  PeerSeam Seam(const std::string& ip, int port) {
    PeerSeam seam = testing::RecordingSeam(unused_);
    seam.send = [this, ip, port](const std::string& host, int to_port, const std::string& bytes) {
      FUZZ_CHECK(bytes.size() <= kMaxFrameSize);
      Datagram d{ip, port, host, to_port, bytes};
      if (IdOf(bytes) == kMsgAuthorizationRequest && ip == kMerchantIp) {
        // The merchant asks the gateway to pay an order: the order's reference and amount.
        const std::vector<std::string> fields = FieldsOf(bytes);
        FUZZ_CHECK(fields.size() >= 3);
        orders_.insert(fields[0] + "/" + fields[2]);
      }
      in_flight_.push_back(std::move(d));
    };
    return seam;
  }

  PeerBase* PeerAt(const std::string& ip, int port) {
    if (ip == kBankIp && port == kBankPort) return &bank_;
    if (ip == kGatewayIp && port == kGatewayPort) return &gateway_;
    if (ip == kMerchantIp && port == kMerchantPort) return &merchant_;
    return nullptr;
  }

  void TakeWalletFrames() {
    for (; taken_ < recorder_.frames.size(); ++taken_) {
      const testing::RecordedFrame& f = recorder_.frames[taken_];
      if (IdOf(f.frame) == kMsgDualOrder) ++orders_sent_;
      in_flight_.push_back({kWalletIp, kWalletPort, f.host, f.port, f.frame});
    }
  }

#ifdef PELVANE_PLANT_DOUBLE_ORDER
  static void Renumber(std::string& frame) {
    // The reference is the first field of the body: its first character changes.
    std::vector<std::string> fields = FieldsOf(frame);
    if (fields.empty() || fields[0].empty()) return;
    fields[0][0] = fields[0][0] == 'Z' ? 'Y' : 'Z';
    frame = BuildPlainFrame(PackFields(fields), kMsgDebitRequest);
  }
  std::set<std::string> debit_requests_seen_;
#endif

  void Check() {
    FUZZ_CHECK(orders_sent_ <= 1);
    const std::vector<Payment> payments = db_.Payments(demo_);
    FUZZ_CHECK(payments.size() <= 1);
    for (const Payment& p : payments) {
      FUZZ_CHECK(p.amount == kPurchaseTotal);
      FUZZ_CHECK(orders_.count(p.reference + "/" + std::to_string(p.amount)) == 1);
    }
    FUZZ_CHECK(db_.FindByDigest(db_.ListAccounts()[0].digest)->balance ==
               kDemoBalance - kPurchaseTotal * static_cast<std::int64_t>(payments.size()));
  }

  PurchaseBuffer purchase_;
  testing::RecordingLog log_;
  testing::RecordingLabels labels_;
  testing::RecordingReporter errors_;
  testing::FrameRecorder recorder_;
  WalletSession session_;
  BankDatabase db_;
  std::vector<testing::SentFrame> unused_;
  Bank bank_;
  Gateway gateway_;
  Merchant merchant_;
  std::int64_t demo_ = 0;
  std::deque<Datagram> in_flight_;
  std::vector<Datagram> delivered_;
  std::size_t taken_ = 0;
  int orders_sent_ = 0;
  bool twice_between_peers_ = false;
  bool twice_with_wallet_ = false;
  std::set<std::string> orders_;  // "reference/amount" of the orders the merchant accepted
};

// The frames of one clean exchange, on their hostile links, recorded once.
const std::vector<Datagram>& Recorded() {
  static const std::vector<Datagram> recorded = [] {
    RestartRandom();
    World world;
    world.DeliverAll(1000);
    std::vector<Datagram> hostile;
    for (const Datagram& d : world.Delivered()) {
      if (Hostile(d)) hostile.push_back(d);
    }
    return hostile;
  }();
  return recorded;
}

void Damage(std::string& bytes, std::uint8_t position, std::uint8_t value) {
  if (bytes.empty()) return;
  bytes[position % bytes.size()] ^= static_cast<char>(value == 0 ? 1 : value);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetPacingMs(0);
  FUZZ_CHECK(!Recorded().empty());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RestartRandom();
  World world;
  std::deque<Datagram>& flight = world.InFlight();
  const std::vector<Datagram>& recorded = Recorded();
  std::size_t i = 0;
  auto next = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
  const std::uint8_t rules = next();
  world.SetRules((rules & 1) != 0, (rules & 2) != 0);
  const bool newest_first_at_end = (rules & 4) != 0;
  while (i < size) {
    const std::uint8_t step = next();
    const int op = step & 7;
    const std::size_t index = step >> 3;
    if (op == 7) {
      world.DeliverAll(64);
      continue;
    }
    if (op == 4 || op == 6) {
      Datagram d = recorded[index % recorded.size()];
      if (op == 6) {
        const std::uint8_t position = next();
        Damage(d.bytes, position, next());
      }
      world.Send(std::move(d));
      continue;
    }
    if (flight.empty()) continue;
    const std::size_t k = op == 0 ? 0 : index % flight.size();
    Datagram d = flight[k];
    if (op != 2) flight.erase(flight.begin() + static_cast<std::ptrdiff_t>(k));
    if (op == 3) continue;
    if (op == 5) {
      const std::uint8_t position = next();
      const std::uint8_t value = next();
      if (Hostile(d)) Damage(d.bytes, position, value);
    }
    world.Send(std::move(d));
  }
  world.DeliverAll(1000, newest_first_at_end);
  return 0;
}
