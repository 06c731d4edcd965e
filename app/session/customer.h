// The customer as the wallet's front ends learn him: the identification dialog's fields, the
// customer digest computed from them, and the windowed wallet's program state that keeps him
// between the dialog and the main window. Every text here is Windows-1250.
#pragma once

#include <string>
#include <string_view>

#include "app/session/exchange_inputs.h"

namespace pelvane {

class PurchaseBuffer;

// The windowed wallet's program state: empty at start, filled by the dialog's OK, handed to the
// session when the main window starts it (ExchangeFromProgramState). The session itself never
// reads these.
extern std::string CustomerFirstName;
extern std::string CustomerSurname;
extern std::string CustomerBirthNumber;
// Upper-case hexadecimal SHA digest of the identification text, 40 characters.
extern std::string CustomerDigest;
extern std::string BankHost;

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

// The identification text and the customer digest of the dialog's fields
// (protocol/customer_digest.h).
std::string IdentificationText(const Identification& id);
std::string ComputeCustomerDigest(const Identification& id);

// The inputs of an exchange for this customer and purchase (null: none): the digest computed,
// the texts taken as they are.
ExchangeInputs ExchangeFor(const Identification& id, const PurchaseBuffer* purchase);

// The inputs of an exchange from the program state above and the purchase buffer of this run
// (PurchaseFile): what the windows hand the session when the main window is first shown.
ExchangeInputs ExchangeFromProgramState();

// The dialog's OK: computes the digest, then stores it and the first name, surname, birth number
// and bank address in the globals. If the digest fails nothing is stored.
void AcceptIdentification(const Identification& id);

// Empties the program state; the digest is wiped first. Called at program end.
void ReleaseCustomerGlobals() noexcept;

}  // namespace pelvane
