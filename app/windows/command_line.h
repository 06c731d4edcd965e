// The windowed wallet's command line, read with the option parser the other programs use
// (cmdline/options.h). The first argument that is not an option names the purchase description
// file; later ones are ignored with a warning. "--" ends the options. The windowing system's own
// options (-platform NAME, -style NAME, -reverse, ...) are accepted and left to the application
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
  // The usage error, one line, when request is kUsageError (for an unknown option it suggests
  // ./FILE or -- for a file name that begins with "-").
  std::string error;
};

// Reads the arguments that follow the program's name.
WalletCommandLine ParseWalletCommandLine(const std::vector<std::string>& arguments);

}  // namespace pelvane
