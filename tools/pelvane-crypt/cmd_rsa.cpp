#include "tools/pelvane-crypt/cli.h"
#include "tools/pelvane-crypt/stub.h"

namespace pelvane::crypt {

const Command kRsaCommand = {"rsa", "RSA key generation, encryption and decryption", "--keygen [--bits N] | --encrypt --public-key-file F | --decrypt --private-key-file F",
                                [](const std::vector<std::string>&) { return NotAvailable("rsa"); }};

}  // namespace pelvane::crypt
