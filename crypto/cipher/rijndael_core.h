// The AES (Rijndael with 128-bit blocks) block function behind TCipher_Rijndael, in two forms
// over one key schedule: a portable table-driven form, and a form using the processor's AES
// instructions, chosen at run time when the processor has them.
//
// State and round keys are held as 32-bit column words whose least significant byte is row 0,
// so on a little-endian machine a round key's words lie in memory exactly as its 16 bytes;
// the AES instructions read the same schedule.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pelvane::rijndael {

inline constexpr int kMaxRounds = 14;
inline constexpr std::size_t kRoundKeyWords = 4 * (kMaxRounds + 1);  // 60

// Encryption round keys, then the decryption round keys of the equivalent inverse cipher
// (reverse order, InvMixColumns applied to the inner ones), then the round count.
struct Schedule {
  std::uint32_t enc[kRoundKeyWords];
  std::uint32_t dec[kRoundKeyWords];
  std::uint32_t rounds;
};
static_assert(sizeof(Schedule) == (2 * kRoundKeyWords + 1) * 4);

// Builds the schedule from key_size bytes of key: 16, 24 or 32 bytes give 10, 12 or 14 rounds.
// Any other size is completed with zero bytes to the next of those lengths (at most 32 bytes
// are read).
void ExpandKey(const std::uint8_t* key, std::size_t key_size, Schedule& out) noexcept;

// One 16-byte block in place.
void EncryptPortable(const Schedule& s, std::uint8_t* block) noexcept;
void DecryptPortable(const Schedule& s, std::uint8_t* block) noexcept;

// True when the processor has the AES and SSE4.1 instructions (checked once).
bool HaveAesInstructions() noexcept;
// The same block functions through the AES instructions; call only when HaveAesInstructions().
void EncryptAesNi(const Schedule& s, std::uint8_t* block) noexcept;
void DecryptAesNi(const Schedule& s, std::uint8_t* block) noexcept;

// Whole blocks from source to dest (the same memory or not overlapping), each on its own as
// cmECB codes them, through the AES instructions eight blocks at a time; the blocks that remain
// go one by one. Call only when HaveAesInstructions().
void EncryptBlocksAesNi(const Schedule& s, const std::uint8_t* source, std::uint8_t* dest,
                        std::size_t blocks) noexcept;
void DecryptBlocksAesNi(const Schedule& s, const std::uint8_t* source, std::uint8_t* dest,
                        std::size_t blocks) noexcept;

// The S-box and its inverse (built from the field inverse and the affine map).
extern const std::uint8_t kSBox[256];
extern const std::uint8_t kInvSBox[256];

}  // namespace pelvane::rijndael
