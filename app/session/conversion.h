// The runtime's integer conversion of texts, as the purchase file and the protocol use it.
#pragma once

#include <cstdint>
#include <string_view>

namespace pelvane {

// Converts a decimal integer text: optional leading blanks, an optional "+" or "-", then one or
// more decimal digits and nothing after them; the value must fit in 32 signed bits. Anything else
// (an empty text, trailing blanks, a second sign, hexadecimal, an overflow) throws EConvertError
// with the message "'<text>' is not a valid integer value", the text unchanged in place of <text>.
std::int32_t StrToInt(std::string_view text);

}  // namespace pelvane
