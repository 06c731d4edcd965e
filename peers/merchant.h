// The simulated merchant (port 2004): announces its key, takes the wallet's session key, opens
// its block of the dual message 79 (the order), passes the gateway block and the order total
// to the payment gateway, and sends the wallet the final report 23.
//
// An order's reference is derived from its content (the whole 79), so the same 79 received
// twice, from anywhere, is the same order: it is never passed on as a second payment, and
// a repeat of a settled order has the gateway tell the wallet its outcome again. The request to
// the gateway is retried on a timer until answered; when the gateway never answers, the wallet
// gets a refusal in 23.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "peers/merchant_observer.h"
#include "peers/peer_base.h"
#include "peers/request_retry.h"

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

  // The reference of the order a 79 carries: 16 upper-case hexadecimal digits of the SHA-1
  // digest of the whole frame.
  static std::string OrderReference(const std::string& frame);

  // Tries of an authorization request, and their spacing.
  static RetryPolicy AuthorizationRetry();

  // Who hears about the orders' outcomes (not owned; may be null).
  void SetObserver(MerchantObserver* observer) { observer_ = observer; }

 protected:
  bool Handle(int id, const std::string& frame, const std::string& from_ip, int from_port) override;

 private:
  void OnOrder(const std::string& frame, const std::string& ip);
  void OnAuthorizationResult(const std::string& frame, const std::string& ip, int port);
  void GatewaySilent(const std::string& reference);
  void Report(const std::string& reference);
  void AskGateway(const std::string& reference);

  struct OrderRecord {
    std::string wallet_ip;
    std::int64_t total = 0;
    // The wallet's keys as they were when it ordered: a later 99 or 89 from that address (a
    // new exchange, or a forged one) does not keep the wallet from hearing about this order.
    WalletKeys keys;
    std::vector<std::string> request_fields;  // of the authorization request
    // The wallet sent the settled order again: the gateway is asked to tell it the outcome
    // again, and the report follows the gateway's answer.
    bool retelling = false;
    std::string retell_to;  // the address that sent the order again
    bool settled = false;
    bool gave_up = false;  // settled because the gateway never answered
    std::string report;    // the text of 23 once settled
  };

  std::string gateway_ip_;
  std::map<std::string, OrderRecord> orders_;  // by order reference
  std::deque<std::string> order_age_;          // references, oldest first
  RequestRetrier retrier_;
  MerchantObserver* observer_ = nullptr;
};

}  // namespace pelvane::peers
