// The two windows driven under the offscreen platform: captions, presets, layout (also at a larger
// font, and at twice the scale in a second run), accessible names, keys, the OK step, the pauses
// that keep painting, the status line against a scripted bank, the end of the program, the taken
// port, the command line, and error boxes (recorded, never shown).
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/session/customer.h"
#include "app/session/error_reporter.h"
#include "app/session/log.h"
#include "app/session/purchase_file.h"
#include "app/session/wallet_keys.h"
#include "app/windows/command_line.h"
#include "app/windows/status_line.h"
#include "app/windows/wallet_windows.h"
#include "crypto/formats/charset.h"
#include "crypto/formats/formats.h"
#include "messaging/frames.h"
#include "messaging/pacing.h"
#include "tests/support/loopback_udp.h"
#include "tests/support/wallet_peers.h"

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
      {"Jméno", {8, 8}},
      {"Příjmení", {8, 32}},
      {"Rodné číslo", {8, 56}},
      {"Heslo", {8, 80}},
  };
  for (const auto& [caption, at] : labels) {
    const char* text = caption;  // a lambda may not capture a structured binding under clang 14
    const QList<QLabel*> all = dialog.findChildren<QLabel*>();
    const auto it =
        std::find_if(all.begin(), all.end(), [&](QLabel* l) { return l->text() == U(text); });
    ASSERT_NE(it, all.end()) << text;
    EXPECT_EQ((*it)->geometry().topLeft(), at) << text;
  }
  // The bank's caption ends just before its field (at 278) and starts at 216 or, when its text
  // needs more than 62 px, as far to the left as that needs.
  const QRect bank = dialog.bankAddressCaption->geometry();
  EXPECT_EQ(dialog.bankAddressCaption->text(), U("URL Banky"));
  EXPECT_EQ(bank.y(), 8);
  EXPECT_EQ(bank.right(), dialog.bankAddressEdit->x() - 3);
  EXPECT_LE(bank.x(), 216);
  EXPECT_GT(bank.x(), dialog.firstNameEdit->geometry().right());
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

// Once OK has made the digest, the password does not stay in the dialog's field for the run.
TEST_F(WindowsTest, PasswordFieldIsEmptyAfterOk) {
  IdentificationDialog& dialog = Start().dialog();
  dialog.passwordEdit->setText(U("tajné heslo"));
  dialog.okButton->click();
  EXPECT_FALSE(CustomerDigest.empty());
  EXPECT_TRUE(dialog.passwordEdit->text().isEmpty());
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

  // Laid out once shown: the user box on top, the status line at the bottom, the log box filling
  // the rest.
  main.show();
  EXPECT_EQ(main.customerBox->geometry(), QRect(0, 0, 544, 65));
  const QRect status = main.statusLabel->geometry();
  EXPECT_EQ(status.bottom(), 374);
  EXPECT_EQ(status.width(), 544);
  EXPECT_GE(status.height(), main.statusLabel->fontMetrics().height());
  EXPECT_EQ(main.logBox->geometry(), QRect(0, 65, 544, status.top() - 65));
}

// CR LF is a line break; every other control byte a received text may carry (ESC, BEL, a lone
// CR, a zero byte) is shown as \xNN, so it cannot hide or rearrange what the log shows.
TEST_F(WindowsTest, LogShowsWindows1250LinesAsUnicodeWithControlBytesEscaped) {
  MainWindow& main = Start().mainWindow();
  main.AppendLine("P\xF8ijata data");
  main.AppendLine("");
  main.AppendLine("a\r\nb\rc");
  main.AppendLine(std::string("x\x81y\0z", 5));  // undefined byte and zero byte
  main.AppendLine(
      "reset\x1b"
      "c bell\x07 clear\x1b[2J");
  LogTimestamp(main);
  const QStringList lines = main.logView->toPlainText().split(QChar('\n'));
  ASSERT_EQ(lines.size(), 8);
  EXPECT_EQ(lines[0], U("Přijata data"));
  EXPECT_EQ(lines[1], U(""));
  EXPECT_EQ(lines[2], U("a"));
  EXPECT_EQ(lines[3], U("b\\x0Dc"));
  EXPECT_EQ(lines[4], U("x\xEF\xBF\xBDy\\x00z"));
  EXPECT_EQ(lines[5], U("reset\\x1Bc bell\\x07 clear\\x1B[2J"));
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
  WalletWindows& w = Start();
  ASSERT_EQ(errors_.messages.size(), 1u);
  EXPECT_EQ(Cp1250ToUtf8(errors_.messages[0]),
            "Port 2000 je obsazen jiným programem; peněženka nemůže přijímat zprávy. Ukončete "
            "druhý program a spusťte peněženku znovu.");
  EXPECT_FALSE(w.mainWindow().Receiving());
  EXPECT_FALSE(w.dialog().isVisible());  // a wallet that cannot receive offers no exchange
}

