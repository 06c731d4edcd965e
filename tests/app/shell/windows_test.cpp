// The two windows driven under the offscreen platform: captions, presets, layout, keys, the OK
// step, the end of the program and error boxes (recorded, never shown).
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/session/customer.h"
#include "app/session/error_reporter.h"
#include "app/session/log.h"
#include "app/session/purchase_file.h"
#include "app/session/wallet_keys.h"
#include "app/windows/wallet_windows.h"
#include "crypto/formats/charset.h"
#include "crypto/formats/formats.h"
#include "messaging/frames.h"
#include "messaging/pacing.h"
#include "tests/messaging/udp_test_support.h"

namespace pelvane {
namespace {

QString U(const char* utf8) {
  return QString::fromUtf8(utf8);
}

struct RecordingReporter final : ErrorReporter {
  void ReportError(std::string_view message) noexcept override { messages.emplace_back(message); }
  std::vector<std::string> messages;
};

// One application object for the whole run, made before the first test and destroyed before the
// program exits (a static QApplication would be destroyed after Qt's own statics).
class QtApplicationEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QApplication>(argc_, argv_);
    QApplication::setQuitOnLastWindowClosed(false);
    // The main window's first showing sends to the bank; keep the pause before it short.
    SetPacingMs(2);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "app_shell_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

// gtest owns registered environments.
[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

class WindowsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    windows_.reset();
    ReleaseCustomerGlobals();
  }

  WalletWindows& Start(const std::string& argument = "") {
    windows_ = std::make_unique<WalletWindows>(argument);
    return *windows_;
  }

  // Runs the event loop until the program is told to end; false if it was not within 5 s.
  static bool RunsUntilQuit(const std::function<void()>& action) {
    bool timed_out = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
      timed_out = true;
      QCoreApplication::exit(1);
    });
    guard.start(5000);
    QTimer::singleShot(0, action);
    QApplication::exec();
    return !timed_out;
  }

  RecordingReporter errors_;
  ScopedErrorReporter install_{errors_};
  std::unique_ptr<WalletWindows> windows_;
};

TEST_F(WindowsTest, DialogCaptionsPresetsAndLayout) {
  IdentificationDialog& dialog = Start().dialog();
  EXPECT_EQ(dialog.windowTitle(), U("Identifikace uživatele"));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.size(), QSize(388, 111));
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowSystemMenuHint);

  struct Field {
    QLineEdit* edit;
    const char* label;
    const char* text;
    QRect geometry;
  };
  const Field fields[] = {
      {dialog.firstNameEdit, "Jméno", "Jan", {80, 8, 121, 21}},
      {dialog.surnameEdit, "Příjmení", "Novák", {80, 32, 121, 21}},
      {dialog.birthNumberEdit, "Rodné číslo", "750101/1234", {80, 56, 121, 21}},
      {dialog.passwordEdit, "Heslo", "", {80, 80, 121, 21}},
      {dialog.bankAddressEdit, "URL Banky", "127.0.0.1", {280, 8, 97, 21}},
  };
  QStringList labels;
  for (const QLabel* label : dialog.findChildren<QLabel*>())
    labels << label->text();
  for (const Field& f : fields) {
    EXPECT_EQ(f.edit->text(), U(f.text));
    EXPECT_EQ(f.edit->geometry(), f.geometry) << f.label;
    EXPECT_TRUE(labels.contains(U(f.label))) << f.label;
  }
  EXPECT_EQ(dialog.okButton->text(), U("OK"));
  EXPECT_EQ(dialog.cancelButton->text(), U("Zrušit"));
  EXPECT_FALSE(dialog.okButton->icon().isNull());
  EXPECT_FALSE(dialog.cancelButton->icon().isNull());
  EXPECT_EQ(dialog.okButton->geometry().topLeft(), QPoint(240, 48));
  EXPECT_EQ(dialog.cancelButton->geometry().topLeft(), QPoint(240, 80));
  EXPECT_EQ(dialog.okButton->width(), 137);
  EXPECT_EQ(dialog.cancelButton->width(), 137);
  EXPECT_TRUE(dialog.okButton->isDefault());
}

