#include "crypto/hash/class_registry.h"

#include <algorithm>

namespace pelvane {

std::string_view ShortClassName(std::string_view name) {
  const auto underscore = name.find('_');
  return underscore == std::string_view::npos ? name : name.substr(underscore + 1);
}

std::string_view TrimBlanks(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

std::string ComposeClassDescription(std::string_view entry_text, std::size_t bits,
                                    std::string_view unit) {
  std::string_view note = TrimBlanks(entry_text);
  const auto eq = note.find('=');
  // Without "=" the whole text is removed, just as when the "=" is its last character.
  note = eq == std::string_view::npos ? std::string_view() : note.substr(eq + 1);
  std::string out(note);
  if (!out.empty()) out += ", ";
  out += std::to_string(bits);
  out += unit;
  return out;
}

bool ClassRegistry::Register(const void* cls, std::string_view class_name,
                             std::string_view description, std::string_view note) {
  if (cls == nullptr) return false;
  std::string text(TrimBlanks(description));
  if (text.empty()) {
    std::string_view name = class_name;
    if (!name.empty() && (name.front() == 'T' || name.front() == 't')) name.remove_prefix(1);
    text = std::string(ShortClassName(name));
  }
  text += '=';
  text += note;
  for (Entry& e : entries_) {
    if (e.cls == cls) {
      e.text = std::move(text);
      return true;
    }
  }
  entries_.push_back(Entry{cls, std::string(class_name), std::move(text)});
  return true;
}

bool ClassRegistry::Unregister(const void* cls) {
  const auto removed = std::erase_if(entries_, [cls](const Entry& e) { return e.cls == cls; });
  return removed > 0;
}

const void* ClassRegistry::Find(std::string_view name) const {
  const std::string_view wanted = ShortClassName(name);
  for (const Entry& e : entries_) {
    if (SameTextIgnoringCase(ShortClassName(e.class_name), wanted)) return e.cls;
  }
  for (const Entry& e : entries_) {
    const std::string_view text = e.text;
    if (SameTextIgnoringCase(text.substr(0, text.find('=')), wanted)) return e.cls;
  }
  return nullptr;
}

std::string ClassRegistry::Name(const void* cls, std::string_view class_name) const {
  if (const std::string* text = EntryText(cls)) return text->substr(0, text->find('='));
  return std::string(ShortClassName(class_name));
}

const std::string* ClassRegistry::EntryText(const void* cls) const {
  for (const Entry& e : entries_) {
    if (e.cls == cls) return &e.text;
  }
  return nullptr;
}

}  // namespace pelvane
