// A subcommand that this build does not provide yet.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace pelvane::crypt {

inline int NotAvailable(const char* name) {
  std::fprintf(stderr, "pelvane-crypt: '%s' is not available in this build\n", name);
  return 2;
}

}  // namespace pelvane::crypt
