// The simulated payment gateway (port 2003): announces its key, takes the wallet's session key,
// opens the gateway block the merchant passes on (the customer digest), has the bank debit the
// order total, and tells the wallet (10 or 25) and the merchant the outcome.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "peers/peer_base.h"

namespace pelvane::peers {

class Gateway final : public PeerBase {
 public:
  // bank_host: where debit requests go (port 2001); results are accepted only from there.
  // seam: see PeerSeam.
  Gateway(const std::string& bind_address, const std::string& bank_host, LogSink log,
          PeerSeam seam = {});

 protected:
  bool Handle(int id, const std::string& frame, const std::string& from_ip, int from_port) override;

 private:
  void OnAuthorizationRequest(const std::string& frame, const std::string& ip, int port);
  void OnDebitResult(const std::string& frame, const std::string& ip, int port);
  void AnswerMerchant(const std::string& ip, int port, const std::string& reference,
                      const std::string& status, const std::string& detail);

  struct Pending {
    std::string wallet_ip;
    std::string merchant_ip;
    int merchant_port = 0;
    std::int64_t amount = 0;
  };

  std::string bank_ip_;
  std::map<std::string, Pending> pending_;  // by order reference
};

}  // namespace pelvane::peers
