// The simulated customer's bank (port 2001): announces its key, identifies customers by their
// digest, reports balances and payment lists, tells the payment gateway's address, records the
// refusals wallets report, and debits payments the payment gateway requests.
//
// One payment per order reference: a repeated debit request is answered with the outcome of
// the first, paid or refused. A request after its deadline moves no money. When the database
// fails (busy, locked, read-only, full) the debit is refused with the reason, never left
// unanswered.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "peers/bank_database.h"
#include "peers/peer_base.h"

namespace pelvane::peers {

// The refusal texts the bank sends (Windows-1250).
inline constexpr char kUnknownCustomerText[] =
    "*** Z\xE1kazn\xEDk nen\xED veden v bance nebo zadal chybn\xE9 heslo.";

// The most characters a secure frame carries (a longer payment list is cut to the newest).
inline constexpr std::size_t kMaxSecureText = 585;

class Bank final : public PeerBase {
 public:
  // gateway_host: the address announced in message 76; debit requests are accepted only from
  // that address's port 2003. seam: see PeerSeam.
  Bank(BankDatabase& db, const std::string& bind_address, const std::string& gateway_host,
       LogSink log, PeerSeam seam = {});

  // The text of message 13 for these payments: one line per payment (date, time, amount and
  // the merchant's account under the wallet's column titles), lines joined by CR LF, cut to
  // the newest payments that fit one secure frame.
  static std::string PaymentListText(const std::vector<Payment>& payments);

 protected:
  bool Handle(int id, const std::string& frame, const std::string& from_ip, int from_port) override;
  void OnNewExchange(const std::string& wallet_ip) override { customers_.erase(wallet_ip); }
  // A customer identifies himself anew in every exchange.
  bool RepeatedKeyStartsNewExchange() const override { return true; }

 private:
  void OnCustomerDigest(const std::string& frame, const std::string& ip, WalletKeys& wallet);
  void OnPaymentListRequest(const std::string& frame, const std::string& ip, WalletKeys& wallet);
  void OnWalletRefusal(const std::string& frame, const std::string& ip, WalletKeys& wallet);
  void OnGatewayAddressRequest(const std::string& frame, const std::string& ip, WalletKeys& wallet);
  void OnDebitRequest(const std::string& frame, const std::string& ip, int port);
  void RememberRefusal(const std::string& reference, const std::string& reason);

  BankDatabase& db_;
  std::string gateway_host_;
  std::string gateway_ip_;
  // The account each wallet identified itself with (message 1), by the wallet's address.
  std::map<std::string, std::int64_t> customers_;
  // The references refused so far and why (the paid ones are in the database): a repeated
  // request gets the same refusal, even when the database was the reason and works again.
  std::map<std::string, std::string> refused_;
  std::deque<std::string> refused_age_;  // oldest first
};

}  // namespace pelvane::peers