TEST_F(WindowsTest, DialogLabelsStandBesideTheirFields) {
  IdentificationDialog& dialog = Start().dialog();
  const std::pair<const char*, QPoint> labels[] = {
      {"Jméno", {8, 8}},  {"Příjmení", {8, 32}},   {"Rodné číslo", {8, 56}},
      {"Heslo", {8, 80}}, {"URL Banky", {216, 8}},
  };
  for (const auto& [caption, at] : labels) {
    const char* text = caption;  // a lambda may not capture a structured binding under clang 14
    const QList<QLabel*> all = dialog.findChildren<QLabel*>();
    const auto it =
        std::find_if(all.begin(), all.end(), [&](QLabel* l) { return l->text() == U(text); });
    ASSERT_NE(it, all.end()) << text;
    EXPECT_EQ((*it)->geometry().topLeft(), at) << text;
  }
}

TEST_F(WindowsTest, TabOrder) {
  IdentificationDialog& dialog = Start().dialog();
  const QWidget* expected[] = {dialog.firstNameEdit, dialog.surnameEdit,     dialog.birthNumberEdit,
                               dialog.passwordEdit,  dialog.bankAddressEdit, dialog.okButton,
                               dialog.cancelButton,  dialog.firstNameEdit};
  QWidget* w = dialog.firstNameEdit;
  for (std::size_t i = 1; i < std::size(expected); ++i) {
    do {
      w = w->nextInFocusChain();
    } while (!(w->focusPolicy() & Qt::TabFocus));
    EXPECT_EQ(w, expected[i]) << "tab stop " << i;
  }
}

TEST_F(WindowsTest, PasswordShowsAsterisks) {
  IdentificationDialog& dialog = Start().dialog();
  QTest::keyClicks(dialog.passwordEdit, QStringLiteral("tajne heslo"));
  EXPECT_EQ(dialog.passwordEdit->text(), QStringLiteral("tajne heslo"));
  EXPECT_EQ(dialog.passwordEdit->displayText(), QString(11, QChar('*')));
}

TEST_F(WindowsTest, EnterInAnyFieldPressesOk) {
  for (int field = 0; field < 5; ++field) {
    IdentificationDialog& dialog = Start().dialog();
    QLineEdit* edits[] = {dialog.firstNameEdit, dialog.surnameEdit, dialog.birthNumberEdit,
                          dialog.passwordEdit, dialog.bankAddressEdit};
    QTest::keyClick(edits[field], Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible()) << "field " << field;
    EXPECT_TRUE(windows_->mainWindow().isVisible()) << "field " << field;
    EXPECT_EQ(CustomerDigest.size(), 40u) << "field " << field;
    windows_.reset();
    ReleaseCustomerGlobals();
  }
}

TEST_F(WindowsTest, EscapeDoesNothing) {
  IdentificationDialog& dialog = Start().dialog();
  for (QWidget* w : {static_cast<QWidget*>(dialog.firstNameEdit),
                     static_cast<QWidget*>(dialog.passwordEdit), static_cast<QWidget*>(&dialog)}) {
    QTest::keyClick(w, Qt::Key_Escape);
  }
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(windows_->mainWindow().isVisible());
  EXPECT_EQ(CustomerDigest, "");
  EXPECT_EQ(dialog.result(), 0);
}

