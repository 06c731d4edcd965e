// Reproducible random inputs for the differential tests.
#pragma once

#include <cstddef>
#include <random>
#include <string>

namespace pelvane::test {

inline std::string RandomBytes(std::mt19937_64& rng, std::size_t n) {
  std::string s(n, '\0');
  for (char& c : s)
    c = static_cast<char>(rng());
  return s;
}

inline std::size_t RandomSize(std::mt19937_64& rng, std::size_t max) {
  return std::uniform_int_distribution<std::size_t>(0, max)(rng);
}

}  // namespace pelvane::test
