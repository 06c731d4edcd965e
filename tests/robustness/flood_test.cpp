// A purchase under a flood of hostile datagrams: pelvane-peers and pelvane-cli run as separate
// programs while this test throws 100 000 random and mutated datagrams at the wallet's port 2000.
// The purchase must still complete with the right log and the right debit, every datagram must
// reach the wallet (none dropped by the system), and the wallet's memory must stay flat.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/session/wallet_keys.h"
#include "crypto/formats/formats.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kDatagrams = 100000;
constexpr std::size_t kMaxDatagram = 2048;
// The flood waits while this much lies unread in the wallet's socket, so that the system never
// drops a datagram for want of buffer space: what is measured is how the wallet parses, not how
// much the kernel throws away (see the report printed at the end).
constexpr long kQueueLimit = 64 * 1024;
// A sanitizer build runs several times slower and reserves shadow memory and a quarantine of
// freed blocks, so it gets more time and a larger absolute bound; the flatness check is the same.
#if defined(__SANITIZE_ADDRESS__)
#define PELVANE_FLOOD_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELVANE_FLOOD_SANITIZED 1
#endif
#endif
#ifdef PELVANE_FLOOD_SANITIZED
constexpr auto kFloodDeadline = 200s;
constexpr long kHwmLimitKiB = 512 * 1024;
#else
constexpr auto kFloodDeadline = 50s;
constexpr long kHwmLimitKiB = 64 * 1024;
#endif
constexpr long kGrowthLimitKiB = 4 * 1024;

// UTF-8, as pelvane-cli prints them.
constexpr char kPaid[] =
    "   Objednan\xC3\xA9 zbo\xC5\xBE\xC3\xAD bylo zaplaceno z \xC3\xBA\xC4\x8Dtu "
    "z\xC3\xA1kazn\xC3\xADka: 1366 K\xC4\x8D";
constexpr char kDispatched[] =
    "Zbo\xC5\xBE\xC3\xAD bylo odesl\xC3\xA1no. Objedn\xC3\xA1vka \xC4\x8D.";
constexpr char kEnd[] = "--- KONEC SPOJEN\xC3\x8D ---";
constexpr char kReceived[] = "P\xC5\x99ijata data od ";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

// The inodes of the sockets process pid holds.
std::set<std::string> SocketInodes(qint64 pid) {
  std::set<std::string> inodes;
  std::error_code error;
  const std::string dir = "/proc/" + std::to_string(pid) + "/fd";
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    if (target.starts_with("socket:[")) inodes.insert(target.substr(8, target.size() - 9));
  }
  return inodes;
}

// The state of the wallet's UDP socket on port 2000, from /proc/net/udp.
struct SocketState {
  bool found = false;
  long queued = 0;  // bytes waiting to be read
  long drops = 0;   // datagrams the system dropped
};

SocketState WalletSocket(const std::set<std::string>& inodes) {
  std::ifstream in("/proc/net/udp");
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
    f >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >>
        inode;
    if (!local.ends_with(":07D0") || !inodes.contains(inode)) continue;
    std::string ref, pointer;
    long drops = 0;
    f >> ref >> pointer >> drops;
    return {true, std::stol(queues.substr(queues.find(':') + 1), nullptr, 16), drops};
  }
  return {};
}

struct Memory {
  long rss_kib = 0;
  long hwm_kib = 0;
};

Memory ReadMemory(qint64 pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  Memory m;
  std::string key;
  long value = 0;
  std::string unit;
  while (in >> key) {
    if (key == "VmRSS:" && in >> value >> unit) m.rss_kib = value;
    if (key == "VmHWM:" && in >> value >> unit) m.hwm_kib = value;
  }
  return m;
}

// Random and mutated datagrams. The mutations start from frames of every kind the wallet
// meets, made under keys it does not hold; none carries a complete public key text, so none
// is a valid key message (such a frame would be an impostor peer, not garbage).
class Flood {
 public:
  explicit Flood(std::uint64_t seed) : random_(seed) {
    const std::string own_key = pelvane::kWalletPublicKey;
    const std::string cut_key = own_key.substr(0, own_key.size() - 8);
    for (int id : {0x62, 0x5F, 0x60, 0x63})
      real_.push_back(pelvane::BuildPlainFrame(cut_key, id));
    const char* texts[] = {"1000", "IP", "127.0.0.1", "1366", "*** odm\xEDtnuto", "Hotovo"};
    for (int i = 0; i < 36; ++i) {
      const std::string session_key = Bytes(24);
      const std::string text = i % 3 == 0 ? Bytes(Below(400)) : texts[i % 6];
      real_.push_back(pelvane::BuildSecureFrame(text, kWalletIds[i % std::size(kWalletIds)],
                                                own_key, session_key));
      if (i % 6 == 0) {
        real_.push_back(pelvane::BuildKeyFrame(session_key, own_key, 0x59));
        const std::string block = pelvane::BuildSecureBlock(text, session_key, own_key);
        real_.push_back(pelvane::BuildDualFrame(block, block.substr(0, Below(block.size())), 0x4F));
      }
    }
  }