TEST_F(WindowsTest, PortHeldByAnotherProgramEndsTheWalletWithStatus1WithoutSending) {
  testing::RawUdp holder(2000);
  testing::RawUdp bank(2001);
  ASSERT_TRUE(holder.Bound() && bank.Bound());
  bool loop_ran = false;
  const int status = RunWalletWindows("", [&](WalletWindows&) { loop_ran = true; });
  EXPECT_EQ(status, 1);
  EXPECT_FALSE(loop_ran);
  ASSERT_EQ(errors_.messages.size(), 1u);  // the box came first
  EXPECT_NE(errors_.messages[0].find("Port 2000"), std::string::npos);
  EXPECT_FALSE(bank.Receive(300).has_value());
  EXPECT_FALSE(holder.Receive(0).has_value());
  EXPECT_EQ(CustomerDigest, "");
}

TEST_F(WindowsTest, LogStartsWithItsEmptyLine) {
  MainWindow& main = Start().mainWindow();
  LogTimestamp(main);
  main.AppendLine("Generuji");
  const QStringList lines = main.logView->toPlainText().split(QChar('\n'));
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], U(""));
  EXPECT_EQ(lines[1].size(), 19);  // the time stamp
  EXPECT_EQ(lines[2], U("Generuji"));
  EXPECT_EQ(main.logView->document()->blockCount(), 3);
}

TEST_F(WindowsTest, LogKeepsTheNewestLineInViewUnlessTheUserScrolledUp) {
  MainWindow& main = Start().mainWindow();
  main.show();
  QScrollBar* scroll = main.logView->verticalScrollBar();
  for (int i = 0; i < 200; ++i)
    main.AppendLine("line " + std::to_string(i));
  ASSERT_GT(scroll->maximum(), 0);
  EXPECT_EQ(scroll->value(), scroll->maximum());

  scroll->setValue(10);  // the user reads further up
  const int reading_maximum = scroll->maximum();
  for (int i = 0; i < 20; ++i)
    main.AppendLine("more");
  EXPECT_GT(scroll->maximum(), reading_maximum);
  EXPECT_EQ(scroll->value(), 10);

  scroll->setValue(scroll->maximum());  // back at the end: followed again
  main.AppendLine("newest");
  EXPECT_EQ(scroll->value(), scroll->maximum());
}

// Every label of the window is at least as large as its text needs and lies inside its parent;
// no two of the dialog's controls overlap.
void ExpectTextsFit(QWidget& window) {
  for (const QLabel* label : window.findChildren<QLabel*>()) {
    if (label->text().isEmpty()) continue;
    const QString text = label->text();
    if (label->wordWrap()) {
      EXPECT_GE(label->height(), label->heightForWidth(label->width())) << text.toStdString();
    } else {
      EXPECT_GE(label->width(), label->sizeHint().width()) << text.toStdString();
      EXPECT_GE(label->height(), label->fontMetrics().height()) << text.toStdString();
    }
    const QRect inside = label->parentWidget()->rect();
    EXPECT_TRUE(inside.contains(label->geometry())) << text.toStdString();
  }
}

