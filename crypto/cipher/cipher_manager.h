// TCipherManager: selects a cipher by name, sets its key from a key text through a hash manager's
// hash, and codes texts (ciphertext as MIME Base 64 text).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "crypto/cipher/cipher.h"
#include "crypto/hash/hash_manager.h"
#include "crypto/hash/protection.h"

namespace pelvane {

// The class a manager uses while nothing else was selected.
TCipherClassRef DefaultCipherClass();  // TCipher_Blowfish

class TCipherManager {
 public:
  TCipherManager() = default;
  TCipherManager(const TCipherManager&) = delete;
  TCipherManager& operator=(const TCipherManager&) = delete;
  // Stops listening to the hash manager; the cipher object is wiped and destroyed.
  ~TCipherManager();

  // The selected class; an empty selection becomes the default class (and stays selected).
  TCipherClassRef AlgorithmClass();
  // Selecting the class already in use (the default included) does nothing. Otherwise the
  // cipher object is destroyed (its key is lost) and cls is selected; null selects nothing, so
  // that the default class applies.
  void SetAlgorithmClass(TCipherClassRef cls);

  // CipherClassName of the selected class, e.g. "DES Triple 24byte".
  std::string Algorithm();
  // Selects FindCipherClass(name); an unknown name selects the default class.
  void SetAlgorithm(std::string_view name);

  // Index 0: the note of the class's entry, ", " when the note is not empty, and
  // "<KeySize*8>bit Key" ("192bit Key"); any other index: empty. Writing has no effect.
  std::string Description(int index = 0);
  void SetDescription(int index, std::string_view text) { (void)index, (void)text; }

  TCipherMode Mode() const noexcept { return mode_; }
  // Also sets the mode of the cipher object when it exists.
  void SetMode(TCipherMode mode);

  // The hash manager whose class keys the cipher, or none. The manager is not owned: when it is
  // destroyed first, HashManager becomes none.
  THashManager* HashManager() const noexcept { return hash_manager_; }
  void SetHashManager(THashManager* manager);

  // The cipher object of the selected class, created on first use (no key, the manager's Mode).
  TCipher& CipherObject();

  // With a HashManager the cipher's key hash becomes its selected class; then the cipher's
  // InitKey with the key text and the vector (BlockSize bytes, or null).
  void InitKey(std::string_view key_text, const void* iv = nullptr);

  // The ciphertext of text as MIME Base 64 text; empty for an empty text.
  std::string EncodeString(std::string_view text);
  // The plaintext bytes of MIME Base 64 text; empty for an empty text. Text that is not MIME
  // Base 64 raises EStringFormat before anything is decrypted.
  std::string DecodeString(std::string_view text);

  // The selection as stored in a form description under the name "Cipher": the class name of
  // the selected class, or empty when nothing was selected (then nothing is stored).
  std::string StoredCipherClassName() const;
  // Reads the "Cipher" value: selects the registered class with exactly this class name
  // (case-sensitive); a name that is not registered leaves the selection unchanged.
  void LoadCipherClassName(std::string_view class_name);

  // Kept, never raised.
  TProgressEvent OnProgress;

 private:
  void DetachHashManager() noexcept;

  THashManager* hash_manager_ = nullptr;
  THashManager::ListenerId hash_listener_ = 0;
  TCipherClassRef algorithm_class_ = nullptr;
  std::unique_ptr<TCipher> cipher_;
  TCipherMode mode_ = cmCTS;
};

}  // namespace pelvane