TEST_F(WindowsTest, OkDigestsTheIdentificationTextInWindows1250) {
  std::ifstream in(PELVANE_TEST_DATA_DIR "/vectors.json");
  ASSERT_TRUE(in);
  const nlohmann::json vectors = nlohmann::json::parse(in);
  ASSERT_FALSE(vectors.at("customer_digest").empty());
  for (const auto& v : vectors.at("customer_digest")) {
    IdentificationDialog& dialog = Start().dialog();
    QLineEdit* edits[] = {dialog.firstNameEdit, dialog.surnameEdit, dialog.birthNumberEdit,
                          dialog.passwordEdit};
    std::string cp1250[4];
    for (int i = 0; i < 4; ++i) {
      cp1250[i] = FormatToStr(v.at("fields_hex")[i].get<std::string>(), kFormatHex);
      edits[i]->setText(QString::fromStdString(Cp1250ToUtf8(cp1250[i])));
    }
    dialog.okButton->click();
    EXPECT_EQ(CustomerDigest, v.at("digest").get<std::string>());
    EXPECT_EQ(CustomerFirstName, cp1250[0]);
    EXPECT_EQ(CustomerSurname, cp1250[1]);
    EXPECT_EQ(CustomerBirthNumber, cp1250[2]);
    EXPECT_EQ(BankHost, "127.0.0.1");
    windows_.reset();
    ReleaseCustomerGlobals();
  }
}

TEST_F(WindowsTest, EveryBlankAndThePasswordChangeTheDigest) {
  const auto digest = [this](const char* first, const char* surname, const char* birth,
                             const char* password) {
    IdentificationDialog& dialog = Start().dialog();
    dialog.firstNameEdit->setText(U(first));
    dialog.surnameEdit->setText(U(surname));
    dialog.birthNumberEdit->setText(U(birth));
    dialog.passwordEdit->setText(U(password));
    dialog.okButton->click();
    std::string result = CustomerDigest;
    windows_.reset();
    ReleaseCustomerGlobals();
    return result;
  };
  const std::string base = digest("A", "B", "C", "");
  EXPECT_EQ(base, "1246F5D97D55CE53E51593D0A4B873AF6E244BBE");
  EXPECT_NE(digest("A", "B", "C ", ""), base);
  EXPECT_NE(digest(" A", "B", "C", ""), base);
  EXPECT_NE(digest("A", "B", "C", " "), base);
  EXPECT_NE(digest("A", "B", "C", "x"), base);
}

TEST_F(WindowsTest, OkShowsTheMainWindowHidesTheDialogAndExtendsItsCaption) {
  WalletWindows& w = Start();
  EXPECT_FALSE(w.mainWindow().isVisible());
  w.dialog().okButton->click();
  EXPECT_TRUE(w.mainWindow().isVisible());
  EXPECT_FALSE(w.dialog().isVisible());
  EXPECT_EQ(w.dialog().windowTitle(), U("Identifikace uživatele - Čekejte prosím..."));
  EXPECT_EQ(w.mainWindow().nameLabel->text(), U("Jan Novák"));
  EXPECT_EQ(w.mainWindow().birthNumberLabel->text(), U("750101/1234"));
  EXPECT_EQ(w.mainWindow().balanceLabel->text(), U(""));
  EXPECT_EQ(CustomerSurname, "Nov\xE1k");
  EXPECT_TRUE(errors_.messages.empty());
}

TEST_F(WindowsTest, UnrepresentableCharacterIsRefusedAndNothingIsStored) {
  WalletWindows& w = Start();
  w.dialog().surnameEdit->setText(U("Novák☺"));
  w.dialog().okButton->click();
  ASSERT_EQ(errors_.messages.size(), 1u);
  EXPECT_EQ(errors_.messages[0],
            "Pole \"P\xF8\xEDjmen\xED\" obsahuje znak, kter\xFD nelze zapsat v k\xF3"
            "dov\xE1n\xED Windows-1250.");
  EXPECT_TRUE(w.dialog().isVisible());
  EXPECT_FALSE(w.mainWindow().isVisible());
  EXPECT_EQ(w.dialog().windowTitle(), U("Identifikace uživatele"));
  EXPECT_EQ(CustomerDigest, "");
  EXPECT_EQ(CustomerFirstName, "");
  EXPECT_EQ(BankHost, "");

  // After correcting the field, OK works.
  w.dialog().surnameEdit->setText(U("Novák"));
  w.dialog().okButton->click();
  EXPECT_TRUE(w.mainWindow().isVisible());
}

