#include "tools/pelvane-crypt/cli.h"
#include "tools/pelvane-crypt/stub.h"

namespace pelvane::crypt {

const Command kEncodeCommand = {"encode", "Bytes to text in a string format", "--format ID",
                                [](const std::vector<std::string>&) { return NotAvailable("encode"); }};

}  // namespace pelvane::crypt
