// The program's two windows in their start-up order: the identification dialog first (it is the
// main form, and closing it ends the program), then the main window, hidden. Destroyed in reverse
// order: the main window first, then the dialog, which frees the purchase buffer. While they
// exist, every pause keeps them painting (painting_pause.h).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/windows/identification_dialog.h"
#include "app/windows/main_window.h"
#include "app/windows/painting_pause.h"

namespace pelvane {

class WalletWindows {
 public:
  // Creates both windows and, when the main window receives on port 2000, shows the dialog.
  // Failures while the windows set themselves up (loading the purchase file, the alias, the
  // receiver) are reported through the installed error reporter.
  explicit WalletWindows(const std::string& first_argument);
  ~WalletWindows();
  WalletWindows(const WalletWindows&) = delete;
  WalletWindows& operator=(const WalletWindows&) = delete;

  IdentificationDialog& dialog() noexcept { return *dialog_; }
  MainWindow& mainWindow() noexcept { return *main_window_; }

 private:
  std::unique_ptr<IdentificationDialog> dialog_;
  std::unique_ptr<MainWindow> main_window_;
  std::unique_ptr<ScopedPaintingPause> pause_;
};

// The exit status when the wallet cannot receive on port 2000.
inline constexpr int kExitCannotReceive = 1;

// Runs the windowed wallet with the application object already made: creates the windows, runs
// the event loop until the program ends and returns its exit status. When port 2000 is held by
// another program the error box has said so and the wallet ends with kExitCannotReceive at once,
// before anything could be sent: a wallet that cannot receive must not start an exchange whose
// answers would go to the other program. before_loop, when given, runs just before the loop.
int RunWalletWindows(const std::string& first_argument,
                     const std::function<void(WalletWindows&)>& before_loop = {});

}  // namespace pelvane
