// RSA key pairs in TRSA's key text form, from the operating system's random source.
#pragma once

#include <string>

#include "crypto/rsa/rsa.h"

namespace pelvane {

// A public key text ("exponent:modulus") and the matching private key text
// ("modulus:private exponent"). The private text is wiped when the pair goes away.
struct RsaKeyPair {
  std::string public_key;
  std::string private_key;
  RsaKeyPair() = default;
  RsaKeyPair(const RsaKeyPair&) = delete;
  RsaKeyPair& operator=(const RsaKeyPair&) = delete;
  RsaKeyPair(RsaKeyPair&&) = default;
  RsaKeyPair& operator=(RsaKeyPair&&) = default;
  ~RsaKeyPair();
};

// A fresh key pair of the given size: two probable primes of half the size each (the top two
// bits set, so the modulus has exactly the full size and a non-zero top byte), public exponent
// 65537 as a 4-byte field, private exponent the inverse of 65537 modulo (p - 1)(q - 1).
// Throws Exception when the random source fails.
RsaKeyPair GenerateRsaKeyPair(TKeyBits bits);

// True when the number (n digits) is a probable prime after trial division and `rounds`
// Miller-Rabin rounds with random bases.
bool IsProbablePrime(const MpDigit* p, std::size_t n, int rounds);

}  // namespace pelvane
