#include "crypto/cipher/des_core.h"

namespace pelvane::des {

using detail::kPC1;
using detail::kPC2;
using detail::kShifts;

void MakeSchedule(const std::uint8_t key[8], bool decrypt, std::uint32_t out[kScheduleWords]) {
  // Permuted choice 1 into the 28-bit registers C and D.
  std::uint32_t c = 0;
  std::uint32_t d = 0;
  for (int i = 0; i < 28; ++i) {
    const int bc = kPC1[i] - 1;
    const int bd = kPC1[i + 28] - 1;
    c = (c << 1) | ((key[bc >> 3] >> (7 - (bc & 7))) & 1u);
    d = (d << 1) | ((key[bd >> 3] >> (7 - (bd & 7))) & 1u);
  }
  for (int round = 0; round < 16; ++round) {
    const int s = kShifts[round];
    c = ((c << s) | (c >> (28 - s))) & 0x0fffffffu;
    d = ((d << s) | (d >> (28 - s))) & 0x0fffffffu;
    // Permuted choice 2: 48 bits in eight six-bit groups.
    std::uint32_t groups[8] = {};
    for (int i = 0; i < 48; ++i) {
      const int b = kPC2[i];  // 1..56 over C followed by D
      const std::uint32_t bit = b <= 28 ? (c >> (28 - b)) & 1u : (d >> (56 - b)) & 1u;
      groups[i / 6] = (groups[i / 6] << 1) | bit;
    }
    // Word 0 meets r: groups 1, 3, 5, 7 in the low six bits of its bytes; word 1 holds groups
    // 2, 4, 6, 8 at the same places of r rotated left by 4, so it is rotated right by 4.
    const std::uint32_t k0 = (groups[0] << 24) | (groups[2] << 16) | (groups[4] << 8) | groups[6];
    const std::uint32_t k1 = (groups[1] << 24) | (groups[3] << 16) | (groups[5] << 8) | groups[7];
    const int slot = decrypt ? 15 - round : round;
    out[2 * slot] = k0;
    out[2 * slot + 1] = detail::Rotr(k1, 4);
  }
}

}  // namespace pelvane::des
