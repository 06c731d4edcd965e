// The web shop without sockets: the catalogue, the cart, the purchase file, bad input, and how
// the merchant's orders are tied to web orders.
#include "peers/web_shop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "crypto/formats/charset.h"
#include "peers/shop_catalogue.h"

namespace pelvane::peers {
namespace {

TEST(ShopCatalogue, ReadsOrderLinesWithThePriceForTheCount) {
  const ShopCatalogue catalogue = ShopCatalogue::Default();
  ASSERT_EQ(catalogue.Articles().size(), 5u);
  EXPECT_EQ(Cp1250ToUtf8(catalogue.Articles()[0].name), "Božena Němcová: Babička");
  EXPECT_EQ(catalogue.Articles()[0].unit_price, 289);
  EXPECT_EQ(catalogue.Articles()[3].unit_price, 90);  // two bookmarks for 180

  // A purchase description file is a catalogue too: its header lines are skipped.
  const ShopCatalogue from_file = ShopCatalogue::Parse(
      "SET-Version: 1.0\r\nSET-SET-URL: http://127.0.0.1/\r\n# note\r\n\r\nPero;5;100\r\n");
  ASSERT_EQ(from_file.Articles().size(), 1u);
  EXPECT_EQ(from_file.Articles()[0].unit_price, 20);
}

TEST(ShopCatalogue, RefusesLinesItCannotSell) {
  for (const char* text : {"", "# nothing\n", "Pero;1\n", "Pero;1;2;3\n", "Pero;0;10\n",
                           "Pero;1;0\n", "Pero;3;10\n", "Pero;x;10\n", " ;1;10\n",
                           "Pero;1;10\nPero;1;20\n", "Pero;1;99999999999\n", "Pe\tro;1;10\n"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(ShopCatalogue::Parse(text), ECatalogue);
  }
}

class WebShopTest : public testing::Test {
 protected:
  WebShopTest()
      : shop_(ShopCatalogue::Default(), "127.0.0.1", "127.0.0.1:8004",
              [this](const std::string& line) { log_.push_back(line); }) {}

  ShopResponse Get(const std::string& path) { return Send("GET", path, {}); }
  ShopResponse Post(const std::string& path, const std::string& body) {
    return Send("POST", path, body);
  }
  ShopResponse Send(const std::string& method, const std::string& path, const std::string& body) {
    ShopRequest request;
    request.method = method;
    request.path = path;
    request.body = body;
    request.cookie = cookie_;
    request.host = "localhost:8004";
    ShopResponse response = shop_.Handle(request);
    for (const auto& [name, value] : response.headers) {
      if (name != "Set-Cookie") continue;
      const std::string pair = value.substr(0, value.find(';'));
      const std::string key = pair.substr(0, pair.find('=') + 1);
      // Keep one value per cookie, as a browser does.
      std::string kept;
      std::size_t pos = 0;
      while (pos < cookie_.size()) {
        std::size_t end = cookie_.find("; ", pos);
        if (end == std::string::npos) end = cookie_.size();
        const std::string old = cookie_.substr(pos, end - pos);
        if (old.rfind(key, 0) != 0) kept += (kept.empty() ? "" : "; ") + old;
        pos = end + 2;
      }
      if (pair.size() > key.size()) kept += (kept.empty() ? "" : "; ") + pair;
      cookie_ = kept;
    }
    return response;
  }
  // The cart with Babička and two bookmarks, ordered; returns the purchase file.
  ShopResponse OrderTwoArticles() {
    EXPECT_EQ(Post("/kosik/pridat", "zbozi=0&pocet=1").status, 303);
    EXPECT_EQ(Post("/kosik/pridat", "zbozi=3&pocet=2").status, 303);
    return Post("/zaplatit", "");
  }
  static std::string OrderTextOf(const std::string& file) {
    std::size_t pos = 0;
    for (int line = 0; line < 9; ++line)
      pos = file.find("\r\n", pos) + 2;
    return file.substr(pos);
  }

  std::vector<std::string> log_;
  std::string cookie_;
  WebShop shop_;
};

TEST_F(WebShopTest, HandsOutThePurchaseFileOfTheCart) {
  const ShopResponse file = OrderTwoArticles();
  ASSERT_EQ(file.status, 200);
  EXPECT_EQ(file.content_type, "application/x-pelvane-purchase");
  bool attachment = false;
  for (const auto& [name, value] : file.headers) {
    attachment |=
        name == "Content-Disposition" && value == "attachment; filename=\"objednavka-1.pelvane\"";
  }
  EXPECT_TRUE(attachment);
  const std::string& text = file.body;
  EXPECT_EQ(text.rfind("SET-Version: 1.0\r\n", 0), 0u);
  EXPECT_NE(text.find("\r\nSET-SET-URL: http://127.0.0.1/objednavka/1\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nSET-Objednavka: 1\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nSET-Stav: http://localhost:8004/objednavka/1\r\n"), std::string::npos);
  // Windows-1250, the number line first, the line price is count times the piece's price.
  EXPECT_EQ(OrderTextOf(text),
            "Objedn\xE1vka \xE8. 1;1;0\r\nBo\x9E"
            "ena N\xECmcov\xE1: Babi\xE8ka;1;289\r\nZ\xE1lo\x9Eka do knihy, k\xF9\x9E"
            "e;2;180\r\n");
  // The cart is emptied, the order remembered for the footer.
  EXPECT_EQ(cookie_, "objednavky=1");
  const ShopResponse latest = Get("/objednavka/posledni");
  EXPECT_EQ(latest.status, 303);
  EXPECT_EQ(latest.headers.front().second, "/objednavka/1");
  EXPECT_EQ(Get("/objednavka/1").status, 200);
  EXPECT_EQ(Get("/objednavka/1/nakup.pelvane").body, text);
}

TEST_F(WebShopTest, TiesTheMerchantsOrderToItsWebOrderOnce) {
  const std::string first = OrderTextOf(OrderTwoArticles().body);
  const std::string second = OrderTextOf(OrderTwoArticles().body);
  ASSERT_NE(first, second);  // the same cart twice is two different orders

  EXPECT_NE(Get("/objednavka/1/stav").body.find("\"stav\":\"ceka\""), std::string::npos);
  EXPECT_EQ(shop_.OrderArrived("REF1", first), std::nullopt);
  EXPECT_NE(Get("/objednavka/1/stav").body.find("\"stav\":\"plati-se\""), std::string::npos);
  // Another copy of the file (a new 79, a new reference) while the first is being paid.
  EXPECT_NE(shop_.OrderArrived("REF2", first), std::nullopt);

  shop_.OrderPaid("REF1", 469, std::chrono::system_clock::now());
  shop_.OrderDispatched("REF1");
  const std::string state = Get("/objednavka/1/stav").body;
  EXPECT_NE(state.find("\"stav\":\"odeslano\""), std::string::npos) << state;
  EXPECT_NE(state.find("Zaplaceno 469\u00A0Kč"), std::string::npos) << state;
  EXPECT_NE(Get("/objednavka/1").body.find("Zboží bylo odesláno."), std::string::npos);
  // Paid once: a copy paid later is refused; the second order is untouched.
  EXPECT_NE(shop_.OrderArrived("REF3", first), std::nullopt);
  EXPECT_NE(Get("/objednavka/2/stav").body.find("\"stav\":\"ceka\""), std::string::npos);

  // A refused payment may be paid again, and then counts.
  EXPECT_EQ(shop_.OrderArrived("REF4", second), std::nullopt);
  shop_.OrderRefused("REF4", "Nedostatek prost\xF8\x65\x64k\xF9 na \xFA\xE8tu.");
  EXPECT_NE(Get("/objednavka/2/stav")
                .body.find("Platba byla zamítnuta: Nedostatek prostředků na "
                           "účtu. Zboží"),
            std::string::npos);
  EXPECT_EQ(shop_.OrderArrived("REF5", second), std::nullopt);

  // Edited files, unknown numbers: refused; purchases written by hand: the merchant's own.
  std::string edited = first;
  edited.replace(edited.find(";289"), 4, ";1");
  EXPECT_NE(shop_.OrderArrived("REF6", edited), std::nullopt);
  EXPECT_NE(shop_.OrderArrived("REF7", "Objedn\xE1vka \xE8. 99;1;0\r\nPero;1;5\r\n"), std::nullopt);
  EXPECT_EQ(shop_.OrderArrived("REF8", "Kniha;1;300\r\n"), std::nullopt);
  // Outcomes of orders the shop never saw change nothing.
  shop_.OrderPaid("REF8", 300, std::chrono::system_clock::now());
}

TEST_F(WebShopTest, BadInputGetsAClearAnswerAndRecordsNothing) {
  struct Case {
    const char* method;
    const char* path;
    const char* body;
    int status;
  };
  const Case cases[] = {
      {"POST", "/kosik/pridat", "zbozi=17&pocet=1", 404},  // unknown article
      {"POST", "/kosik/pridat", "zbozi=x&pocet=1", 404},
      {"POST", "/kosik/pridat", "zbozi=0&pocet=0", 400},  // counts outside 1-999
      {"POST", "/kosik/pridat", "zbozi=0&pocet=1000", 400},
      {"POST", "/kosik/pridat", "zbozi=0&pocet=-1", 400},
      {"POST", "/kosik/pridat", "zbozi=0&pocet=1e3", 400},
      {"POST", "/kosik/pridat", "zbozi=0", 400},
      {"POST", "/kosik/pridat", "zbozi=0&pocet=%zz", 400},  // malformed form
      {"POST", "/kosik/pridat", "zbozi=0&zbozi=1&pocet=1", 400},
      {"POST", "/kosik/zmenit", "", 400},
      {"POST", "/zaplatit", "", 400},  // empty cart
      {"GET", "/zaplatit", "", 405},
      {"GET", "/kosik/pridat", "", 405},
      {"OTHER", "/", "", 405},
      {"GET", "/objednavka/1", "", 404},  // unknown order numbers
      {"GET", "/objednavka/abc", "", 404},
      {"GET", "/objednavka/99999999999999999999999", "", 404},
      {"GET", "/objednavka/1/jinak", "", 404},
      {"GET", "/nic", "", 404},
      {"GET", "/objednavka/posledni", "", 404},  // nothing ordered yet
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.path + " " + c.body);
    const ShopResponse response = Send(c.method, c.path, c.body);
    EXPECT_EQ(response.status, c.status);
    EXPECT_FALSE(response.body.empty());
  }
  // A count that would pass 999 pieces in the cart, and a forged cart cookie.
  EXPECT_EQ(Post("/kosik/pridat", "zbozi=0&pocet=999").status, 303);
  EXPECT_EQ(Post("/kosik/pridat", "zbozi=0&pocet=1").status, 400);
  cookie_ = "kosik=0_5_0_5";
  EXPECT_EQ(Post("/zaplatit", "").status, 400);
  cookie_ = "kosik=9_1";
  EXPECT_EQ(Post("/zaplatit", "").status, 400);
  EXPECT_EQ(Get("/objednavka/1").status, 404);
  EXPECT_TRUE(log_.empty());
}

TEST(WebShop, RefusesACartTheWalletCouldNotSend) {
  // Long names: a few lines fill the one datagram the wallet sends the order in.
  std::string text;
  for (int i = 0; i < 12; ++i)
    text += "Kniha " + std::to_string(i) + std::string(40, 'x') + ";1;10\n";
  WebShop shop(ShopCatalogue::Parse(text), "127.0.0.1", "127.0.0.1:8004",
               [](const std::string&) {});
  std::string cookie;
  int refused_at = -1;
  for (int i = 0; i < 12 && refused_at < 0; ++i) {
    ShopRequest request{
        "POST", "/kosik/pridat", "", "zbozi=" + std::to_string(i) + "&pocet=1", cookie, ""};
    const ShopResponse response = shop.Handle(request);
    if (response.status != 303) {
      EXPECT_EQ(response.status, 413);
      refused_at = i;
      break;
    }
    cookie = response.headers.back().second.substr(0, response.headers.back().second.find(';'));
  }
  ASSERT_GT(refused_at, 2);
  // The cart as it stood still pays, and its order fits the wallet's datagram.
  const ShopResponse file = shop.Handle({"POST", "/zaplatit", "", "", cookie, ""});
  EXPECT_EQ(file.status, 200);
  EXPECT_EQ(shop.Handle({"GET", "/objednavka/1", "", "", "", ""}).status, 200);
}

TEST(WebShop, RefusesAMerchantAddressTheWalletCannotRead) {
  EXPECT_THROW(WebShop(ShopCatalogue::Default(), "192.168.100.100", "x", {}), Exception);
}

}  // namespace
}  // namespace pelvane::peers
