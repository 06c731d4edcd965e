#include "cmdline/password.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "crypto/formats/charset.h"
#include "crypto/input_file.h"

namespace pelvane::cmdline {

namespace {

// The first line of text, without its line break; the rest is wiped.
SecretString FirstLine(SecretString text) {
  const std::size_t end = text.view().find_first_of("\r\n");
  if (end != std::string_view::npos) text.resize(end);
  return text;
}

// Reads fd up to the end of its first line (or its end), at most kSecretFileLimit bytes.
SecretString ReadLine(int fd, const std::string& name) {
  SecretString content;
  char chunk[256];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      SecureWipe(chunk, sizeof chunk);
      throw EPasswordRead("Cannot read " + name + ": " + std::strerror(error));
    }
    if (got == 0) break;
    content.append(std::string_view(chunk, static_cast<std::size_t>(got)));
    // Only the first line counts; stop reading once it is complete.
    if (content.view().find('\n') != std::string_view::npos) break;
    if (content.size() > kSecretFileLimit) {
      SecureWipe(chunk, sizeof chunk);
      throw EPasswordRead("The password on " + name + " is longer than " +
                          DescribeLimit(kSecretFileLimit));
    }
  }
  SecureWipe(chunk, sizeof chunk);
  return content;
}

}  // namespace

SecretString ReadPasswordFile(const std::string& path) {
  SecretString content;
  try {
    content = ReadSecretInput(path, kSecretFileLimit);
  } catch (const Exception& e) {
    throw EPasswordRead(Cp1250ToUtf8(e.Message()));
  }
  if (ReadableByOthers(path)) {
    const std::string shown = EscapeControlBytes(path);
    std::fprintf(stderr,
                 "Warning: the password file %s can be read by other users; "
                 "make it yours alone (chmod 600 %s).\n",
                 shown.c_str(), shown.c_str());
    std::fflush(stderr);
  }
  return FirstLine(std::move(content));
}

SecretString ReadPasswordFromInput(const std::string& prompt) {
  if (!::isatty(STDIN_FILENO)) return FirstLine(ReadLine(STDIN_FILENO, "standard input"));
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  termios saved{};
  const bool have_terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (have_terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  SecretString line;
  try {
    line = ReadLine(STDIN_FILENO, "the terminal");
  } catch (...) {
    if (have_terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    throw;
  }
  if (have_terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  return FirstLine(std::move(line));
}

}  // namespace pelvane::cmdline
