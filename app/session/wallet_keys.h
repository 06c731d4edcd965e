// The wallet's fixed 512-bit RSA key pair, in the key text form of TRSA: the public key
// ("exponent:modulus", 93 characters) announced to every peer, and the private key
// ("modulus:private exponent", 173 characters) that opens the session keys sent to us.
#pragma once

namespace pelvane {

inline constexpr char kWalletPublicKey[] =
    "++2++E:tg-mOvBM-ReAu2PK3K0v+j1iAKA+naSXUe2dankMIgx9zfydD2p1PeGgy+LwoQUP5K06xlWcW0WgKQEmjo86aU";

inline constexpr char kWalletPrivateKey[] =
    "tg-mOvBM-ReAu2PK3K0v+j1iAKA+naSXUe2dankMIgx9zfydD2p1PeGgy+LwoQUP5K06xlWcW0WgKQEmjo86aU:hlXc6T-"
    "gAbT1K8DI4fgAuDJ9dQ+gruYMoa-IXr6-xu2bm4q2cIvY0smAkmztSxBeDPbIwvt8RO1V3BpQVpXY7U";

}  // namespace pelvane
