// The identification dialog. The customer enters his name, birth number, password and
// his bank's address; OK computes the customer digest, shows the main window and hides the dialog
// for the rest of the run. The dialog is the program's main form: closing it ends the program.
#pragma once

#include <QDialog>
#include <string>

class QCloseEvent;
class QEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pelvane {

class MainWindow;

class IdentificationDialog final : public QDialog {
  Q_OBJECT

 public:
  // Builds the dialog and loads the purchase file named by first_argument, when it is not empty;
  // a failure shows an error box and the dialog is still created.
  explicit IdentificationDialog(std::string first_argument, QWidget* parent = nullptr);
  // Frees the purchase buffer.
  ~IdentificationDialog() override;

  // The main window that OK shows. Not owned.
  void SetMainWindow(MainWindow* main_window) noexcept { main_window_ = main_window; }

  // OK: digest, customer globals, caption suffix, main window shown, dialog hidden.
  void onOkClicked();
  // "Zrušit": closes the dialog, which ends the program.
  void onCancelClicked();

  QLineEdit* firstNameEdit;
  QLineEdit* surnameEdit;
  QLineEdit* birthNumberEdit;
  QLineEdit* passwordEdit;  // shown as "*"
  QLineEdit* bankAddressEdit;
  QLabel* firstNameCaption;  // the captions beside the fields
  QLabel* surnameCaption;
  QLabel* birthNumberCaption;
  QLabel* passwordCaption;
  QLabel* bankAddressCaption;
  QPushButton* okButton;
  QPushButton* cancelButton = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Places captions, fields and buttons so that every text fits.
  void layOut();
  void loadPurchase();
  void freePurchase() noexcept;

  std::string first_argument_;
  MainWindow* main_window_ = nullptr;
};

}  // namespace pelvane
