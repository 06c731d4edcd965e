// One datagram handed to the wallet session in one state of the exchange. No sockets: the
// session sends through a FrameRecorder, with no pacing.
//
// Input: the first byte picks the state (bits 0-2) and how the rest becomes the datagram:
//   bit 3 clear: the rest is the datagram as it arrived;
//   bit 3 set:   the second byte is an identifier and the rest a text, sealed as a secure frame
//                to the wallet under the session key picked by bits 4-5 (bank, gateway,
//                merchant, none), so that the steps behind the envelope are reached too.
// States: 0 fresh after Start(); 1 after 98 with a purchase; 2 after 98 without one; 3 after 2
// with a purchase (75 sent); 4 after 2 without one (13 sent); 5 after 76; 6 after 95; 7 after 96
// (keys and the dual order sent).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/session/purchase_file.h"
#include "app/session/wallet_keys.h"
#include "app/session/wallet_session.h"
#include "crypto/exception.h"
#include "fuzz/fuzz_check.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "messaging/pacing.h"
#include "tests/support/frame_recorder.h"
#include "tests/support/recording_sinks.h"
#include "tests/support/test_customer.h"

namespace {

using namespace pelvane;

// The peers' key: the wallet's own public key serves as every peer's key.
const std::string kPeerKey = kWalletPublicKey;

const std::string kPurchase =
    "SET objedn\xE1vka\r\n"
    "Obchodn\xEDk: Knihkupectv\xED\r\n"
    "SET-SET-URL: http://127.0.0.4/obchod/set\r\n"
    "Datum: 10.12.2024\r\n"
    "\r\n\r\n\r\n\r\n"
    "Polo\x9Eky:\r\n"
    "Kniha;2;300\r\nPero;5;20\r\n";

using Log = testing::RecordingLog;
using Labels = testing::RecordingLabels;
using Reporter = testing::RecordingReporter;
using testing::FrameRecorder;
using testing::RecordedFrame;

// The customer of every exchange (set up once).
ExchangeInputs& Customer() {
  static ExchangeInputs customer = testing::TestExchange("demo", "127.0.0.2", nullptr);
  return customer;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// "dd.mm.yyyy hh:nn:ss"
bool IsTimestamp(std::string_view line) {
  constexpr std::string_view pattern = "00.00.0000 00:00:00";
  if (line.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (pattern[i] == '0' ? (line[i] < '0' || line[i] > '9') : line[i] != pattern[i]) return false;
  }
  return true;
}

// A line the session writes itself: empty, a stamp, the arrival line, an indented line, a
// refusal or failure ("***"), or the end line.
bool IsDocumentedLine(std::string_view line) {
  return line.empty() || IsTimestamp(line) || StartsWith(line, "P\xF8ijata data od ") ||
         StartsWith(line, "   ") || StartsWith(line, "***") || line == kEndOfConnectionLine;
}

// Identifiers whose step logs the peer's text as it came, followed by the end line.
bool LogsPeerText(int id) {
  return id == 13 || id == 20 || id == 22 || id == 23 || id == 25;
}

void CheckFrames(const FrameRecorder& recorder) {
  for (const RecordedFrame& f : recorder.frames)
    FUZZ_CHECK(f.frame.size() <= kMaxFrameSize);
}

void CheckSlots(const KeySlots& keys) {
  for (const std::string* key :
       {&keys.FBankSessionKey, &keys.FGatewaySessionKey, &keys.FMerchantSessionKey}) {
    FUZZ_CHECK(key->empty() || key->size() == static_cast<std::size_t>(kSessionKeyLength));
  }
  FUZZ_CHECK(keys.FOwnPublicKey == kWalletPublicKey);
  FUZZ_CHECK(keys.FOwnPrivateKey == kWalletPrivateKey);
}

// Hands a frame to the session while driving it; the step must not fail.
void Drive(WalletSession& session, const Log& log, const std::string& frame) {
  session.DataReceived(frame, "127.0.0.1");
  for (const std::string& line : log.lines)
    FUZZ_CHECK(!StartsWith(line, kStepFailurePrefix));
}

std::string ToWallet(const std::string& text, int id, const std::string& session_key) {
  return BuildSecureFrame(text, id, kWalletPublicKey, session_key);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetPacingMs(0);
  Customer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int state = data[0] & 7;
  const bool sealed = (data[0] & 8) != 0;
  const int key_choice = (data[0] >> 4) & 3;
  const bool with_purchase = state != 2 && state != 4;

  std::unique_ptr<PurchaseBuffer> purchase;
  if (with_purchase) purchase = std::make_unique<PurchaseBuffer>(kPurchase);

  Log log;
  Labels labels;
  Reporter reporter;
  FrameRecorder recorder;
  WalletSession session(log, labels, reporter, recorder);
  int ended_calls = 0;
  session.OnConnectionEnded = [&] { ++ended_calls; };
  ExchangeInputs inputs = Customer();
  inputs.purchase = purchase.get();
  session.Start(std::move(inputs));

  if (state >= 1) Drive(session, log, BuildPlainFrame(kPeerKey, 98));
  if (state >= 3) Drive(session, log, ToWallet("10000", 2, session.Keys().FBankSessionKey));
  if (state >= 5) Drive(session, log, ToWallet("127.0.0.3", 76, session.Keys().FBankSessionKey));
  if (state >= 6) Drive(session, log, BuildPlainFrame(kPeerKey, 95));
  if (state >= 7) Drive(session, log, BuildPlainFrame(kPeerKey, 96));
  FUZZ_CHECK(!session.ConnectionEnded());

  std::string datagram;
  if (!sealed) {
    datagram = std::string(fuzz::AsText(data + 1, size - 1));
  } else {
    if (size < 2) return 0;
    const KeySlots& keys = session.Keys();
    const std::string* key_slots[] = {&keys.FBankSessionKey, &keys.FGatewaySessionKey,
                                      &keys.FMerchantSessionKey, nullptr};
    const std::string key = key_slots[key_choice] ? *key_slots[key_choice] : std::string();
    try {
      datagram = ToWallet(std::string(fuzz::AsText(data + 2, size - 2)), data[1], key);
    } catch (const EEnvelopeTooLarge&) {
      return 0;  // no datagram carries it
    }
  }

  const std::size_t before = log.lines.size();
  const std::vector<std::string> old_lines = log.lines;
  const std::size_t frames_before = recorder.frames.size();
  session.DataReceived(datagram, "127.0.0.9");

  // The log only grows.
  FUZZ_CHECK(log.lines.size() > before);
  for (std::size_t i = 0; i < before; ++i)
    FUZZ_CHECK(log.lines[i] == old_lines[i]);
  // The new entry: an empty line, the stamp, the arrival line, then the step's lines.
  FUZZ_CHECK(log.lines.size() >= before + 4);
  FUZZ_CHECK(log.lines[before].empty());
  FUZZ_CHECK(IsTimestamp(log.lines[before + 1]));
  FUZZ_CHECK(log.lines[before + 2] == "P\xF8ijata data od 127.0.0.9, D\xE9lka: " +
                                          std::to_string(datagram.size()) + " bajt\xF9");
  int id = -1;
  if (StartsWith(log.lines[before + 3], "   ID zpr\xE1vy: ")) {
    id = std::stoi(log.lines[before + 3].substr(14));
    FUZZ_CHECK(id >= 0 && id <= 255);
  } else {
    FUZZ_CHECK(StartsWith(log.lines[before + 3], kStepFailurePrefix));
  }
  for (std::size_t i = before + 3; i < log.lines.size(); ++i) {
    const std::string& line = log.lines[i];
    if (IsDocumentedLine(line)) continue;
    // The peer's own text (payment list, final reports), always followed by the end line.
    FUZZ_CHECK(LogsPeerText(id));
    FUZZ_CHECK(i + 1 < log.lines.size() && log.lines[i + 1] == kEndOfConnectionLine);
  }
  // Nothing is sent for a step that does not exist.
  if (id == -1) FUZZ_CHECK(recorder.frames.size() == frames_before);

  CheckFrames(recorder);
  CheckSlots(session.Keys());
  FUZZ_CHECK(recorder.paused_ms == 0);
  FUZZ_CHECK(reporter.messages.empty());
  FUZZ_CHECK(ended_calls == (session.ConnectionEnded() ? 1 : 0));
  return 0;
}
