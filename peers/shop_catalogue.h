// The web shop's catalogue: the articles it sells and their prices per piece.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/exception.h"

namespace pelvane::peers {

// A catalogue that cannot be read or does not parse.
class ECatalogue : public Exception {
 public:
  using Exception::Exception;
};

struct Article {
  std::string name;             // Windows-1250, without ";" and line breaks
  std::int64_t unit_price = 0;  // whole crowns per piece
};

// The catalogue is written like a purchase's order lines, name;count;price, with the price for
// count pieces (so "Záložka do knihy, kůže;2;180" sells one bookmark for 90 Kč). Empty lines,
// lines starting with "#" and header lines starting with "SET-" are skipped, so a purchase
// description file is a catalogue too. The text is UTF-8, or Windows-1250 when it is not valid
// UTF-8.
class ShopCatalogue {
 public:
  // Throws ECatalogue naming the line at fault: a line without two ";", a count or price that
  // is not a whole number, a count below 1, a price that count does not divide into whole
  // crowns, an empty name, a name twice, or no articles at all.
  static ShopCatalogue Parse(std::string_view text);
  static ShopCatalogue Load(const std::string& path);
  // The example books (the articles of examples/purchase.txt).
  static ShopCatalogue Default();

  const std::vector<Article>& Articles() const { return articles_; }

 private:
  std::vector<Article> articles_;
};

}  // namespace pelvane::peers
