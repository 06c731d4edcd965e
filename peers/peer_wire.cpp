#include "peers/peer_wire.h"

#include "messaging/frames.h"
#include "protocol/order.h"

namespace pelvane::peers {

std::string PackFields(const std::vector<std::string>& fields) {
  std::string data;
  for (const std::string& field : fields) {
    if (field.size() > 0xFFFF) throw EPeerFrame("A field is too long for its length digits");
    data += IntToHex(static_cast<std::int32_t>(field.size()), 4);
    data += field;
  }
  return data;
}

std::vector<std::string> UnpackFields(std::string_view data, std::size_t count) {
  std::vector<std::string> fields;
  std::size_t pos = 0;
  while (pos < data.size()) {
    if (data.size() - pos < 4) throw EPeerFrame("A field length is cut short");
    const std::string_view digits = data.substr(pos, 4);
    for (char c : digits) {
      if (!IsHexDigit(c)) throw EPeerFrame("A field length is not hexadecimal");
    }
    const auto length = static_cast<std::size_t>(HexFieldToInt(digits));
    pos += 4;
    if (data.size() - pos < length) throw EPeerFrame("A field is shorter than its length");
    fields.emplace_back(data.substr(pos, length));
    pos += length;
  }
  if (fields.size() != count) {
    throw EPeerFrame("Expected " + std::to_string(count) + " fields, found " +
                     std::to_string(fields.size()));
  }
  return fields;
}

std::int64_t ParseAmount(std::string_view text) {
  if (text.empty() || text.size() > 10) throw EPeerFrame("Not an amount: " + std::string(text));
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw EPeerFrame("Not an amount: " + std::string(text));
    value = value * 10 + (c - '0');
  }
  if (value > kMaxAmount) throw EPeerFrame("Amount too large: " + std::string(text));
  return value;
}

}  // namespace pelvane::peers
