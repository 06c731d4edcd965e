#include "protocol/order.h"

namespace pelvane {

OrderLineFields SplitOrderLine(std::string_view line) noexcept {
  OrderLineFields fields;
  const std::size_t first = line.find(';');
  fields.name = line.substr(0, first);
  if (first == std::string_view::npos) return fields;
  const std::size_t second = line.find(';', first + 1);
  if (second == std::string_view::npos) return fields;
  fields.count = line.substr(first + 1, second - first - 1);
  fields.price = line.substr(second + 1);
  fields.complete = true;
  return fields;
}

}  // namespace pelvane
