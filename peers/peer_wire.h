// What the peers send one another (the wallet never sees it): four message identifiers, each a
// plain frame whose data is a list of fields, each field len4(field) + field, and the result
// words and amounts inside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/exception.h"

namespace pelvane::peers {

enum PeerMessage : int {
  kMsgAuthorizationRequest = 0xA0,  // merchant -> gateway
  kMsgAuthorizationResult = 0xA1,   // gateway -> merchant
  kMsgDebitRequest = 0xB0,          // gateway -> bank
  kMsgDebitResult = 0xB1,           // bank -> gateway
};

// Result words of the peer-to-peer results.
inline constexpr char kResultPaid[] = "PAID";
inline constexpr char kResultRefused[] = "REFUSED";

// A peer-to-peer frame whose fields are missing or malformed.
class EPeerFrame : public Exception {
  using Exception::Exception;
};

// The data of a peer-to-peer frame: each field as len4(field) + field.
std::string PackFields(const std::vector<std::string>& fields);
// The fields of PackFields' output; exactly count of them, or EPeerFrame.
std::vector<std::string> UnpackFields(std::string_view data, std::size_t count);

// A whole crown amount as decimal text, and back. ParseAmount accepts only decimal digits
// (at most ten, value at most kMaxAmount) and throws EPeerFrame otherwise.
std::int64_t ParseAmount(std::string_view text);

// True when c is a hexadecimal digit (either case).
inline bool IsHexDigit(char c) noexcept {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace pelvane::peers
