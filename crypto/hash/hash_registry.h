// The process-wide hash registry: every hash is found by name through it. It is filled on
// first use, in this order, with THash_MD4, THash_MD5, THash_SHA, THash_SHA1,
// THash_RipeMD128, THash_RipeMD160, THash_RipeMD256, THash_RipeMD320, THash_Haval128 to
// THash_Haval256, THash_Tiger (each with its description, e.g. "Message Digest 5", and the note
// "Hash"), then THash_XOR16, THash_XOR32, THash_CRC16_CCITT, Thash_CRC16_Standard and
// THash_CRC32 (note "Checksum"). The rows of the full table that have no working algorithm
// here are listed in crypto/algorithm_catalogue.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "crypto/hash/hash.h"

namespace pelvane {

struct THashRegistryEntry {
  THashClassRef cls;
  std::string text;  // "Message Digest 5=Hash"
};

// Registers cls with "description=note" (a blank description: the short class name). An
// existing entry of cls is updated in place. Returns false for a null class.
bool RegisterHash(THashClassRef cls, std::string_view description, std::string_view note);
// Removes every entry of cls; true when one was removed.
bool UnregisterHash(THashClassRef cls);
// "THash_MD5", "Hash_MD5", "MD5" and "Message Digest 5" (any letter case) all find THash_MD5.
// Null when nothing matches.
THashClassRef FindHashClass(std::string_view name);
// The description of a registered class ("Message Digest 5"); the short class name ("MD5")
// for a class without an entry; empty for null.
std::string HashClassName(THashClassRef cls);
// The entry text of cls ("Message Digest 5=Hash"), empty when it has none.
std::string HashClassEntryText(THashClassRef cls);
// The entries in order.
std::vector<THashRegistryEntry> HashRegistryEntries();

}  // namespace pelvane
