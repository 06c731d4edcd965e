#include "tools/pelvane-crypt/cli.h"
#include "tools/pelvane-crypt/stub.h"

namespace pelvane::crypt {

const Command kCipherCommand = {"cipher", "Encipher or decipher with a block cipher", "--encode|--decode --algorithm NAME --mode MODE --key-hex HEX [--key-hash NAME|none] [--iv-hex HEX]",
                                [](const std::vector<std::string>&) { return NotAvailable("cipher"); }};

}  // namespace pelvane::crypt
