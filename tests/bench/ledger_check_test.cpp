// The load harness's ledger check must see every way money and outcomes can disagree.
#include "bench/load/ledger_check.h"

#include <gtest/gtest.h>

namespace pelvane::load {
namespace {

class LedgerCheck : public ::testing::Test {
 public:
  // Two wallets: one paid 300 from account 1, one refused for account 2.
  void SetUp() override {
    orders = {{"wallet 0 run 1", "AAAA", 1, 300, {"PAID 300", "PAID 300"}},
              {"wallet 1 run 1", "BBBB", 2, 50, {"REFUSED"}}};
    payments = {{1, 300, "AAAA"}};
    accounts = {{1, {1000, 700}}, {2, {1000, 1000}}};
  }
  std::vector<std::string> Check() { return CheckLedger(orders, payments, accounts); }

  std::vector<SealedOrder> orders;
  std::vector<LedgerPayment> payments;
  std::map<std::int64_t, AccountBalances> accounts;
};

TEST_F(LedgerCheck, AConsistentLedgerHasNoAnomaly) {
  EXPECT_TRUE(Check().empty());
}

TEST_F(LedgerCheck, APlantedDoubleDebitIsFound) {
  // The same order debited a second time under another reference, and the balance with it.
  payments.push_back({1, 300, "CCCC"});
  accounts[1].after = 400;
  const auto anomalies = Check();
  ASSERT_EQ(anomalies.size(), 1u);
  EXPECT_NE(anomalies[0].find("matches no sealed order"), std::string::npos) << anomalies[0];

  // A double debit under the order's own reference.
  payments.back().reference = "AAAA";
  const auto again = Check();
  ASSERT_FALSE(again.empty());
  EXPECT_NE(again[0].find("debited 2 times"), std::string::npos) << again[0];
}

TEST_F(LedgerCheck, EveryDisagreementIsAnAnomaly) {
  struct Case {
    const char* what;
    void (*plant)(LedgerCheck&);
    const char* expected;
  };
  const Case cases[] = {
      {"money moved, wallet told nothing", [](LedgerCheck& t) { t.orders[0].told.clear(); },
       "never told an outcome (money moved)"},
      {"told both", [](LedgerCheck& t) { t.orders[0].told.push_back("REFUSED"); }, "contradicting"},
      {"told refused, debited", [](LedgerCheck& t) { t.orders[0].told = {"REFUSED"}; },
       "told REFUSED but the ledger shows PAID 300"},
      {"told paid, not debited",
       [](LedgerCheck& t) {
         t.payments.clear();
         t.accounts[1].after = 1000;
       },
       "told PAID 300 but the ledger shows REFUSED"},
      {"debited another amount",
       [](LedgerCheck& t) {
         t.payments[0].amount = 301;
         t.accounts[1].after = 699;
       },
       "does not match the order"},
      {"balance off", [](LedgerCheck& t) { t.accounts[2].after = 999; }, "is not the balance"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    c.plant(*this);
    const auto anomalies = Check();
    ASSERT_FALSE(anomalies.empty());
    bool found = false;
    for (const auto& a : anomalies)
      found = found || a.find(c.expected) != std::string::npos;
    EXPECT_TRUE(found) << anomalies[0];
  }
}

}  // namespace
}  // namespace pelvane::load
