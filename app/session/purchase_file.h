// The purchase description file: nine header lines (one of them "SET-SET-URL: " and the merchant's
// URL), then one order item line "name;count;price" per article. Texts are Windows-1250.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/exception.h"

namespace pelvane {

// A file that cannot be opened or read: "Cannot open file <name>".
class EFOpenError : public Exception {
  using Exception::Exception;
};

// A line number that the file does not have: "List index out of bounds (<index>)".
class EStringListError : public Exception {
  using Exception::Exception;
};

// The key of the header line that holds the merchant's URL (13 characters, the last a blank).
inline constexpr std::string_view kMerchantUrlKey = "SET-SET-URL: ";

// Number of header lines before the first order item line.
inline constexpr int kPurchaseHeaderLines = 9;

// Cuts a text into lines at CR, LF and CR LF (an LF followed by a CR is two breaks, with an empty
// line between them). A break at the very end adds no empty line; a zero byte ends the text.
std::vector<std::string> SplitLines(std::string_view text);

// The host part of a URL: the text after the first "://" (after the first seven characters when
// there is none) up to the first "/", "?", "#" or ":" or the end, of any length. A user part
// ending in "@" is skipped, and a bracketed IPv6 address gives the address without brackets.
std::string ExtractHost(std::string_view url);
// The same as a procedure that sets host.
inline void ExtractHost(std::string_view url, std::string& host) {
  host = ExtractHost(url);
}

// The whole file in memory. Every operation re-reads the whole buffer from its start and splits it
// afresh; nothing is cached between calls.
class PurchaseBuffer {
 public:
  PurchaseBuffer() = default;
  explicit PurchaseBuffer(std::string bytes) : bytes_(std::move(bytes)) {}

  // Replaces the content with the whole file at path. On failure throws EFOpenError
  // "Cannot open file <path>" (path in Windows-1250 where it converts; other bytes shown as "?")
  // and leaves the buffer empty.
  void LoadFromFile(const std::string& path);

  const std::string& Bytes() const noexcept { return bytes_; }

  // Sets value to the rest of the last line that starts with prefix (byte for byte); leaves value
  // unchanged when no line does.
  void FindFileValue(std::string_view prefix, std::string& value) const;

  // Returns the item count (lines - 9; negative for a file shorter than nine lines). For index 1
  // or more delivers that item's fields (name before the first ";", count between the first and
  // the second, price everything after the second). A line with fewer than two ";" fails on an
  // empty count text; a malformed count or price throws EConvertError from StrToInt; an index
  // beyond the last line throws EStringListError. On a failure name, count and price are unchanged.
  // For index 0 or less delivers in name every line from the tenth on, each followed by CR LF, and
  // sets count and price to 0.
  int GetOrderItem(int index, std::string& name, std::int32_t& count, std::int32_t& price) const;

 private:
  std::string bytes_;
};

// The purchase buffer of this run. It exists exactly when the first command-line argument is not
// empty (an unreadable file leaves it empty but existing); test it before use.
extern std::unique_ptr<PurchaseBuffer> PurchaseFile;

// Start-up: when first_argument is not empty, creates PurchaseFile and loads the file into it;
// a failure to load propagates (EFOpenError) with PurchaseFile created and empty.
void LoadPurchaseFile(const std::string& first_argument);

// Program end: frees PurchaseFile.
void FreePurchaseFile() noexcept;

}  // namespace pelvane
