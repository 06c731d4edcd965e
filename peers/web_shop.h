// The merchant's web shop: a catalogue, a cart held in a cookie, and orders handed to the
// browser as purchase description files for the wallet. It listens to the merchant
// (MerchantObserver) to show each order's state on its order page.
//
// A web order is tied to the merchant's order by its order text. The shop puts a first line
// "Objednávka č. N;1;0" (zero crowns) before the articles, so two orders with the same cart
// never have the same text; the text the wallet sends must equal the one handed out byte for
// byte (an edited file is refused), and an order already paid or being paid is refused, so a
// web order is paid at most once even from several copies of its file. Order texts without such
// a line (purchase files written by hand) are left to the merchant as before.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "peers/merchant_observer.h"
#include "peers/peer_log.h"
#include "peers/shop_catalogue.h"

namespace pelvane::peers {

// One HTTP request as the shop sees it.
struct ShopRequest {
  std::string method;  // "GET", "POST", ...
  std::string path;    // decoded path, without the query
  std::string query;   // the raw query, without "?"
  std::string body;
  std::string cookie;  // the Cookie header
  std::string host;    // the Host header
};

struct ShopResponse {
  int status = 200;
  std::string content_type;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

// The MIME type of purchase description files.
inline constexpr char kPurchaseMimeType[] = "application/x-pelvane-purchase";

class WebShop final : public MerchantObserver {
 public:
  // merchant_host: the merchant's address written into the files' "SET-SET-URL: " line (the
  // wallet sends the order there); listen_address: "ADDRESS:PORT" of the shop, for links when a
  // request names no usable host.
  WebShop(ShopCatalogue catalogue, std::string merchant_host, std::string listen_address,
          LogSink log);

  ShopResponse Handle(const ShopRequest& request);

  std::optional<std::string> OrderArrived(const std::string& reference,
                                          const std::string& order_text) override;
  void OrderPaid(const std::string& reference, std::int64_t amount,
                 std::chrono::system_clock::time_point when) override;
  void OrderDispatched(const std::string& reference) override;
  void OrderRefused(const std::string& reference, const std::string& reason) override;

  // The most pieces of one article in a cart, and the most web orders remembered (the oldest
  // goes first).
  static constexpr int kMaxCount = 999;
  static constexpr std::size_t kMaxOrders = 4096;

 private:
  using Cart = std::vector<std::pair<std::size_t, int>>;  // article index, count

  enum class State { kWaiting, kPaying, kPaid, kDispatched, kRefused };
  struct WebOrder {
    std::uint64_t number = 0;
    Cart cart;
    std::string order_text;  // Windows-1250, as the wallet sends it
    std::int64_t total = 0;
    std::chrono::system_clock::time_point created;
    State state = State::kWaiting;
    std::int64_t amount_paid = 0;
    std::chrono::system_clock::time_point paid_at;
    std::string refusal;  // Windows-1250
  };

  ShopResponse CataloguePage(const ShopRequest& request);
  ShopResponse CartPage(const ShopRequest& request);
  ShopResponse ChangeCart(const ShopRequest& request, bool add);
  ShopResponse Pay(const ShopRequest& request);
  ShopResponse OrderPage(const ShopRequest& request, const WebOrder& order);
  // An order's state for its page and for the live updates: a key for styles and scripts,
  // the sentence shown, and the payment (empty until paid); UTF-8.
  struct StateView {
    std::string key;
    std::string text;
    std::string paid;
  };
  static StateView ViewOf(const WebOrder& order);
  ShopResponse OrderState(const WebOrder& order);
  ShopResponse PurchaseFile(const ShopRequest& request, const WebOrder& order);

  Cart CartOf(const ShopRequest& request) const;
  std::string OrderText(std::uint64_t number, const Cart& cart) const;
  // Why a cart cannot be ordered (UTF-8), if it cannot.
  std::optional<std::string> CartFault(const Cart& cart) const;
  std::string Page(const ShopRequest& request, const std::string& title, const std::string& content,
                   const std::string& head_extra = {}) const;
  ShopResponse ErrorPage(const ShopRequest& request, int status, const std::string& message) const;
  std::string BaseUrl(const ShopRequest& request) const;
  WebOrder* FindOrder(std::string_view number_text);
  WebOrder* OrderOfReference(const std::string& reference);

  ShopCatalogue catalogue_;
  std::string merchant_host_;
  std::string listen_address_;
  LogSink log_;
  std::uint64_t next_number_ = 1;
  std::map<std::uint64_t, WebOrder> orders_;
  std::map<std::string, std::uint64_t> order_of_reference_;
  std::deque<std::string> reference_age_;
};

}  // namespace pelvane::peers
