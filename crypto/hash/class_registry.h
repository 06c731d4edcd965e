// An ordered list of (class, text) entries with lookup by name, shared by the hash and cipher
// registries. The text of an entry is "description=note". A class is identified by the address
// of its descriptor and carries a class name such as "THash_MD5"; its short name is the class
// name without everything up to and including its first "_" ("MD5").
//
// The list is a plain object without locking: the process-wide registries fill theirs once,
// lazily, and only read it afterwards.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pelvane {

// name without everything up to and including its first "_" (all of name when it has none).
std::string_view ShortClassName(std::string_view name);
// text without leading and trailing blanks (bytes up to and including the space character).
std::string_view TrimBlanks(std::string_view text);
// ASCII letters compared without regard to case.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);
// The description text of a manager: the note of entry_text (the part after its first "="),
// then ", " when that note is not empty, then bits and unit ("Hash, 128bit Digestsize").
std::string ComposeClassDescription(std::string_view entry_text, std::size_t bits,
                                    std::string_view unit);

class ClassRegistry {
 public:
  struct Entry {
    const void* cls;         // the descriptor
    std::string class_name;  // "THash_MD5"
    std::string text;        // "Message Digest 5=Hash"
  };

  // The text is the trimmed description, or when that is empty the class name without a
  // leading "T" and without everything up to its first "_"; then "=" and the note. An existing
  // entry of the class gets the new text in place; otherwise the entry is appended. Returns
  // false (and registers nothing) for a null class.
  bool Register(const void* cls, std::string_view class_name, std::string_view description,
                std::string_view note);
  // Removes every entry of cls; true when one was removed.
  bool Unregister(const void* cls);
  // The class whose short name equals the short form of name (case-insensitive), else the
  // first whose text before "=" equals it; null when none does.
  const void* Find(std::string_view name) const;
  // Text before the first "=" of the class's entry; the short class name without an entry.
  std::string Name(const void* cls, std::string_view class_name) const;
  // The full entry text, or null when the class has no entry.
  const std::string* EntryText(const void* cls) const;

  const std::vector<Entry>& Entries() const noexcept { return entries_; }

 private:
  std::vector<Entry> entries_;
};

}  // namespace pelvane
