// The program's two windows in their start-up order: the identification dialog first (it is the
// main form, and closing it ends the program), then the main window, hidden. Destroyed in reverse
// order: the main window first, then the dialog, which frees the purchase buffer.
#pragma once

#include <memory>
#include <string>

#include "app/windows/identification_dialog.h"
#include "app/windows/main_window.h"

namespace pelvane {

class WalletWindows {
 public:
  // Creates both windows and shows the dialog. Failures while the windows set themselves up
  // (loading the purchase file, the alias, the receiver) are reported through the installed error
  // reporter.
  explicit WalletWindows(const std::string& first_argument);
  ~WalletWindows();
  WalletWindows(const WalletWindows&) = delete;
  WalletWindows& operator=(const WalletWindows&) = delete;

  IdentificationDialog& dialog() noexcept { return *dialog_; }
  MainWindow& mainWindow() noexcept { return *main_window_; }

 private:
  std::unique_ptr<IdentificationDialog> dialog_;
  std::unique_ptr<MainWindow> main_window_;
};

}  // namespace pelvane
