// One datagram handed to one of the simulated peers (bank, payment gateway, merchant) in one
// state of the exchange. No sockets: the peers send into a recorder, and the bank keeps its books
// in an in-memory database that starts with the demo customer.
//
// Input: the first byte picks
//   bits 0-1  the peer: 0 and 3 the bank, 1 the gateway, 2 the merchant;
//   bits 2-3  the state: 0 fresh; 1 the wallet's key (99) known; 2 its session key (89) too;
//             3 one step further: the bank has identified the customer (1), the gateway waits
//             for the bank's debit result (after A0), the merchant for the gateway's
//             authorisation result (after 79);
//   bit 4     the sender: clear the wallet, set the peer the receiver trusts (the bank trusts
//             the gateway's port 2003, the gateway the bank's port 2001, the merchant the
//             gateway's port 2003);
//   bits 5-6  how the rest becomes the datagram: 0 as it is; 1 the second byte an identifier and
//             the rest a text sealed as a secure frame from the wallet; 2 the same as a dual
//             frame, the text cut at its first zero byte into the gateway's and the merchant's
//             text.
// In the datagram, "@PENDING-ORDER@@" (as it is or as upper-case hexadecimal text) stands for the
// reference of the pending order, so that a result for it can be written down before the
// reference is known.
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/session/wallet_keys.h"
#include "crypto/exception.h"
#include "crypto/formats/formats.h"
#include "fuzz/fuzz_check.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "messaging/pacing.h"
#include "peers/bank.h"
#include "peers/bank_database.h"
#include "peers/gateway.h"
#include "peers/merchant.h"
#include "peers/order_text.h"
#include "peers/peer_base.h"
#include "peers/peer_wire.h"
#include "protocol/messages.h"
#include "protocol/ports.h"
#include "tests/support/peer_fixture.h"

