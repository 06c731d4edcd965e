#include "tools/pelvane-crypt/cli.h"
#include "tools/pelvane-crypt/stub.h"

namespace pelvane::crypt {

const Command kFrameCommand = {"frame", "Build a plain frame or read a frame's body", "--plain --id N | --body",
                                [](const std::vector<std::string>&) { return NotAvailable("frame"); }};

}  // namespace pelvane::crypt
