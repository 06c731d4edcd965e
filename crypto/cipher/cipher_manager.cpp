#include "crypto/cipher/cipher_manager.h"

#include "crypto/cipher/blowfish.h"
#include "crypto/cipher/cipher_registry.h"
#include "crypto/hash/class_registry.h"

namespace pelvane {

TCipherClassRef DefaultCipherClass() {
  return TCipher_Blowfish::StaticClass();
}

TCipherManager::~TCipherManager() {
  DetachHashManager();
}

TCipherClassRef TCipherManager::AlgorithmClass() {
  if (algorithm_class_ == nullptr) algorithm_class_ = DefaultCipherClass();
  return algorithm_class_;
}

void TCipherManager::SetAlgorithmClass(TCipherClassRef cls) {
  if (cls == AlgorithmClass()) return;
  cipher_.reset();
  algorithm_class_ = cls;
}

std::string TCipherManager::Algorithm() {
  return CipherClassName(AlgorithmClass());
}

void TCipherManager::SetAlgorithm(std::string_view name) {
  SetAlgorithmClass(FindCipherClass(name));
}

std::string TCipherManager::Description(int index) {
  if (index != 0) return std::string();
  const TCipherClassRef cls = AlgorithmClass();
  return ComposeClassDescription(CipherClassEntryText(cls),
                                 static_cast<std::size_t>(cls->KeySize()) * 8, "bit Key");
}

void TCipherManager::SetMode(TCipherMode mode) {
  mode_ = mode;
  if (cipher_) cipher_->SetMode(mode);
}

void TCipherManager::SetHashManager(THashManager* manager) {
  if (manager == hash_manager_) return;
  DetachHashManager();
  hash_manager_ = manager;
  if (manager != nullptr) {
    hash_listener_ = manager->AddDestroyListener([this](THashManager* gone) {
      if (gone == hash_manager_) {
        hash_manager_ = nullptr;
        hash_listener_ = 0;
      }
    });
  }
}

void TCipherManager::DetachHashManager() noexcept {
  if (hash_manager_ != nullptr) hash_manager_->RemoveDestroyListener(hash_listener_);
  hash_manager_ = nullptr;
  hash_listener_ = 0;
}

TCipher& TCipherManager::CipherObject() {
  if (!cipher_) {
    cipher_ = AlgorithmClass()->Create();
    cipher_->SetMode(mode_);
  }
  return *cipher_;
}

void TCipherManager::InitKey(std::string_view key_text, const void* iv) {
  TCipher& cipher = CipherObject();
  if (hash_manager_ != nullptr) cipher.SetKeyHashClass(hash_manager_->AlgorithmClass());
  cipher.InitKey(key_text, iv);
}

std::string TCipherManager::EncodeString(std::string_view text) {
  return CipherObject().ProcessString(text, actEncode, kFormatDefault);
}

std::string TCipherManager::DecodeString(std::string_view text) {
  return CipherObject().ProcessString(text, actDecode, kFormatDefault);
}

std::string TCipherManager::StoredCipherClassName() const {
  return algorithm_class_ ? std::string(algorithm_class_->ClassName()) : std::string();
}

void TCipherManager::LoadCipherClassName(std::string_view class_name) {
  for (const TCipherRegistryEntry& e : CipherRegistryEntries()) {
    if (e.cls->ClassName() == class_name) {
      SetAlgorithmClass(e.cls);
      return;
    }
  }
}

}  // namespace pelvane
