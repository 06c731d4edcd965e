// The simulated merchant (port 2004): announces its key, takes the wallet's session key, opens
// its block of the dual message 79 (the order), passes the gateway block and the order total
// to the payment gateway, and sends the wallet the final report 23.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "peers/peer_base.h"

namespace pelvane::peers {

// The account payments to this merchant are credited to, as the bank's payment list shows it.
inline constexpr char kMerchantAccount[] = "2004123456/0800";

// The beginning of the report 23 for dispatched goods (Windows-1250): "Zboží bylo odesláno."
inline constexpr char kDispatchedText[] = "Zbo\x9E\xED bylo odesl\xE1no.";

class Merchant final : public PeerBase {
 public:
  // gateway_host: where authorization requests go (port 2003); results are accepted only
  // from there. seam: see PeerSeam.
  Merchant(const std::string& bind_address, const std::string& gateway_host, LogSink log,
           PeerSeam seam = {});

 protected:
  bool Handle(int id, const std::string& frame, const std::string& from_ip, int from_port) override;

 private:
  void OnOrder(const std::string& frame, const std::string& ip);
  void OnAuthorizationResult(const std::string& frame, const std::string& ip, int port);

  struct PendingOrder {
    std::string wallet_ip;
    std::int64_t total = 0;
  };

  std::string gateway_ip_;
  std::map<std::string, PendingOrder> orders_;  // by order reference
};

}  // namespace pelvane::peers
