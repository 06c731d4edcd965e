// The order the wallet sends the merchant: one line "name;count;price" per article, each line
// ended by CR LF. Both sides read a line the same way and add up the same total.
#pragma once

#include <cstdint>
#include <string_view>

namespace pelvane {

inline constexpr std::string_view kOrderLineEnd = "\r\n";

// The largest balance, price or total: the wallet reads the balance as a 32-bit integer.
inline constexpr std::int64_t kMaxAmount = 2147483647;

// The three fields of an order line, still as text.
struct OrderLineFields {
  std::string_view name;   // before the first ";" (the whole line when there is none)
  std::string_view count;  // between the first and the second ";"
  std::string_view price;  // everything after the second ";"
  bool complete = false;   // false: fewer than two ";", count and price are empty
};

OrderLineFields SplitOrderLine(std::string_view line) noexcept;

// The order total after one more article: the sum of the line prices. The count does not
// multiply the price; a line's price is what that line costs.
inline std::int64_t AddToOrderTotal(std::int64_t total, std::int64_t price) noexcept {
  return total + price;
}

}  // namespace pelvane
