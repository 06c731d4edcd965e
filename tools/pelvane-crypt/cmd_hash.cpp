#include "tools/pelvane-crypt/cli.h"
#include "tools/pelvane-crypt/stub.h"

namespace pelvane::crypt {

const Command kHashCommand = {"hash", "Digest of standard input", "--algorithm NAME [--format ID]",
                                [](const std::vector<std::string>&) { return NotAvailable("hash"); }};

}  // namespace pelvane::crypt