TEST_F(WindowsTest, LabelsFitTheirTextsAtTheDefaultAndALargerFont) {
  const QFont default_font = QApplication::font();
  for (const int point_size : {0, 15}) {
    SCOPED_TRACE(point_size == 0 ? "default font" : "15 pt");
    if (point_size != 0) {
      QFont larger = default_font;
      larger.setPointSize(point_size);
      QApplication::setFont(larger);
    }
    WalletWindows& w = Start();
    IdentificationDialog& dialog = w.dialog();
    ExpectTextsFit(dialog);
    QWidget* const controls[] = {
        dialog.firstNameCaption, dialog.surnameCaption,     dialog.birthNumberCaption,
        dialog.passwordCaption,  dialog.bankAddressCaption, dialog.firstNameEdit,
        dialog.surnameEdit,      dialog.birthNumberEdit,    dialog.passwordEdit,
        dialog.bankAddressEdit,  dialog.okButton,           dialog.cancelButton};
    for (QWidget* a : controls) {
      EXPECT_TRUE(dialog.rect().contains(a->geometry())) << a->objectName().toStdString();
      for (QWidget* b : controls) {
        if (a != b) {
          EXPECT_FALSE(a->geometry().intersects(b->geometry()))
              << a->objectName().toStdString() << " and " << b->objectName().toStdString();
        }
      }
    }
    for (QPushButton* button : {dialog.okButton, dialog.cancelButton})
      EXPECT_GE(button->width(), button->sizeHint().width());

    MainWindow& main = w.mainWindow();
    main.SetLabel(WalletLabel::kName, testing::W("Maximilián Dvořáček-Novotný"));
    main.SetLabel(WalletLabel::kBirthNumber, "750101/1234");
    main.SetLabel(WalletLabel::kBalance, testing::W("1234567 Kč"));
    main.statusLabel->setText(U("Čekám na odpověď banky… 12 s"));
    main.show();
    QApplication::processEvents();  // the layout follows the texts set meanwhile
    ExpectTextsFit(main);
    QLabel* const row[] = {main.nameLabel, main.birthNumberLabel, main.balanceLabel};
    EXPECT_LT(row[0]->geometry().right(), row[1]->x());
    EXPECT_LT(row[1]->geometry().right(), row[2]->x());
    EXPECT_LT(main.nameCaption->geometry().bottom(), main.nameLabel->y());

    windows_.reset();
    ReleaseCustomerGlobals();
    QApplication::setFont(default_font);
  }
}

TEST_F(WindowsTest, EveryControlIsAnnouncedByItsCaption) {
  WalletWindows& w = Start();
  IdentificationDialog& dialog = w.dialog();
  MainWindow& main = w.mainWindow();
  const std::pair<QWidget*, const char*> named[] = {
      {dialog.firstNameEdit, "Jméno"},
      {dialog.surnameEdit, "Příjmení"},
      {dialog.birthNumberEdit, "Rodné číslo"},
      {dialog.passwordEdit, "Heslo"},
      {dialog.bankAddressEdit, "URL Banky"},
      {dialog.okButton, "OK"},
      {dialog.cancelButton, "Zrušit"},
      {main.nameLabel, "Jméno"},
      {main.birthNumberLabel, "Rodné číslo"},
      {main.balanceLabel, "Stav účtu"},
      {main.logView, "Akce"},
      {main.statusLabel, "Stav"},
  };
  for (const auto& [widget, name] : named) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(accessible, nullptr) << name;
    EXPECT_EQ(accessible->text(QAccessible::Name), U(name));
  }
  // Nothing that takes the focus is left nameless.
  for (QWidget* window : {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(&main)}) {
    for (QWidget* child : window->findChildren<QWidget*>()) {
      if (!(child->focusPolicy() & Qt::TabFocus)) continue;
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(child);
      ASSERT_NE(accessible, nullptr);
      EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
          << child->metaObject()->className();
    }
  }
}

using Clock = std::chrono::steady_clock;

// Sets the pacing for one test and restores the short one afterwards.
class PacingForTest {
 public:
  explicit PacingForTest(int milliseconds) { SetPacingMs(milliseconds); }
  ~PacingForTest() { SetPacingMs(2); }
};

