#include "peers/order_text.h"

#include "protocol/order.h"

namespace pelvane::peers {

namespace {

// An integer text as the wallet's runtime converts it: optional blanks, an optional sign,
// decimal digits, nothing after them.
std::optional<std::int64_t> ParseInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t digits_start = i;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    if (i - digits_start >= 10) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  if (i == digits_start) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace

std::optional<std::string> ParseOrder(std::string_view text, Order& order) {
  order = Order{};
  std::size_t line_number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end);
    if (text.substr(0, 2) == "\r\n") {
      text.remove_prefix(2);
    } else if (!text.empty()) {
      text.remove_prefix(1);
    }
    ++line_number;
    if (line.empty()) continue;
    const std::string where = "polo\x9Eka " + std::to_string(line_number) + ": ";
    const OrderLineFields fields = SplitOrderLine(line);
    if (!fields.complete) {
      return where +
             "chyb\xED po\xE8"
             "et nebo cena";
    }
    OrderItem item;
    item.name = std::string(fields.name);
    const auto count = ParseInteger(fields.count);
    const auto price = ParseInteger(fields.price);
    if (!count || !price)
      return where +
             "po\xE8"
             "et a cena mus\xED b\xFDt cel\xE1 \xE8\xEDsla";
    if (*count < 1)
      return where +
             "po\xE8"
             "et mus\xED b\xFDt aspo\xF2 1";
    if (*price < 0) return where + "cena nesm\xED b\xFDt z\xE1porn\xE1";
    item.count = *count;
    item.price = *price;
    order.total = AddToOrderTotal(order.total, item.price);
    if (order.total > kMaxAmount)
      return std::string("celkov\xE1 cena je p\xF8\xEDli\x9A vysok\xE1");
    order.items.push_back(std::move(item));
  }
  if (order.items.empty())
    return std::string(
        "objedn\xE1vka neobsahuje \x9E\xE1"
        "dn\xE9 zbo\x9E\xED");
  if (order.total == 0) return std::string("celkov\xE1 cena objedn\xE1vky je nulov\xE1");
  return std::nullopt;
}

}  // namespace pelvane::peers
