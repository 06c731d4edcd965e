// The simulated payment gateway (port 2003): announces its key, takes the wallet's session key,
// opens the gateway block the merchant passes on (the customer digest), has the bank debit the
// order total, and tells the wallet (10 or 25) and the merchant the outcome.
//
// Each order reference is settled once. A repeated request for a settled reference is answered
// from the gateway's records (the wallet is told the same outcome again, the bank is not asked
// again); the debit request to the bank is retried on a timer until the bank answers, and carries
// a deadline after which the bank refuses it, so that when the gateway gives up and tells the
// wallet "refused", no late request can still move the money.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "peers/peer_base.h"
#include "peers/request_retry.h"

namespace pelvane::peers {

class Gateway final : public PeerBase {
 public:
  // bank_host: where debit requests go (port 2001); results are accepted only from there.
  // merchant_host: authorization requests are accepted only from its port 2004 (empty: the
  // bind address). seam: see PeerSeam.
  Gateway(const std::string& bind_address, const std::string& bank_host, LogSink log,
          PeerSeam seam = {}, const std::string& merchant_host = {});

  // Tries of a debit request, and their spacing.
  static RetryPolicy DebitRetry();

 protected:
  bool Handle(int id, const std::string& frame, const std::string& from_ip, int from_port) override;

 private:
  enum class Outcome { kPending, kPaid, kRefused };
  struct Authorization {
    std::string wallet_ip;
    std::int64_t amount = 0;
    std::string merchant_account;
    std::string gateway_block;  // as received: a repeat must carry the same
    std::string merchant_ip;
    int merchant_port = 0;
    // The wallet's keys when the order came: later key messages from that address do not keep
    // the wallet from hearing this order's outcome.
    WalletKeys keys;
    std::string request;  // the debit request, sent again on each try
    Outcome outcome = Outcome::kPending;
    std::string detail;  // the amount paid, or the reason of the refusal
  };

  void OnAuthorizationRequest(const std::string& frame, const std::string& ip, int port);
  void OnDebitResult(const std::string& frame, const std::string& ip, int port);
  void BankSilent(const std::string& reference);
  void Settle(const std::string& reference, Outcome outcome, const std::string& detail);
  // Tells the merchant (A1) and, unless wallet_ip is empty, the wallet there (10 or 25) the
  // settled outcome, sealed with the keys the order came with.
  void Announce(const std::string& reference, const std::string& wallet_ip);
  Authorization& Remember(const std::string& reference);

  std::string bank_ip_;
  std::string merchant_ip_;
  std::map<std::string, Authorization> orders_;  // by order reference
  std::deque<std::string> order_age_;            // references, oldest first
  RequestRetrier retrier_;
};

}  // namespace pelvane::peers
