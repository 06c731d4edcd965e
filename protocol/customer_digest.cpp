#include "protocol/customer_digest.h"

#include "crypto/formats/formats.h"
#include "crypto/hash/hash_manager.h"
#include "crypto/secure.h"

namespace pelvane {

std::string IdentificationText(std::string_view first_name, std::string_view surname,
                               std::string_view birth_number, std::string_view password) {
  std::string text;
  text.reserve(first_name.size() + surname.size() + birth_number.size() + password.size() + 3);
  text.append(first_name).append(1, ' ').append(surname).append(1, ' ');
  text.append(birth_number).append(1, ' ').append(password);
  return text;
}

std::string ComputeCustomerDigest(std::string_view first_name, std::string_view surname,
                                  std::string_view birth_number, std::string_view password) {
  THashManager hash;
  hash.SetAlgorithm("Secure Hash Algorithm");
  WipedString text(IdentificationText(first_name, surname, birth_number, password));
  hash.CalcString(*text);
  return hash.DigestString(kFormatHex);
}

}  // namespace pelvane
