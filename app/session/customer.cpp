#include "app/session/customer.h"

#include <utility>

#include "app/session/purchase_file.h"
#include "crypto/exception.h"
#include "crypto/formats/charset.h"
#include "crypto/secure.h"
#include "protocol/customer_digest.h"

namespace pelvane {

std::string CustomerFirstName;
std::string CustomerSurname;
std::string CustomerBirthNumber;
std::string CustomerDigest;
std::string BankHost;

Identification::~Identification() {
  SecureWipe(password);
}

namespace {

// Windows-1250 labels of the dialog's fields, as the error message names them.
constexpr std::string_view kFirstNameLabel = "Jm\xE9no";
constexpr std::string_view kSurnameLabel = "P\xF8\xEDjmen\xED";
constexpr std::string_view kBirthNumberLabel = "Rodn\xE9 \xE8\xEDslo";
constexpr std::string_view kPasswordLabel = "Heslo";
constexpr std::string_view kBankLabel = "URL Banky";

std::string FieldToCp1250(std::string_view utf8, std::string_view label) {
  try {
    return Utf8ToCp1250(utf8);
  } catch (const EConvertError&) {
    // "Pole "<label>" obsahuje znak, který nelze zapsat v kódování Windows-1250"
    throw EConvertError("Pole \"" + std::string(label) +
                        "\" obsahuje znak, kter\xFD nelze zapsat v k\xF3"
                        "dov\xE1n\xED "
                        "Windows-1250");
  }
}

}  // namespace

Identification IdentificationFromUtf8(std::string_view first_name, std::string_view surname,
                                      std::string_view birth_number, std::string_view password,
                                      std::string_view bank_host) {
  Identification id;
  id.first_name = FieldToCp1250(first_name, kFirstNameLabel);
  id.surname = FieldToCp1250(surname, kSurnameLabel);
  id.birth_number = FieldToCp1250(birth_number, kBirthNumberLabel);
  id.password = FieldToCp1250(password, kPasswordLabel);
  id.bank_host = FieldToCp1250(bank_host, kBankLabel);
  return id;
}

std::string IdentificationText(const Identification& id) {
  return IdentificationText(id.first_name, id.surname, id.birth_number, id.password);
}

std::string ComputeCustomerDigest(const Identification& id) {
  return ComputeCustomerDigest(id.first_name, id.surname, id.birth_number, id.password);
}

ExchangeInputs ExchangeFor(const Identification& id, const PurchaseBuffer* purchase) {
  ExchangeInputs inputs;
  inputs.customer_digest = ComputeCustomerDigest(id);
  inputs.first_name = id.first_name;
  inputs.surname = id.surname;
  inputs.birth_number = id.birth_number;
  inputs.bank_host = id.bank_host;
  inputs.purchase = purchase;
  return inputs;
}

ExchangeInputs ExchangeFromProgramState() {
  ExchangeInputs inputs;
  inputs.first_name = CustomerFirstName;
  inputs.surname = CustomerSurname;
  inputs.birth_number = CustomerBirthNumber;
  inputs.customer_digest = CustomerDigest;
  inputs.bank_host = BankHost;
  inputs.purchase = PurchaseFile.get();
  return inputs;
}

void AcceptIdentification(const Identification& id) {
  std::string digest = ComputeCustomerDigest(id);
  SecureWipe(CustomerDigest);
  CustomerDigest = std::move(digest);
  CustomerFirstName = id.first_name;
  CustomerSurname = id.surname;
  CustomerBirthNumber = id.birth_number;
  BankHost = id.bank_host;
}

void ReleaseCustomerGlobals() noexcept {
  SecureWipe(CustomerDigest);
  for (std::string* text :
       {&CustomerFirstName, &CustomerSurname, &CustomerBirthNumber, &BankHost}) {
    text->clear();
    text->shrink_to_fit();
  }
}

}  // namespace pelvane