TEST_F(WindowsTest, PauseKeepsPaintingWhileDatagramsWaitUntilItEnds) {
  // A pacing of 500 ms: the bank's key (98) is answered after a 500 ms pause by the key frame
  // (89), a wait of 1000 ms and another 500 ms pause before the digest (1).
  PacingForTest pacing(500);
  testing::RawUdp bank(2001);
  ASSERT_TRUE(bank.Bound());
  WalletWindows& w = Start();
  MainWindow& main = w.mainWindow();

  // When the log's viewport painted, and when each line was logged.
  std::vector<Clock::time_point> paints;
  struct PaintRecorder final : QObject {
    std::vector<Clock::time_point>* paints = nullptr;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) paints->push_back(Clock::now());
      return false;
    }
  } recorder;
  recorder.paints = &paints;
  main.logView->viewport()->installEventFilter(&recorder);
  std::vector<std::pair<QString, Clock::time_point>> logged;
  QObject::connect(main.logView, &QPlainTextEdit::textChanged, &main, [&] {
    logged.emplace_back(main.logView->document()->lastBlock().text(), Clock::now());
  });

  // The bank, on its own thread: answers the key announcement, then sends two datagrams while
  // the wallet is in the pause before its key frame.
  std::atomic<bool> done{false};
  Clock::time_point others_sent, key_frame_at, digest_at;
  std::string key_frame, digest_frame;
  std::thread peer([&] {
    if (bank.Receive(5000).has_value()) {
      bank.SendTo(2000, BuildPlainFrame(testing::PeerKeys(testing::kBankRole).public_key, 98));
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      bank.SendTo(2000, BuildPlainFrame("a", 80));
      bank.SendTo(2000, BuildPlainFrame("b", 81));
      others_sent = Clock::now();
      key_frame = bank.Receive(5000).value_or("");
      key_frame_at = Clock::now();
      digest_frame = bank.Receive(5000).value_or("");
      digest_at = Clock::now();
    }
    done = true;
  });
  w.dialog().okButton->click();  // the announcement (99) leaves after its pause
  const bool finished = testing::ProcessEventsUntil(
      [&] { return done && main.logView->toPlainText().contains(U("ID zprávy: 81")); }, 10000);
  peer.join();
  ASSERT_TRUE(finished);
  ASSERT_EQ(testing::FrameId(key_frame), 89);
  ASSERT_EQ(testing::FrameId(digest_frame), 1);
  ASSERT_LT(others_sent, key_frame_at) << "the two datagrams must arrive during the pause";

  const auto logged_at = [&](const char* utf8) {
    for (const auto& [line, at] : logged) {
      if (line.contains(U(utf8))) return at;
    }
    ADD_FAILURE() << "not logged: " << utf8;
    return Clock::time_point();
  };
  // The bank's key was logged before the pause; the window painted it during the pause.
  const Clock::time_point key_logged = logged_at("Veřejný klíč banky zákazníka:");
  EXPECT_TRUE(std::any_of(paints.begin(), paints.end(), [&](Clock::time_point at) {
    return at > key_logged && at < key_frame_at;
  })) << "no paint during the pause";
  // The datagrams that came during the pause were handled after the step, in order.
  const Clock::time_point first = logged_at("ID zprávy: 80");
  const Clock::time_point second = logged_at("ID zprávy: 81");
  EXPECT_GT(first, digest_at);
  EXPECT_LT(first, second);
  EXPECT_TRUE(errors_.messages.empty());
}

TEST_F(WindowsTest, ClosingDuringAPauseEndsTheProgramOnceTheStepIsDone) {
  PacingForTest pacing(400);
  testing::RawUdp bank(2001);
  ASSERT_TRUE(bank.Bound());
  WalletWindows& w = Start();
  Clock::time_point ok_at;
  const bool quit = RunsUntilQuit([&] {
    QTimer::singleShot(100, &w.mainWindow(), [&] { w.mainWindow().close(); });
    ok_at = Clock::now();
    w.dialog().okButton->click();  // the announcement waits 400 ms; the close comes in between
  });
  const Clock::time_point ended_at = Clock::now();
  EXPECT_TRUE(quit);
  // The step finished: its datagram left after the full pause, and only then did the program end.
  const std::optional<std::string> announce = bank.Receive(0);
  ASSERT_TRUE(announce.has_value());
  EXPECT_EQ(testing::FrameId(*announce), 99);
  EXPECT_GE(ended_at - ok_at, std::chrono::milliseconds(400));
  EXPECT_FALSE(w.mainWindow().isVisible());
  EXPECT_FALSE(w.dialog().isVisible());
}

