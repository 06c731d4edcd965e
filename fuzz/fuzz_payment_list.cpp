// The bank's payment list (the text of message 13) for any list of payments: it always fits one
// secure frame to the wallet, keeps the newest payments, says how many older ones it left out,
// and has one line per payment shown.
//
// Input: records separated by 0xFF bytes; in each record byte 0-3 give the amount (signed,
// little-endian, widened to 64 bits by byte 4's sign), the next 19 bytes the time stamp as
// stored (or fewer, for a short one) and the rest the merchant's account as stored (UTF-8).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/session/wallet_keys.h"
#include "crypto/exception.h"
#include "fuzz/fuzz_check.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"
#include "peers/bank.h"
#include "peers/bank_database.h"

namespace {

using namespace pelvane;
using namespace pelvane::peers;

std::vector<std::string> SplitRecords(std::string_view input) {
  std::vector<std::string> records;
  std::size_t start = 0;
  while (start <= input.size()) {
    const std::size_t stop = input.find('\xFF', start);
    records.emplace_back(
        input.substr(start, stop == std::string_view::npos ? input.npos : stop - start));
    if (stop == std::string_view::npos) break;
    start = stop + 1;
  }
  return records;
}

std::size_t CountLines(const std::string& text) {
  std::size_t lines = text.empty() ? 0 : 1;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
    ++lines;
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<Payment> payments;
  bool line_breaks_inside = false;
  for (const std::string& record : SplitRecords(fuzz::AsText(data, size))) {
    if (record.size() < 5) continue;
    Payment p;
    std::uint32_t amount = 0;
    for (int i = 0; i < 4; ++i)
      amount |= static_cast<std::uint32_t>(record[i] & 0xFF) << (8 * i);
    p.amount = (record[4] & 0x80) != 0 ? static_cast<std::int64_t>(amount) * -65536
                                       : static_cast<std::int64_t>(amount);
    const std::string rest = record.substr(5);
    p.paid_at = rest.substr(0, 19);
    p.merchant = rest.size() > 19 ? rest.substr(19) : "";
    if (p.paid_at.find_first_of("\r\n") != std::string::npos ||
        p.merchant.find_first_of("\r\n") != std::string::npos) {
      line_breaks_inside = true;
    }
    payments.push_back(std::move(p));
  }

  const std::string text = Bank::PaymentListText(payments);
  FUZZ_CHECK(!text.empty());
  FUZZ_CHECK(text.size() <= kMaxSecureText);
  if (!line_breaks_inside) FUZZ_CHECK(CountLines(text) <= payments.size() + 1);

  // It seals into one frame of at most 2048 characters. The frame's length follows from the
  // text's alone; sealing (RSA included) is slow, so only the longest texts are sealed.
  if (text.size() + 32 > kMaxSecureText) {
    static const std::string session_key(24, '\x11');
    try {
      const std::string frame = BuildSecureFrame(text, 13, kWalletPublicKey, session_key);
      FUZZ_CHECK(frame.size() <= 2048);
    } catch (const Exception&) {
      FUZZ_CHECK(false);
    }
  }
  return 0;
}
