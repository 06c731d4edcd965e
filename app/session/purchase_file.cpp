#include "app/session/purchase_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "app/session/conversion.h"
#include "crypto/formats/charset.h"
#include "protocol/order.h"

namespace pelvane {

std::unique_ptr<PurchaseBuffer> PurchaseFile;

std::vector<std::string> SplitLines(std::string_view text) {
  const std::size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t stop = text.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, stop - start));
    if (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') ++stop;
    start = stop + 1;
  }
  return lines;
}

std::string ExtractHost(std::string_view url) {
  std::string_view rest;
  if (const std::size_t scheme = url.find("://"); scheme != std::string_view::npos) {
    rest = url.substr(scheme + 3);
  } else if (url.size() > 7) {
    rest = url.substr(7);
  }
  // The authority ends at the path, query or fragment.
  rest = rest.substr(0, rest.find_first_of("/?#"));
  if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
    rest = rest.substr(at + 1);
  }
  if (!rest.empty() && rest.front() == '[') {
    const std::size_t close = rest.find(']');
    if (close != std::string_view::npos) return std::string(rest.substr(1, close - 1));
  }
  return std::string(rest.substr(0, rest.find(':')));
}

namespace {

// The path as a message names it: Windows-1250 where it converts, otherwise with every byte
// outside ASCII shown as "?".
std::string PathForMessage(const std::string& path) {
  try {
    return Utf8ToCp1250(path);
  } catch (const Exception&) {
    std::string shown = path;
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    }
    return shown;
  }
}

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

}  // namespace

void PurchaseBuffer::LoadFromFile(const std::string& path) {
  bytes_.clear();
  const auto fail = [&path]() { return EFOpenError("Cannot open file " + PathForMessage(path)); };
  if (path.find('\0') != std::string::npos) throw fail();
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw fail();
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || S_ISDIR(info.st_mode)) throw fail();
  std::string content;
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw fail();
    if (got == 0) break;
    content.append(chunk, static_cast<std::size_t>(got));
  }
  bytes_ = std::move(content);
}

void PurchaseBuffer::FindFileValue(std::string_view prefix, std::string& value) const {
  for (const std::string& line : SplitLines(bytes_)) {
    if (std::string_view(line).starts_with(prefix)) value = line.substr(prefix.size());
  }
}

int PurchaseBuffer::GetOrderItem(int index, std::string& name, std::int32_t& count,
                                 std::int32_t& price) const {
  const std::vector<std::string> lines = SplitLines(bytes_);
  const int result = static_cast<int>(lines.size()) - kPurchaseHeaderLines;
  if (index >= 1) {
    if (index > result) {
      throw EStringListError(
          "List index out of bounds (" +
          std::to_string(static_cast<long long>(index) + kPurchaseHeaderLines - 1) + ")");
    }
    const std::string_view line = lines[static_cast<std::size_t>(index + kPurchaseHeaderLines - 1)];
    // Without a second ";" the count text is empty, so a line of fewer than three fields fails
    // on its count with an empty text in the message.
    const OrderLineFields fields = SplitOrderLine(line);
    const std::int32_t item_count = StrToInt(fields.count);
    const std::int32_t item_price = StrToInt(fields.price);
    name = std::string(fields.name);
    count = item_count;
    price = item_price;
  } else {
    std::string order;
    for (std::size_t i = kPurchaseHeaderLines; i < lines.size(); ++i) {
      order += lines[i];
      order += kOrderLineEnd;
    }
    name = std::move(order);
    count = 0;
    price = 0;
  }
  return result;
}

void LoadPurchaseFile(const std::string& first_argument) {
  if (first_argument.empty()) return;
  PurchaseFile = std::make_unique<PurchaseBuffer>();
  PurchaseFile->LoadFromFile(first_argument);
}

void FreePurchaseFile() noexcept {
  PurchaseFile.reset();
}

}  // namespace pelvane