// The status texts with the seconds replaced by N and repeats folded.
class StatusHistory {
 public:
  explicit StatusHistory(StatusLine& status) {
    QObject::connect(&status, &StatusLine::textChanged, &status, [this](const QString& text) {
      QString plain = text;
      plain.replace(QRegularExpression(QStringLiteral("\\d+ s")), QStringLiteral("N s"));
      if (texts.isEmpty() || texts.back() != plain) texts << plain;
    });
  }
  QStringList texts;
};

TEST_F(WindowsTest, StatusLineSaysWhatTheWalletWaitsForAsTheStepsGo) {
  testing::RawUdp bank(2001);
  ASSERT_TRUE(bank.Bound());
  WalletWindows& w = Start();
  MainWindow& main = w.mainWindow();
  StatusHistory history(main.Status());
  main.Status().SetUnreachableAfterMs(300);
  const auto await_bank = [&] {
    std::optional<std::string> got;
    testing::ProcessEventsUntil(
        [&] {
          if (!got) got = bank.Receive(0);
          return got.has_value();
        },
        5000);
    return got.value_or("");
  };

  w.dialog().okButton->click();
  ASSERT_EQ(testing::FrameId(await_bank()), 99);
  // The bank stays silent: after a while the line says it may be unreachable.
  EXPECT_TRUE(testing::ProcessEventsUntil(
      [&] { return main.statusLabel->text().contains(U("Banka možná není dostupná")); }));
  EXPECT_TRUE(QRegularExpression(U("^Čekám na odpověď banky… \\d+ s\\. Banka možná není dostupná; "
                                   "okno můžete zavřít\\.$"))
                  .match(main.statusLabel->text())
                  .hasMatch())
      << main.statusLabel->text().toStdString();
  main.Status().SetUnreachableAfterMs(StatusLine::kDefaultUnreachableAfterMs);

  // The bank answers: its key, the balance, the list of payments.
  bank.SendTo(2000, BuildPlainFrame(testing::PeerKeys(testing::kBankRole).public_key, 98));
  const std::string key =
      testing::OpenKeyFrame(await_bank(), testing::PeerKeys(testing::kBankRole));
  ASSERT_EQ(testing::FrameId(await_bank()), 1);
  bank.SendTo(2000, testing::SealForWallet("10000", 2, key));
  ASSERT_EQ(testing::FrameId(await_bank()), 13);
  EXPECT_TRUE(main.statusLabel->text().startsWith(U("Čekám na odpověď banky… ")));
  bank.SendTo(2000, testing::SealForWallet("Zadne platby", 13, key));
  EXPECT_TRUE(testing::ProcessEventsUntil([&] { return main.Session()->ConnectionEnded(); }));

  const QStringList expected = {
      U("Odesílám zprávu bance…"),
      U("Čekám na odpověď banky… N s"),
      U("Čekám na odpověď banky… N s. Banka možná není dostupná; okno můžete zavřít."),
      U("Čekám na odpověď banky… N s"),  // the key came
      U("Odesílám zprávu bance…"),       // 89, the wait and 1
      U("Čekám na odpověď banky… N s"),
      U("Odesílám zprávu bance…"),  // 13 after the balance
      U("Čekám na odpověď banky… N s"),
      U("Spojení skončilo; okno můžete zavřít."),
  };
  EXPECT_EQ(history.texts, expected);
  EXPECT_EQ(main.balanceLabel->text(), U("10000 Kč"));
}

