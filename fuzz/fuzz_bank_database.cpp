// The bank's database opened on a damaged or foreign file: opening either refuses with
// EBankDatabase or gives a database on which every operation the bank makes (listing, finding,
// debiting, payment lists, refusals) either works or refuses with EBankDatabase, and never moves
// money twice or wrongly.
//
// Input: the file's bytes. Seeds are small valid databases (512-byte pages).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "crypto/exception.h"
#include "fuzz/fuzz_check.h"
#include "peers/bank.h"
#include "peers/bank_database.h"
#include "protocol/customer_digest.h"

namespace {

using namespace pelvane;
using namespace pelvane::peers;

const std::string& FilePath() {
  static const std::string path =
      "/tmp/pelvane-fuzz-bank-" + std::to_string(::getpid()) + ".sqlite";
  return path;
}

void RemoveFiles() {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    std::remove((FilePath() + suffix).c_str());
  }
}

void Exercise(BankDatabase& db) {
  const std::string demo =
      ComputeCustomerDigest(kDemoFirstName, kDemoSurname, kDemoBirthNumber, kDemoPassword);
  for (const Account& account : db.ListAccounts()) {
    Bank::PaymentListText(db.Payments(account.id));
    db.Refusals(account.id);
  }
  const auto before = db.FindByDigest(demo);
  const DebitResult first = db.Debit(demo, 7, "fuzz", "fuzz-ref");
  const DebitResult again = db.Debit(demo, 7, "fuzz", "fuzz-ref");
  const auto after = db.FindByDigest(demo);
  if (first.refusal == DebitRefusal::kNone && !first.repeated) {
    // Debited once, and the repeat moved nothing.
    FUZZ_CHECK(before.has_value() && after.has_value());
    FUZZ_CHECK(after->balance == before->balance - 7);
    FUZZ_CHECK(again.repeated);
  } else if (before.has_value() && after.has_value() && !first.repeated) {
    FUZZ_CHECK(after->balance == before->balance);
  }
  db.RecordRefusal(before ? before->id : 0, "fuzz");
  db.Refusals(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RemoveFiles();
  {
    std::FILE* file = std::fopen(FilePath().c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
    std::fclose(file);
  }
  try {
    BankDatabase db(FilePath());
    Exercise(db);
  } catch (const EBankDatabase&) {
    // A file that is no bank database, or a damaged one, is refused.
  }
  RemoveFiles();
  return 0;
}
