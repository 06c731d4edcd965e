// THashManager: selects a hash by name, digests texts and hands out the digest raw or as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "crypto/formats/formats.h"
#include "crypto/hash/hash.h"
#include "crypto/hash/protection.h"

namespace pelvane {

// The class a manager uses while nothing else was selected.
THashClassRef DefaultHashClass();  // THash_RipeMD256

class THashManager {
 public:
  THashManager() = default;
  THashManager(const THashManager&) = delete;
  THashManager& operator=(const THashManager&) = delete;
  // Tells every destruction listener, then wipes the digest.
  ~THashManager();

  // The selected class; an empty selection becomes the default class (and stays selected).
  THashClassRef AlgorithmClass();
  // Selecting the stored class again does nothing; otherwise the class (the default class for
  // null) is selected and Digest is emptied.
  void SetAlgorithmClass(THashClassRef cls);

  // HashClassName of the selected class, e.g. "Message Digest 5".
  std::string Algorithm();
  // Selects FindHashClass(name); an unknown name selects the default class.
  void SetAlgorithm(std::string_view name);

  // Index 0: the note of the class's entry, ", " and "<bits>bit Digestsize"
  // ("Hash, 128bit Digestsize"); any other index: empty. Writing has no effect.
  std::string Description(int index = 0);
  void SetDescription(int index, std::string_view text) { (void)index, (void)text; }

  std::size_t DigestSize();

  // Digest := raw digest of text under the selected class (DigestSize bytes).
  void CalcString(std::string_view text);
  // Raw digest of the last CalcString; empty before the first and after a change of class.
  const std::string& Digest() const noexcept { return digest_; }
  // The digest in format (16: upper-case hexadecimal); empty when Digest is empty.
  std::string DigestString(int format = kFormatHex) const;

  // The selection as stored in a form description under the name "Hash": the class name of the
  // selected class, or empty when nothing was selected (then nothing is stored).
  std::string StoredHashClassName() const;
  // Reads the "Hash" value: selects the registered class with exactly this class name
  // (case-sensitive); a name that is not registered leaves the selection unchanged.
  void LoadHashClassName(std::string_view class_name);

  // Kept, never raised.
  TProgressEvent OnProgress;

  // Destruction notification for holders of a non-owning pointer (a cipher manager's
  // HashManager). The listener runs once, from the destructor. Returns an id for removal.
  using ListenerId = std::uint64_t;
  ListenerId AddDestroyListener(std::function<void(THashManager*)> listener);
  void RemoveDestroyListener(ListenerId id) noexcept;

 private:
  THashClassRef algorithm_class_ = nullptr;
  std::string digest_;
  std::map<ListenerId, std::function<void(THashManager*)>> listeners_;
  ListenerId next_listener_id_ = 1;
};

}  // namespace pelvane
