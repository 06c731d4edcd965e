// The one way the programs read a secret: the first line of a file, else from the terminal
// without echo, else the first line of standard input. Never from the command line.
#pragma once

#include <stdexcept>
#include <string>

#include "crypto/secure.h"

namespace pelvane::cmdline {

// A password that could not be read: the file cannot be opened or read, or reading the
// terminal or standard input failed. The message is UTF-8 and names the source.
class EPasswordRead : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The first line of the file at path, without its line break, as the bytes it holds. The file
// must be a regular file of at most 4 KiB (a FIFO or a device is refused at once); what was read
// beyond the line is wiped. A file that other users can read draws a warning on standard error
// naming it.
SecretString ReadPasswordFile(const std::string& path);

// From the terminal without echo (after writing prompt to standard error), or the first line of
// standard input when that is not a terminal; without its line break. A line longer than 4 KiB
// is refused.
SecretString ReadPasswordFromInput(const std::string& prompt);

}  // namespace pelvane::cmdline
