#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QTemporaryDir>
#include <string>

#include "peers/bank.h"
#include "peers/bank_database.h"

namespace pelvane::peers {
namespace {

std::string DemoDigest() {
  return ComputeCustomerDigest("Jan", "Nov\xE1k", "750101/1234", "demo");
}

class BankDatabaseFile : public ::testing::Test {
 protected:
  std::string Path() const { return dir.filePath("bank.sqlite").toStdString(); }
  QTemporaryDir dir;
};

TEST(BankDatabase, NewDatabaseHoldsTheDemoAccount) {
  BankDatabase db(":memory:");
  const auto accounts = db.ListAccounts();
  ASSERT_EQ(accounts.size(), 1u);
  EXPECT_EQ(accounts[0].name, "Jan Nov\xC3\xA1k");  // stored as UTF-8
  EXPECT_EQ(accounts[0].balance, 10000);
  EXPECT_EQ(accounts[0].digest.size(), 40u);
  const auto found = db.FindByDigest(DemoDigest());
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->id, accounts[0].id);
  // The digest depends on the password: another password finds nothing.
  EXPECT_FALSE(db.FindByDigest(ComputeCustomerDigest("Jan", "Nov\xE1k", "750101/1234", "Demo")));
}

TEST(BankDatabase, AddedAccountsAreListedAndFoundByTheirDigest) {
  BankDatabase db(":memory:");
  const Account added = db.AddAccount("Marie", "Dvo\xF8\xE1kov\xE1", "855612/0007", "heslo", 2500);
  EXPECT_EQ(added.name, "Marie Dvo\xC5\x99\xC3\xA1kov\xC3\xA1");
  EXPECT_EQ(added.digest,
            ComputeCustomerDigest("Marie", "Dvo\xF8\xE1kov\xE1", "855612/0007", "heslo"));
  const auto accounts = db.ListAccounts();
  ASSERT_EQ(accounts.size(), 2u);
  EXPECT_EQ(accounts[1].id, added.id);
  EXPECT_EQ(accounts[1].balance, 2500);
  EXPECT_EQ(db.FindByDigest(added.digest)->name, added.name);
}

TEST(BankDatabase, RefusesInvalidAndDuplicateAccounts) {
  BankDatabase db(":memory:");
  EXPECT_THROW(db.AddAccount("Jan", "Nov\xE1k", "750101/1234", "demo", 5), EBankDatabase);
  EXPECT_THROW(db.AddAccount("", "Nov\xE1k", "1", "x", 5), EBankDatabase);
  EXPECT_THROW(db.AddAccount("Eva", "", "1", "x", 5), EBankDatabase);
  EXPECT_THROW(db.AddAccount("Eva", "Mal\xE1", "1", "x", -1), EBankDatabase);
  EXPECT_THROW(db.AddAccount("Eva", "Mal\xE1", "1", "x", kMaxAmount + 1), EBankDatabase);
  EXPECT_EQ(db.ListAccounts().size(), 1u);
  // The same person with another password is another customer.
  EXPECT_NO_THROW(db.AddAccount("Jan", "Nov\xE1k", "750101/1234", "jine", 5));
}

TEST(BankDatabase, DebitMovesMoneyAndRecordsThePaymentOnce) {
  BankDatabase db(":memory:");
  const DebitResult first = db.Debit(DemoDigest(), 1366, "2004123456/0800", "REF1");
  EXPECT_EQ(first.refusal, DebitRefusal::kNone);
  EXPECT_FALSE(first.repeated);
  EXPECT_EQ(first.balance, 10000 - 1366);
  ASSERT_TRUE(first.payment.has_value());
  EXPECT_EQ(first.payment->amount, 1366);
  EXPECT_EQ(first.payment->merchant, "2004123456/0800");
  EXPECT_EQ(first.payment->paid_at.size(), 19u);  // YYYY-MM-DD HH:MM:SS

  // The same reference again (a repeated request) is not debited a second time.
  const DebitResult again = db.Debit(DemoDigest(), 1366, "2004123456/0800", "REF1");
  EXPECT_EQ(again.refusal, DebitRefusal::kNone);
  EXPECT_TRUE(again.repeated);
  EXPECT_EQ(again.payment->id, first.payment->id);

  const Account account = *db.FindByDigest(DemoDigest());
  EXPECT_EQ(account.balance, 10000 - 1366);
  EXPECT_EQ(db.Payments(account.id).size(), 1u);
  // A reference reused for a different payment is an error, not a silent success.
  EXPECT_THROW(db.Debit(DemoDigest(), 5, "2004123456/0800", "REF1"), EBankDatabase);
  EXPECT_EQ(db.FindByDigest(DemoDigest())->balance, 10000 - 1366);
}

TEST(BankDatabase, RefusedDebitsLeaveTheBalance) {
  struct Case {
    std::string digest;
    std::int64_t amount;
    DebitRefusal refusal;
  };
  const Case cases[] = {
      {DemoDigest(), 10001, DebitRefusal::kInsufficientFunds},
      {DemoDigest(), 0, DebitRefusal::kInvalidAmount},
      {DemoDigest(), -50, DebitRefusal::kInvalidAmount},
      {DemoDigest(), kMaxAmount + 1, DebitRefusal::kInvalidAmount},
      {std::string(40, 'F'), 10, DebitRefusal::kUnknownCustomer},
  };
  BankDatabase db(":memory:");
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.amount);
    const DebitResult result = db.Debit(c.digest, c.amount, "m", "R" + std::to_string(n++));
    EXPECT_EQ(result.refusal, c.refusal);
    EXPECT_FALSE(result.payment.has_value());
  }
  const Account account = *db.FindByDigest(DemoDigest());
  EXPECT_EQ(account.balance, 10000);
  EXPECT_TRUE(db.Payments(account.id).empty());
  // The whole balance may be spent.
  EXPECT_EQ(db.Debit(DemoDigest(), 10000, "m", "ALL").balance, 0);
}

