#include "peers/shop_catalogue.h"

#include <QFile>
#include <fstream>
#include <iterator>

#include "crypto/formats/charset.h"

namespace pelvane::peers {

namespace {

// The most articles a catalogue holds: every one is a form on the shop's first page.
constexpr std::size_t kMaxArticles = 200;
constexpr std::int64_t kMaxPrice = 2147483647;

// A whole number of decimal digits, at most ten of them, or -1.
std::int64_t WholeNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  if (text.empty() || text.size() > 10) return -1;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string ToCp1250(std::string_view text) {
  try {
    return Utf8ToCp1250(text);
  } catch (const Exception&) {
    return std::string(text);  // not UTF-8: already Windows-1250
  }
}

}  // namespace

ShopCatalogue ShopCatalogue::Parse(std::string_view utf8_or_cp1250) {
  const std::string text = ToCp1250(utf8_or_cp1250);
  ShopCatalogue catalogue;
  std::size_t line_number = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end +
          (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n'
               ? 2
               : 1);
    ++line_number;
    if (line.empty() || line[0] == '#' || line.rfind("SET-", 0) == 0) continue;
    const auto fail = [&](const std::string& what) {
      throw ECatalogue("Catalogue line " + std::to_string(line_number) + ": " + what);
    };
    const std::size_t first = line.find(';');
    const std::size_t second = first == std::string::npos ? first : line.find(';', first + 1);
    if (second == std::string::npos || line.find(';', second + 1) != std::string::npos) {
      fail("expected name;count;price");
    }
    Article article;
    article.name = line.substr(0, first);
    const std::int64_t count =
        WholeNumber(std::string_view(line).substr(first + 1, second - first - 1));
    const std::int64_t price = WholeNumber(std::string_view(line).substr(second + 1));
    if (article.name.find_first_not_of(' ') == std::string::npos) fail("the name is empty");
    for (const char c : article.name) {
      if (static_cast<unsigned char>(c) < 0x20) fail("the name holds a control character");
    }
    try {
      Cp1250ToUtf8(article.name);
    } catch (const Exception&) {
      fail("the name is neither UTF-8 nor Windows-1250 text");
    }
    if (count < 1 || count > 999) fail("the count is not a whole number from 1 to 999");
    if (price < 1 || price > kMaxPrice) fail("the price is not a whole number of crowns above 0");
    if (price % count != 0) fail("the price does not divide into whole crowns per piece");
    article.unit_price = price / count;
    for (const Article& known : catalogue.articles_) {
      if (known.name == article.name) fail("the article is listed twice");
    }
    if (catalogue.articles_.size() == kMaxArticles) {
      fail("more than " + std::to_string(kMaxArticles) + " articles");
    }
    catalogue.articles_.push_back(std::move(article));
  }
  if (catalogue.articles_.empty()) throw ECatalogue("The catalogue lists no articles");
  return catalogue;
}

ShopCatalogue ShopCatalogue::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ECatalogue("Cannot read the catalogue " + path);
  std::string text;
  constexpr std::size_t kMaxFileSize = 1 << 20;
  text.resize(kMaxFileSize + 1);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > kMaxFileSize) throw ECatalogue("The catalogue " + path + " is too large");
  try {
    return Parse(text);
  } catch (const ECatalogue& e) {
    throw ECatalogue(path + ": " + e.Message());
  }
}

ShopCatalogue ShopCatalogue::Default() {
  QFile file(":/pelvane/web/katalog.txt");
  if (!file.open(QIODevice::ReadOnly)) throw ECatalogue("The built-in catalogue is missing");
  return Parse(file.readAll().toStdString());
}

}  // namespace pelvane::peers
