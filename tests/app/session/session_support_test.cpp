// The GUI-free parts of the wallet's shell: error texts and reporting, log stamps, the customer's
// identification, the database alias and the session's start.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/session/customer.h"
#include "app/session/database_alias.h"
#include "app/session/error_reporter.h"
#include "app/session/log.h"
#include "app/session/purchase_file.h"
#include "app/session/transport.h"
#include "app/session/wallet_session.h"
#include "crypto/exception.h"
#include "tests/support/frame_recorder.h"
#include "tests/support/recording_sinks.h"

namespace pelvane {
namespace {

using pelvane::testing::FrameRecorder;
using pelvane::testing::RecordingLabels;
using pelvane::testing::RecordingLog;
using pelvane::testing::RecordingReporter;

TEST(ErrorBoxTextTest, FullStopWhenTheLastByteComesAfterIt) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"Cannot open file a.txt", "Cannot open file a.txt."},
      {"Done.", "Done."},
      {"Stop!", "Stop!"},
      {"a,", "a,"},
      {"a-", "a-"},
      {"trailing ", "trailing "},
      {"path/", "path/."},  // "/" comes after "."
      {"99", "99."},
      {"'' is not a valid integer value", "'' is not a valid integer value."},
      {"Zru\x9Ait", "Zru\x9Ait."},
      {"ko\x9A\xED\xE8"
       "ek\xED",
       "ko\x9A\xED\xE8"
       "ek\xED."},  // bytes above 127 count as large
  };
  for (const auto& [message, text] : cases)
    EXPECT_EQ(ErrorBoxText(message), text) << message;
}

TEST(ErrorReporterTest, GuardHandlerReportsThroughTheInstalledReporterAndGoesOn) {
  RecordingReporter outer;
  RecordingReporter inner;
  ScopedErrorReporter install_outer(outer);
  {
    ScopedErrorReporter install_inner(inner);
    bool after_failure = false;
    EXPECT_FALSE(GuardHandler([&] {
      throw EConvertError("'x' is not a valid integer value");
      after_failure = true;
    }));
    EXPECT_FALSE(after_failure);
    EXPECT_TRUE(GuardHandler([] {}));
    EXPECT_FALSE(GuardHandler([] { throw std::runtime_error("plain"); }));
    EXPECT_FALSE(GuardHandler([] { throw 42; }));
    // The forwarding reporter follows whichever reporter is installed now.
    ProcessErrorReporter().ReportError("forwarded");
  }
  ProcessErrorReporter().ReportError("after restore");
  EXPECT_EQ(inner.messages, (std::vector<std::string>{"'x' is not a valid integer value.", "plain.",
                                                      "Unknown failure.", "forwarded"}));
  EXPECT_EQ(outer.messages, std::vector<std::string>{"after restore"});
}

TEST(LogTimestampTest, EmptyLineThenDateAndTime) {
  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 7;
  local.tm_hour = 0;
  local.tm_min = 17;
  local.tm_sec = 26;
  local.tm_isdst = -1;
  const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local));
  EXPECT_EQ(FormatLogTimestamp(when), "07.12.2026 00:17:26");

  local = {};
  local.tm_year = 1999 - 1900;
  local.tm_mon = 0;
  local.tm_mday = 1;
  local.tm_hour = 23;
  local.tm_min = 5;
  local.tm_sec = 9;
  local.tm_isdst = -1;
  RecordingLog log;
  LogTimestamp(log, std::chrono::system_clock::from_time_t(std::mktime(&local)) +
                        std::chrono::milliseconds(999));
  EXPECT_EQ(log.lines, (std::vector<std::string>{"", "01.01.1999 23:05:09"}));

  LogTimestamp(log);
  ASSERT_EQ(log.lines.size(), 4u);
  EXPECT_EQ(log.lines[2], "");
  EXPECT_EQ(log.lines[3].size(), 19u);
}

TEST(IdentificationTest, FieldsConvertToWindows1250) {
  const Identification id = IdentificationFromUtf8("Jiří", " Žluťoučký ", "", "heslo€", "bank.cz");
  EXPECT_EQ(id.first_name, "Ji\xF8\xED");
  EXPECT_EQ(id.surname, " \x8Elu\x9Dou\xE8k\xFD ");
  EXPECT_EQ(id.birth_number, "");
  EXPECT_EQ(id.password, "heslo\x80");
  EXPECT_EQ(id.bank_host, "bank.cz");
  EXPECT_EQ(IdentificationText(id), "Ji\xF8\xED  \x8Elu\x9Dou\xE8k\xFD   heslo\x80");
}

