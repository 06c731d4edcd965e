// Conversion between the system's Windows-1250 texts and UTF-8, for the edges of the program
// (widgets, terminal, files the user types).
#pragma once

#include <string>
#include <string_view>

namespace pelvane {

// Windows-1250 bytes to UTF-8. Bytes that Windows-1250 leaves undefined become U+FFFD;
// this never fails.
std::string Cp1250ToUtf8(std::string_view cp1250);

// UTF-8 to Windows-1250 bytes. Throws EConvertError when the text is not valid UTF-8 or holds
// a character that Windows-1250 cannot represent.
std::string Utf8ToCp1250(std::string_view utf8);

// Received bytes made safe to show: control characters (below 0x20, and 0x7F) become "\xNN"
// with upper-case hex digits, so that a datagram cannot move the cursor, clear or reset a
// terminal, or hide text. Line feeds stay line breaks, and a carriage return directly before a
// line feed is dropped. Works on Windows-1250 and UTF-8 alike (both keep these bytes for the
// control characters alone).
std::string EscapeControlBytes(std::string_view text);

}  // namespace pelvane
