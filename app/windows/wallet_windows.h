// The program's two windows in their start-up order: the identification dialog first (it is the
// main form, and closing it ends the program), then the main window, hidden. Destroyed in reverse
// order: the main window first, then the dialog, which frees the purchase buffer.
#pragma once

#include <memory>
#include <string>

#include "app/windows/form1.h"
#include "app/windows/form2.h"

namespace pelvane {

class WalletWindows {
 public:
  // Creates both windows (running their FormCreate) and shows the dialog. Failures inside the
  // FormCreate handlers are reported through the installed error reporter.
  explicit WalletWindows(const std::string& first_argument);
  ~WalletWindows();
  WalletWindows(const WalletWindows&) = delete;
  WalletWindows& operator=(const WalletWindows&) = delete;

  TForm2& Form2() noexcept { return *form2_; }
  TForm1& Form1() noexcept { return *form1_; }

 private:
  std::unique_ptr<TForm2> form2_;
  std::unique_ptr<TForm1> form1_;
};

}  // namespace pelvane
