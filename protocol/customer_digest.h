// The customer digest: how the wallet identifies its customer to the bank and the payment
// gateway, and how the bank finds the account. All texts are Windows-1250.
#pragma once

#include <string>
#include <string_view>

namespace pelvane {

// "first surname birth password": the four fields joined by single blanks, untrimmed.
std::string IdentificationText(std::string_view first_name, std::string_view surname,
                               std::string_view birth_number, std::string_view password);

// Upper-case hexadecimal digest (40 characters) of the identification text by the hash the
// manager finds under "Secure Hash Algorithm" (the first published SHA, not SHA-1).
std::string ComputeCustomerDigest(std::string_view first_name, std::string_view surname,
                                  std::string_view birth_number, std::string_view password);

}  // namespace pelvane
