#include "peers/bank_database.h"

#include <sqlite3.h>

#include <utility>

#include "crypto/formats/charset.h"
#include "protocol/customer_digest.h"

namespace pelvane::peers {

namespace {

// One prepared statement, finalized on every path.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
      throw EBankDatabase(std::string("Database error: ") + sqlite3_errmsg(db));
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(stmt_); }

  Statement& Bind(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(stmt_, index, value));
    return *this;
  }
  Statement& Bind(int index, const std::string& value) {
    Check(sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()),
                            SQLITE_TRANSIENT));
    return *this;
  }
  // True while a row is available; false when done. Throws on failure.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    Check(rc);
    return false;
  }
  std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  std::string Text(int column) const {
    const auto* text = sqlite3_column_text(stmt_, column);
    if (text == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
  }

 private:
  void Check(int rc) const {
    if (rc != SQLITE_OK) throw EBankDatabase(std::string("Database error: ") + sqlite3_errmsg(db_));
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// A write transaction that rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(sqlite3* db) : db_(db) { Run("BEGIN IMMEDIATE"); }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction() {
    if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void Commit() {
    Run("COMMIT");
    done_ = true;
  }

 private:
  void Run(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
      std::string message = error != nullptr ? error : sqlite3_errmsg(db_);
      sqlite3_free(error);
      throw EBankDatabase("Database error: " + message);
    }
  }

  sqlite3* db_;
  bool done_ = false;
};

constexpr int kSchemaVersion = 1;

constexpr char kSchema[] = R"sql(
CREATE TABLE accounts(
  id INTEGER PRIMARY KEY,
  digest TEXT NOT NULL UNIQUE,
  name TEXT NOT NULL,
  balance INTEGER NOT NULL CHECK (balance >= 0));
CREATE TABLE payments(
  id INTEGER PRIMARY KEY,
  account_id INTEGER NOT NULL REFERENCES accounts(id),
  paid_at TEXT NOT NULL,
  amount INTEGER NOT NULL CHECK (amount > 0),
  merchant TEXT NOT NULL,
  reference TEXT NOT NULL UNIQUE);
CREATE TABLE refusals(
  id INTEGER PRIMARY KEY,
  account_id INTEGER REFERENCES accounts(id),
  recorded_at TEXT NOT NULL,
  reason TEXT NOT NULL);
)sql";

Account ReadAccount(const Statement& s) {
  return Account{s.Int(0), s.Text(1), s.Text(2), s.Int(3)};
}

Payment ReadPayment(const Statement& s) {
  return Payment{s.Int(0), s.Int(1), s.Text(2), s.Int(3), s.Text(4), s.Text(5)};
}

constexpr char kPaymentColumns[] =
    "SELECT id, account_id, paid_at, amount, merchant, reference FROM payments ";

}  // namespace

BankDatabase::BankDatabase(const std::string& path) {
  const int rc =
      sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw EBankDatabase("Cannot open the bank database " + path + ": " + message);
  }
  try {
    // The peers answer everyone from one thread: a database another program holds locked must
    // not stall them for long. A debit that cannot get the lock is refused with the reason.
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    Exec("PRAGMA foreign_keys = ON");
    // One write of the log per payment instead of a rollback journal's several: each debit is
    // still on disk before it is answered.
    Exec("PRAGMA journal_mode = WAL");
    CreateSchema();
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

BankDatabase::~BankDatabase() {
  sqlite3_close(db_);
}

void BankDatabase::Exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error != nullptr ? error : sqlite3_errmsg(db_);
    sqlite3_free(error);
    throw EBankDatabase("Database error: " + message);
  }
}

void BankDatabase::CreateSchema() {
  Transaction tx(db_);
  Statement version(db_, "PRAGMA user_version");
  version.Step();
  const std::int64_t current = version.Int(0);
  if (current == kSchemaVersion) return;
  if (current != 0) {
    throw EBankDatabase("The bank database has an unknown layout (version " +
                        std::to_string(current) + ")");
  }
  Exec(kSchema);
  Statement demo(db_, "INSERT INTO accounts(digest, name, balance) VALUES(?, ?, ?)");
  demo.Bind(1, ComputeCustomerDigest(kDemoFirstName, kDemoSurname, kDemoBirthNumber, kDemoPassword))
      .Bind(2, Cp1250ToUtf8(std::string(kDemoFirstName) + ' ' + kDemoSurname))
      .Bind(3, kDemoBalance);
  demo.Step();
  Exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
  tx.Commit();
}

