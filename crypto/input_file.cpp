#include "crypto/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "crypto/formats/charset.h"

namespace pelvane {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const noexcept { return fd_; }

 private:
  int fd_;
};

// Reads from fd into out until the end, or until more than limit bytes have come (then false).
// The chunk buffer is wiped: it may hold a secret.
bool ReadUpTo(int fd, std::size_t limit, SecretString& out, const std::string& name) {
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got < 0) {
      const int error = errno;
      SecureWipe(chunk, sizeof chunk);
      throw EInputFile("Cannot read " + name + ": " + std::strerror(error));
    }
    if (got == 0) break;
    out.append(std::string_view(chunk, static_cast<std::size_t>(got)));
    if (out.size() > limit) {
      SecureWipe(chunk, sizeof chunk);
      return false;
    }
  }
  SecureWipe(chunk, sizeof chunk);
  return true;
}

// with_reason: open failures name the system's reason ("Cannot open file F: No such file or
// directory"); without it they stay "Cannot open file F", as the purchase file's message is.
SecretString ReadBounded(const std::string& path, std::size_t limit, bool with_reason) {
  const std::string shown = PathForMessage(path);
  if (path.empty() || path.find('\0') != std::string::npos) {
    throw EInputFile("Cannot open file " + shown);
  }
  // O_NONBLOCK: opening a FIFO with no writer would otherwise wait for one.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  const std::string cannot_open = "Cannot open file " + shown;
  struct stat info {};
  // A folder cannot be opened as a file, as before; other kinds are named.
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || S_ISDIR(info.st_mode)) {
    const int error = file.get() < 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : errno;
    throw EInputFile(with_reason ? cannot_open + ": " + std::strerror(error) : cannot_open);
  }
  if (!S_ISREG(info.st_mode)) throw EInputFile(cannot_open + ": not a regular file");
  const std::string too_large = cannot_open + ": larger than " + DescribeLimit(limit);
  if (info.st_size < 0 || static_cast<unsigned long long>(info.st_size) > limit) {
    throw EInputFile(too_large);
  }
  SecretString content;
  // The file may grow after the check; the read stops past the limit all the same.
  if (!ReadUpTo(file.get(), limit, content, shown)) throw EInputFile(too_large);
  return content;
}

}  // namespace

std::string DescribeLimit(std::size_t limit) {
  if (limit % 1024 == 0) return std::to_string(limit / 1024) + " KiB";
  return std::to_string(limit) + " bytes";
}

std::string PathForMessage(const std::string& path) {
  try {
    return EscapeControlBytes(Utf8ToCp1250(path));
  } catch (const Exception&) {
    std::string shown = path;
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    }
    return EscapeControlBytes(shown);
  }
}

std::string ReadBoundedFile(const std::string& path, std::size_t limit) {
  return ReadBounded(path, limit, false).str();
}

SecretString ReadSecretInput(const std::string& path, std::size_t limit) {
  if (path != "-") return ReadBounded(path, limit, true);
  SecretString content;
  if (!ReadUpTo(STDIN_FILENO, limit, content, "standard input")) {
    throw EInputFile("Standard input is larger than " + DescribeLimit(limit));
  }
  return content;
}

bool ReadableByOthers(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  return (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

}  // namespace pelvane
