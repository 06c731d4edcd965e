// The operating system's random source, in a file of its own: a fuzz harness that needs
// reproducible runs links its own SecureRandomBytes in place of this one.
#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "crypto/exception.h"
#include "crypto/secure.h"

namespace pelvane {

void SecureRandomBytes(void* data, std::size_t size) {
  auto* out = static_cast<unsigned char*>(data);
  while (size > 0) {
    const ssize_t got = getrandom(out, size, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw Exception(std::string("Cannot read the system's random source: ") +
                      std::strerror(errno));
    }
    out += got;
    size -= static_cast<std::size_t>(got);
  }
}

}  // namespace pelvane
