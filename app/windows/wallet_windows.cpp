#include "app/windows/wallet_windows.h"

#include <QApplication>

namespace pelvane {

WalletWindows::WalletWindows(const std::string& first_argument) {
  dialog_ = std::make_unique<IdentificationDialog>(first_argument);
  main_window_ = std::make_unique<MainWindow>();
  dialog_->SetMainWindow(main_window_.get());
  main_window_->SetDialog(dialog_.get());
  pause_ = std::make_unique<ScopedPaintingPause>(main_window_->receiver.get());
  // Without its port the wallet cannot take part in an exchange: the dialog is not offered.
  if (main_window_->Receiving()) dialog_->show();
}

WalletWindows::~WalletWindows() {
  pause_.reset();
  dialog_->SetMainWindow(nullptr);
  main_window_.reset();
  dialog_.reset();
}

int RunWalletWindows(const std::string& first_argument,
                     const std::function<void(WalletWindows&)>& before_loop) {
  WalletWindows windows(first_argument);
  if (!windows.mainWindow().Receiving()) return kExitCannotReceive;
  if (before_loop) before_loop(windows);
  return QApplication::exec();
}

}  // namespace pelvane
