// Text encodings selected by numeric identifier: StrToFormat (bytes to text) and FormatToStr
// (text to bytes) over the process-wide format registry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelvane {

// Identifiers of the registered formats.
inline constexpr int kFormatDefault = -1;  // stands for kFormatMIME64
inline constexpr int kFormatCopy = 1;
inline constexpr int kFormatHex = 16;
inline constexpr int kFormatHexLower = 1016;
inline constexpr int kFormatMIME64 = 4196;
inline constexpr int kFormatUU = 21845;
inline constexpr int kFormatXX = 22616;

// data: the bytes (nullptr gives an empty result); length: a negative count means "up to the
// first zero byte". Throws EStringFormat for an unknown identifier or refused input.
std::string StrToFormat(const void* data, std::int32_t length, int identifier);
std::string FormatToStr(const void* text, std::int32_t length, int identifier);

inline std::string StrToFormat(std::string_view data, int identifier) {
  return StrToFormat(data.data(), static_cast<std::int32_t>(data.size()), identifier);
}
inline std::string FormatToStr(std::string_view text, int identifier) {
  return FormatToStr(text.data(), static_cast<std::int32_t>(text.size()), identifier);
}

}  // namespace pelvane
