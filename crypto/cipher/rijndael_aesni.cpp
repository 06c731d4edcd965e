// The AES block function through the processor's AES instructions. Compiled for those
// instructions only inside the functions marked so; callers check HaveAesInstructions first.
#include "crypto/cipher/rijndael_core.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace pelvane::rijndael {

bool HaveAesInstructions() noexcept {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.1");
  }();
  return have;
}

namespace {

__attribute__((target("aes,sse4.1"))) inline __m128i RoundKey(const std::uint32_t* words,
                                                              std::uint32_t round) noexcept {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + 4 * round));
}

}  // namespace

__attribute__((target("aes,sse4.1"))) void EncryptAesNi(const Schedule& s,
                                                        std::uint8_t* block) noexcept {
  __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  x = _mm_xor_si128(x, RoundKey(s.enc, 0));
  const std::uint32_t rounds = s.rounds;
  for (std::uint32_t r = 1; r < rounds; ++r)
    x = _mm_aesenc_si128(x, RoundKey(s.enc, r));
  x = _mm_aesenclast_si128(x, RoundKey(s.enc, rounds));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block), x);
}

__attribute__((target("aes,sse4.1"))) void DecryptAesNi(const Schedule& s,
                                                        std::uint8_t* block) noexcept {
  __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  x = _mm_xor_si128(x, RoundKey(s.dec, 0));
  const std::uint32_t rounds = s.rounds;
  for (std::uint32_t r = 1; r < rounds; ++r)
    x = _mm_aesdec_si128(x, RoundKey(s.dec, r));
  x = _mm_aesdeclast_si128(x, RoundKey(s.dec, rounds));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block), x);
}

}  // namespace pelvane::rijndael

#else  // no AES instructions on this architecture

namespace pelvane::rijndael {
bool HaveAesInstructions() noexcept {
  return false;
}
void EncryptAesNi(const Schedule& s, std::uint8_t* block) noexcept {
  EncryptPortable(s, block);
}
void DecryptAesNi(const Schedule& s, std::uint8_t* block) noexcept {
  DecryptPortable(s, block);
}
}  // namespace pelvane::rijndael

#endif
