#include "app/session/purchase_file.h"

#include <utility>

#include "app/session/conversion.h"
#include "crypto/formats/charset.h"
#include "crypto/input_file.h"
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

void PurchaseBuffer::LoadFromFile(const std::string& path) {
  bytes_.clear();
  // A regular file of at most 64 KiB: /dev/zero, a FIFO or a huge file would otherwise exhaust
  // memory or wait forever.
  try {
    bytes_ = ReadBoundedFile(path, kPurchaseFileLimit);
  } catch (const EInputFile& e) {
    throw EFOpenError(e.Message());
  }
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
