// The one way the programs read a secret: the first line of a file, else from the terminal
// without echo, else the first line of standard input. Never from the command line.
#pragma once

#include <stdexcept>
#include <string>

namespace pelvane::cmdline {

// A password that could not be read: the file cannot be opened or read, or reading the
// terminal or standard input failed. The message is UTF-8 and names the source.
class EPasswordRead : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The first line of the file at path, without its line break, as the bytes it holds. Reading
// stops at the first line feed; what was read beyond the line is wiped.
std::string ReadPasswordFile(const std::string& path);

// From the terminal without echo (after writing prompt to standard error), or the first line of
// standard input when that is not a terminal; without its line break.
std::string ReadPasswordFromInput(const std::string& prompt);

}  // namespace pelvane::cmdline
