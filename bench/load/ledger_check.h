// The load harness's final check: the bank's ledger against what the wallets sealed and what
// they were told. Pure data in, anomalies out, so that the check itself can be tested.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pelvane::load {

// One order a wallet sealed and sent (message 79), with what the wallet was told about it.
struct SealedOrder {
  std::string wallet;     // for the anomaly texts, e.g. "wallet 7 run 2"
  std::string reference;  // the merchant's reference of the 79
  std::int64_t account_id = 0;
  std::int64_t total = 0;
  // The outcomes the wallet was told, each counted once however often it arrived: "PAID n"
  // (message 10 with amount n) or "REFUSED" (message 25, or a refusal in 23 without either).
  std::vector<std::string> told;
};

struct LedgerPayment {
  std::int64_t account_id = 0;
  std::int64_t amount = 0;
  std::string reference;
};

struct AccountBalances {
  std::int64_t before = 0;
  std::int64_t after = 0;
};

// Every debit matches exactly one sealed order (same reference, account and amount); every
// sealed order has exactly one outcome its wallet was told, and that outcome is what the
// ledger shows (paid with its amount exactly when debited); every account's balance after
// is its balance before less its debits. Returns one text per anomaly.
std::vector<std::string> CheckLedger(const std::vector<SealedOrder>& orders,
                                     const std::vector<LedgerPayment>& payments,
                                     const std::map<std::int64_t, AccountBalances>& accounts);

}  // namespace pelvane::load
