#include "tools/pelvane-crypt/cli.h"
#include "tools/pelvane-crypt/stub.h"

namespace pelvane::crypt {

const Command kEnvelopeCommand = {"envelope", "Build and open secure envelopes", "--key|--seal|--block|--open ...",
                                [](const std::vector<std::string>&) { return NotAvailable("envelope"); }};

}  // namespace pelvane::crypt