  std::string Next() {
    switch (Below(8)) {
      case 0:  // random bytes
        return Bytes(Below(kMaxDatagram + 1));
      case 1:  // a valid header over a random body
        return Header(Below(256), Below(kMaxDatagram - 5)) + Bytes(Below(kMaxDatagram - 5));
      case 2: {  // a valid header over random hexadecimal text
        const std::size_t n = Below(kMaxDatagram - 5);
        return Header(Below(256), n) + Hex(Below(2) ? n : Below(kMaxDatagram - 5));
      }
      case 3: {  // a wallet identifier over a random secure body: hex(Base64(random))
        const std::string body = pelvane::StrToFormat(
            pelvane::StrToFormat(Bytes(Below(760)), pelvane::kFormatMIME64), pelvane::kFormatHex);
        return Header(kWalletIds[Below(std::size(kWalletIds))], body.size()) + body;
      }
      case 4: {  // a real frame cut short
        const std::string& f = Real();
        return f.substr(0, Below(f.size()));
      }
      case 5: {  // a real frame with bits flipped
        std::string f = Real();
        for (std::size_t n = 1 + Below(8); n > 0; --n)
          f[Below(f.size())] ^= static_cast<char>(1u << Below(8));
        return f;
      }
      case 6: {  // a real frame under another identifier
        std::string f = Real();
        const std::string id = pelvane::IntToHex(static_cast<std::int32_t>(Below(256)), 2);
        if (id == f.substr(0, 2))
          f[1] = f[1] == '0' ? '1' : '0';
        else
          f.replace(0, 2, id);
        return f;
      }
      default: {  // a real frame whose length field lies
        std::string f = Real();
        f.replace(2, 4, pelvane::IntToHex(static_cast<std::int32_t>(Below(0x10000)), 4));
        return f;
      }
    }
  }

 private:
  static constexpr int kWalletIds[] = {0x02, 0x0A, 0x0D, 0x14, 0x16, 0x17, 0x19, 0x4C};

  std::size_t Below(std::size_t n) {
    return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }
  std::string Bytes(std::size_t n) {
    std::string s(n, '\0');
    for (char& c : s)
      c = static_cast<char>(Below(256));
    return s;
  }
  std::string Hex(std::size_t n) {
    std::string s(n, '0');
    for (char& c : s)
      c = "0123456789ABCDEFabcdef"[Below(22)];
    return s;
  }
  static std::string Header(std::size_t id, std::size_t length) {
    return pelvane::IntToHex(static_cast<std::int32_t>(id), 2) +
           pelvane::IntToHex(static_cast<std::int32_t>(length), 4);
  }
  const std::string& Real() { return real_[Below(real_.size())]; }

  std::mt19937_64 random_;
  std::vector<std::string> real_;
};

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