TEST_F(WindowsTest, MainWindowCaptionsAndLayout) {
  MainWindow& main = Start().mainWindow();
  EXPECT_EQ(main.windowTitle(), U("Pelvane"));
  EXPECT_EQ(main.size(), QSize(544, 375));
  EXPECT_EQ(main.customerBox->title(), U(" Uživatel "));
  EXPECT_EQ(main.customerBox->height(), 65);
  EXPECT_EQ(main.logBox->title(), U(" Akce "));
  const std::tuple<QLabel*, const char*, QPoint> labels[] = {
      {main.nameCaption, "Jméno", {8, 16}},
      {main.birthNumberCaption, "Rodné číslo", {208, 16}},
      {main.balanceCaption, "Stav účtu", {400, 16}},
      {main.nameLabel, "", {8, 32}},
      {main.birthNumberLabel, "", {208, 32}},
      {main.balanceLabel, "", {400, 32}},
  };
  for (const auto& [label, text, at] : labels) {
    EXPECT_EQ(label->text(), U(text));
    EXPECT_EQ(label->geometry().topLeft(), at);
  }
  for (QLabel* value : {main.nameLabel, main.birthNumberLabel, main.balanceLabel}) {
    EXPECT_TRUE(value->font().bold());
    EXPECT_EQ(value->font().pixelSize(), 13);
  }
  EXPECT_TRUE(main.logView->isReadOnly());
  EXPECT_EQ(main.logView->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(main.logView->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(main.logView->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(main.logView->font().fixedPitch());
  EXPECT_EQ(main.logView->parentWidget(), main.logBox);

  // Laid out once shown: the user box on top, the log box filling the rest.
  main.show();
  EXPECT_EQ(main.customerBox->geometry(), QRect(0, 0, 544, 65));
  EXPECT_EQ(main.logBox->geometry(), QRect(0, 65, 544, 375 - 65));
}

TEST_F(WindowsTest, LogShowsWindows1250LinesAsUnicode) {
  MainWindow& main = Start().mainWindow();
  main.AppendLine("P\xF8ijata data");
  main.AppendLine("");
  main.AppendLine("a\r\nb\rc");
  main.AppendLine(std::string("x\x81y\0z", 5));  // undefined byte and zero byte
  LogTimestamp(main);
  const QStringList lines = main.logView->toPlainText().split(QChar('\n'));
  ASSERT_EQ(lines.size(), 8);
  EXPECT_EQ(lines[0], U("Přijata data"));
  EXPECT_EQ(lines[1], U(""));
  EXPECT_EQ(lines[2], U("a"));
  EXPECT_EQ(lines[3], U("b"));
  EXPECT_EQ(lines[4], U("c"));
  EXPECT_EQ(lines[5], U("x\xEF\xBF\xBDy\xEF\xBF\xBDz"));
  EXPECT_EQ(lines[6], U(""));  // the time stamp's empty line
  EXPECT_EQ(lines[7].size(), 19);
}

TEST_F(WindowsTest, LabelSinkSetsTheValueLabels) {
  MainWindow& main = Start().mainWindow();
  main.SetLabel(WalletLabel::kBalance, "1500 K\xE8");
  main.SetLabel(WalletLabel::kName, "<b>Jan</b>");
  EXPECT_EQ(main.balanceLabel->text(), U("1500 Kč"));
  EXPECT_EQ(main.nameLabel->text(), U("<b>Jan</b>"));
  EXPECT_EQ(main.nameLabel->textFormat(), Qt::PlainText);  // never rendered as markup
}

TEST_F(WindowsTest, ClosingTheMainWindowEndsTheProgram) {
  WalletWindows& w = Start();
  w.dialog().okButton->click();
  ASSERT_TRUE(w.mainWindow().isVisible());
  EXPECT_TRUE(RunsUntilQuit([&] { w.mainWindow().close(); }));
  EXPECT_FALSE(w.mainWindow().isVisible());
  EXPECT_FALSE(w.dialog().isVisible());
}

TEST_F(WindowsTest, CancelEndsTheProgram) {
  WalletWindows& w = Start();
  EXPECT_TRUE(RunsUntilQuit([&] { w.dialog().cancelButton->click(); }));
  EXPECT_FALSE(w.dialog().isVisible());
  EXPECT_FALSE(w.mainWindow().isVisible());
  EXPECT_EQ(CustomerDigest, "");
}

TEST_F(WindowsTest, StartWithoutArgumentHasNoPurchaseBuffer) {
  Start();
  EXPECT_FALSE(PurchaseFile);
  EXPECT_TRUE(errors_.messages.empty());
}

TEST_F(WindowsTest, MissingPurchaseFileRaisesOneErrorBoxAndTheDialogStillComesUp) {
  WalletWindows& w = Start("/nonexistent/order.txt");
  EXPECT_EQ(errors_.messages, std::vector<std::string>{"Cannot open file /nonexistent/order.txt."});
  EXPECT_TRUE(w.dialog().isVisible());
  ASSERT_TRUE(PurchaseFile);
  EXPECT_EQ(PurchaseFile->Bytes(), "");
  windows_.reset();
  EXPECT_FALSE(PurchaseFile);  // the dialog's destruction frees the buffer
}

TEST_F(WindowsTest, MainWindowRegistersTheAlias) {
  MainWindow& main = Start().mainWindow();
  EXPECT_TRUE(main.databaseSession.IsAlias("TEMPPELVAN"));
  EXPECT_EQ(main.databaseSession.SessionName(), "Pokus");
  EXPECT_NE(main.Session(), nullptr);
}

TEST_F(WindowsTest, OkStartsTheSessionAndTheMainWindowReceivesOnPort2000) {
  testing::RawUdp bank(2001);
  ASSERT_TRUE(bank.Bound());
  WalletWindows& w = Start();
  w.dialog().firstNameEdit->setText(U("Jiří"));
  w.dialog().okButton->click();
  const std::optional<std::string> announce = bank.Receive(3000);
  ASSERT_TRUE(announce.has_value());
  EXPECT_EQ(announce->substr(0, 2), "63");
  EXPECT_EQ(GetMessageBody(*announce), kWalletPublicKey);
  EXPECT_EQ(w.mainWindow().nameLabel->text(), U("Jiří Novák"));
  EXPECT_EQ(w.mainWindow().birthNumberLabel->text(), U("750101/1234"));
  EXPECT_TRUE(
      w.mainWindow().logView->toPlainText().contains(U("Generuji veřejný a privátní klíč ...")));

  // receiver hands what arrives on port 2000 to the session, which logs it in logView.
  bank.SendTo(2000, BuildPlainFrame("x", 80));
  EXPECT_TRUE(testing::ProcessEventsUntil(
      [&] { return w.mainWindow().logView->toPlainText().endsWith(U("   ID zprávy: 80")); }));
  EXPECT_TRUE(errors_.messages.empty());
}

TEST_F(WindowsTest, PortHeldByAnotherProgramIsReportedAtStart) {
  testing::RawUdp holder(2000);
  ASSERT_TRUE(holder.Bound());
  Start();
  ASSERT_EQ(errors_.messages.size(), 1u);
  EXPECT_EQ(Cp1250ToUtf8(errors_.messages[0]),
            "Port 2000 je obsazen jiným programem; peněženka nemůže přijímat zprávy. Ukončete "
            "druhý program a spusťte peněženku znovu.");
}

}  // namespace
}  // namespace pelvane
