// The merchant's reading of an order text.
#include <gtest/gtest.h>

#include <string>

#include "peers/order_text.h"

namespace pelvane::peers {
namespace {

TEST(ParseOrder, AcceptsOrdersAndSumsThePrices) {
  struct Case {
    std::string text;
    std::size_t items;
    std::int64_t total;
  };
  const Case cases[] = {
      // The count does not multiply the price: the price is the line's price.
      {"Kniha;2;300\r\nPero;5;20\r\n", 2, 320},
      {"Kniha;1;300", 1, 300},                      // no final break
      {"Kniha;1;300\r\n\r\nPero;1;1\r\n", 2, 301},  // empty line skipped
      {"Kniha;1; 300\nPero;+1;0\n", 2, 300},        // leading blank and sign, LF breaks
      {";1;5\r\n", 1, 5},                           // empty name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Order order;
    EXPECT_EQ(ParseOrder(c.text, order), std::nullopt);
    EXPECT_EQ(order.items.size(), c.items);
    EXPECT_EQ(order.total, c.total);
  }
  Order order;
  ASSERT_EQ(ParseOrder("Bo\x9E"
                       "ena N\xECmcov\xE1: Babi\xE8ka;1;289\r\n",
                       order),
            std::nullopt);
  EXPECT_EQ(order.items[0].name,
            "Bo\x9E"
            "ena N\xECmcov\xE1: Babi\xE8ka");
  EXPECT_EQ(order.items[0].count, 1);
}

TEST(ParseOrder, RefusesWhatCannotBeSold) {
  const char* cases[] = {
      "",                                      // nothing ordered
      "\r\n\r\n",                              // only empty lines
      "Kniha;1;0\r\n",                         // total 0
      "Kniha;300\r\n",                         // one ";"
      "Kniha\r\n",                             // none
      "Kniha;dva;300\r\n",                     // count not a number
      "Kniha;1;300 \r\n",                      // blank after the digits
      "Kniha;1;3;00\r\n",                      // third ";"
      "Kniha;0;300\r\n",                       // count below 1
      "Kniha;1;-300\r\nPero;1;400\r\n",        // a negative price would pay the customer
      "A;1;2000000000\r\nB;1;2000000000\r\n",  // total beyond the balance range
      "Kniha;1;99999999999\r\n",               // price beyond the integer range
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    Order order;
    const auto reason = ParseOrder(text, order);
    ASSERT_TRUE(reason.has_value());
    EXPECT_FALSE(reason->empty());
  }
}

}  // namespace
}  // namespace pelvane::peers
