#include "crypto/formats/charset.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

#include "crypto/exception.h"

namespace pelvane {
namespace {

struct IconvCloser {
  void operator()(void* cd) const noexcept { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle Open(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw Exception(std::string("Text conversion from ") + from + " to " + to +
                    " is not available");
  }
  return IconvHandle(cd);
}

// Runs iconv over the whole input. On an input byte it cannot convert, calls on_bad, which
// either appends a replacement and returns true (skip one byte), or returns false (fail).
template <typename OnBad>
std::string Convert(const char* to, const char* from, std::string_view input, OnBad on_bad) {
  IconvHandle cd = Open(to, from);
  std::string out;
  out.reserve(input.size() * 2);
  char* in = const_cast<char*>(input.data());
  size_t in_left = input.size();
  char buffer[1024];
  while (in_left > 0) {
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    const size_t rc = iconv(static_cast<iconv_t>(cd.get()), &in, &in_left, &dst, &dst_left);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (rc == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      if (!on_bad(out)) throw EConvertError("Text cannot be represented in Windows-1250");
      ++in;
      --in_left;
    }
  }
  return out;
}

}  // namespace

std::string Cp1250ToUtf8(std::string_view cp1250) {
  return Convert("UTF-8", "CP1250", cp1250, [](std::string& out) {
    out += "\xEF\xBF\xBD";
    return true;
  });
}

std::string Utf8ToCp1250(std::string_view utf8) {
  return Convert("CP1250", "UTF-8", utf8, [](std::string&) { return false; });
}

std::string EscapeControlBytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\n' || (c >= 0x20 && c != 0x7F)) {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

}  // namespace pelvane
