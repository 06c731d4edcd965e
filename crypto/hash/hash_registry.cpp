#include "crypto/hash/hash_registry.h"

#include "crypto/hash/class_registry.h"

namespace pelvane {

namespace {

// The process-wide list, filled on first use in this order.
ClassRegistry& Registry() {
  static ClassRegistry registry = [] {
    ClassRegistry r;
    const struct {
      THashClassRef cls;
      const char* description;
    } rows[] = {
        {THash_MD4::StaticClass(), "Message Digest 4"},
        {THash_MD5::StaticClass(), "Message Digest 5"},
        {THash_SHA::StaticClass(), "Secure Hash Algorithm"},
        {THash_SHA1::StaticClass(), "Secure Hash Algorithm 1"},
        {THash_RipeMD128::StaticClass(), "Ripe Message Digest 128"},
        {THash_RipeMD160::StaticClass(), "Ripe Message Digest 160"},
        {THash_RipeMD256::StaticClass(), "Ripe Message Digest 256"},
        {THash_RipeMD320::StaticClass(), "Ripe Message Digest 320"},
    };
    for (const auto& row : rows)
      r.Register(row.cls, row.cls->ClassName(), row.description, "Hash");
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
