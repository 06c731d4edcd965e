// The receive paths: bytes sent as a real datagram over the loopback interface to the wallet's
// receiver (a TUDPSocket feeding the wallet session, as the front ends join them) or to a peer's
// socket (a PeerSocket feeding the bank). Whatever arrives (empty, oversized, any bytes), each
// datagram is handed on at most once, the session never lets a failure out of its handler, and
// the peer's socket hands failures to its error handler, never to the event loop.
//
// Input: byte 0 bit 0 picks the receiver (clear: the wallet's, set: the bank's); the rest is the
// datagram. Both listen on 127.0.0.1 on ports of their own (not the protocol's), so the target
// runs beside the programs and the tests.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/session/purchase_file.h"
#include "app/session/wallet_keys.h"
#include "app/session/wallet_session.h"
#include "crypto/exception.h"
#include "fuzz/fuzz_check.h"
#include "messaging/pacing.h"
#include "messaging/udp_socket.h"
#include "peers/bank.h"
#include "peers/bank_database.h"
#include "peers/peer_socket.h"
#include "tests/support/frame_recorder.h"
#include "tests/support/peer_fixture.h"
#include "tests/support/recording_sinks.h"
#include "tests/support/test_customer.h"

namespace {

using namespace pelvane;

struct Receivers {
  Receivers() {
    wallet_socket.SetRemotePort(0);
    wallet_socket.SetLocalPort(0);
    wallet_socket.SetReportLevel(1);
    wallet_socket.OnDataReceived = [this](TUDPSocket& sender, int count, const std::string& from) {
      ++wallet_calls;
      session.ReceiveFrom(sender, count, from);
    };
    session.Start(testing::TestExchange("demo", "127.0.0.1", &purchase));
    // The bank on a port of this process's own: not one of the protocol's.
    bank_port = 20000 + static_cast<int>(::getpid() % 20000);
    bank_socket = std::make_unique<peers::PeerSocket>("127.0.0.1", bank_port);
    bank_socket->OnDatagram = [this](const std::string& datagram, const std::string& ip, int port) {
      ++bank_calls;
      bank.OnDatagram(datagram, ip, port);
    };
    bank_socket->OnError = [this](const std::string&) { ++bank_errors; };
    TUDPSocket::SetEventErrorHandler([](const std::string& message) {
      std::fprintf(stderr, "escaped the wallet's handler: %s\n", message.c_str());
      FUZZ_CHECK(false);
    });
  }

  PurchaseBuffer purchase{
      "SET objedn\xE1vka\r\nObchodn\xEDk: Knihkupectv\xED\r\n"
      "SET-SET-URL: http://127.0.0.1/obchod/set\r\nDatum: 10.12.2024\r\n\r\n\r\n\r\n\r\n"
      "Polo\x9Eky:\r\nKniha;2;300\r\n"};
  testing::RecordingLog log;
  testing::RecordingLabels labels;
  testing::RecordingReporter errors;
  testing::FrameRecorder recorder;
  WalletSession session{log, labels, errors, recorder};
  TUDPSocket wallet_socket;
  peers::BankDatabase db{":memory:"};
  std::vector<testing::SentFrame> sent;
  peers::Bank bank{db, "127.0.0.1", "127.0.0.1", peers::LogSink(), [this] {
                     peers::PeerSeam seam;
                     seam.send = [this](const std::string& host, int port, const std::string& b) {
                       sent.push_back({host, port, b});
                     };
                     seam.keys.public_key = kWalletPublicKey;
                     seam.keys.private_key = kWalletPrivateKey;
                     return seam;
                   }()};
  int bank_port = 0;
  std::unique_ptr<peers::PeerSocket> bank_socket;
  int wallet_calls = 0;
  int bank_calls = 0;
  int bank_errors = 0;
};

Receivers* g_receivers = nullptr;
int g_sender = -1;

void SendTo(int port, const std::uint8_t* data, std::size_t size) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::sendto(g_sender, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static QCoreApplication app(*argc, *argv);
  SetPacingMs(0);
  g_receivers = new Receivers;  // lives as long as the process
  g_sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  FUZZ_CHECK(g_sender >= 0);
  FUZZ_CHECK(g_receivers->wallet_socket.Bound());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  Receivers& r = *g_receivers;
  const bool to_bank = (data[0] & 1) != 0;
  const int before = to_bank ? r.bank_calls : r.wallet_calls;
  SendTo(to_bank ? r.bank_port : r.wallet_socket.BoundPort(), data + 1, size - 1);
  // Up to a second for the datagram to come round; a little longer for a second call, which
  // must not come.
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < 1000 && (to_bank ? r.bank_calls : r.wallet_calls) == before) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  FUZZ_CHECK((to_bank ? r.bank_calls : r.wallet_calls) - before <= 1);
  // The lists the sinks keep would grow without end over a long campaign.
  r.log.lines.clear();
  r.sent.clear();
  r.recorder.frames.clear();
  return 0;
}
