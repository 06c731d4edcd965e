#include "protocol/key_message.h"

#include "crypto/rsa/rsa.h"
#include "messaging/frames.h"

namespace pelvane {

std::string PublicKeyOfKeyMessage(std::string_view frame) {
  std::string key = GetMessageBody(frame);
  TRSA check;
  check.SetKeyBits(kb0512);
  check.SetPublicKey(key);
  return key;
}

}  // namespace pelvane
