// What the merchant tells about the orders it takes, as it learns their outcome. The web shop
// listens to tie paid orders to the orders it handed out.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace pelvane::peers {

class MerchantObserver {
 public:
  virtual ~MerchantObserver() = default;

  // A new order (reference: the merchant's order reference; order_text: the merchant block,
  // Windows-1250) that opened and parsed, before the payment gateway is asked. A returned
  // reason (Windows-1250, without "***") refuses the order: nothing is paid and the wallet gets
  // the reason in its report.
  virtual std::optional<std::string> OrderArrived(const std::string& reference,
                                                  const std::string& order_text) = 0;
  // The payment gateway reported the order paid.
  virtual void OrderPaid(const std::string& reference, std::int64_t amount,
                         std::chrono::system_clock::time_point when) = 0;
  // The goods of a paid order left.
  virtual void OrderDispatched(const std::string& reference) = 0;
  // The order was refused (Windows-1250 reason, without "***"). A late answer of the gateway
  // may still report it paid afterwards.
  virtual void OrderRefused(const std::string& reference, const std::string& reason) = 0;
};

}  // namespace pelvane::peers
