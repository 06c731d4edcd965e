// The purchase description file: any file content gives lines without breaks, a merchant URL
// value from one whole line, a host from that URL, an order text of the item lines and, for
// every item, its fields or a conversion error that leaves the caller's values alone.
#include <cstdint>
#include <string>
#include <vector>

#include "app/session/purchase_file.h"
#include "fuzz/fuzz_check.h"

namespace pelvane {
namespace {

// Items looked at per input: each call splits the whole buffer again.
constexpr int kMaxItems = 64;

void CheckHost(std::string_view url) {
  const std::string host = ExtractHost(url);
  FUZZ_CHECK(host.size() <= url.size());
  FUZZ_CHECK(url.find(host) != std::string_view::npos);
  FUZZ_CHECK(host.find_first_of("/?#@") == std::string::npos);
}

void CheckItem(const PurchaseBuffer& buffer, int index, int items, const std::string& line) {
  std::string name = "unchanged";
  std::int32_t count = -7;
  std::int32_t price = -11;
  try {
    FUZZ_CHECK(buffer.GetOrderItem(index, name, count, price) == items);
    FUZZ_CHECK(index <= items);
    // The name is the line up to its first ";", and a line with fields has two of them.
    FUZZ_CHECK(name.find(';') == std::string::npos && line.starts_with(name));
    FUZZ_CHECK(line.size() > name.size() && line[name.size()] == ';');
    FUZZ_CHECK(line.find(';', name.size() + 1) != std::string::npos);
  } catch (const EConvertError& e) {
    FUZZ_CHECK(index <= items);
    FUZZ_CHECK(e.Message().starts_with("'") &&
               e.Message().ends_with("' is not a valid integer value"));
    FUZZ_CHECK(name == "unchanged" && count == -7 && price == -11);
  } catch (const EStringListError& e) {
    FUZZ_CHECK(index > items);
    FUZZ_CHECK(e.Message().starts_with("List index out of bounds ("));
    FUZZ_CHECK(name == "unchanged" && count == -7 && price == -11);
  }
}

}  // namespace
}  // namespace pelvane

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelvane;
  const std::string_view input = fuzz::AsText(data, size);
  const PurchaseBuffer buffer{std::string(input)};

  const std::vector<std::string> lines = SplitLines(input);
  std::size_t seen = 0;
  for (const std::string& line : lines) {
    FUZZ_CHECK(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    seen += line.size();
  }
  FUZZ_CHECK(seen <= input.substr(0, input.find('\0')).size());

  // The merchant URL: the rest of the last line that starts with the key.
  std::string url = "unchanged";
  buffer.FindFileValue(kMerchantUrlKey, url);
  std::string last_match = "unchanged";
  for (const std::string& line : lines) {
    if (line.starts_with(kMerchantUrlKey)) last_match = line.substr(kMerchantUrlKey.size());
  }
  FUZZ_CHECK(url == last_match);
  CheckHost(url);
  CheckHost(input);
  // The empty prefix matches every line, so the value is the last line.
  std::string last = "unchanged";
  buffer.FindFileValue("", last);
  FUZZ_CHECK(lines.empty() ? last == "unchanged" : last == lines.back());

  // The order text: every line from the tenth on, each ended by CR LF.
  std::string order = "unchanged";
  std::int32_t count = -1, price = -1;
  const int items = buffer.GetOrderItem(0, order, count, price);
  FUZZ_CHECK(items == static_cast<int>(lines.size()) - kPurchaseHeaderLines);
  FUZZ_CHECK(count == 0 && price == 0);
  std::string expected;
  for (std::size_t i = kPurchaseHeaderLines; i < lines.size(); ++i)
    expected += lines[i] + "\r\n";
  FUZZ_CHECK(order == expected);
  std::string negative;
  FUZZ_CHECK(buffer.GetOrderItem(-3, negative, count, price) == items && negative == order);

  for (int index = 1; index <= items && index <= kMaxItems; ++index) {
    CheckItem(buffer, index, items,
              lines[static_cast<std::size_t>(index + kPurchaseHeaderLines - 1)]);
  }
  CheckItem(buffer, (items < 0 ? 0 : items) + 1, items, "");
  return 0;
}
