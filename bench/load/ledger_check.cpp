#include "bench/load/ledger_check.h"

#include <set>

namespace pelvane::load {

std::vector<std::string> CheckLedger(const std::vector<SealedOrder>& orders,
                                     const std::vector<LedgerPayment>& payments,
                                     const std::map<std::int64_t, AccountBalances>& accounts) {
  std::vector<std::string> anomalies;
  std::map<std::string, const SealedOrder*> by_reference;
  for (const SealedOrder& order : orders) {
    if (!by_reference.emplace(order.reference, &order).second) {
      anomalies.push_back(order.wallet + ": two sealed orders share the reference " +
                          order.reference);
    }
  }
  std::map<std::string, std::vector<const LedgerPayment*>> debits;
  std::map<std::int64_t, std::int64_t> debited;
  for (const LedgerPayment& payment : payments) {
    debited[payment.account_id] += payment.amount;
    const auto order = by_reference.find(payment.reference);
    if (order == by_reference.end()) {
      anomalies.push_back("debit of " + std::to_string(payment.amount) + " from account " +
                          std::to_string(payment.account_id) + " under " + payment.reference +
                          " matches no sealed order");
      continue;
    }
    debits[payment.reference].push_back(&payment);
    if (payment.account_id != order->second->account_id || payment.amount != order->second->total) {
      anomalies.push_back(order->second->wallet + ": debit of " + std::to_string(payment.amount) +
                          " from account " + std::to_string(payment.account_id) +
                          " does not match the order of " + std::to_string(order->second->total));
    }
  }
  for (const SealedOrder& order : orders) {
    const auto found = debits.find(order.reference);
    const std::size_t times = found == debits.end() ? 0 : found->second.size();
    if (times > 1) {
      anomalies.push_back(order.wallet + ": debited " + std::to_string(times) + " times");
    }
    const std::set<std::string> told(order.told.begin(), order.told.end());
    if (told.empty()) {
      anomalies.push_back(order.wallet + ": sealed order " + order.reference +
                          " was never told an outcome" + (times > 0 ? " (money moved)" : ""));
      continue;
    }
    if (told.size() > 1) {
      std::string list;
      for (const std::string& t : told)
        list += (list.empty() ? "" : ", ") + t;
      anomalies.push_back(order.wallet + ": told contradicting outcomes: " + list);
      continue;
    }
    const std::string expected =
        times > 0 ? "PAID " + std::to_string(found->second.front()->amount) : "REFUSED";
    if (*told.begin() != expected) {
      anomalies.push_back(order.wallet + ": told " + *told.begin() + " but the ledger shows " +
                          expected);
    }
  }
  for (const auto& [id, balance] : accounts) {
    const std::int64_t out = debited.count(id) != 0 ? debited.at(id) : 0;
    if (balance.before - out != balance.after) {
      anomalies.push_back("account " + std::to_string(id) + ": " + std::to_string(balance.before) +
                          " less debits of " + std::to_string(out) + " is not the balance " +
                          std::to_string(balance.after));
    }
  }
  for (const auto& [id, out] : debited) {
    if (accounts.count(id) == 0) {
      anomalies.push_back("debits of " + std::to_string(out) + " from account " +
                          std::to_string(id) + ", which no wallet used");
    }
  }
  return anomalies;
}

}  // namespace pelvane::load
