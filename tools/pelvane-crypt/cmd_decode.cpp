#include "tools/pelvane-crypt/cli.h"
#include "tools/pelvane-crypt/stub.h"

namespace pelvane::crypt {

const Command kDecodeCommand = {"decode", "Text in a string format to bytes", "--format ID",
                                [](const std::vector<std::string>&) { return NotAvailable("decode"); }};

}  // namespace pelvane::crypt
