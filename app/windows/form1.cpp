#include "app/windows/form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/session/customer.h"
#include "app/session/error_reporter.h"
#include "app/windows/edge_text.h"
#include "app/windows/form2.h"

namespace pelvane {
namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const char* utf8, int x, int y, int width,
                  bool value) {
  auto* label = new QLabel(QString::fromUtf8(utf8), parent);
  label->setTextFormat(Qt::PlainText);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(x, y, width, 16);
  if (value) {
    QFont font = label->font();
    font.setBold(true);
    font.setPixelSize(13);
    label->setFont(font);
  }
  return label;
}

QFont LogFont() {
  const QString courier = QStringLiteral("Courier New");
  QFont font = QFontDatabase::families().contains(courier)
                   ? QFont(courier)
                   : QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSize(9);
  return font;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Pelvane"));
  resize(544, 375);

  GroupBox1 = new QGroupBox(QString::fromUtf8(" Uživatel "), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setFixedHeight(65);
  Label1 = MakeLabel(GroupBox1, "Label1", "Jméno", 8, 16, 190, false);
  Label2 = MakeLabel(GroupBox1, "Label2", "Rodné číslo", 208, 16, 180, false);
  Label3 = MakeLabel(GroupBox1, "Label3", "Stav účtu", 400, 16, 136, false);
  Label4 = MakeLabel(GroupBox1, "Label4", "", 8, 32, 196, true);
  Label5 = MakeLabel(GroupBox1, "Label5", "", 208, 32, 188, true);
  Label6 = MakeLabel(GroupBox1, "Label6", "", 400, 32, 136, true);

  GroupBox2 = new QGroupBox(QStringLiteral(" Akce "), this);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  Memo1 = new QPlainTextEdit(GroupBox2);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setFont(LogFont());
  auto* memo_layout = new QVBoxLayout(GroupBox2);
  memo_layout->setContentsMargins(4, 4, 4, 4);
  memo_layout->addWidget(Memo1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(GroupBox1);
  layout->addWidget(GroupBox2, 1);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  GuardHandler([this] { FormCreate(); });
  GuardHandler([this] { OpenUDPSocket1(); });
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
  // The session first: a failing alias must not leave the window without its protocol.
  session_ = std::make_unique<WalletSession>(*this, *this, ProcessErrorReporter());
  RegisterTemporaryAlias(Session1, ProgramDirectory());
}

void TForm1::OpenUDPSocket1() {
  UDPSocket1 = std::make_unique<TUDPSocket>();
  OpenWalletReceiver(*UDPSocket1,
                     [this](TUDPSocket& sender, int NumberBytes, const std::string& FromIP) {
                       UDPSocket1DataReceived(sender, NumberBytes, FromIP);
                     });
}

void TForm1::UDPSocket1DataReceived(TUDPSocket& sender, int NumberBytes,
                                    const std::string& FromIP) {
  if (session_) session_->ReceiveFrom(sender, NumberBytes, FromIP);
}

void TForm1::AppendLine(std::string_view line) {
  QString text = Cp1250ToQString(line);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar(u'\r'), QChar(u'\n'));
  Memo1->appendPlainText(text);
}

void TForm1::SetLabel(WalletLabel label, std::string_view text) {
  QLabel* target = label == WalletLabel::kName          ? Label4
                   : label == WalletLabel::kBirthNumber ? Label5
                                                        : Label6;
  target->setText(Cp1250ToQString(text));
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The session starts once, at the first showing; restoring the window later starts nothing.
  if (shown_) return;
  shown_ = true;
  GuardHandler([this] { FormShow(); });
}

void TForm1::FormShow() {
  // The customer the dialog accepted, and the purchase of this run.
  if (session_) session_->Start(ExchangeFromProgramState());
}

void TForm1::closeEvent(QCloseEvent* event) {
  event->accept();  // the window hides; ending the program is the dialog's business
  GuardHandler([this] { FormClose(); });
}

void TForm1::FormClose() {
  if (dialog_ != nullptr) {
    dialog_->close();
  } else {
    QCoreApplication::quit();
  }
}

}  // namespace pelvane