TEST_F(WindowsTest, StatusLineNamesEachPeerAndTheLaterStages) {
  QLabel label;
  StatusLine status(label);
  EXPECT_EQ(label.text(), U(""));
  const std::pair<std::function<void()>, const char*> steps[] = {
      {[&] { status.Sending(2003); }, "Odesílám zprávu platební bráně…"},
      {[&] { status.Sent(2003, 99); }, "Čekám na odpověď platební brány… 0 s"},
      {[&] { status.Sending(2004); }, "Odesílám zprávu obchodníkovi…"},
      {[&] { status.Sent(2004, 89); }, "Odesílám zprávu obchodníkovi…"},  // the keyed one follows
      {[&] { status.Sent(2004, 99); }, "Čekám na odpověď obchodníka… 0 s"},
      {[&] { status.Sent(2004, 79); }, "Čekám na potvrzení platby… 0 s"},
      {[&] { status.Received(10); }, "Čekám na závěrečné zprávy… 0 s"},
      {[&] { status.SendFailed(2001); }, "Zprávu bance se nepodařilo odeslat; okno můžete zavřít."},
      {[&] { status.Ended(); }, "Spojení skončilo; okno můžete zavřít."},
      {[&] { status.Sending(2001); }, "Spojení skončilo; okno můžete zavřít."},
  };
  for (const auto& [step, text] : steps) {
    step();
    EXPECT_EQ(label.text(), U(text));
  }
}

TEST(WalletCommandLineTest, FirstFileCountsLaterOnesAreIgnoredAndUnknownOptionsExplained) {
  using Request = WalletCommandLine::Request;
  struct Case {
    std::vector<std::string> arguments;
    Request request;
    std::string purchase_file;
    std::size_t warnings;
    std::string error;
  };
  const Case cases[] = {
      {{}, Request::kRun, "", 0, ""},
      {{"order.txt"}, Request::kRun, "order.txt", 0, ""},
      {{"order.txt", "second.txt", "third"}, Request::kRun, "order.txt", 2, ""},
      {{"-order.txt"},
       Request::kUsageError,
       "",
       0,
       "Unknown option -order.txt; use ./-order.txt or -- for a file name"},
      {{"--", "-order.txt"}, Request::kRun, "-order.txt", 0, ""},
      {{"--", "--", "x"}, Request::kRun, "--", 1, ""},
      {{"-"}, Request::kRun, "-", 0, ""},
      {{"-style", "fusion", "order.txt"}, Request::kRun, "order.txt", 0, ""},
      {{"--platform=offscreen", "-reverse", "order.txt"}, Request::kRun, "order.txt", 0, ""},
      {{"-style=fusion", "--style", "x", "order.txt"},
       Request::kUsageError,
       "",
       0,
       "option --style given twice"},
      {{"order.txt", "--bogus"},
       Request::kUsageError,
       "",
       0,
       "Unknown option --bogus; use ./--bogus or -- for a file name"},
      {{"--help"}, Request::kHelp, "", 0, ""},
      {{"-v", "order.txt"}, Request::kVersion, "order.txt", 0, ""},
      {{"--help-all"}, Request::kHelpAll, "", 0, ""},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& a : c.arguments)
      joined += a + " ";
    SCOPED_TRACE(joined);
    const WalletCommandLine parsed = ParseWalletCommandLine(c.arguments);
    EXPECT_EQ(parsed.request, c.request);
    EXPECT_EQ(parsed.purchase_file, c.purchase_file);
    EXPECT_EQ(parsed.warnings.size(), c.warnings);
    EXPECT_EQ(parsed.error, c.error);
  }
  EXPECT_EQ(ParseWalletCommandLine({"a", "b"}).warnings,
            std::vector<std::string>{
                "ignoring the extra argument b; only the first names the purchase file"});
}

TEST(WalletProgramTest, UnknownOptionIsOneReadableLineAndStatus2) {
  QProcess wallet;
  wallet.start(QStringLiteral(PELVANE_WALLET_PATH), {QStringLiteral("-order.txt")});
  ASSERT_TRUE(wallet.waitForFinished(20000));
  EXPECT_EQ(wallet.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(wallet.exitCode(), 2);
  EXPECT_EQ(wallet.readAllStandardError().toStdString(),
            "pelvane: Unknown option -order.txt; use ./-order.txt or -- for a file name\n");
  EXPECT_EQ(wallet.readAllStandardOutput().toStdString(), "");
}

}  // namespace
}  // namespace pelvane
