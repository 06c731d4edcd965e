// The message identifiers of the wallet protocol, as the wallet and the peers both use them, and
// the reading of a frame's identifier.
#pragma once

#include <string_view>

namespace pelvane {

// Identifiers between the wallet and its peers (decimal). Who sends each, and what it carries:
enum WalletMessage : int {
  kMsgCustomerDigest = 1,          // wallet -> bank: the customer digest (secure)
  kMsgBalance = 2,                 // bank -> wallet: the balance or a refusal (secure)
  kMsgPaymentConfirmed = 10,       // gateway -> wallet: the amount paid or a refusal (secure)
  kMsgPaymentList = 13,            // wallet -> bank: the digest; bank -> wallet: the payments
  kMsgGatewayReport = 20,          // gateway -> wallet: a final report (secure)
  kMsgWalletRefusal = 21,          // wallet -> bank: the purchase refused for lack of funds
  kMsgBankReport = 22,             // bank -> wallet: a final report (secure)
  kMsgMerchantReport = 23,         // merchant -> wallet: the final report (secure)
  kMsgGatewayRefusal = 25,         // gateway -> wallet: the payment refused (secure)
  kMsgGatewayAddressRequest = 75,  // wallet -> bank: kGatewayAddressQuery (secure)
  kMsgGatewayAddress = 76,         // bank -> wallet: the gateway's address (secure)
  kMsgDualOrder = 79,              // wallet -> merchant: gateway block and merchant block
  kMsgSessionKey = 89,             // wallet -> peer: a session key under the peer's public key
  kMsgGatewayKey = 95,             // gateway -> wallet: the gateway's public key (plain)
  kMsgMerchantKey = 96,            // merchant -> wallet: the merchant's public key (plain)
  kMsgBankKey = 98,                // bank -> wallet: the bank's public key (plain)
  kMsgWalletKey = 99,              // wallet -> peer: the wallet's public key (plain)
};

// The identifier of a frame: its first two characters as a hexadecimal number. Throws
// EConvertError (as HexFieldToInt) when they are not hexadecimal or the frame is empty.
int MessageIdOf(std::string_view frame);

}  // namespace pelvane
