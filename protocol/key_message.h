// Key messages (99 from the wallet, 98, 95 and 96 from the peers): a plain frame whose data is
// the sender's public key text at 512 bits.
#pragma once

#include <string>
#include <string_view>

namespace pelvane {

// The public key a key message carries. Throws (the frame's or the RSA component's errors) when
// the body is no key the RSA component accepts at 512 bits, so that a stray frame never takes
// the place of a key an exchange relies on.
std::string PublicKeyOfKeyMessage(std::string_view frame);

}  // namespace pelvane
