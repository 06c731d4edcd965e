#include "crypto/hash/hash_manager.h"

#include "crypto/hash/class_registry.h"
#include "crypto/hash/hash_registry.h"
#include "crypto/secure.h"

namespace pelvane {

THashClassRef DefaultHashClass() {
  return THash_RipeMD256::StaticClass();
}

THashManager::~THashManager() {
  // A listener may remove itself (or others) while it runs; take the list first.
  auto listeners = std::move(listeners_);
  listeners_.clear();
  for (auto& [id, listener] : listeners) {
    if (listener) listener(this);
  }
  SecureWipe(digest_);
}

THashClassRef THashManager::AlgorithmClass() {
  if (algorithm_class_ == nullptr) algorithm_class_ = DefaultHashClass();
  return algorithm_class_;
}

void THashManager::SetAlgorithmClass(THashClassRef cls) {
  if (cls == algorithm_class_) return;
  algorithm_class_ = cls != nullptr ? cls : DefaultHashClass();
  SecureWipe(digest_);
}

std::string THashManager::Algorithm() {
  return HashClassName(AlgorithmClass());
}

void THashManager::SetAlgorithm(std::string_view name) {
  SetAlgorithmClass(FindHashClass(name));
}

std::string THashManager::Description(int index) {
  if (index != 0) return std::string();
  const THashClassRef cls = AlgorithmClass();
  return ComposeClassDescription(HashClassEntryText(cls), cls->DigestSize() * 8, "bit Digestsize");
}

std::size_t THashManager::DigestSize() {
  return AlgorithmClass()->DigestSize();
}

void THashManager::CalcString(std::string_view text) {
  std::string digest = THash::HashString(AlgorithmClass(), text, nullptr, kFormatCopy);
  SecureWipe(digest_);
  digest_ = std::move(digest);
}

std::string THashManager::DigestString(int format) const {
  if (digest_.empty()) return std::string();
  return StrToFormat(digest_, format);
}

std::string THashManager::StoredHashClassName() const {
  return algorithm_class_ != nullptr ? std::string(algorithm_class_->ClassName()) : std::string();
}

void THashManager::LoadHashClassName(std::string_view class_name) {
  for (const auto& entry : HashRegistryEntries()) {
    if (entry.cls->ClassName() == class_name) {
      SetAlgorithmClass(entry.cls);
      return;
    }
  }
}

THashManager::ListenerId THashManager::AddDestroyListener(
    std::function<void(THashManager*)> listener) {
  const ListenerId id = next_listener_id_++;
  listeners_.emplace(id, std::move(listener));
  return id;
}

void THashManager::RemoveDestroyListener(ListenerId id) noexcept {
  listeners_.erase(id);
}

}  // namespace pelvane
