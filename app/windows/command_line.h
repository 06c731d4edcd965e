// The windowed wallet's command line. The first argument that is not an option names the purchase
// description file; later ones are ignored with a warning. "--" ends the options. The windowing
// system's own options (-platform NAME, -style NAME, -reverse, ...) are left to the application
// object, which removes them itself.
#pragma once

#include <string>
#include <vector>

namespace pelvane {

struct WalletCommandLine {
  enum class Request { kRun, kHelp, kHelpAll, kVersion, kUsageError };
  Request request = Request::kRun;
  // The purchase file's name as given (bytes), empty without one.
  std::string purchase_file;
  // One line per ignored argument, for standard error.
  std::vector<std::string> warnings;
  // The usage error, one line, when request is kUsageError.
  std::string error;
};

// Reads the arguments that follow the program's name.
WalletCommandLine ParseWalletCommandLine(const std::vector<std::string>& arguments);

// The line for an option nobody knows: it may be a file name that begins with "-".
std::string UnknownOptionLine(const std::string& option);

}  // namespace pelvane
