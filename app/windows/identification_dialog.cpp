#include "app/windows/identification_dialog.h"

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
#include "app/windows/main_window.h"

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

IdentificationDialog::IdentificationDialog(std::string first_argument, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      first_argument_(std::move(first_argument)) {
  setObjectName(QStringLiteral("identificationDialog"));
  setWindowTitle(QString::fromUtf8("Identifikace uživatele"));
  setFixedSize(388, 111);

  MakeLabel(this, "Jméno", 8, 8, 70);
  MakeLabel(this, "Příjmení", 8, 32, 70);
  MakeLabel(this, "Rodné číslo", 8, 56, 70);
  MakeLabel(this, "Heslo", 8, 80, 70);
  MakeLabel(this, "URL Banky", 216, 8, 62);

  firstNameEdit = MakeEdit(this, "firstNameEdit", "Jan", 80, 8, 121);
  surnameEdit = MakeEdit(this, "surnameEdit", "Novák", 80, 32, 121);
  birthNumberEdit = MakeEdit(this, "birthNumberEdit", "750101/1234", 80, 56, 121);
  passwordEdit = MakeEdit(this, "passwordEdit", "", 80, 80, 121);
  passwordEdit->setEchoMode(QLineEdit::Password);
  auto* password_style = new AsteriskPasswordStyle;
  password_style->setParent(passwordEdit);
  passwordEdit->setStyle(password_style);
  bankAddressEdit = MakeEdit(this, "bankAddressEdit", "127.0.0.1", 280, 8, 97);

  okButton = new QPushButton(QStringLiteral("OK"), this);
  okButton->setObjectName(QStringLiteral("okButton"));
  okButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  okButton->setGeometry(240, 48, 137, 25);
  okButton->setDefault(true);
  cancelButton = new QPushButton(QString::fromUtf8("Zrušit"), this);
  cancelButton->setObjectName(QStringLiteral("cancelButton"));
  cancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
  cancelButton->setGeometry(240, 80, 137, 25);
  // While "Zrušit" has the focus, Enter presses it (as on any focused button); in every field
  // Enter presses OK.
  cancelButton->setAutoDefault(true);

  QWidget* order[] = {firstNameEdit,   surnameEdit, birthNumberEdit, passwordEdit,
                      bankAddressEdit, okButton,    cancelButton};
  for (QWidget* w : order)
    w->setFocusPolicy(Qt::StrongFocus);
  for (std::size_t i = 0; i + 1 < std::size(order); ++i)
    setTabOrder(order[i], order[i + 1]);
  firstNameEdit->setFocus();

  connect(okButton, &QPushButton::clicked, this, [this] { onOkClicked(); });
  connect(cancelButton, &QPushButton::clicked, this, [this] { onCancelClicked(); });

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  GuardHandler([this] { loadPurchase(); });
}

IdentificationDialog::~IdentificationDialog() {
  freePurchase();
}

void IdentificationDialog::loadPurchase() {
  LoadPurchaseFile(first_argument_);
}

void IdentificationDialog::freePurchase() noexcept {
  if (!first_argument_.empty()) FreePurchaseFile();
}

void IdentificationDialog::onOkClicked() {
  GuardHandler([this] {
    const Identification id = IdentificationFromUtf8(
        QStringToUtf8(firstNameEdit->text()), QStringToUtf8(surnameEdit->text()),
        QStringToUtf8(birthNumberEdit->text()), QStringToUtf8(passwordEdit->text()),
        QStringToUtf8(bankAddressEdit->text()));
    AcceptIdentification(id);
    setWindowTitle(windowTitle() + QString::fromUtf8(" - Čekejte prosím..."));
    // The main window's first showing starts the session before show() returns.
    if (main_window_ != nullptr) main_window_->show();
    hide();
  });
}

void IdentificationDialog::onCancelClicked() {
  GuardHandler([this] { close(); });
}

void IdentificationDialog::keyPressEvent(QKeyEvent* event) {
  // Escape is not bound to any button: it does nothing (and must not close the dialog).
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void IdentificationDialog::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  if (event->isAccepted()) QCoreApplication::quit();
}

}  // namespace pelvane
