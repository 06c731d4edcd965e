#include "crypto/algorithm_catalogue.h"

#include <string_view>

#include "crypto/cipher/cipher_registry.h"
#include "crypto/hash/class_registry.h"
#include "crypto/hash/hash_registry.h"

namespace pelvane {

namespace {

// Why rows have no algorithm here.
constexpr const char* kSapphire =
    "Sapphire II is published only as its designer's source code, and no independent "
    "implementation is at hand to test against";
constexpr const char* kSquareHash = "no public definition of a hash of this name";
constexpr const char* kSnefru =
    "Snefru's S-boxes come from the RAND table of random digits and are published only as "
    "source code, so they cannot be reproduced exactly";
constexpr const char* kSample = "an example row for writing new classes, not an algorithm";
constexpr const char* kNoDefinition = "no public definition";
constexpr const char* kNoReference = "no independent implementation at hand to test against";
constexpr const char* kDiamond =
    "published only as its designer's source code, and no independent implementation is at "
    "hand to test against";
constexpr const char* kSafer40 =
    "no independent implementation or published known answers for the 40-bit variants at hand";
constexpr const char* kShark =
    "its diffusion matrix, affine map and key-schedule tables are not obtainable from a public "
    "definition";
constexpr const char* kSampleNote = "see Unit \"Sample\"";

// Hash rows: class, parent, description, note, digest size.
constexpr CatalogueRow H(const char* cls, const char* parent, const char* description,
                         const char* note, std::int32_t digest_size, const char* absent = nullptr) {
  return {cls, parent, description, note, digest_size, 0, 0, absent};
}

// Cipher rows: class, parent, description, note, block size, key size.
constexpr CatalogueRow C(const char* cls, const char* parent, const char* description,
                         const char* note, std::int32_t block_size, std::int32_t key_size,
                         const char* absent = nullptr) {
  return {cls, parent, description, note, 0, block_size, key_size, absent};
}

constexpr CatalogueRow kHashRows[] = {
    H("THash_MD4", "THash", "Message Digest 4", "Hash", 16),
    H("THash_MD5", "THash_MD4", "Message Digest 5", "Hash", 16),
    H("THash_SHA", "THash_RipeMD160", "Secure Hash Algorithm", "Hash", 20),
    H("THash_SHA1", "THash_SHA", "Secure Hash Algorithm 1", "Hash", 20),
    H("THash_RipeMD128", "THash_MD4", "Ripe Message Digest 128", "Hash", 16),
    H("THash_RipeMD160", "THash_MD4", "Ripe Message Digest 160", "Hash", 20),
    H("THash_RipeMD256", "THash_MD4", "Ripe Message Digest 256", "Hash", 32),
    H("THash_RipeMD320", "THash_MD4", "Ripe Message Digest 320", "Hash", 40),
    H("THash_Haval128", "THash_Haval256", "Haval-128", "Hash", 16),
    H("THash_Haval160", "THash_Haval256", "Haval-160", "Hash", 20),
    H("THash_Haval192", "THash_Haval256", "Haval-192", "Hash", 24),
    H("THash_Haval224", "THash_Haval256", "Haval-224", "Hash", 28),
    H("THash_Haval256", "THash", "Haval-256", "Hash", 32),
    H("THash_Sapphire128", "THash_Sapphire320", "Sapphire II-128", "Hash", 16, kSapphire),
    H("THash_Sapphire160", "THash_Sapphire320", "Sapphire II-160", "Hash", 20, kSapphire),
    H("THash_Sapphire192", "THash_Sapphire320", "Sapphire II-192", "Hash", 24, kSapphire),
    H("THash_Sapphire224", "THash_Sapphire320", "Sapphire II-224", "Hash", 28, kSapphire),
    H("THash_Sapphire256", "THash_Sapphire320", "Sapphire II-256", "Hash", 32, kSapphire),
    H("THash_Sapphire288", "THash_Sapphire320", "Sapphire II-288", "Hash", 36, kSapphire),
    H("THash_Sapphire320", "THash", "Sapphire II-320", "Hash", 40, kSapphire),
    H("THash_Snefru", "THash", "Snefru-256", "Hash", 32, kSnefru),
    H("THash_Square", "THash", "Square", "Hash", 16, kSquareHash),
    H("THash_Tiger", "THash_MD4", "Tiger", "Hash", 24),
    H("THash_XOR16", "TChecksum", "XOR-16", "Checksum", 2),
    H("THash_XOR32", "TChecksum", "XOR-32", "Checksum", 4),
    H("THash_CRC16_CCITT", "THash_XOR16", "CRC-16 CCITT", "Checksum", 2),
    H("Thash_CRC16_Standard", "THash_XOR16", "CRC-16 Standard", "Checksum", 2),
    H("THash_CRC32", "THash_XOR32", "CRC-32", "Checksum", 4),
    H("THash_Sample", "THash", "Sample Hash", kSampleNote, 8, kSample),
};

constexpr CatalogueRow kCipherRows[] = {
    C("TCipher_3Way", "TCipher", "3Way", "", 12, 12),
    C("TCipher_Blowfish", "TCipher", "Blowfish", "", 8, 56),
    C("TCipher_Gost", "TCipher", "Gost", "", 8, 32),
    C("TCipher_IDEA", "TCipher", "IDEA", "free for non-commercial", 8, 16),
    C("TCipher_Q128", "TCipher", "Q128", "", 16, 16, kNoDefinition),
    C("TCipher_SAFER_K40", "TCipher_SAFER", "SAFER-K40", "", 8, 5, kSafer40),
    C("TCipher_SAFER_SK40", "TCipher_SAFER_K40", "SAFER-SK40", "Keyscheduling", 8, 5, kSafer40),
    C("TCipher_SAFER_K64", "TCipher_SAFER", "SAFER-K64", "", 8, 8),
    C("TCipher_SAFER_SK64", "TCipher_SAFER_K64", "SAFER-SK64", "Keyscheduling", 8, 8),
    C("TCipher_SAFER_K128", "TCipher_SAFER", "SAFER-K128", "", 8, 16),
    C("TCipher_SAFER_SK128", "TCipher_SAFER_K128", "SAFER-SK128", "Keyscheduling", 8, 16),
    C("TCipher_SCOP", "TCipher", "SCOP", "", 128, 48, kNoReference),
    C("TCipher_Shark", "TCipher", "Shark", "", 8, 16, kShark),
    C("TCipher_Square", "TCipher", "Square", "", 16, 16),
    C("TCipher_TEA", "TCipher", "TEA", "", 8, 16),
    C("TCipher_TEAN", "TCipher_TEA", "TEA extended", "", 8, 16),
    C("TCipher_Twofish", "TCipher", "Twofish", "", 16, 32),
    C("TCipher_Sample", "TCipher", "Sample Cipher", kSampleNote, 128, 24, kSample),
    C("TCipher_Cast128", "TCipher", "Cast 128", "", 8, 16),
    C("TCipher_Cast256", "TCipher", "Cast 256", "Patented", 16, 32),
    C("TCipher_1DES", "TCipher", "DES Single 8byte", "", 8, 8),
    C("TCipher_2DES", "TCipher_1DES", "DES Double 8byte", "", 8, 16),
    C("TCipher_2DDES", "TCipher_2DES", "DES Double 16byte", "", 16, 16),
    C("TCipher_3DES", "TCipher_1DES", "DES Triple 8byte", "", 8, 24),
    C("TCipher_3DDES", "TCipher_3DES", "DES Triple 16byte", "", 16, 24),
    C("TCipher_3TDES", "TCipher_3DES", "DES Triple 24byte", "", 24, 24),
    C("TCipher_DESX", "TCipher_1DES", "DESX", nullptr, 8, 16),
    C("TCipher_Diamond2", "TCipher", "Diamond II", "", 16, 256, kDiamond),
    C("TCipher_Diamond2Lite", "TCipher_Diamond2", "Diamond II Lite", "", 8, 256, kDiamond),
    C("TCipher_FROG", "TCipher", "FROG", "", 32, 125, kNoReference),
    C("TCipher_Mars", "TCipher", "Mars", "Patented", 16, 156),
    C("TCipher_Misty", "TCipher", "Misty 1", "free for non-commercial", 8, 16),
    C("TCipher_NewDES", "TCipher", "NewDES", "", 8, 15, kNoReference),
    C("TCipher_RC2", "TCipher", "RC2", "", 8, 128),
    C("TCipher_RC4", "TCipher", "RC4", "Patented by RSA", 16, 256),
    C("TCipher_RC5", "TCipher", "RC5", "Patented by RSA", 8, 256),
    C("TCipher_RC6", "TCipher", "RC6", "Patented by RSA", 16, 256),
    C("TCipher_Rijndael", "TCipher", "Rijndael", "", 16, 32),
    C("TCipher_Sapphire", "TCipher", "Sapphire II", "", 32, 1024, kSapphire),
    C("TCipher_Skipjack", "TCipher", "Skipjack", "", 8, 10),
};

constexpr const char* kNotBuilt = "no implementation in this build";

// A registered class as the registries show it.
struct Registered {
  std::string class_name;
  std::string text;  // "description=note"
  std::int32_t digest_size = 0, block_size = 0, key_size = 0;
};

std::vector<Registered> RegisteredRows(AlgorithmKind kind) {
  std::vector<Registered> out;
  if (kind == AlgorithmKind::kHash) {
    for (const THashRegistryEntry& e : HashRegistryEntries()) {
      out.push_back({std::string(e.cls->ClassName()), e.text,
                     static_cast<std::int32_t>(e.cls->DigestSize()), 0, 0});
    }
  } else {
    for (const TCipherRegistryEntry& e : CipherRegistryEntries()) {
      out.push_back(
          {std::string(e.cls->ClassName()), e.text, 0, e.cls->BlockSize(), e.cls->KeySize()});
    }
  }
  return out;
}

AlgorithmListing Working(const Registered& r) {
  const std::size_t eq = r.text.find('=');
  AlgorithmListing l;
  l.class_name = r.class_name;
  l.description = r.text.substr(0, eq);
  l.note = eq == std::string::npos ? std::string() : r.text.substr(eq + 1);
  l.digest_size = r.digest_size;
  l.block_size = r.block_size;
  l.key_size = r.key_size;
  l.works = true;
  return l;
}

}  // namespace

std::span<const CatalogueRow> HashCatalogue() {
  return kHashRows;
}

std::span<const CatalogueRow> CipherCatalogue() {
  return kCipherRows;
}

std::vector<AlgorithmListing> ListAlgorithms(AlgorithmKind kind) {
  const std::span<const CatalogueRow> table =
      kind == AlgorithmKind::kHash ? HashCatalogue() : CipherCatalogue();
  std::vector<Registered> registered = RegisteredRows(kind);
  std::vector<bool> listed(registered.size(), false);
  std::vector<AlgorithmListing> out;
  for (const CatalogueRow& row : table) {
    bool found = false;
    for (std::size_t i = 0; i < registered.size() && !found; ++i) {
      if (registered[i].class_name == row.class_name) {
        out.push_back(Working(registered[i]));
        listed[i] = found = true;
      }
    }
    if (found) continue;
    AlgorithmListing l;
    l.class_name = row.class_name;
    l.description = row.description;
    l.note = row.note != nullptr ? row.note : "";
    l.digest_size = row.digest_size;
    l.block_size = row.block_size;
    l.key_size = row.key_size;
    l.absent_reason = row.absent_reason != nullptr ? row.absent_reason : kNotBuilt;
    out.push_back(std::move(l));
  }
  for (std::size_t i = 0; i < registered.size(); ++i) {
    if (!listed[i]) out.push_back(Working(registered[i]));
  }
  return out;
}

std::optional<AlgorithmListing> FindAbsentAlgorithm(AlgorithmKind kind, std::string_view name) {
  const bool registered = kind == AlgorithmKind::kHash ? FindHashClass(name) != nullptr
                                                       : FindCipherClass(name) != nullptr;
  if (registered) return std::nullopt;
  const std::vector<AlgorithmListing> rows = ListAlgorithms(kind);
  const std::string_view wanted = ShortClassName(name);
  for (const AlgorithmListing& row : rows) {
    if (!row.works && SameTextIgnoringCase(ShortClassName(row.class_name), wanted)) return row;
  }
  for (const AlgorithmListing& row : rows) {
    if (!row.works && SameTextIgnoringCase(row.description, wanted)) return row;
  }
  return std::nullopt;
}

}  // namespace pelvane
