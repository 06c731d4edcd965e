// The customer the session tests and fuzz targets identify: Jan Novák, 750101/1234.
#pragma once

#include <string>

#include "app/session/customer.h"
#include "app/session/exchange_inputs.h"

namespace pelvane::testing {

inline Identification TestIdentification(const std::string& password,
                                         const std::string& bank_host) {
  Identification id;
  id.first_name = "Jan";
  id.surname = "Nov\xE1k";
  id.birth_number = "750101/1234";
  id.password = password;
  id.bank_host = bank_host;
  return id;
}

// The inputs of an exchange for that customer and purchase (null: none).
inline ExchangeInputs TestExchange(const std::string& password, const std::string& bank_host,
                                   const PurchaseBuffer* purchase) {
  return ExchangeFor(TestIdentification(password, bank_host), purchase);
}

}  // namespace pelvane::testing
