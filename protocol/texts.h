// Texts the wallet and the peers must agree on, byte for byte (Windows-1250).
#pragma once

#include <string_view>

namespace pelvane {

// The line that ends an exchange in the wallet's log.
inline constexpr char kEndOfConnectionLine[] = "--- KONEC SPOJEN\xCD ---";

// The wallet's request for the payment gateway's address (message 75).
inline constexpr std::string_view kGatewayAddressQuery = "IP";

// The refusal when the balance does not cover the order: the wallet sends it to the bank
// (message 21) with the refusal marker, the bank gives the same reason when a debit exceeds the
// balance.
inline constexpr std::string_view kInsufficientFundsText =
    "*** Z\xE1kazn\xEDk m\xE1 nedostate\xE8nou hotovost na \xFA\xE8tu.";
inline constexpr std::string_view kInsufficientFundsReason = kInsufficientFundsText.substr(4);

}  // namespace pelvane
