#include "crypto/secure.h"

#include <cstring>

namespace pelvane {

void SecureWipe(void* data, std::size_t size) noexcept {
  if (data != nullptr && size > 0) explicit_bzero(data, size);
}

}  // namespace pelvane
