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
#include <algorithm>
#include <utility>

#include "app/session/customer.h"
#include "app/session/error_reporter.h"
#include "app/session/purchase_file.h"
#include "app/windows/edge_text.h"
#include "app/windows/main_window.h"

namespace pelvane {
namespace {

// The layout when the texts fit there: captions at x 8, fields at x 80 (width 121), rows 24 px
// apart from y 8; the bank's address top right (field at x 280, width 97); the buttons on the
// right, 137 px wide; a client area of 388 x 111.
constexpr int kMargin = 8;
constexpr int kRowHeight = 21;
constexpr int kRowGap = 3;
constexpr int kCaptionWidth = 70;
constexpr int kCaptionGap = 2;
constexpr int kFieldWidth = 121;
constexpr int kBankFieldOffset = 79;  // from the end of the first column's fields
constexpr int kBankCaptionWidth = 62;
constexpr int kBankFieldWidth = 97;
constexpr int kButtonWidth = 137;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 7;
constexpr int kRightMargin = 11;
constexpr int kBottomMargin = 6;

// Shows every character of a password field as "*", whatever the platform style prefers.
class AsteriskPasswordStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* ret) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, ret);
  }
};

// A field and the caption beside it; screen readers announce the field by its caption.
QLineEdit* MakeField(QWidget* parent, QLabel*& caption, const char* caption_utf8, const char* name,
                     const char* utf8_text) {
  caption = new QLabel(QString::fromUtf8(caption_utf8), parent);
  caption->setTextFormat(Qt::PlainText);
  caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  auto* edit = new QLineEdit(QString::fromUtf8(utf8_text), parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setAccessibleName(caption->text());
  caption->setBuddy(edit);
  return edit;
}

}  // namespace

IdentificationDialog::IdentificationDialog(std::string first_argument, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      first_argument_(std::move(first_argument)) {
  setObjectName(QStringLiteral("identificationDialog"));
  setWindowTitle(QString::fromUtf8("Identifikace uživatele"));

  firstNameEdit = MakeField(this, firstNameCaption, "Jméno", "firstNameEdit", "Jan");
  surnameEdit = MakeField(this, surnameCaption, "Příjmení", "surnameEdit", "Novák");
  birthNumberEdit =
      MakeField(this, birthNumberCaption, "Rodné číslo", "birthNumberEdit", "750101/1234");
  passwordEdit = MakeField(this, passwordCaption, "Heslo", "passwordEdit", "");
  passwordEdit->setEchoMode(QLineEdit::Password);
  auto* password_style = new AsteriskPasswordStyle;
  password_style->setParent(passwordEdit);
  passwordEdit->setStyle(password_style);
  bankAddressEdit =
      MakeField(this, bankAddressCaption, "URL Banky", "bankAddressEdit", "127.0.0.1");

  okButton = new QPushButton(QStringLiteral("OK"), this);
  okButton->setObjectName(QStringLiteral("okButton"));
  okButton->setAccessibleName(okButton->text());
  okButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  okButton->setDefault(true);
  cancelButton = new QPushButton(QString::fromUtf8("Zrušit"), this);
  cancelButton->setObjectName(QStringLiteral("cancelButton"));
  cancelButton->setAccessibleName(cancelButton->text());
  cancelButton->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
  // While "Zrušit" has the focus, Enter presses it (as on any focused button); in every field
  // Enter presses OK.
  cancelButton->setAutoDefault(true);
  layOut();

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
    // The digest is made: the password has no business staying in the field for the run.
    passwordEdit->clear();
    setWindowTitle(windowTitle() + QString::fromUtf8(" - Čekejte prosím..."));
    // The main window's first showing starts the session before show() returns.
    if (main_window_ != nullptr) main_window_->show();
    hide();
  });
}

void IdentificationDialog::onCancelClicked() {
  GuardHandler([this] { close(); });
}

void IdentificationDialog::layOut() {
  // Every caption gets the width its text needs; the fields and buttons move right and the dialog
  // grows only as far as that needs, so at the usual font the layout is the one above.
  const int row_height = std::max(kRowHeight, fontMetrics().height() + 7);
  const int row_pitch = row_height + kRowGap;
  QLabel* const left_captions[] = {firstNameCaption, surnameCaption, birthNumberCaption,
                                   passwordCaption};
  QLineEdit* const left_fields[] = {firstNameEdit, surnameEdit, birthNumberEdit, passwordEdit};
  int caption_width = kCaptionWidth;
  for (const QLabel* caption : left_captions)
    caption_width = std::max(caption_width, caption->sizeHint().width());
  const int field_x = kMargin + caption_width + kCaptionGap;
  for (int row = 0; row < 4; ++row) {
    const int y = kMargin + row * row_pitch;
    left_captions[row]->setGeometry(kMargin, y, caption_width, row_height);
    left_fields[row]->setGeometry(field_x, y, kFieldWidth, row_height);
  }

  // The bank's field keeps its place while its caption fits in front of it, right-aligned to it.
  const int first_column_end = field_x + kFieldWidth;
  const int bank_caption_width =
      std::max(kBankCaptionWidth, bankAddressCaption->sizeHint().width());
  const int bank_field_x = std::max(first_column_end + kBankFieldOffset,
                                    first_column_end + kMargin + bank_caption_width + kCaptionGap);
  bankAddressCaption->setGeometry(bank_field_x - kCaptionGap - bank_caption_width, kMargin,
                                  bank_caption_width, row_height);
  bankAddressEdit->setGeometry(bank_field_x, kMargin, kBankFieldWidth, row_height);
  const int right = bank_field_x + kBankFieldWidth;

  // The buttons stand right-aligned under the bank's field, "Zrušit" on the last row.
  const int button_width =
      std::max({kButtonWidth, okButton->sizeHint().width(), cancelButton->sizeHint().width()});
  const int button_height =
      std::max({kButtonHeight, okButton->sizeHint().height(), cancelButton->sizeHint().height()});
  const int last_row_y = kMargin + 3 * row_pitch;
  const int ok_y = std::max(last_row_y - button_height - kButtonGap, kMargin + row_pitch + kMargin);
  const int cancel_y = std::max(last_row_y, ok_y + button_height + kButtonGap);
  okButton->setGeometry(right - button_width, ok_y, button_width, button_height);
  cancelButton->setGeometry(right - button_width, cancel_y, button_width, button_height);

  const int bottom = std::max(last_row_y + row_height, cancel_y + button_height);
  setFixedSize(right + kRightMargin, bottom + kBottomMargin);
}

void IdentificationDialog::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // Laid out again once the widgets exist (the constructor lays them out first).
  if (cancelButton != nullptr &&
      (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)) {
    layOut();
  }
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
