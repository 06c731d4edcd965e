#include "peers/web_shop.h"

#include <QFile>
#include <ctime>

#include "crypto/formats/charset.h"
#include "messaging/envelopes.h"

namespace pelvane::peers {

namespace {

constexpr char kShopName[] = "Knihkupectví U Zlatého klasu";
constexpr char kShopCompany[] = "Knihkupectví U Zlatého klasu, s.r.o.";
// The first line of every web order's text: "Objednávka č. " (Windows-1250), the number, ";1;0".
constexpr char kOrderLinePrefix[] = "Objedn\xE1vka \xE8. ";
// The customer digest the wallet seals into the gateway block (hexadecimal SHA-1).
constexpr std::size_t kCustomerDigestLength = 40;
// The longest host the wallet takes from "SET-SET-URL: " (it reads 15 characters after the
// scheme, the last of them the "/").
constexpr std::size_t kMaxWalletHost = 14;
// Orders listed from the "objednavky" cookie.
constexpr std::size_t kRememberedOrders = 5;

std::string Html(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Json(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// An article name or reason (Windows-1250) for a page; the few bytes Windows-1250 leaves
// undefined show as "?" rather than failing the page.
std::string Utf8(std::string_view cp1250) {
  try {
    return Cp1250ToUtf8(cp1250);
  } catch (const Exception&) {
    std::string out;
    for (const char c : cp1250) {
      try {
        out += Cp1250ToUtf8(std::string_view(&c, 1));
      } catch (const Exception&) {
        out += '?';
      }
    }
    return out;
  }
}

// "12 345 Kč", the thousands apart by no-break spaces.
std::string Crowns(std::int64_t amount) {
  std::string digits = std::to_string(amount);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += "\u00A0";
    out += digits[i];
  }
  return out + "\u00A0Kč";
}

std::string FormatTime(std::chrono::system_clock::time_point when, const char* format) {
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&t, &local);
  char text[64];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The fields of an application/x-www-form-urlencoded text; nullopt when it is malformed.
std::optional<std::map<std::string, std::string>> FormFields(std::string_view text) {
  std::map<std::string, std::string> fields;
  while (!text.empty()) {
    const std::size_t amp = text.find('&');
    const std::string_view pair = text.substr(0, amp);
    text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
    if (pair.empty()) continue;
    const std::size_t eq = pair.find('=');
    std::string decoded[2];
    const std::string_view parts[2] = {pair.substr(0, eq), eq == std::string_view::npos
                                                               ? std::string_view()
                                                               : pair.substr(eq + 1)};
    for (int p = 0; p < 2; ++p) {
      for (std::size_t i = 0; i < parts[p].size(); ++i) {
        const char c = parts[p][i];
        if (c == '+') {
          decoded[p] += ' ';
        } else if (c == '%') {
          if (i + 2 >= parts[p].size()) return std::nullopt;
          const int hi = HexDigit(parts[p][i + 1]);
          const int lo = HexDigit(parts[p][i + 2]);
          if (hi < 0 || lo < 0) return std::nullopt;
          decoded[p] += static_cast<char>(hi * 16 + lo);
          i += 2;
        } else {
          decoded[p] += c;
        }
      }
    }
    if (fields.count(decoded[0]) != 0) return std::nullopt;
    fields[decoded[0]] = decoded[1];
  }
  return fields;
}

// A whole number of at most digits decimal digits, nothing else; -1 otherwise.
std::int64_t Number(std::string_view text, std::size_t digits = 9) {
  if (text.empty() || text.size() > digits) return -1;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string CookieValue(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    const std::size_t semicolon = header.find(';');
    std::string_view pair = header.substr(0, semicolon);
    header =
        semicolon == std::string_view::npos ? std::string_view() : header.substr(semicolon + 1);
    while (!pair.empty() && pair.front() == ' ')
      pair.remove_prefix(1);
    const std::size_t eq = pair.find('=');
    if (eq != std::string_view::npos && pair.substr(0, eq) == name) {
      return std::string(pair.substr(eq + 1));
    }
  }
  return {};
}

// Numbers joined by "_" (the cookies' lists); empty on any fault.
std::vector<std::int64_t> NumberList(std::string_view text, std::size_t max_items) {
  std::vector<std::int64_t> numbers;
  while (!text.empty()) {
    const std::size_t sep = text.find('_');
    const std::int64_t n = Number(text.substr(0, sep), 19);
    if (n < 0 || numbers.size() == max_items) return {};
    numbers.push_back(n);
    text = sep == std::string_view::npos ? std::string_view() : text.substr(sep + 1);
  }
  return numbers;
}

ShopResponse Redirect(const std::string& location) {
  ShopResponse response;
  response.status = 303;
  response.content_type = "text/plain; charset=utf-8";
  response.headers.emplace_back("Location", location);
  response.body = "Viz " + location + "\n";
  return response;
}

std::string CartCookie(const std::vector<std::pair<std::size_t, int>>& cart) {
  if (cart.empty()) return "kosik=; Path=/; Max-Age=0; SameSite=Lax; HttpOnly";
  std::string value;
  for (const auto& [article, count] : cart) {
    if (!value.empty()) value += '_';
    value += std::to_string(article) + '_' + std::to_string(count);
  }
  return "kosik=" + value + "; Path=/; SameSite=Lax; HttpOnly";
}

}  // namespace

WebShop::WebShop(ShopCatalogue catalogue, std::string merchant_host, std::string listen_address,
                 LogSink log)
    : catalogue_(std::move(catalogue)),
      merchant_host_(std::move(merchant_host)),
      listen_address_(std::move(listen_address)),
      log_(std::move(log)) {
  if (merchant_host_.empty() || merchant_host_.size() > kMaxWalletHost) {
    throw Exception("The merchant's address " + merchant_host_ +
                    " is longer than the wallet reads from a purchase file (" +
                    std::to_string(kMaxWalletHost) + " characters)");
  }
}

std::string WebShop::BaseUrl(const ShopRequest& request) const {
  // The Host header names the shop as the browser reached it; anything odd in it is ignored.
  const std::string& host = request.host;
  const bool usable = !host.empty() && host.size() <= 100 &&
                      host.find_first_not_of(
                          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                          "0123456789.-:[]") == std::string::npos;
  return "http://" + (usable ? host : listen_address_);
}

WebShop::Cart WebShop::CartOf(const ShopRequest& request) const {
  // A cookie that does not describe a cart of this catalogue is an empty cart.
  const std::vector<std::int64_t> numbers =
      NumberList(CookieValue(request.cookie, "kosik"), 2 * catalogue_.Articles().size());
  Cart cart;
  if (numbers.size() % 2 != 0) return {};
  for (std::size_t i = 0; i < numbers.size(); i += 2) {
    const std::int64_t article = numbers[i];
    const std::int64_t count = numbers[i + 1];
    if (article >= static_cast<std::int64_t>(catalogue_.Articles().size()) || count < 1 ||
        count > kMaxCount) {
      return {};
    }
    for (const auto& line : cart) {
      if (line.first == static_cast<std::size_t>(article)) return {};
    }
    cart.emplace_back(static_cast<std::size_t>(article), static_cast<int>(count));
  }
  return cart;
}

std::string WebShop::OrderText(std::uint64_t number, const Cart& cart) const {
  std::string text = kOrderLinePrefix + std::to_string(number) + ";1;0\r\n";
  for (const auto& [index, count] : cart) {
    const Article& article = catalogue_.Articles()[index];
    text += article.name + ';' + std::to_string(count) + ';' +
            std::to_string(article.unit_price * count) + "\r\n";
  }
  return text;
}

std::optional<std::string> WebShop::CartFault(const Cart& cart) const {
  if (cart.empty()) return "Košík je prázdný.";
  std::int64_t total = 0;
  for (const auto& [index, count] : cart)
    total += catalogue_.Articles()[index].unit_price * count;
  if (total > 2147483647) {
    return "Objednávka by stála víc, než platební systém převede najednou (" + Crowns(2147483647) +
           ").";
  }
  // The wallet sends the order text in one datagram together with the customer digest; it
  // refuses an order that does not fit, so the shop does not hand one out.
  const std::size_t dual_size = 2 + SecureBlockSize(kCustomerDigestLength) +
                                SecureBlockSize(OrderText(next_number_ + 1000000, cart).size());
  if (dual_size > kMaxFrameSize) {
    return "Tolik různého zboží se do jedné platby peněženkou Pelvane nevejde; "
           "odeberte prosím některé položky.";
  }
  return std::nullopt;
}

std::string WebShop::Page(const ShopRequest& request, const std::string& title,
                          const std::string& content, const std::string& head_extra) const {
  std::size_t pieces = 0;
  for (const auto& line : CartOf(request))
    pieces += static_cast<std::size_t>(line.second);
  std::string orders;
  for (const std::int64_t n :
       NumberList(CookieValue(request.cookie, "objednavky"), kRememberedOrders)) {
    orders +=
        " <a href=\"/objednavka/" + std::to_string(n) + "\">č.\u00A0" + std::to_string(n) + "</a>";
  }
  return "<!DOCTYPE html>\n<html lang=\"cs\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
         Html(title) + " – " + kShopName +
         "</title>\n"
         "<link rel=\"stylesheet\" href=\"/styl.css\">\n" +
         head_extra +
         "</head>\n<body>\n<a class=\"preskocit\" href=\"#obsah\">Přejít na obsah</a>\n"
         "<header>\n<p class=\"logo\"><a href=\"/\">" +
         kShopName +
         "</a></p>\n"
         "<nav aria-label=\"Hlavní\"><a href=\"/\">Nabídka</a> <a href=\"/kosik\" "
         "id=\"odkaz-kosik\">"
         "Košík (" +
         std::to_string(pieces) +
         ")</a></nav>\n</header>\n"
         "<main id=\"obsah\">\n" +
         content + "</main>\n<footer>\n" +
         (orders.empty() ? "" : "<p>Vaše objednávky:" + orders + "</p>\n") + "<p>" + kShopCompany +
         " · platby peněženkou Pelvane</p>\n</footer>\n</body>\n</html>\n";
}

ShopResponse WebShop::ErrorPage(const ShopRequest& request, int status,
                                const std::string& message) const {
  ShopResponse response;
  response.status = status;
  response.content_type = "text/html; charset=utf-8";
  response.body = Page(request, "Chyba",
                       "<h1>To nešlo</h1>\n<p class=\"chyba\" role=\"alert\">" + Html(message) +
                           "</p>\n<p><a href=\"/kosik\">Zpět do košíku</a> · <a href=\"/\">Zpět na "
                           "nabídku</a></p>\n");
  return response;
}

ShopResponse WebShop::Handle(const ShopRequest& request) {
  const std::string& path = request.path;
  const bool get = request.method == "GET";
  const bool post = request.method == "POST";
  const auto only = [&](bool allowed, const char* allow) -> std::optional<ShopResponse> {
    if (allowed) return std::nullopt;
    ShopResponse response = ErrorPage(request, 405, "Tuto stránku nelze takto žádat.");
    response.headers.emplace_back("Allow", allow);
    return response;
  };
  if (path == "/" || path == "/kosik" || path == "/styl.css") {
    if (auto refused = only(get, "GET")) return *refused;
    if (path == "/") return CataloguePage(request);
    if (path == "/kosik") return CartPage(request);
    QFile file(":/pelvane/web/styl.css");
    ShopResponse response;
    response.content_type = "text/css; charset=utf-8";
    if (file.open(QIODevice::ReadOnly)) response.body = file.readAll().toStdString();
    return response;
  }
  if (path == "/kosik/pridat" || path == "/kosik/zmenit" || path == "/kosik/odebrat") {
    if (auto refused = only(post, "POST")) return *refused;
    return ChangeCart(request, path == "/kosik/pridat");
  }
  if (path == "/zaplatit") {
    if (auto refused = only(post, "POST")) return *refused;
    return Pay(request);
  }
  if (path == "/objednavka/posledni") {
    if (auto refused = only(get, "GET")) return *refused;
    const std::vector<std::int64_t> remembered =
        NumberList(CookieValue(request.cookie, "objednavky"), kRememberedOrders);
    if (remembered.empty()) return ErrorPage(request, 404, "Zatím jste nic neobjednali.");
    return Redirect("/objednavka/" + std::to_string(remembered.back()));
  }
  constexpr std::string_view kOrderPath = "/objednavka/";
  if (path.rfind(kOrderPath, 0) == 0) {
    std::string_view rest = std::string_view(path).substr(kOrderPath.size());
    const std::size_t slash = rest.find('/');
    const std::string_view what =
        slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (what.empty() || what == "stav" || what == "nakup.pelvane") {
      if (auto refused = only(get, "GET")) return *refused;
      WebOrder* order = FindOrder(rest.substr(0, slash));
      if (order == nullptr) {
        return ErrorPage(request, 404, "Objednávku s takovým číslem obchod nezná.");
      }
      if (what.empty()) return OrderPage(request, *order);
      if (what == "stav") return OrderState(*order);
      return PurchaseFile(request, *order);
    }
  }
  return ErrorPage(request, 404, "Taková stránka v obchodě není.");
}

ShopResponse WebShop::CataloguePage(const ShopRequest& request) {
  std::string content =
      "<h1>Nabídka</h1>\n<p class=\"uvod\">Vyberte si zboží, vložte je do košíku a zaplaťte "
      "peněženkou Pelvane.</p>\n<ul class=\"nabidka\">\n";
  const auto& articles = catalogue_.Articles();
  for (std::size_t i = 0; i < articles.size(); ++i) {
    const std::string id = std::to_string(i);
    std::string name = Utf8(articles[i].name);
    std::string author;
    // "Autor: Název" shows the author above the title.
    if (const std::size_t colon = name.find(": "); colon != std::string::npos) {
      author = name.substr(0, colon);
      name = name.substr(colon + 2);
    }
    content += "<li class=\"zbozi\">\n";
    if (!author.empty()) content += "<p class=\"autor\">" + Html(author) + "</p>\n";
    content += "<h2 id=\"nazev-" + id + "\">" + Html(name) + "</h2>\n<p class=\"cena\">" +
               Crowns(articles[i].unit_price) +
               "</p>\n<form method=\"post\" action=\"/kosik/pridat\">\n"
               "<input type=\"hidden\" name=\"zbozi\" value=\"" +
               id +
               "\">\n"
               "<label for=\"pocet-" +
               id +
               "\">Počet</label>\n"
               "<input type=\"number\" id=\"pocet-" +
               id +
               "\" name=\"pocet\" value=\"1\" min=\"1\" max=\"999\" required>\n"
               "<button type=\"submit\" id=\"pridat-" +
               id + "\" aria-describedby=\"nazev-" + id +
               "\">Přidat do košíku</button>\n</form>\n</li>\n";
  }
  content += "</ul>\n";
  ShopResponse response;
  response.content_type = "text/html; charset=utf-8";
  response.body = Page(request, "Nabídka", content);
  return response;
}

ShopResponse WebShop::CartPage(const ShopRequest& request) {
  const Cart cart = CartOf(request);
  std::string content = "<h1>Košík</h1>\n";
  if (cart.empty()) {
    content += "<p>Košík je prázdný. <a href=\"/\">Vyberte si z nabídky.</a></p>\n";
  } else {
    content +=
        "<table class=\"polozky\">\n<caption class=\"skryty\">Zboží v košíku</caption>\n"
        "<thead><tr><th scope=\"col\">Zboží</th><th scope=\"col\" class=\"cislo\">Za kus</th>"
        "<th scope=\"col\">Počet</th><th scope=\"col\" class=\"cislo\">Cena</th>"
        "<th scope=\"col\"><span class=\"skryty\">Odebrat</span></th></tr></thead>\n<tbody>\n";
    std::int64_t total = 0;
    for (const auto& [index, count] : cart) {
      const Article& article = catalogue_.Articles()[index];
      const std::string id = std::to_string(index);
      total += article.unit_price * count;
      content += "<tr><th scope=\"row\">" + Html(Utf8(article.name)) + "</th><td class=\"cislo\">" +
                 Crowns(article.unit_price) +
                 "</td>\n<td><form method=\"post\" action=\"/kosik/zmenit\" class=\"radek\">"
                 "<input type=\"hidden\" name=\"zbozi\" value=\"" +
                 id +
                 "\">"
                 "<label class=\"skryty\" for=\"kusy-" +
                 id +
                 "\">Počet kusů</label>"
                 "<input type=\"number\" id=\"kusy-" +
                 id + "\" name=\"pocet\" value=\"" + std::to_string(count) +
                 "\" min=\"1\" max=\"999\" required>"
                 "<button type=\"submit\" class=\"vedlejsi\">Změnit</button></form></td>\n"
                 "<td class=\"cislo\">" +
                 Crowns(article.unit_price * count) +
                 "</td>\n<td><form method=\"post\" action=\"/kosik/odebrat\">"
                 "<input type=\"hidden\" name=\"zbozi\" value=\"" +
                 id +
                 "\">"
                 "<button type=\"submit\" class=\"vedlejsi\">Odebrat</button></form></td></tr>\n";
    }
    content +=
        "</tbody>\n<tfoot><tr><th scope=\"row\" colspan=\"3\">Celkem</th>"
        "<td class=\"cislo celkem\" id=\"celkem\">" +
        Crowns(total) + "</td><td></td></tr></tfoot>\n</table>\n";
    if (const auto fault = CartFault(cart)) {
      content += "<p class=\"chyba\" role=\"alert\">" + Html(*fault) + "</p>\n";
    } else {
      content +=
          "<form method=\"post\" action=\"/zaplatit\" class=\"platba\">\n"
          "<button type=\"submit\" id=\"zaplatit\">Zaplatit peněženkou Pelvane</button>\n"
          "<p>Obchod vám pošle soubor s popisem nákupu (<code>.pelvane</code>); otevřete jej "
          "peněženkou Pelvane a zaplaťte. Stav objednávky najdete na její stránce, odkaz je "
          "dole pod „Vaše objednávky“.</p>\n</form>\n"
          // The file is a download, so the cart stays on screen; a moment later the browser
          // goes on to the new order's page. An error page replaces this one, timer and all.
          "<script>\ndocument.querySelector('form.platba').addEventListener('submit', "
          "function () {\n  setTimeout(function () { location.href = '/objednavka/posledni'; }, "
          "1500);\n});\n</script>\n";
    }
  }
  ShopResponse response;
  response.content_type = "text/html; charset=utf-8";
  response.body = Page(request, "Košík", content);
  return response;
}

ShopResponse WebShop::ChangeCart(const ShopRequest& request, bool add) {
  const auto fields = FormFields(request.body);
  if (!fields || fields->count("zbozi") == 0) {
    return ErrorPage(request, 400, "Formulář nepřišel celý; zkuste to prosím znovu.");
  }
  const std::int64_t article = Number(fields->at("zbozi"), 4);
  if (article < 0 || article >= static_cast<std::int64_t>(catalogue_.Articles().size())) {
    return ErrorPage(request, 404, "Takové zboží v nabídce není.");
  }
  const bool remove = request.path == "/kosik/odebrat";
  std::int64_t count = 0;
  if (!remove) {
    const auto it = fields->find("pocet");
    count = it == fields->end() ? -1 : Number(it->second, 4);
    if (count < 1 || count > kMaxCount) {
      return ErrorPage(request, 400, "Počet kusů musí být celé číslo od 1 do 999.");
    }
  }
  Cart cart = CartOf(request);
  auto line = cart.begin();
  while (line != cart.end() && line->first != static_cast<std::size_t>(article))
    ++line;
  if (remove) {
    if (line != cart.end()) cart.erase(line);
  } else if (line == cart.end()) {
    cart.emplace_back(static_cast<std::size_t>(article), static_cast<int>(count));
  } else {
    const std::int64_t new_count = add ? line->second + count : count;
    if (new_count > kMaxCount) {
      return ErrorPage(request, 400,
                       "Jednoho zboží lze objednat nejvýše 999 kusů; v košíku už jich je " +
                           std::to_string(line->second) + ".");
    }
    line->second = static_cast<int>(new_count);
  }
  if (!cart.empty()) {
    if (const auto fault = CartFault(cart)) return ErrorPage(request, 413, *fault);
  }
  ShopResponse response = Redirect("/kosik");
  response.headers.emplace_back("Set-Cookie", CartCookie(cart));
  return response;
}

ShopResponse WebShop::Pay(const ShopRequest& request) {
  const Cart cart = CartOf(request);
  if (const auto fault = CartFault(cart)) {
    return ErrorPage(request, cart.empty() ? 400 : 413, *fault);
  }
  if (orders_.size() >= kMaxOrders) orders_.erase(orders_.begin());
  WebOrder& order = orders_[next_number_];
  order.number = next_number_++;
  order.cart = cart;
  order.order_text = OrderText(order.number, cart);
  for (const auto& [index, count] : cart)
    order.total += catalogue_.Articles()[index].unit_price * count;
  order.created = std::chrono::system_clock::now();
  log_("[shop] web order " + std::to_string(order.number) + ": " + std::to_string(cart.size()) +
       " articles, " + std::to_string(order.total) + " CZK; purchase file handed out");

  ShopResponse response = PurchaseFile(request, order);
  response.headers.emplace_back("Set-Cookie", CartCookie({}));
  std::vector<std::int64_t> remembered =
      NumberList(CookieValue(request.cookie, "objednavky"), kRememberedOrders);
  remembered.push_back(static_cast<std::int64_t>(order.number));
  if (remembered.size() > kRememberedOrders) remembered.erase(remembered.begin());
  std::string list;
  for (const std::int64_t n : remembered)
    list += (list.empty() ? "" : "_") + std::to_string(n);
  response.headers.emplace_back("Set-Cookie",
                                "objednavky=" + list + "; Path=/; SameSite=Lax; HttpOnly");
  return response;
}

ShopResponse WebShop::PurchaseFile(const ShopRequest& request, const WebOrder& order) {
  const std::string number = std::to_string(order.number);
  // Nine header lines; the wallet reads only "SET-SET-URL: ", whose host is where it sends the
  // order. The order page's address is there for the customer.
  const std::string header =
      "SET-Version: 1.0\r\n"
      "SET-Obchodnik: " +
      std::string(kShopCompany) +
      "\r\n"
      "SET-Objednavka: " +
      number +
      "\r\n"
      "SET-Datum: " +
      FormatTime(order.created, "%d.%m.%Y") +
      "\r\n"
      "SET-Mena: CZK\r\n"
      "SET-SET-URL: http://" +
      merchant_host_ + "/objednavka/" + number +
      "\r\n"
      "SET-Doruceni: Česká pošta, balík do ruky\r\n"
      "SET-Platba: peněženka Pelvane\r\n"
      "SET-Stav: " +
      BaseUrl(request) + "/objednavka/" + number + "\r\n";
  ShopResponse response;
  response.content_type = kPurchaseMimeType;
  response.headers.emplace_back("Content-Disposition",
                                "attachment; filename=\"objednavka-" + number + ".pelvane\"");
  response.headers.emplace_back("Cache-Control", "no-store");
  response.body = Utf8ToCp1250(header) + order.order_text;
  return response;
}

ShopResponse WebShop::OrderPage(const ShopRequest& request, const WebOrder& order) {
  const std::string number = std::to_string(order.number);
  std::string items =
      "<table class=\"polozky\">\n<caption class=\"skryty\">Objednané zboží</caption>\n"
      "<thead><tr><th scope=\"col\">Zboží</th><th scope=\"col\" class=\"cislo\">Počet</th>"
      "<th scope=\"col\" class=\"cislo\">Cena</th></tr></thead>\n<tbody>\n";
  for (const auto& [index, count] : order.cart) {
    const Article& article = catalogue_.Articles()[index];
    items += "<tr><th scope=\"row\">" + Html(Utf8(article.name)) + "</th><td class=\"cislo\">" +
             std::to_string(count) + "</td><td class=\"cislo\">" +
             Crowns(article.unit_price * count) + "</td></tr>\n";
  }
  items +=
      "</tbody>\n<tfoot><tr><th scope=\"row\" colspan=\"2\">Celkem</th><td class=\"cislo "
      "celkem\">" +
      Crowns(order.total) + "</td></tr></tfoot>\n</table>\n";

  const StateView state = ViewOf(order);
  const std::string& state_key = state.key;
  const std::string& paid = state.paid;
  const bool final_state = state_key == "odeslano";
  std::string content = "<h1>Objednávka č.\u00A0" + number +
                        "</h1>\n"
                        "<section class=\"stav-objednavky\" aria-labelledby=\"stav-nadpis\">\n"
                        "<h2 id=\"stav-nadpis\">Stav</h2>\n"
                        "<p id=\"stav\" class=\"stav " +
                        state_key + "\" role=\"status\" aria-live=\"polite\">" + Html(state.text) +
                        "</p>\n"
                        "<p id=\"zaplaceno\"" +
                        (paid.empty() ? " hidden" : "") + ">" + Html(paid) +
                        "</p>\n"
                        "</section>\n" +
                        items + "<p class=\"soubor\"><a href=\"/objednavka/" + number +
                        "/nakup.pelvane\" type=\"" + kPurchaseMimeType +
                        "\">Stáhnout soubor s popisem nákupu znovu</a> (otevřete jej "
                        "peněženkou Pelvane)</p>\n"
                        "<p class=\"poznamka\">Objednáno " +
                        FormatTime(order.created, "%d.%m.%Y v %H:%M") + ".</p>\n";
  std::string head;
  if (!final_state) {
    // Without scripts the page reloads itself; with them it asks for the state alone.
    head =
        "<noscript><meta http-equiv=\"refresh\" content=\"5\"></noscript>\n"
        "<script>\n(function () {\n"
        "  var stav = document.getElementById.bind(document);\n"
        "  function zjistit() {\n"
        "    fetch('/objednavka/" +
        number +
        "/stav', {cache: 'no-store'})\n"
        "      .then(function (r) { return r.json(); })\n"
        "      .then(function (j) {\n"
        "        var s = stav('stav'), z = stav('zaplaceno');\n"
        "        if (s.textContent !== j.text) s.textContent = j.text;\n"
        "        s.className = 'stav ' + j.stav;\n"
        "        z.textContent = j.zaplaceno; z.hidden = !j.zaplaceno;\n"
        "        if (j.stav !== 'odeslano') setTimeout(zjistit, 1000);\n"
        "      })\n"
        "      .catch(function () { setTimeout(zjistit, 5000); });\n"
        "  }\n"
        "  window.addEventListener('DOMContentLoaded', function () { setTimeout(zjistit, 1000); "
        "});\n"
        "})();\n</script>\n";
  }
  ShopResponse response;
  response.content_type = "text/html; charset=utf-8";
  response.headers.emplace_back("Cache-Control", "no-store");
  response.body = Page(request, "Objednávka č. " + number, content, head);
  return response;
}

WebShop::StateView WebShop::ViewOf(const WebOrder& order) {
  StateView view;
  std::string& key = view.key;
  std::string& text = view.text;
  std::string& paid = view.paid;
  switch (order.state) {
    case State::kWaiting:
      key = "ceka";
      text = "Čeká na zaplacení. Otevřete soubor s popisem nákupu peněženkou Pelvane.";
      break;
    case State::kPaying:
      key = "plati-se";
      text = "Platba se provádí…";
      break;
    case State::kPaid:
    case State::kDispatched:
      key = order.state == State::kPaid ? "zaplaceno" : "odeslano";
      text = order.state == State::kPaid ? "Zaplaceno, zboží se chystá k odeslání."
                                         : "Zboží bylo odesláno.";
      paid = "Zaplaceno " + Crowns(order.amount_paid) + " dne " +
             FormatTime(order.paid_at, "%d.%m.%Y v %H:%M:%S") + ".";
      break;
    case State::kRefused: {
      key = "zamitnuto";
      std::string reason = Utf8(order.refusal);
      while (!reason.empty() && (reason.back() == '.' || reason.back() == ' '))
        reason.pop_back();
      text = "Platba byla zamítnuta: " + reason +
             ". Zboží nebylo odesláno; soubor lze zaplatit znovu.";
      break;
    }
  }
  return view;
}

ShopResponse WebShop::OrderState(const WebOrder& order) {
  const auto [key, text, paid] = ViewOf(order);
  ShopResponse response;
  response.content_type = "application/json";
  response.headers.emplace_back("Cache-Control", "no-store");
  response.body = "{\"cislo\":" + std::to_string(order.number) + ",\"stav\":" + Json(key) +
                  ",\"text\":" + Json(text) + ",\"zaplaceno\":" + Json(paid) + "}";
  return response;
}

WebShop::WebOrder* WebShop::FindOrder(std::string_view number_text) {
  const std::int64_t number = Number(number_text, 18);
  if (number < 0) return nullptr;
  const auto it = orders_.find(static_cast<std::uint64_t>(number));
  return it == orders_.end() ? nullptr : &it->second;
}

WebShop::WebOrder* WebShop::OrderOfReference(const std::string& reference) {
  const auto it = order_of_reference_.find(reference);
  if (it == order_of_reference_.end()) return nullptr;
  const auto order = orders_.find(it->second);
  return order == orders_.end() ? nullptr : &order->second;
}

std::optional<std::string> WebShop::OrderArrived(const std::string& reference,
                                                 const std::string& order_text) {
  if (order_text.rfind(kOrderLinePrefix, 0) != 0) return std::nullopt;  // not a web order
  const std::size_t start = std::char_traits<char>::length(kOrderLinePrefix);
  const std::size_t end = order_text.find(';', start);
  const std::string number_text =
      order_text.substr(start, end == std::string::npos ? std::string::npos : end - start);
  // "objednávka č. N"
  const std::string named = "objedn\xE1vka \xE8. " + number_text;
  WebOrder* order = FindOrder(number_text);
  if (order == nullptr) return "obchod " + named + " nezn\xE1";
  if (order_text != order->order_text) {
    log_("[shop] order " + reference + " names web order " + number_text +
         " but its lines differ; refused");
    return named + " m\xE1 jin\xFD obsah, ne\x9E obchod vydal";
  }
  if (order->state == State::kPaid || order->state == State::kDispatched) {
    return named + " u\x9E byla zaplacena";
  }
  if (order->state == State::kPaying) return named + " se pr\xE1v\xEC plat\xED";
  order->state = State::kPaying;
  if (reference_age_.size() >= 2 * kMaxOrders) {
    order_of_reference_.erase(reference_age_.front());
    reference_age_.pop_front();
  }
  order_of_reference_[reference] = order->number;
  reference_age_.push_back(reference);
  log_("[shop] web order " + number_text + " is being paid as order " + reference);
  return std::nullopt;
}

void WebShop::OrderPaid(const std::string& reference, std::int64_t amount,
                        std::chrono::system_clock::time_point when) {
  WebOrder* order = OrderOfReference(reference);
  if (order == nullptr) return;
  order->state = State::kPaid;
  order->amount_paid = amount;
  order->paid_at = when;
  log_("[shop] web order " + std::to_string(order->number) + " paid, " + std::to_string(amount) +
       " CZK");
}

void WebShop::OrderDispatched(const std::string& reference) {
  WebOrder* order = OrderOfReference(reference);
  if (order == nullptr || order->state != State::kPaid) return;
  order->state = State::kDispatched;
  log_("[shop] web order " + std::to_string(order->number) + " dispatched");
}

void WebShop::OrderRefused(const std::string& reference, const std::string& reason) {
  WebOrder* order = OrderOfReference(reference);
  if (order == nullptr || order->state != State::kPaying) return;
  order->state = State::kRefused;
  order->refusal = reason;
  log_("[shop] web order " + std::to_string(order->number) + " refused: " + Utf8(reason));
}

}  // namespace pelvane::peers
