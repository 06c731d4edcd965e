// SHA (FIPS 180) and SHA-1 (FIPS 180-1): one compression function, unrolled, whose message
// schedule rotates its words (SHA-1) or not (SHA).
#include <bit>

#include "crypto/hash/hash.h"
#include "crypto/hash/hash_internal.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define PELVANE_SHA_NI 1
#endif

namespace pelvane {

namespace {

// The schedule keeps the last 16 words in a ring: word t (t >= 16) replaces word t - 16.
template <bool kRotate>
inline std::uint32_t NextWord(std::uint32_t* w, int t) {
  std::uint32_t v = w[(t + 13) & 15] ^ w[(t + 8) & 15] ^ w[(t + 2) & 15] ^ w[t & 15];
  if constexpr (kRotate) v = std::rotl(v, 1);
  w[t & 15] = v;
  return v;
}

#define SHA_STEP(a, b, c, d, e, f, k, word)  \
  e += std::rotl(a, 5) + (f) + (k) + (word); \
  b = std::rotl(b, 30)
#define SHA_CH(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define SHA_PARITY(b, c, d) ((b) ^ (c) ^ (d))
#define SHA_MAJ(b, c, d) (((b) & (c)) | ((d) & ((b) | (c))))

#define SHA_R0(a, b, c, d, e, t) SHA_STEP(a, b, c, d, e, SHA_CH(b, c, d), 0x5A827999u, w[t])
#define SHA_R1(a, b, c, d, e, t) \
  SHA_STEP(a, b, c, d, e, SHA_CH(b, c, d), 0x5A827999u, NextWord<kRotate>(w, t))
#define SHA_R2(a, b, c, d, e, t) \
  SHA_STEP(a, b, c, d, e, SHA_PARITY(b, c, d), 0x6ED9EBA1u, NextWord<kRotate>(w, t))
#define SHA_R3(a, b, c, d, e, t) \
  SHA_STEP(a, b, c, d, e, SHA_MAJ(b, c, d), 0x8F1BBCDCu, NextWord<kRotate>(w, t))
#define SHA_R4(a, b, c, d, e, t) \
  SHA_STEP(a, b, c, d, e, SHA_PARITY(b, c, d), 0xCA62C1D6u, NextWord<kRotate>(w, t))

// Five steps rotate the roles of the five working variables back to where they started.
#define SHA_FIVE(R, t)       \
  R(a, b, c, d, e, (t));     \
  R(e, a, b, c, d, (t) + 1); \
  R(d, e, a, b, c, (t) + 2); \
  R(c, d, e, a, b, (t) + 3); \
  R(b, c, d, e, a, (t) + 4)

template <bool kRotate>
void CompressPortable(std::uint32_t* state, const std::uint8_t* data, std::size_t count) {
  std::uint32_t h0 = state[0], h1 = state[1], h2 = state[2], h3 = state[3], h4 = state[4];
  for (; count > 0; --count, data += 64) {
    std::uint32_t w[16];
    for (int i = 0; i < 16; ++i)
      w[i] = hash_internal::LoadBigEndian32(data + 4 * i);
    std::uint32_t a = h0, b = h1, c = h2, d = h3, e = h4;
    SHA_FIVE(SHA_R0, 0);
    SHA_FIVE(SHA_R0, 5);
    SHA_FIVE(SHA_R0, 10);
    SHA_R0(a, b, c, d, e, 15);
    SHA_R1(e, a, b, c, d, 16);
    SHA_R1(d, e, a, b, c, 17);
    SHA_R1(c, d, e, a, b, 18);
    SHA_R1(b, c, d, e, a, 19);
    SHA_FIVE(SHA_R2, 20);
    SHA_FIVE(SHA_R2, 25);
    SHA_FIVE(SHA_R2, 30);
    SHA_FIVE(SHA_R2, 35);
    SHA_FIVE(SHA_R3, 40);
    SHA_FIVE(SHA_R3, 45);
    SHA_FIVE(SHA_R3, 50);
    SHA_FIVE(SHA_R3, 55);
    SHA_FIVE(SHA_R4, 60);
    SHA_FIVE(SHA_R4, 65);
    SHA_FIVE(SHA_R4, 70);
    SHA_FIVE(SHA_R4, 75);
    h0 += a;
    h1 += b;
    h2 += c;
    h3 += d;
    h4 += e;
  }
  state[0] = h0;
  state[1] = h1;
  state[2] = h2;
  state[3] = h3;
  state[4] = h4;
}

#undef SHA_FIVE
#undef SHA_R0
#undef SHA_R1
#undef SHA_R2
#undef SHA_R3
#undef SHA_R4
#undef SHA_MAJ
#undef SHA_PARITY
#undef SHA_CH
#undef SHA_STEP

#ifdef PELVANE_SHA_NI

// Whether the processor has the SHA extensions (and SSSE3 and SSE4.1, which the code below
// also uses).
bool HasShaExtensions() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool ssse3 = (c >> 9) & 1u, sse41 = (c >> 19) & 1u;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  const bool sha = (b >> 29) & 1u;
  return ssse3 && sse41 && sha;
}

// Schedule group k + 4 from groups k to k + 3: W[t-16] ^ W[t-14] (sha1msg1), ^ W[t-8], then
// the W[t-3] term, with SHA-1's rotation (sha1msg2) or without it.
template <bool kRotate>
__attribute__((target("sha,ssse3,sse4.1"))) inline __m128i NextGroup(__m128i g0, __m128i g1,
                                                                     __m128i g2, __m128i g3) {
  const __m128i x = _mm_xor_si128(_mm_sha1msg1_epu32(g0, g1), g2);
  if constexpr (kRotate) {
    return _mm_sha1msg2_epu32(x, g3);
  } else {
    // The first three words take W[t-3] from the previous group, the last one from the first
    // word of this group.
    const __m128i w = _mm_xor_si128(x, _mm_slli_si128(g3, 4));
    return _mm_xor_si128(w, _mm_srli_si128(w, 12));
  }
}

// The same compression with the SHA extensions. The 80 steps run four at a time
// (sha1rnds4); the schedule is computed four words at a time. Words travel in vector lanes
// with the earliest word in the highest lane.
template <bool kRotate>
__attribute__((target("sha,ssse3,sse4.1"))) void CompressShaNi(std::uint32_t* state,
                                                               const std::uint8_t* data,
                                                               std::size_t count) {
  const __m128i byte_swap = _mm_set_epi64x(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; count > 0; --count, data += 64) {
    const __m128i abcd_saved = abcd;
    const __m128i e_saved = e0;
    // Four schedule groups in a ring: after group k has been used, its slot receives group
    // k + 4, which needs groups k to k + 3.
    __m128i g0 =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data)), byte_swap);
    __m128i g1 =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16)), byte_swap);
    __m128i g2 =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 32)), byte_swap);
    __m128i g3 =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 48)), byte_swap);
    __m128i e = _mm_add_epi32(e0, g0);
    __m128i previous = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e, 0);
    g0 = NextGroup<kRotate>(g0, g1, g2, g3);