namespace {

using namespace pelvane;
using namespace pelvane::peers;

constexpr char kWalletIp[] = "10.1.0.9";
constexpr char kBankIp[] = "10.1.0.2";
constexpr char kGatewayIp[] = "10.1.0.3";
constexpr char kMerchantIp[] = "10.1.0.4";
// The session key the wallet gives every peer.
constexpr std::string_view kSession = "Pelvane fuzz session key";
constexpr char kReference[] = "0123456789ABCDEF";
constexpr char kOrder[] = "Kniha;2;300\r\nPero;5;20\r\n";
// As long as an order reference, so that the frame keeps its length fields.
constexpr std::string_view kPlaceholder = "@PENDING-ORDER@@";

using Sent = testing::SentFrame;

// Every peer uses the wallet's key pair: fixed, and known to the seeds.
PeerSeam Seam(std::vector<Sent>& sent) {
  return testing::RecordingSeam(sent);
}

// The peers' log on standard error when PELVANE_FUZZ_VERBOSE is set (to look at one input).
LogSink PeerLog() {
  static const bool verbose = std::getenv("PELVANE_FUZZ_VERBOSE") != nullptr;
  return verbose ? StderrLog() : LogSink();
}

int IdOf(std::string_view frame) {
  return frame.size() < 2 ? -1 : HexFieldToInt(frame.substr(0, 2));
}

std::string FromWallet(const std::string& text, int id) {
  return BuildSecureFrame(text, id, kWalletPublicKey, kSession);
}

std::string Dual(const std::string& gateway_text, const std::string& merchant_text, int id) {
  return BuildDualFrame(BuildSecureBlock(gateway_text, kSession, kWalletPublicKey),
                        BuildSecureBlock(merchant_text, kSession, kWalletPublicKey), id);
}

// Hands a datagram to the peer while driving it; the step must not fail.
void Drive(PeerBase& peer, const std::string& datagram, const std::string& ip, int port) {
  peer.OnDatagram(datagram, ip, port);
}

// Hands the fuzz datagram to the peer. A failure must be one of ours (the socket logs it);
// anything else escaping is a finding.
void Deliver(PeerBase& peer, const std::string& datagram, const std::string& ip, int port) {
  try {
    peer.OnDatagram(datagram, ip, port);
  } catch (const Exception&) {
  }
}

void ReplaceText(std::string& text, std::string_view from, const std::string& to) {
  for (std::size_t pos = text.find(from); pos != std::string::npos;
       pos = text.find(from, pos + to.size())) {
    text.replace(pos, from.size(), to);
  }
}

// Puts the reference in place of the placeholder, in plain and in hexadecimal form.
void Replace(std::string& text, std::string_view from, const std::string& to) {
  ReplaceText(text, from, to);
  ReplaceText(text, StrToFormat(from, kFormatHex), StrToFormat(to, kFormatHex));
}

void CheckSent(const std::vector<Sent>& sent, std::size_t from) {
  for (std::size_t i = from; i < sent.size(); ++i)
    FUZZ_CHECK(sent[i].frame.size() <= kMaxFrameSize);
}

std::string DemoDigest() {
  return ComputeCustomerDigest(kDemoFirstName, kDemoSurname, kDemoBirthNumber, kDemoPassword);
}

void WalletMeets(PeerBase& peer, int state) {
  if (state >= 1) Drive(peer, BuildPlainFrame(kWalletPublicKey, 99), kWalletIp, 2000);
  if (state >= 2) {
    Drive(peer, BuildKeyFrame(kSession, kWalletPublicKey, 89), kWalletIp, 2000);
  }
}

void FuzzBank(int state, bool trusted, const std::string& datagram_in) {
  std::vector<Sent> sent;
  BankDatabase db(":memory:");
  Bank bank(db, kBankIp, kGatewayIp, PeerLog(), Seam(sent));
  WalletMeets(bank, state);
  if (state >= 3) Drive(bank, FromWallet(DemoDigest(), 1), kWalletIp, 2000);

  const std::string digest = DemoDigest();
  const Account before = *db.FindByDigest(digest);
  const std::size_t payments_before = db.Payments(before.id).size();
  const std::size_t sent_before = sent.size();

  std::string datagram = datagram_in;
  Replace(datagram, kPlaceholder, kReference);
  const std::string ip = trusted ? kGatewayIp : kWalletIp;
  const int port = trusted ? kGatewayPort : 2000;
  Deliver(bank, datagram, ip, port);

  const Account after = *db.FindByDigest(digest);
  const std::vector<Payment> payments = db.Payments(after.id);
  FUZZ_CHECK(after.balance >= 0);
  if (after.balance != before.balance || payments.size() != payments_before) {
    // Money moves only for a well-formed debit request from the gateway for this customer.
    FUZZ_CHECK(trusted && IdOf(datagram) == kMsgDebitRequest);
    const std::vector<std::string> fields = UnpackFields(GetMessageBody(datagram), 5);
    FUZZ_CHECK(fields[1] == digest);
    const std::int64_t amount = ParseAmount(fields[2]);
    FUZZ_CHECK(amount > 0 && amount <= before.balance);
    FUZZ_CHECK(after.balance == before.balance - amount);
    FUZZ_CHECK(payments.size() == payments_before + 1);
    FUZZ_CHECK(payments.back().amount == amount && payments.back().reference == fields[0]);
  }
  CheckSent(sent, sent_before);
  for (std::size_t i = sent_before; i < sent.size(); ++i) {
    // The bank answers only the sender: the wallet on its port, or the gateway with B1.
    FUZZ_CHECK(sent[i].host == ip && sent[i].port == (trusted ? kGatewayPort : kWalletPort));
  }
}

void FuzzGateway(int state, bool trusted, const std::string& datagram_in) {
  std::vector<Sent> sent;
  Gateway gateway(kGatewayIp, kBankIp, PeerLog(), Seam(sent), kMerchantIp);
  WalletMeets(gateway, state);
  if (state >= 3) {
    const std::string block = BuildSecureBlock(DemoDigest(), kSession, kWalletPublicKey);
    Drive(gateway,
          BuildPlainFrame(PackFields({kReference, kWalletIp, "320", kMerchantAccount, block, ""}),
                          kMsgAuthorizationRequest),
          kMerchantIp, kMerchantPort);
    FUZZ_CHECK(!sent.empty() && IdOf(sent.back().frame) == kMsgDebitRequest);
  }
  const std::size_t sent_before = sent.size();
  std::string datagram = datagram_in;
  Replace(datagram, kPlaceholder, kReference);
  const std::string ip = trusted ? kBankIp : kMerchantIp;
  const int port = trusted ? kBankPort : kMerchantPort;
  Deliver(gateway, datagram, ip, port);
  CheckSent(sent, sent_before);
  for (std::size_t i = sent_before; i < sent.size(); ++i) {
    // Debit requests go only to the bank.
    if (IdOf(sent[i].frame) == kMsgDebitRequest) {
      FUZZ_CHECK(sent[i].host == kBankIp && sent[i].port == kBankPort);
    }
  }
}

void FuzzMerchant(int state, bool trusted, const std::string& datagram_in) {
  std::vector<Sent> sent;
  Merchant merchant(kMerchantIp, kGatewayIp, PeerLog(), Seam(sent));
  WalletMeets(merchant, state);
  std::string reference = kReference;
  if (state >= 3) {
    Drive(merchant, Dual(DemoDigest(), kOrder, kMsgDualOrder), kWalletIp, 2000);
    FUZZ_CHECK(!sent.empty() && IdOf(sent.back().frame) == kMsgAuthorizationRequest);
    reference = UnpackFields(GetMessageBody(sent.back().frame), 6)[0];
  }
  const std::size_t sent_before = sent.size();
  std::string datagram = datagram_in;
  Replace(datagram, kPlaceholder, reference);
  const std::string ip = trusted ? kGatewayIp : kWalletIp;
  const int port = trusted ? kGatewayPort : 2000;
  Deliver(merchant, datagram, ip, port);
  CheckSent(sent, sent_before);
  for (std::size_t i = sent_before; i < sent.size(); ++i) {
    // Authorisation requests go only to the gateway.
    if (IdOf(sent[i].frame) == kMsgAuthorizationRequest) {
      FUZZ_CHECK(sent[i].host == kGatewayIp && sent[i].port == kGatewayPort);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  SetPacingMs(0);
  // The merchant and the gateway retry their requests on timers, which need an application
  // object; nothing runs its event loop here, so no timer ever fires.
  static QCoreApplication application(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int peer = data[0] & 3;
  const int state = (data[0] >> 2) & 3;
  const bool trusted = (data[0] & 0x10) != 0;
  const int mode = (data[0] >> 5) & 3;

  std::string datagram;
  try {
    if (mode == 0 || mode == 3) {
      datagram = std::string(fuzz::AsText(data + 1, size - 1));
    } else {
      if (size < 2) return 0;
      const std::string text(fuzz::AsText(data + 2, size - 2));
      if (mode == 1) {
        datagram = FromWallet(text, data[1]);
      } else {
        const std::size_t cut = text.find('\0');
        datagram = cut == std::string::npos
                       ? Dual(text, "", data[1])
                       : Dual(text.substr(0, cut), text.substr(cut + 1), data[1]);
      }
    }
  } catch (const EEnvelopeTooLarge&) {
    return 0;  // no datagram carries it
  }

  if (peer == 1) {
    FuzzGateway(state, trusted, datagram);
  } else if (peer == 2) {
    FuzzMerchant(state, trusted, datagram);
  } else {
    FuzzBank(state, trusted, datagram);
  }
  return 0;
}
