// The AES block function through the processor's AES instructions. Compiled for those
// instructions only inside the functions marked so; callers check HaveAesInstructions first.
#include "crypto/cipher/rijndael_core.h"

#include <cstring>

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

namespace {

// Eight independent blocks pass each round key together, so the AES units work on all of them
// at once instead of waiting for one block's rounds in turn. Rounds is 10, 12 or 14.
template <bool kDecrypt, int kRounds>
__attribute__((target("aes,sse4.1"))) void EightAtATime(const std::uint32_t* words,
                                                        const std::uint8_t* source,
                                                        std::uint8_t* dest,
                                                        std::size_t groups) noexcept {
  __m128i k[kRounds + 1];
  for (int r = 0; r <= kRounds; ++r)
    k[r] = RoundKey(words, static_cast<std::uint32_t>(r));
  for (std::size_t g = 0; g < groups; ++g, source += 128, dest += 128) {
    __m128i x[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j)
      x[j] =
          _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 16 * j)), k[0]);
#pragma GCC unroll 13
    for (int r = 1; r < kRounds; ++r) {
#pragma GCC unroll 8
      for (int j = 0; j < 8; ++j)
        x[j] = kDecrypt ? _mm_aesdec_si128(x[j], k[r]) : _mm_aesenc_si128(x[j], k[r]);
    }
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) {
      const __m128i y = kDecrypt ? _mm_aesdeclast_si128(x[j], k[kRounds])
                                 : _mm_aesenclast_si128(x[j], k[kRounds]);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + 16 * j), y);
    }
  }
}

template <bool kDecrypt>
void Blocks(const Schedule& s, const std::uint8_t* source, std::uint8_t* dest,
            std::size_t blocks) noexcept {
  const std::uint32_t* words = kDecrypt ? s.dec : s.enc;
  const std::size_t groups = blocks / 8;
  switch (s.rounds) {
    case 10:
      EightAtATime<kDecrypt, 10>(words, source, dest, groups);
      break;
    case 12:
      EightAtATime<kDecrypt, 12>(words, source, dest, groups);
      break;
    default:
      EightAtATime<kDecrypt, 14>(words, source, dest, groups);
      break;
  }
  for (std::size_t i = 8 * groups; i < blocks; ++i) {
    if (source != dest) std::memcpy(dest + 16 * i, source + 16 * i, 16);
    if (kDecrypt) {
      DecryptAesNi(s, dest + 16 * i);
    } else {
      EncryptAesNi(s, dest + 16 * i);
    }
  }
}

}  // namespace

void EncryptBlocksAesNi(const Schedule& s, const std::uint8_t* source, std::uint8_t* dest,
                        std::size_t blocks) noexcept {
  Blocks<false>(s, source, dest, blocks);
}

void DecryptBlocksAesNi(const Schedule& s, const std::uint8_t* source, std::uint8_t* dest,
                        std::size_t blocks) noexcept {
  Blocks<true>(s, source, dest, blocks);
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
void EncryptBlocksAesNi(const Schedule& s, const std::uint8_t* source, std::uint8_t* dest,
                        std::size_t blocks) noexcept {
  if (source != dest) std::memcpy(dest, source, 16 * blocks);
  for (std::size_t i = 0; i < blocks; ++i)
    EncryptPortable(s, dest + 16 * i);
}
void DecryptBlocksAesNi(const Schedule& s, const std::uint8_t* source, std::uint8_t* dest,
                        std::size_t blocks) noexcept {
  if (source != dest) std::memcpy(dest, source, 16 * blocks);
  for (std::size_t i = 0; i < blocks; ++i)
    DecryptPortable(s, dest + 16 * i);
}
}  // namespace pelvane::rijndael

#endif
