// Message frames.
//
// A frame is one text: the message identifier as two hexadecimal digits, the body length in
// characters as four hexadecimal digits, then the body. Digits are written in upper case and
// read in either case. A plain frame's body is the hexadecimal text of its data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "crypto/exception.h"

namespace pelvane {

// A frame that cannot be built: an identifier outside 0-255, or a body longer than its
// four-digit length field can state.
class EFrameError : public Exception {
  using Exception::Exception;
};

// value as upper-case hexadecimal, padded with zeros to at least digits digits (never cut).
// Negative values are written as their 32-bit two's complement.
std::string IntToHex(std::int32_t value, int digits);

// Converts a hexadecimal field the way the runtime converts "$" followed by the field: one or
// more hexadecimal digits (either case, at most eight) and nothing else. Anything else throws
// EConvertError "'$<field>' is not a valid integer value" with the field exactly as given.
std::int32_t HexFieldToInt(std::string_view field);

// The plain frame text of data under identifier (0-255). Throws EFrameError for an identifier
// out of range or data longer than 32767 bytes.
std::string BuildPlainFrame(std::string_view data, int identifier);

// The decoded body of a frame whose body is hexadecimal text; the identifier is not examined
// and characters after the stated length are ignored. Throws EConvertError for a length field
// that is not hexadecimal, EStringFormat "Input is not an valid Hexadecimal Format." for a body
// shorter than its length field states or holding characters outside the hexadecimal format.
std::string GetMessageBody(std::string_view frame);

}  // namespace pelvane
