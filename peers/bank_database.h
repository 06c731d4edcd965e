// The simulated bank's books: customer accounts and the payments made from them, kept in an
// SQLite database so that money once moved stays moved between runs.
//
// Accounts are found by the customer digest (protocol/customer_digest.h), the same text the
// wallet sends. Names are stored as UTF-8. Amounts are whole crowns and fit a 32-bit signed
// integer, because the wallet reads the balance as one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "crypto/exception.h"
#include "protocol/customer_digest.h"
#include "protocol/order.h"

struct sqlite3;

namespace pelvane::peers {

// A failure of the database (cannot open, corrupt, constraint, disk full) or a refused
// account operation (duplicate customer, invalid balance). Carries the message text.
class EBankDatabase : public Exception {
  using Exception::Exception;
};

// The demo customer every new database starts with (Windows-1250 texts).
inline constexpr char kDemoFirstName[] = "Jan";
inline constexpr char kDemoSurname[] = "Nov\xE1k";
inline constexpr char kDemoBirthNumber[] = "750101/1234";
inline constexpr char kDemoPassword[] = "demo";
inline constexpr std::int64_t kDemoBalance = 10000;

struct Account {
  std::int64_t id = 0;
  std::string digest;  // 40 upper-case hexadecimal characters
  std::string name;    // "first surname", UTF-8
  std::int64_t balance = 0;
};

struct Payment {
  std::int64_t id = 0;
  std::int64_t account_id = 0;
  std::string paid_at;  // local time "YYYY-MM-DD HH:MM:SS"
  std::int64_t amount = 0;
  std::string merchant;   // the merchant's account, UTF-8
  std::string reference;  // the order reference the debit was requested under
};

// Why a debit was refused; kNone for a debit that was made (or had been made before).
enum class DebitRefusal {
  kNone,
  kUnknownCustomer,
  kInvalidAmount,
  kInsufficientFunds,
  kExpired,  // the request came after its deadline and nothing had been paid under it
};

struct DebitResult {
  DebitRefusal refusal = DebitRefusal::kNone;
  // The payment recorded under the reference (also when it had been recorded before).
  std::optional<Payment> payment;
  // True when the reference had already been paid: nothing was debited this time.
  bool repeated = false;
  // The balance after the call (unchanged when refused); 0 for an unknown customer.
  std::int64_t balance = 0;
};

class BankDatabase {
 public:
  // Opens (and on first use creates) the database at path; ":memory:" keeps it in memory.
  // A database without accounts gets the demo account when its tables are created.
  // Throws EBankDatabase.
  explicit BankDatabase(const std::string& path);
  BankDatabase(const BankDatabase&) = delete;
  BankDatabase& operator=(const BankDatabase&) = delete;
  ~BankDatabase();

  // Adds an account; names are Windows-1250 and stored as UTF-8. Throws EBankDatabase for an
  // empty first name or surname, a balance outside 0..kMaxAmount, or a customer (digest) that
  // already has an account.
  Account AddAccount(const std::string& first_name, const std::string& surname,
                     const std::string& birth_number, const std::string& password,
                     std::int64_t balance);

  std::vector<Account> ListAccounts();
  std::optional<Account> FindByDigest(const std::string& digest);
  // The account's payments, oldest first.
  std::vector<Payment> Payments(std::int64_t account_id);

  // Debits amount from the customer's account and records the payment, in one transaction:
  // either both happen or neither. A reference that was already paid is not debited again;
  // the earlier payment is returned with repeated set. With expired set nothing new is
  // debited (kExpired), but an earlier payment is still reported. Throws EBankDatabase when the
  // database fails (the transaction is then rolled back: nothing was debited).
  DebitResult Debit(const std::string& digest, std::int64_t amount, const std::string& merchant,
                    const std::string& reference, bool expired = false);

  // How long a statement waits for a lock another connection holds before it fails.
  static constexpr int kBusyTimeoutMs = 250;

  // Records a refusal the customer's wallet reported (account_id 0 when unknown).
  void RecordRefusal(std::int64_t account_id, const std::string& reason_utf8);
  // The refusals recorded for an account (account_id 0: those without an account), oldest first.
  std::vector<std::string> Refusals(std::int64_t account_id);

 private:
  void Exec(const char* sql);
  void CreateSchema();

  sqlite3* db_ = nullptr;
};

}  // namespace pelvane::peers