TEST_F(BankDatabaseFile, FailureInsideADebitRollsBackTheWholeDebit) {
  ASSERT_TRUE(dir.isValid());
  BankDatabase db(Path());
  {
    // Another connection makes recording the payment fail after the balance was lowered.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(Path().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other,
                           "CREATE TRIGGER fail BEFORE INSERT ON payments "
                           "BEGIN SELECT RAISE(ABORT, 'disk full'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(other);
  }
  EXPECT_THROW(db.Debit(DemoDigest(), 300, "m", "R1"), EBankDatabase);
  const Account account = *db.FindByDigest(DemoDigest());
  EXPECT_EQ(account.balance, 10000);
  EXPECT_TRUE(db.Payments(account.id).empty());
}

TEST_F(BankDatabaseFile, PaymentsStayAcrossRunsAndTheDemoAccountIsMadeOnlyOnce) {
  ASSERT_TRUE(dir.isValid());
  {
    BankDatabase db(Path());
    ASSERT_EQ(db.Debit(DemoDigest(), 700, "m", "R1").refusal, DebitRefusal::kNone);
    db.RecordRefusal(db.FindByDigest(DemoDigest())->id, "*** odm\xC3\xADtnuto");
  }
  BankDatabase db(Path());
  const auto accounts = db.ListAccounts();
  ASSERT_EQ(accounts.size(), 1u);
  EXPECT_EQ(accounts[0].balance, 9300);
  ASSERT_EQ(db.Payments(accounts[0].id).size(), 1u);
  EXPECT_EQ(db.Payments(accounts[0].id)[0].amount, 700);
  EXPECT_EQ(db.Refusals(accounts[0].id), std::vector<std::string>{"*** odm\xC3\xADtnuto"});
}

TEST_F(BankDatabaseFile, AFileThatIsNoDatabaseIsReportedNotOverwritten) {
  ASSERT_TRUE(dir.isValid());
  {
    FILE* f = std::fopen(Path().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("this is not a database, but somebody's notes\n", f);
    std::fclose(f);
  }
  EXPECT_THROW(BankDatabase db(Path()), EBankDatabase);
  FILE* f = std::fopen(Path().c_str(), "rb");
  char text[16] = {};
  ASSERT_EQ(std::fread(text, 1, 15, f), 15u);
  std::fclose(f);
  EXPECT_STREQ(text, "this is not a d");
}

// The payment list lines up under the wallet's header
// "   Datum       Čas          Částka        Na konto".
TEST(PaymentList, ColumnsLineUpUnderTheWalletsHeader) {
  const std::string header =
      "   Datum       \xC8"
      "as          \xC8\xE1stka        Na konto";
  Payment p;
  p.paid_at = "2024-03-14 09:05:07";
  p.amount = 1366;
  p.merchant = "2004123456/0800";
  const std::string text = Bank::PaymentListText({p});
  EXPECT_EQ(text, "   14.03.2024  09:05:07       1366 K\xE8     2004123456/0800");
  EXPECT_EQ(text.find("14"), header.find("Datum"));
  EXPECT_EQ(text.find("09:05"), header.find("\xC8"
                                            "as"));
  EXPECT_EQ(text.find("1366") + 4, header.find("\xC8\xE1stka") + 6);
  EXPECT_EQ(text.find("2004"), header.find("Na konto"));
}

TEST(PaymentList, ALongHistoryIsCutToTheNewestPaymentsThatFitOneFrame) {
  EXPECT_EQ(Bank::PaymentListText({}),
            "   \x8E\xE1"
            "dn\xE9 platby.");
  std::vector<Payment> payments;
  for (int i = 1; i <= 40; ++i) {
    Payment p;
    p.paid_at = "2024-03-14 10:00:00";
    p.amount = i;
    p.merchant = "2004123456/0800";
    payments.push_back(p);
  }
  const std::string text = Bank::PaymentListText(payments);
  EXPECT_LE(text.size(), kMaxSecureText);
  EXPECT_EQ(text.rfind("   (star\x9A\xED platby vynech\xE1ny: ", 0), 0u) << text;
  // The newest payment comes last, and the lines kept plus those omitted make all 40.
  EXPECT_NE(text.find("         40 K\xE8", text.size() - 40), std::string::npos) << text;
  std::size_t lines = 0;
  for (std::size_t pos = text.find("\r\n"); pos != std::string::npos;
       pos = text.find("\r\n", pos + 2)) {
    ++lines;
  }
  const std::size_t omitted = std::stoul(text.substr(text.find(": ") + 2));
  EXPECT_EQ(lines + omitted, 40u);
}

}  // namespace
}  // namespace pelvane::peers