#define PELVANE_SHA_GROUP(used, function)  \
  e = _mm_sha1nexte_epu32(previous, used); \
  previous = abcd;                         \
  abcd = _mm_sha1rnds4_epu32(abcd, e, function)
#define PELVANE_SHA_GROUP_NEXT(used, function, a, b, c) \
  PELVANE_SHA_GROUP(used, function);                    \
  used = NextGroup<kRotate>(used, a, b, c)
    PELVANE_SHA_GROUP_NEXT(g1, 0, g2, g3, g0);  // group 1, then group 5
    PELVANE_SHA_GROUP_NEXT(g2, 0, g3, g0, g1);
    PELVANE_SHA_GROUP_NEXT(g3, 0, g0, g1, g2);
    PELVANE_SHA_GROUP_NEXT(g0, 0, g1, g2, g3);  // group 4, then group 8
    PELVANE_SHA_GROUP_NEXT(g1, 1, g2, g3, g0);
    PELVANE_SHA_GROUP_NEXT(g2, 1, g3, g0, g1);
    PELVANE_SHA_GROUP_NEXT(g3, 1, g0, g1, g2);
    PELVANE_SHA_GROUP_NEXT(g0, 1, g1, g2, g3);  // group 8, then group 12
    PELVANE_SHA_GROUP_NEXT(g1, 1, g2, g3, g0);
    PELVANE_SHA_GROUP_NEXT(g2, 2, g3, g0, g1);
    PELVANE_SHA_GROUP_NEXT(g3, 2, g0, g1, g2);
    PELVANE_SHA_GROUP_NEXT(g0, 2, g1, g2, g3);  // group 12, then group 16
    PELVANE_SHA_GROUP_NEXT(g1, 2, g2, g3, g0);
    PELVANE_SHA_GROUP_NEXT(g2, 2, g3, g0, g1);
    PELVANE_SHA_GROUP_NEXT(g3, 3, g0, g1, g2);  // group 15, then group 19
    PELVANE_SHA_GROUP(g0, 3);                   // groups 16 to 19
    PELVANE_SHA_GROUP(g1, 3);
    PELVANE_SHA_GROUP(g2, 3);
    PELVANE_SHA_GROUP(g3, 3);
#undef PELVANE_SHA_GROUP_NEXT
#undef PELVANE_SHA_GROUP
    e0 = _mm_sha1nexte_epu32(previous, e_saved);
    abcd = _mm_add_epi32(abcd, abcd_saved);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

const bool kHasShaExtensions = HasShaExtensions();

#endif  // PELVANE_SHA_NI

}  // namespace

namespace hash_internal {
bool g_sha_use_extensions = true;
}  // namespace hash_internal

void THash_SHA::CompressBlocks(const std::uint8_t* data, std::size_t count) {
#ifdef PELVANE_SHA_NI
  if (kHasShaExtensions && hash_internal::g_sha_use_extensions) {
    if (rotate_schedule_) {
      CompressShaNi<true>(state_.data(), data, count);
    } else {
      CompressShaNi<false>(state_.data(), data, count);
    }
    return;
  }
#endif
  if (rotate_schedule_) {
    CompressPortable<true>(state_.data(), data, count);
  } else {
    CompressPortable<false>(state_.data(), data, count);
  }
}

}  // namespace pelvane
