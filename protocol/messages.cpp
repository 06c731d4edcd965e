#include "protocol/messages.h"

#include "messaging/frames.h"

namespace pelvane {

int MessageIdOf(std::string_view frame) {
  return HexFieldToInt(frame.substr(0, 2));
}

}  // namespace pelvane
