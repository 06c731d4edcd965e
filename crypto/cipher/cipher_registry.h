// The process-wide cipher registry: every cipher is found by name through it. It is filled on
// first use, in this order: Blowfish, IDEA, Twofish, Cast 128, Cast 256, the DES family
// ("DES Single 8byte" to "DES Triple 24byte"), DESX, RC2, RC4, RC5, RC6 and Rijndael, each
// with its description and note (for example "Cast 256=Patented").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "crypto/cipher/cipher.h"

namespace pelvane {

struct TCipherRegistryEntry {
  TCipherClassRef cls;
  std::string text;  // "DES Triple 24byte="
};

// Registers cls with "description=note" (a blank description: the class name without the
// leading "T" and everything up to its first "_"). An existing entry of cls is updated in
// place. Returns false for a null class.
bool RegisterCipher(TCipherClassRef cls, std::string_view description, std::string_view note);
// Removes every entry of cls; true when one was removed.
bool UnregisterCipher(TCipherClassRef cls);
// "TCipher_3TDES", "Cipher_3TDES", "3TDES" and "DES Triple 24byte" (any letter case) all find
// TCipher_3TDES. Null when nothing matches.
TCipherClassRef FindCipherClass(std::string_view name);
// The description of a registered class ("DES Triple 24byte"); the short class name for a
// class without an entry; empty for null.
std::string CipherClassName(TCipherClassRef cls);
// The entry text of cls ("DES Triple 24byte="), empty when it has none.
std::string CipherClassEntryText(TCipherClassRef cls);
// The entries in order.
std::vector<TCipherRegistryEntry> CipherRegistryEntries();

}  // namespace pelvane
