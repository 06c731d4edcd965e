// The full tables of hash and cipher classes that the registries follow, and which rows of them
// have no working algorithm here and why. This is the one place that knows about absent rows:
// a row works exactly when its class is registered, so a class that gets built and registered
// shows as working without a change here.
//
// The catalogue also serves as the yardstick for the registries: a registered row keeps the
// order, class name, parent, description, note and sizes of its catalogue row.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pelvane {

enum class AlgorithmKind { kHash, kCipher };

struct CatalogueRow {
  const char* class_name;  // "THash_MD5"
  const char* parent;      // "THash_MD4"
  const char* description;
  const char* note;  // null where the registering code chooses the text
  // Hashes: digest_size; ciphers: block_size and key_size. Bytes.
  std::int32_t digest_size;
  std::int32_t block_size;
  std::int32_t key_size;
  // Null for a row that is meant to work; otherwise why it has no algorithm here.
  const char* absent_reason;
};

// The rows of each table, in table order.
std::span<const CatalogueRow> HashCatalogue();
std::span<const CatalogueRow> CipherCatalogue();

// One row as pelvane-crypt list shows it.
struct AlgorithmListing {
  std::string class_name;
  std::string description;
  std::string note;
  std::int32_t digest_size = 0;  // hashes
  std::int32_t block_size = 0;   // ciphers
  std::int32_t key_size = 0;     // ciphers
  bool works = false;
  std::string absent_reason;  // empty when it works
};

// Every row of the table in table order, then any registered class the table does not hold.
// A row works when its class is registered; its texts and sizes then come from the registry
// and the class. A row neither registered nor marked absent is reported as not built here.
std::vector<AlgorithmListing> ListAlgorithms(AlgorithmKind kind);

// The listing of the row that name selects by the registries' rules (short class name first,
// then description; any letter case) when that row does not work here; none when name finds a
// registered class or no row at all. Lets a caller tell "absent here" from "unknown name".
std::optional<AlgorithmListing> FindAbsentAlgorithm(AlgorithmKind kind, std::string_view name);

}  // namespace pelvane
