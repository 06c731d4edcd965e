// TForm2: the identification dialog. The customer enters his name, birth number, password and
// his bank's address; OK computes the customer digest, shows the main window and hides the dialog
// for the rest of the run. The dialog is the program's main form: closing it ends the program.
#pragma once

#include <QDialog>
#include <string>

class QCloseEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pelvane {

class TForm1;

class TForm2 final : public QDialog {
  Q_OBJECT

 public:
  // Builds the dialog and runs FormCreate (loads the purchase file named by first_argument, when
  // it is not empty; a failure shows an error box and the dialog is still created).
  explicit TForm2(std::string first_argument, QWidget* parent = nullptr);
  // Runs FormDestroy: frees the purchase buffer.
  ~TForm2() override;

  // The main window that OK shows. Not owned.
  void SetMainWindow(TForm1* main_window) noexcept { main_window_ = main_window; }

  // OK: digest, customer globals, caption suffix, main window shown, dialog hidden.
  void BitBtn1Click();
  // "Zrušit": closes the dialog, which ends the program.
  void BitBtn2Click();

  QLineEdit* Edit1;  // first name
  QLineEdit* Edit2;  // surname
  QLineEdit* Edit3;  // birth number
  QLineEdit* Edit6;  // password, shown as "*"
  QLineEdit* Edit5;  // bank address
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void FormDestroy() noexcept;

  std::string first_argument_;
  TForm1* main_window_ = nullptr;
};

}  // namespace pelvane
