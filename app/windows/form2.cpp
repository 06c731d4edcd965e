#include "app/windows/form2.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <utility>

#include "app/session/customer.h"
#include "app/session/error_reporter.h"
#include "app/session/purchase_file.h"
#include "app/windows/edge_text.h"
#include "app/windows/form1.h"

namespace pelvane {
namespace {

constexpr int kRowHeight = 21;

// Shows every character of a password field as "*", whatever the platform style prefers.
class AsteriskPasswordStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* ret) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, ret);
  }
};

QLabel* MakeLabel(QWidget* parent, const char* utf8, int x, int y, int width) {
  auto* label = new QLabel(QString::fromUtf8(utf8), parent);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(x, y, width, kRowHeight);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const char* utf8_text, int x, int y,
                    int width) {
  auto* edit = new QLineEdit(QString::fromUtf8(utf8_text), parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(x, y, width, kRowHeight);
  return edit;
}

}  // namespace

TForm2::TForm2(std::string first_argument, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      first_argument_(std::move(first_argument)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QString::fromUtf8("Identifikace uživatele"));
  setFixedSize(388, 111);

  MakeLabel(this, "Jméno", 8, 8, 70);
  MakeLabel(this, "Příjmení", 8, 32, 70);
  MakeLabel(this, "Rodné číslo", 8, 56, 70);
  MakeLabel(this, "Heslo", 8, 80, 70);
  MakeLabel(this, "URL Banky", 216, 8, 62);

  Edit1 = MakeEdit(this, "Edit1", "Jan", 80, 8, 121);
  Edit2 = MakeEdit(this, "Edit2", "Novák", 80, 32, 121);
  Edit3 = MakeEdit(this, "Edit3", "750101/1234", 80, 56, 121);
  Edit6 = MakeEdit(this, "Edit6", "", 80, 80, 121);
  Edit6->setEchoMode(QLineEdit::Password);
  auto* password_style = new AsteriskPasswordStyle;
  password_style->setParent(Edit6);
  Edit6->setStyle(password_style);
  Edit5 = MakeEdit(this, "Edit5", "127.0.0.1", 280, 8, 97);

  BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  BitBtn1->setGeometry(240, 48, 137, 25);
  BitBtn1->setDefault(true);
  BitBtn2 = new QPushButton(QString::fromUtf8("Zrušit"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
  BitBtn2->setGeometry(240, 80, 137, 25);
  // While "Zrušit" has the focus, Enter presses it (as on any focused button); in every field
  // Enter presses OK.
  BitBtn2->setAutoDefault(true);

  QWidget* order[] = {Edit1, Edit2, Edit3, Edit6, Edit5, BitBtn1, BitBtn2};
  for (QWidget* w : order)
    w->setFocusPolicy(Qt::StrongFocus);
  for (std::size_t i = 0; i + 1 < std::size(order); ++i)
    setTabOrder(order[i], order[i + 1]);
  Edit1->setFocus();

  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  GuardHandler([this] { FormCreate(); });
}

TForm2::~TForm2() {
  FormDestroy();
}

void TForm2::FormCreate() {
  LoadPurchaseFile(first_argument_);
}

void TForm2::FormDestroy() noexcept {
  if (!first_argument_.empty()) FreePurchaseFile();
}

void TForm2::BitBtn1Click() {
  GuardHandler([this] {
    const Identification id = IdentificationFromUtf8(
        QStringToUtf8(Edit1->text()), QStringToUtf8(Edit2->text()), QStringToUtf8(Edit3->text()),
        QStringToUtf8(Edit6->text()), QStringToUtf8(Edit5->text()));
    AcceptIdentification(id);
    // The digest is made: the password has no business staying in the field for the whole run.
    Edit6->clear();
    setWindowTitle(windowTitle() + QString::fromUtf8(" - Čekejte prosím..."));
    // The main window's first showing starts the session before show() returns.
    if (main_window_ != nullptr) main_window_->show();
    hide();
  });
}

void TForm2::BitBtn2Click() {
  GuardHandler([this] { close(); });
}

void TForm2::keyPressEvent(QKeyEvent* event) {
  // Escape is not bound to any button: it does nothing (and must not close the dialog).
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TForm2::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  if (event->isAccepted()) QCoreApplication::quit();
}

}  // namespace pelvane
