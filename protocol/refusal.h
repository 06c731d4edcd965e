// The refusal marker: a text that begins with "***" reports a failure instead of carrying the
// value asked for. The wallet logs such a text and ends the exchange; the peers pass it on.
#pragma once

#include <string>
#include <string_view>

namespace pelvane {

inline constexpr std::string_view kRefusalMark = "***";

// True when text begins with the refusal marker.
inline bool IsRefusal(std::string_view text) noexcept {
  return text.starts_with(kRefusalMark);
}

// A refusal text without its marker and the blanks after it; other texts unchanged.
std::string StripRefusalMark(std::string_view text);

}  // namespace pelvane
