// The four fixed UDP ports of the protocol. The wallet receives on its port and sends from it
// whenever the port is free; each peer receives and answers on its own.
#pragma once

namespace pelvane {

inline constexpr int kWalletPort = 2000;
inline constexpr int kBankPort = 2001;
inline constexpr int kGatewayPort = 2003;
inline constexpr int kMerchantPort = 2004;

}  // namespace pelvane
