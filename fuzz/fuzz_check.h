// Checks for the fuzz targets. A broken property prints what failed and aborts, so that
// libFuzzer keeps the input as a finding. An exception that does not derive from
// pelvane::Exception is left to escape the target, which libFuzzer reports as a crash too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace pelvane::fuzz {

[[noreturn]] inline void CheckFailed(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, condition);
  std::abort();
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

inline bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

inline int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return c - 'a' + 10;
}

}  // namespace pelvane::fuzz

#define FUZZ_CHECK(condition)         \
  ((condition) ? static_cast<void>(0) \
               : ::pelvane::fuzz::CheckFailed(__FILE__, __LINE__, #condition))
