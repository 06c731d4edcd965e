// Readers for the known-answer files in tests/data/cipher_kat.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/crypto/cipher/test_util.h"

namespace pelvane::test {

struct KnownAnswer {
  std::string key;
  std::string plain;
  std::string cipher;
  int rounds = 0;  // a "Rounds" field of the file; 0 when the algorithm's own count applies
};

inline std::string KatPath(const std::string& file) {
  return std::string(PELVANE_TEST_DATA_DIR) + "/cipher_kat/" + file;
}

// Lines of three hexadecimal fields: key, plain text, cipher text.
inline std::vector<KnownAnswer> ReadKatColumns(const std::string& file) {
  std::ifstream in(KatPath(file));
  std::vector<KnownAnswer> out;
  std::string key, plain, cipher;
  while (in >> key >> plain >> cipher)
    out.push_back({Unhex(key), Unhex(plain), Unhex(cipher)});
  return out;
}

// The "Test: Encrypt" entries of the section called name in a file of "Field: value" lines.
// Fields keep their value from one test to the next, as the format defines. Tests with a
// "Rounds" field other than rounds are left out.
inline std::vector<KnownAnswer> ReadKatSection(const std::string& file, const std::string& name,
                                               int rounds = 0) {
  std::ifstream in(KatPath(file));
  std::vector<KnownAnswer> out;
  std::string line, section;
  KnownAnswer current;
  while (std::getline(in, line)) {
    if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string field = line.substr(0, colon);
    std::string value;
    for (char c : line.substr(colon + 1))
      if (c != ' ' && c != '\r' && c != '\t') value.push_back(c);
    if (field == "Name") {
      section = value;
      current = {};
    } else if (section != name) {
      continue;
    } else if (field == "Key") {
      current.key = Unhex(value);
    } else if (field == "Plaintext") {
      current.plain = Unhex(value);
    } else if (field == "Ciphertext") {
      current.cipher = Unhex(value);
    } else if (field == "Rounds") {
      current.rounds = std::stoi(value);
    } else if (field == "Test" && value == "Encrypt") {
      if (current.rounds == 0 || current.rounds == rounds) out.push_back(current);
    }
  }
  return out;
}

}  // namespace pelvane::test
