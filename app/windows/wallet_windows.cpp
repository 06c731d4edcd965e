#include "app/windows/wallet_windows.h"

namespace pelvane {

WalletWindows::WalletWindows(const std::string& first_argument) {
  form2_ = std::make_unique<TForm2>(first_argument);
  form2_->show();
  form1_ = std::make_unique<TForm1>();
  form2_->SetMainWindow(form1_.get());
  form1_->SetDialog(form2_.get());
}

WalletWindows::~WalletWindows() {
  form2_->SetMainWindow(nullptr);
  form1_.reset();
  form2_.reset();
}

}  // namespace pelvane
