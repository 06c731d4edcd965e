#include "app/windows/wallet_windows.h"

namespace pelvane {

WalletWindows::WalletWindows(const std::string& first_argument) {
  dialog_ = std::make_unique<IdentificationDialog>(first_argument);
  dialog_->show();
  main_window_ = std::make_unique<MainWindow>();
  dialog_->SetMainWindow(main_window_.get());
  main_window_->SetDialog(dialog_.get());
}

WalletWindows::~WalletWindows() {
  dialog_->SetMainWindow(nullptr);
  main_window_.reset();
  dialog_.reset();
}

}  // namespace pelvane
