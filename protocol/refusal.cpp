#include "protocol/refusal.h"

namespace pelvane {

std::string StripRefusalMark(std::string_view text) {
  if (!IsRefusal(text)) return std::string(text);
  text.remove_prefix(kRefusalMark.size());
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  return std::string(text);
}

}  // namespace pelvane