TEST(Flood, PurchaseCompletesUnderAFloodOfHostileDatagrams) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const auto path = [&](const char* name) { return dir.filePath(name).toStdString(); };
  std::ofstream(path("pw.txt")) << "demo\n";

  QProcess peers;
  peers.setStandardErrorFile(dir.filePath("peers.log"));
  peers.start(PELVANE_PEERS_BIN, {"--db", dir.filePath("bank.sqlite"), "--pause-ms", "5"});
  ASSERT_TRUE(peers.waitForStarted());
  ASSERT_TRUE(WaitFor(
      [&] { return ReadFile(path("peers.log")).find("[merchant] listening") != std::string::npos; },
      10s))
      << ReadFile(path("peers.log"));

  // The flood is prepared before the wallet starts, so that it begins with the purchase.
  Flood flood(20240314);
  const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(sender, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(2000);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

  QProcess wallet;
  wallet.setStandardOutputFile(dir.filePath("wallet.log"));
  wallet.setStandardErrorFile(dir.filePath("wallet.err"));
  wallet.start(PELVANE_CLI_BIN,
               {"--pause-ms", "5", "--password-file", dir.filePath("pw.txt"), "--timeout", "120",
                "--listen", PELVANE_EXAMPLES_DIR "/purchase.txt"});
  ASSERT_TRUE(wallet.waitForStarted());
  const qint64 pid = wallet.processId();

  // The receiver is bound before the password is read and the exchange starts.
  std::set<std::string> inodes;
  ASSERT_TRUE(WaitFor(
      [&] {
        inodes = SocketInodes(pid);
        return WalletSocket(inodes).found;
      },
      10s))
      << ReadFile(path("wallet.err"));

  std::vector<Memory> samples;
  const auto start = Clock::now();
  int sent = 0;
  long largest = 0;
  bool in_time = true;
  for (; sent < kDatagrams && in_time; ++sent) {
    if (sent % 8 == 0) {
      for (SocketState s = WalletSocket(inodes); s.found && s.queued > kQueueLimit;
           s = WalletSocket(inodes)) {
        if (Clock::now() - start > kFloodDeadline) {
          in_time = false;
          break;
        }
        std::this_thread::sleep_for(200us);
      }
    }
    if (sent % 500 == 0) samples.push_back(ReadMemory(pid));
    const std::string datagram = flood.Next();
    largest = std::max(largest, static_cast<long>(datagram.size()));
    ::sendto(sender, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
             sizeof to);
  }
  ::close(sender);
  const double flood_seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_TRUE(in_time) << "the flood did not finish in time";

  // Everything sent has been read, and the purchase has ended.
  EXPECT_TRUE(WaitFor([&] { return WalletSocket(inodes).queued == 0; }, 20s));
  EXPECT_TRUE(WaitFor(
      [&] { return ReadFile(path("wallet.log")).find(kDispatched) != std::string::npos; }, 30s));
  samples.push_back(ReadMemory(pid));
  const SocketState last = WalletSocket(inodes);

  ::kill(static_cast<pid_t>(pid), SIGTERM);
  ASSERT_TRUE(wallet.waitForFinished(10000));
  EXPECT_EQ(wallet.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(wallet.exitCode(), 128 + SIGTERM) << ReadFile(path("wallet.err"));

  // The log: the payment confirmed, then the merchant's report, one end of the exchange.
  const std::string log = ReadFile(path("wallet.log"));
  const std::size_t paid = log.find(kPaid);
  const std::size_t dispatched = log.find(kDispatched);
  ASSERT_NE(paid, std::string::npos) << log.substr(0, 4000);
  ASSERT_NE(dispatched, std::string::npos);
  EXPECT_LT(paid, dispatched);
  EXPECT_EQ(Count(log, kEnd), 1u);
  EXPECT_EQ(Count(log, kPaid), 1u);
  EXPECT_NE(log.find("Stav \xC3\xBA\xC4\x8Dtu: 10000 K\xC4\x8D"), std::string::npos);

  // The bank debited the order total once.
  QProcess list;
  list.start(PELVANE_PEERS_BIN, {"account", "list", "--db", dir.filePath("bank.sqlite")});
  ASSERT_TRUE(list.waitForFinished(10000));
  const std::string accounts = list.readAllStandardOutput().toStdString();
  EXPECT_NE(accounts.find(" 8634 K\xC4\x8D"), std::string::npos) << accounts;

  peers.terminate();
  peers.waitForFinished(5000);

  // Every datagram reached the wallet: the system dropped none, and each was logged.
  const std::size_t handled = Count(log, kReceived);
  EXPECT_EQ(last.drops, 0);
  EXPECT_GE(handled, static_cast<std::size_t>(sent));

  // Memory: a generous ceiling, and no growth from the first to the last quarter.
  ASSERT_GE(samples.size(), 8u);
  const std::size_t quarter = samples.size() / 4;
  long peak_rss = 0, peak_hwm = 0, first_max = 0, last_max = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    peak_rss = std::max(peak_rss, samples[i].rss_kib);
    peak_hwm = std::max(peak_hwm, samples[i].hwm_kib);
    if (i < quarter) first_max = std::max(first_max, samples[i].rss_kib);
    if (i >= samples.size() - quarter) last_max = std::max(last_max, samples[i].rss_kib);
  }
  EXPECT_LT(peak_hwm, kHwmLimitKiB);
  EXPECT_LE(last_max, first_max + kGrowthLimitKiB);

  std::cout << "flood: " << sent << " datagrams (up to " << largest << " bytes) in "
            << flood_seconds << " s; wallet handled " << handled << " (7 of them the peers'), "
            << "system drops " << last.drops << "; wallet VmRSS peak " << peak_rss << " KiB, VmHWM "
            << peak_hwm << " KiB, largest VmRSS first quarter " << first_max
            << " KiB, last quarter " << last_max << " KiB\n";
}

}  // namespace
