#include "crypto/hash/hash_registry.h"

#include "crypto/hash/checksum.h"
#include "crypto/hash/class_registry.h"
#include "crypto/hash/haval.h"
#include "crypto/hash/tiger.h"

namespace pelvane {

namespace {

// The process-wide list, filled on first use in this order.
ClassRegistry& Registry() {
  static ClassRegistry registry = [] {
    ClassRegistry r;
    const struct {
      THashClassRef cls;
      const char* description;
      const char* note = "Hash";
    } rows[] = {
        {THash_MD4::StaticClass(), "Message Digest 4"},
        {THash_MD5::StaticClass(), "Message Digest 5"},
        {THash_SHA::StaticClass(), "Secure Hash Algorithm"},
        {THash_SHA1::StaticClass(), "Secure Hash Algorithm 1"},
        {THash_RipeMD128::StaticClass(), "Ripe Message Digest 128"},
        {THash_RipeMD160::StaticClass(), "Ripe Message Digest 160"},
        {THash_RipeMD256::StaticClass(), "Ripe Message Digest 256"},
        {THash_RipeMD320::StaticClass(), "Ripe Message Digest 320"},
        {THash_Haval128::StaticClass(), "Haval-128"},
        {THash_Haval160::StaticClass(), "Haval-160"},
        {THash_Haval192::StaticClass(), "Haval-192"},
        {THash_Haval224::StaticClass(), "Haval-224"},
        {THash_Haval256::StaticClass(), "Haval-256"},
        {THash_Tiger::StaticClass(), "Tiger"},
        {THash_XOR16::StaticClass(), "XOR-16", "Checksum"},
        {THash_XOR32::StaticClass(), "XOR-32", "Checksum"},
        {THash_CRC16_CCITT::StaticClass(), "CRC-16 CCITT", "Checksum"},
        {Thash_CRC16_Standard::StaticClass(), "CRC-16 Standard", "Checksum"},
        {THash_CRC32::StaticClass(), "CRC-32", "Checksum"},
    };
    for (const auto& row : rows)
      r.Register(row.cls, row.cls->ClassName(), row.description, row.note);
    return r;
  }();
  return registry;
}

}  // namespace

bool RegisterHash(THashClassRef cls, std::string_view description, std::string_view note) {
  if (cls == nullptr) return false;
  return Registry().Register(cls, cls->ClassName(), description, note);
}

bool UnregisterHash(THashClassRef cls) {
  return Registry().Unregister(cls);
}

THashClassRef FindHashClass(std::string_view name) {
  return static_cast<THashClassRef>(Registry().Find(name));
}

std::string HashClassName(THashClassRef cls) {
  if (cls == nullptr) return std::string();
  return Registry().Name(cls, cls->ClassName());
}

std::string HashClassEntryText(THashClassRef cls) {
  const std::string* text = Registry().EntryText(cls);
  return text != nullptr ? *text : std::string();
}

std::vector<THashRegistryEntry> HashRegistryEntries() {
  std::vector<THashRegistryEntry> out;
  for (const auto& e : Registry().Entries()) {
    out.push_back({static_cast<THashClassRef>(e.cls), e.text});
  }
  return out;
}

}  // namespace pelvane
