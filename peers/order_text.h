// The merchant's reading of the order the wallet sends (protocol/order.h): the articles, the
// total, and why an order cannot be accepted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelvane::peers {

// One ordered article of a merchant block.
struct OrderItem {
  std::string name;  // Windows-1250
  std::int64_t count = 0;
  std::int64_t price = 0;
};

struct Order {
  std::vector<OrderItem> items;
  std::int64_t total = 0;  // the sum of the prices (the count does not multiply the price)
};

// Parses an order text (lines name;count;price ending with CR LF; a last line without a break
// is accepted, empty lines are skipped). Returns the reason (Windows-1250, no "***") when the
// order cannot be accepted: no items, a line without two ";", a count or price that is not an
// integer, a count below 1, a negative price, a total of 0 or above kMaxAmount.
std::optional<std::string> ParseOrder(std::string_view text, Order& order);

}  // namespace pelvane::peers
