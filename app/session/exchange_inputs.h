// What one exchange of the wallet starts from: who the customer is, where his bank is and what
// he buys. The front end hands it to WalletSession::Start; the session reads nothing else.
#pragma once

#include <string>

#include "crypto/secure.h"

namespace pelvane {

class PurchaseBuffer;

// Texts are Windows-1250.
struct ExchangeInputs {
  std::string first_name;
  std::string surname;
  std::string birth_number;
  // Upper-case hexadecimal customer digest, 40 characters (protocol/customer_digest.h).
  std::string customer_digest;
  std::string bank_host;
  // The purchase to pay; null when there is none (the bank is then asked for the payments
  // made). Not owned: it must stay alive while the session runs.
  const PurchaseBuffer* purchase = nullptr;

  ExchangeInputs() = default;
  ExchangeInputs(const ExchangeInputs&) = default;
  ExchangeInputs(ExchangeInputs&&) = default;
  ExchangeInputs& operator=(const ExchangeInputs&) = default;
  ExchangeInputs& operator=(ExchangeInputs&&) = default;
  ~ExchangeInputs() { SecureWipe(customer_digest); }
};

}  // namespace pelvane
