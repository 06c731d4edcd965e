#include "cmdline/password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "crypto/secure.h"

namespace pelvane::cmdline {

namespace {

// The first line of text, without its line break; the rest is wiped.
std::string FirstLine(std::string text) {
  const std::size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) {
    SecureWipe(text.data() + end, text.size() - end);
    text.resize(end);
  }
  return text;
}

std::string ReadAll(int fd, const std::string& name) {
  std::string content;
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      SecureWipe(chunk, sizeof chunk);
      SecureWipe(content);
      throw EPasswordRead("Cannot read " + name + ": " + std::strerror(error));
    }
    if (got == 0) break;
    // Growing the text must not leave copies of the secret behind.
    if (content.size() + static_cast<std::size_t>(got) > content.capacity()) {
      std::string larger;
      larger.reserve(2 * (content.size() + static_cast<std::size_t>(got)));
      larger = content;
      SecureWipe(content);
      content.swap(larger);
    }
    content.append(chunk, static_cast<std::size_t>(got));
    // Only the first line counts; stop reading once it is complete.
    if (content.find('\n') != std::string::npos) break;
  }
  SecureWipe(chunk, sizeof chunk);
  return content;
}

}  // namespace

std::string ReadPasswordFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EPasswordRead("Cannot open file " + path + ": " + std::strerror(errno));
  std::string content;
  try {
    content = ReadAll(fd, path);
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  return FirstLine(std::move(content));
}

std::string ReadPasswordFromInput(const std::string& prompt) {
  if (!::isatty(STDIN_FILENO)) return FirstLine(ReadAll(STDIN_FILENO, "standard input"));
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
  std::string line;
  try {
    line = ReadAll(STDIN_FILENO, "the terminal");
  } catch (...) {
    if (have_terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    throw;
  }
  if (have_terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  return FirstLine(std::move(line));
}

}  // namespace pelvane::cmdline
