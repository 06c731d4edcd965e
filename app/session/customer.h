// The customer globals: who the customer is, his digest and the peers' addresses. Process-wide,
// empty at start; the identification dialog fills the customer's part, the protocol session the
// peers'. Every text here is Windows-1250.
#pragma once

#include <string>
#include <string_view>

namespace pelvane {

extern std::string CustomerFirstName;
extern std::string CustomerSurname;
extern std::string CustomerBirthNumber;
// Upper-case hexadecimal SHA digest of the identification text, 40 characters.
extern std::string CustomerDigest;
extern std::string BankHost;
extern std::string GatewayHost;
extern std::string MerchantHost;

// The five fields of the identification dialog, as Windows-1250 texts taken exactly as typed.
struct Identification {
  std::string first_name;
  std::string surname;
  std::string birth_number;
  std::string password;
  std::string bank_host;

  Identification() = default;
  Identification(const Identification&) = default;
  Identification& operator=(const Identification&) = default;
  ~Identification();  // wipes the password
};

// Converts the dialog's Unicode (UTF-8) fields to Windows-1250. A field that is not valid UTF-8 or
// holds a character Windows-1250 cannot represent throws EConvertError naming the field by its
// dialog label, for example: Pole "Heslo" obsahuje znak, který nelze zapsat v kódování
// Windows-1250 (the message itself is Windows-1250).
Identification IdentificationFromUtf8(std::string_view first_name, std::string_view surname,
                                      std::string_view birth_number, std::string_view password,
                                      std::string_view bank_host);

// "first surname birth password": the four fields joined by single blanks, untrimmed.
std::string IdentificationText(const Identification& id);

// Upper-case hexadecimal digest of the identification text by the hash the manager finds under
// "Secure Hash Algorithm" (the first published SHA, not SHA-1).
std::string ComputeCustomerDigest(const Identification& id);

// The dialog's OK: computes the digest, then stores it and the first name, surname, birth number
// and bank address in the globals. If the digest fails nothing is stored.
void AcceptIdentification(const Identification& id);

// Empties every global; the digest is wiped first. Called at program end.
void ReleaseCustomerGlobals() noexcept;

}  // namespace pelvane