TEST(IdentificationTest, UnrepresentableCharacterNamesTheField) {
  const std::string kAlpha = "\xCE\xB1";  // Greek alpha: not in Windows-1250
  const std::pair<int, std::string> cases[] = {
      {0, "Jm\xE9no"}, {1, "P\xF8\xEDjmen\xED"}, {2, "Rodn\xE9 \xE8\xEDslo"},
      {3, "Heslo"},    {4, "URL Banky"},
  };
  for (const auto& [field, label] : cases) {
    std::string fields[5] = {"Jan", "Nov\xC3\xA1k", "750101/1234", "", "127.0.0.1"};
    fields[field] += kAlpha;
    try {
      IdentificationFromUtf8(fields[0], fields[1], fields[2], fields[3], fields[4]);
      ADD_FAILURE() << "field " << field << " converted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "Pole \"" + label +
                                 "\" obsahuje znak, kter\xFD nelze zapsat v k\xF3"
                                 "dov\xE1n\xED Windows-1250");
    }
  }
  // Bytes that are not UTF-8 at all are refused the same way.
  EXPECT_THROW(IdentificationFromUtf8("\xFF", "", "", "", ""), EConvertError);
}

TEST(IdentificationTest, AcceptStoresDigestAndTexts) {
  Identification id;
  id.first_name = "A";
  id.surname = "B";
  id.birth_number = "C";
  id.password = "";
  id.bank_host = "10.1.2.3";
  AcceptIdentification(id);
  EXPECT_EQ(CustomerDigest, "1246F5D97D55CE53E51593D0A4B873AF6E244BBE");
  EXPECT_EQ(CustomerFirstName, "A");
  EXPECT_EQ(CustomerSurname, "B");
  EXPECT_EQ(CustomerBirthNumber, "C");
  EXPECT_EQ(BankHost, "10.1.2.3");
  ReleaseCustomerGlobals();
  EXPECT_EQ(CustomerDigest, "");
  EXPECT_EQ(CustomerFirstName, "");
  EXPECT_EQ(BankHost, "");
}

TEST(DatabaseAliasTest, SessionScopedAliasAtTheProgramDirectory) {
  TDatabaseSession session("Pokus");
  RegisterTemporaryAlias(session, ProgramDirectory());
  EXPECT_EQ(session.ConfigMode(), cfmAll);
  ASSERT_TRUE(session.IsAlias("TEMPPELVAN"));
  EXPECT_EQ(session.AliasScope("TEMPPELVAN"), static_cast<unsigned>(cfmSession));
  const auto params = session.GetAliasParams("TEMPPELVAN");
  EXPECT_EQ(params.at("TYPE"), "STANDARD");
  const std::string path = params.at("PATH");
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.back(), '/');
  // The directory of this very test program.
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(path) /
                                      std::filesystem::read_symlink("/proc/self/exe").filename()));

  // A second registration fails, and the mode is still restored.
  EXPECT_THROW(RegisterTemporaryAlias(session, "/tmp/"), EDatabaseError);
  EXPECT_EQ(session.ConfigMode(), cfmAll);
  EXPECT_EQ(session.GetAliasParams("tempPelvan").at("PATH"), path);
}

// The windows keep the customer the dialog accepted as the program's state and hand it, with the
// purchase buffer, to the session.
TEST(WalletSessionTest, StartShowsTheCustomerAndFindsTheMerchant) {
  CustomerFirstName = "Jan";
  CustomerSurname = "Nov\xE1k";
  CustomerBirthNumber = "750101/1234";
  PurchaseFile = std::make_unique<PurchaseBuffer>(
      "h1\r\nSET-SET-URL: http://192.168.100.100/obchod\r\nh3\r\n");
  RecordingLog log;
  RecordingLabels labels;
  RecordingReporter errors;
  FrameRecorder transport;
  WalletSession session(log, labels, errors, transport);
  session.Start(ExchangeFromProgramState());
  EXPECT_EQ(session.MerchantHost(), "192.168.100.100");
  EXPECT_EQ(labels.set,
            (std::vector<std::pair<WalletLabel, std::string>>{
                {WalletLabel::kName, "Jan Nov\xE1k"}, {WalletLabel::kBirthNumber, "750101/1234"}}));
  EXPECT_TRUE(errors.messages.empty());
  FreePurchaseFile();
  ReleaseCustomerGlobals();
}

}  // namespace
}  // namespace pelvane