Account BankDatabase::AddAccount(const std::string& first_name, const std::string& surname,
                                 const std::string& birth_number, const std::string& password,
                                 std::int64_t balance) {
  if (first_name.empty() || surname.empty()) {
    throw EBankDatabase("An account needs a first name and a surname");
  }
  if (balance < 0 || balance > kMaxAmount) {
    throw EBankDatabase("The balance must be a whole number of crowns from 0 to " +
                        std::to_string(kMaxAmount));
  }
  const std::string digest = ComputeCustomerDigest(first_name, surname, birth_number, password);
  Transaction tx(db_);
  if (FindByDigest(digest)) {
    throw EBankDatabase(
        "The customer already has an account (same name, birth number and "
        "password)");
  }
  Statement insert(db_, "INSERT INTO accounts(digest, name, balance) VALUES(?, ?, ?)");
  insert.Bind(1, digest).Bind(2, Cp1250ToUtf8(first_name + ' ' + surname)).Bind(3, balance);
  insert.Step();
  Account account{sqlite3_last_insert_rowid(db_), digest, Cp1250ToUtf8(first_name + ' ' + surname),
                  balance};
  tx.Commit();
  return account;
}

std::vector<Account> BankDatabase::ListAccounts() {
  Statement s(db_, "SELECT id, digest, name, balance FROM accounts ORDER BY id");
  std::vector<Account> accounts;
  while (s.Step())
    accounts.push_back(ReadAccount(s));
  return accounts;
}

std::optional<Account> BankDatabase::FindByDigest(const std::string& digest) {
  Statement s(db_, "SELECT id, digest, name, balance FROM accounts WHERE digest = ?");
  s.Bind(1, digest);
  if (!s.Step()) return std::nullopt;
  return ReadAccount(s);
}

std::vector<Payment> BankDatabase::Payments(std::int64_t account_id) {
  Statement s(db_, (std::string(kPaymentColumns) + "WHERE account_id = ? ORDER BY id").c_str());
  s.Bind(1, account_id);
  std::vector<Payment> payments;
  while (s.Step())
    payments.push_back(ReadPayment(s));
  return payments;
}

DebitResult BankDatabase::Debit(const std::string& digest, std::int64_t amount,
                                const std::string& merchant, const std::string& reference,
                                bool expired) {
  DebitResult result;
  Transaction tx(db_);
  const std::optional<Account> account = FindByDigest(digest);
  if (!account) {
    result.refusal = DebitRefusal::kUnknownCustomer;
    return result;
  }
  result.balance = account->balance;

  Statement earlier(db_, (std::string(kPaymentColumns) + "WHERE reference = ?").c_str());
  earlier.Bind(1, reference);
  if (earlier.Step()) {
    Payment payment = ReadPayment(earlier);
    if (payment.account_id != account->id || payment.amount != amount) {
      throw EBankDatabase("The reference " + reference + " was already used for another payment");
    }
    result.payment = std::move(payment);
    result.repeated = true;
    return result;
  }
  if (expired) {
    result.refusal = DebitRefusal::kExpired;
    return result;
  }
  if (amount <= 0 || amount > kMaxAmount) {
    result.refusal = DebitRefusal::kInvalidAmount;
    return result;
  }
  if (account->balance < amount) {
    result.refusal = DebitRefusal::kInsufficientFunds;
    return result;
  }

  Statement update(db_, "UPDATE accounts SET balance = balance - ? WHERE id = ?");
  update.Bind(1, amount).Bind(2, account->id);
  update.Step();
  Statement insert(db_,
                   "INSERT INTO payments(account_id, paid_at, amount, merchant, reference) "
                   "VALUES(?, datetime('now', 'localtime'), ?, ?, ?)");
  insert.Bind(1, account->id).Bind(2, amount).Bind(3, merchant).Bind(4, reference);
  insert.Step();
  const std::int64_t payment_id = sqlite3_last_insert_rowid(db_);

  Statement written(db_, (std::string(kPaymentColumns) + "WHERE id = ?").c_str());
  written.Bind(1, payment_id);
  written.Step();
  result.payment = ReadPayment(written);
  result.balance = account->balance - amount;
  tx.Commit();
  return result;
}

void BankDatabase::RecordRefusal(std::int64_t account_id, const std::string& reason_utf8) {
  Statement s(db_,
              "INSERT INTO refusals(account_id, recorded_at, reason) "
              "VALUES(NULLIF(?, 0), datetime('now', 'localtime'), ?)");
  s.Bind(1, account_id).Bind(2, reason_utf8);
  s.Step();
}

std::vector<std::string> BankDatabase::Refusals(std::int64_t account_id) {
  Statement s(db_, "SELECT reason FROM refusals WHERE IFNULL(account_id, 0) = ? ORDER BY id");
  s.Bind(1, account_id);
  std::vector<std::string> reasons;
  while (s.Step())
    reasons.push_back(s.Text(0));
  return reasons;
}

}  // namespace pelvane::peers
