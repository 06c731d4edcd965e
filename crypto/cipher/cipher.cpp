#include "crypto/cipher/cipher.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "crypto/secure.h"

namespace pelvane {
namespace {

std::atomic<bool> g_check_key_size{false};

// Fills size bytes with value; the compiler may not drop the stores as dead, so a sequence of
// fills really passes over the memory each time.
void Fill(void* data, std::size_t size, std::uint8_t value) noexcept {
  if (size == 0) return;
  std::memset(data, value, size);
  asm volatile("" : : "r"(data) : "memory");
}

void XorInto(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) noexcept {
  for (std::size_t i = 0; i < n; ++i)
    dst[i] ^= src[i];
}

constexpr std::string_view kModeNames[] = {"cmCTS", "cmCBC",    "cmCFB",    "cmOFB",
                                           "cmECB", "cmCTSMAC", "cmCBCMAC", "cmCFBMAC"};

// TCipher objects as made by the TCipher descriptor (the constructor is protected).
struct PlainCipher final : TCipher {
  explicit PlainCipher(std::shared_ptr<TProtection> protection)
      : TCipher(TCipher::StaticClass(), std::move(protection)) {}
};

}  // namespace

bool CheckCipherKeySize() noexcept {
  return g_check_key_size.load(std::memory_order_relaxed);
}
void SetCheckCipherKeySize(bool on) noexcept {
  g_check_key_size.store(on, std::memory_order_relaxed);
}

std::string_view CipherModeName(TCipherMode mode) {
  return mode <= cmCFBMAC ? kModeNames[mode] : std::string_view();
}

bool ParseCipherMode(std::string_view name, TCipherMode& mode) {
  for (std::size_t i = 0; i < std::size(kModeNames); ++i) {
    if (kModeNames[i] == name) {
      mode = static_cast<TCipherMode>(i);
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Class descriptors

std::unique_ptr<TCipher> TCipherClass::Create(std::string_view key_text,
                                              std::shared_ptr<TProtection> protection) const {
  std::unique_ptr<TCipher> cipher = create(std::move(protection));
  if (!key_text.empty()) cipher->InitKey(key_text, nullptr);
  return cipher;
}

bool TCipherClass::InheritsFrom(const TCipherClass* cls) const {
  for (const TCipherClass* c = this; c != nullptr; c = c->parent) {
    if (c == cls) return true;
  }
  return false;
}

TCipherClassRef TCipher::StaticClass() {
  static const TCipherClass cls = {"TCipher",
                                   0,
                                   0,
                                   0,
                                   nullptr,
                                   [](std::shared_ptr<TProtection> p) -> std::unique_ptr<TCipher> {
                                     return std::make_unique<PlainCipher>(std::move(p));
                                   },
                                   nullptr};
  return &cls;
}

// ---------------------------------------------------------------------------------------------
// Life cycle

TCipher::TCipher(TCipherClassRef cls, std::shared_ptr<TProtection> protection)
    : TProtection(std::move(protection)),
      key_hash_class_(THash_RipeMD256::StaticClass()),
      key_size_(cls->KeySize()),
      block_size_(cls->BlockSize()),
      schedule_size_(cls->ScheduleSize()),
      scratch_(std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(block_size_))),
      init_vector_(std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(block_size_))),
      feedback_(std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(block_size_))),
      schedule_(
          std::make_unique<std::uint32_t[]>((static_cast<std::size_t>(schedule_size_) + 3) / 4)) {
  TCipher::WipeState();
}

TCipher::~TCipher() {
  TCipher::WipeState();
  // The padding words of the schedule beyond ScheduleSize never hold key material.
}

void TCipher::SetKeyHashClass(THashClassRef cls) {
  if (cls == key_hash_class_) return;
  key_hash_.reset();
  key_hash_class_ = cls;
}

THash& TCipher::KeyHash() {
  if (!key_hash_) {
    const THashClassRef cls = key_hash_class_ ? key_hash_class_ : THash_RipeMD256::StaticClass();
    key_hash_ = std::shared_ptr<THash>(cls->Create());
  }
  return *key_hash_;
}

std::string TCipher::InitVectorBytes() const {
  return std::string(reinterpret_cast<const char*>(init_vector_.get()),
                     static_cast<std::size_t>(block_size_));
}

std::string TCipher::FeedbackBytes() const {
  return std::string(reinterpret_cast<const char*>(feedback_.get()),
                     static_cast<std::size_t>(block_size_));
}

void TCipher::SetStateFlag(int index, bool value) {
  if (index < 0 || index > 31) return;
  if (value) {
    state_flags_ |= 1u << index;
  } else {
    state_flags_ &= ~(1u << index);
  }
}

// ---------------------------------------------------------------------------------------------
// Key set-up

void TCipher::WipeState() {
  SetStateFlag(kFlagKeyFromText, false);
  SetStateFlag(kFlagReady, false);
  const std::size_t b = static_cast<std::size_t>(block_size_);
  const std::size_t s = static_cast<std::size_t>(schedule_size_);
  for (const std::uint8_t pattern : {std::uint8_t{0xAA}, std::uint8_t{0x55}}) {
    Fill(init_vector_.get(), b, pattern);
    Fill(feedback_.get(), b, pattern);
    Fill(scratch_.get(), b, pattern);
    Fill(schedule_.get(), s, pattern);
  }
  Fill(init_vector_.get(), b, 0xFF);
  Fill(feedback_.get(), b, 0xFF);
  Fill(scratch_.get(), b, 0x00);
  Fill(schedule_.get(), s, 0x00);
}

std::int32_t TCipher::BeginKeySetup(std::int32_t size) {
  // A refused key leaves the previous key in place.
  if (size > key_size_ && CheckCipherKeySize()) {
    throw ECipherException(errInvalidKeySize,
                           "Length from Encryptionkey is invalid.\r\nKeysize for " +
                               std::string(ClassName()) + " must be to 0-" +
                               std::to_string(key_size_) + " bytes");
  }
  SetStateFlag(kFlagReady, false);
  WipeState();
  return std::clamp(size, std::int32_t{0}, key_size_);
}

void TCipher::FinishKeySetup(const void* iv) {
  if (iv == nullptr) {
    // The vector is the encryption of the all-ones block (WipeState left it FF).
    EncryptBlock(init_vector_.get());
  } else {
    std::memcpy(init_vector_.get(), iv, static_cast<std::size_t>(block_size_));
  }
  std::memcpy(feedback_.get(), init_vector_.get(), static_cast<std::size_t>(block_size_));
  SetStateFlag(kFlagReady, true);
}

void TCipher::EncryptBlock(void*) {}
void TCipher::DecryptBlock(void*) {}

void TCipher::EncryptBlocks(const std::uint8_t* source, std::uint8_t* dest, std::size_t count) {
  const std::size_t b = static_cast<std::size_t>(block_size_);
  for (std::size_t pos = 0; pos < count * b; pos += b) {
    if (source != dest) std::memcpy(dest + pos, source + pos, b);
    EncryptBlock(dest + pos);
  }
}

void TCipher::DecryptBlocks(const std::uint8_t* source, std::uint8_t* dest, std::size_t count) {
  const std::size_t b = static_cast<std::size_t>(block_size_);
  for (std::size_t pos = 0; pos < count * b; pos += b) {
    if (source != dest) std::memcpy(dest + pos, source + pos, b);
    DecryptBlock(dest + pos);
  }
}

void TCipher::Init(const void*, std::int32_t, const void*) {}

void TCipher::InitKey(std::string_view key_text, const void* iv) {
  THash& hash = KeyHash();
  hash.Reset();
  hash.Update(key_text.data(), key_text.size());
  hash.Finish();
  std::uint8_t* digest = hash.DigestBytes();
  const std::size_t digest_size = hash.DigestSize();
  const std::int32_t n = static_cast<std::int32_t>(
      std::min<std::size_t>(digest_size, static_cast<std::size_t>(key_size_)));
  Init(digest, n, iv);
  if (digest != nullptr && digest_size > 0) {
    // The digest is the key: overwrite it by its own encryption, then forget that pass.
    EncryptBuffer(digest, digest, digest_size);
    // The MAC modes write nothing, so the digest would stay readable.
    if (mode_ >= cmCTSMAC) SecureWipe(digest, digest_size);
  }
  ResetChain();
  SetStateFlag(kFlagKeyFromText, true);
}

void TCipher::ResetChain() {
  const std::size_t b = static_cast<std::size_t>(block_size_);
  if (std::memcmp(feedback_.get(), init_vector_.get(), b) != 0) {
    std::memcpy(scratch_.get(), feedback_.get(), b);
    std::memcpy(feedback_.get(), init_vector_.get(), b);
  }
}

// ---------------------------------------------------------------------------------------------
// Chaining modes

void TCipher::RequireReady() const {
  if (!Ready() || block_size_ <= 0) {
    throw ECipherException(errCipherNotReady, std::string(ClassName()) +
                                                  " is not initialized call Init() or InitKey() "
                                                  "before.");
  }
}

void TCipher::CodeTail(const std::uint8_t* in, std::uint8_t* out, std::size_t n) {
  const std::size_t b = static_cast<std::size_t>(block_size_);
  std::uint8_t* s = scratch_.get();
  std::uint8_t* f = feedback_.get();
  std::memcpy(s, f, b);
  EncryptBlock(s);
  for (std::size_t i = 0; i < n; ++i)
    out[i] = in[i] ^ s[i];
  XorInto(f, s, b);
}

void TCipher::EncryptChain(const std::uint8_t* in, std::uint8_t* out, std::size_t size) {
  const std::size_t b = static_cast<std::size_t>(block_size_);
  std::uint8_t* f = feedback_.get();
  std::uint8_t* s = scratch_.get();
  const std::size_t full = size - size % b;
  if (mode_ == cmECB) {
    EncryptBlocks(in, out, full / b);
    if (full < size) CodeTail(in + full, out + full, size - full);
    return;
  }
  // The other modes work in place in dest.
  if (in != out) std::memcpy(out, in, size);
  std::uint8_t* data = out;
  switch (mode_) {
    case cmCTS:
      for (std::size_t pos = 0; pos < full; pos += b) {
        XorInto(data + pos, f, b);
        EncryptBlock(data + pos);
        XorInto(f, data + pos, b);
      }
      break;
    case cmCBC:
      for (std::size_t pos = 0; pos < full; pos += b) {
        XorInto(data + pos, f, b);
        EncryptBlock(data + pos);
        std::memcpy(f, data + pos, b);
      }
      break;
    case cmCFB:
      for (std::size_t i = 0; i < size; ++i) {
        std::memcpy(s, f, b);
        EncryptBlock(s);
        data[i] ^= s[0];
        std::memmove(f, f + 1, b - 1);
        f[b - 1] = data[i];
      }
      return;
    case cmOFB:
      for (std::size_t i = 0; i < size; ++i) {
        std::memcpy(s, f, b);
        EncryptBlock(s);
        data[i] ^= s[0];
        std::memmove(f, f + 1, b - 1);
        f[b - 1] = s[0];
      }
      return;
    default:
      return;
  }
  if (full < size) CodeTail(data + full, data + full, size - full);
}

void TCipher::DecryptChain(const std::uint8_t* in, std::uint8_t* out, std::size_t size) {
  const std::size_t b = static_cast<std::size_t>(block_size_);
  std::uint8_t* f = feedback_.get();
  std::uint8_t* s = scratch_.get();
  const std::size_t full = size - size % b;
  switch (mode_) {
    case cmECB:
      DecryptBlocks(in, out, full / b);
      break;
    case cmCTS:
    case cmCBC:
      DecryptChainedRuns(in, out, full);
      break;
    case cmCFB:
      if (in != out) std::memcpy(out, in, size);
      for (std::size_t i = 0; i < size; ++i) {
        std::memcpy(s, f, b);
        EncryptBlock(s);
        const std::uint8_t x = out[i];
        out[i] = x ^ s[0];
        std::memmove(f, f + 1, b - 1);
        f[b - 1] = x;
      }
      return;
    case cmOFB:
      EncryptChain(in, out, size);
      return;
    default:
      return;
  }
  if (full < size) CodeTail(in + full, out + full, size - full);
}

void TCipher::DecryptChainedRuns(const std::uint8_t* in, std::uint8_t* out, std::size_t full) {
  const std::size_t b = static_cast<std::size_t>(block_size_);
  if (full == 0) return;
  std::uint8_t* f = feedback_.get();
  std::uint8_t* s = scratch_.get();
  // Each plaintext block is D(C) xor F, where F is the previous cipher block (cmCBC) or the
  // vector xor all earlier cipher blocks (cmCTS): the blocks are decrypted a run at a time and
  // the chain applied afterwards from the cipher text, which stays in the source when dest is
  // other memory and is copied a run at a time when the two are the same. S ends with the last
  // cipher block, as when going block by block.
  const auto chain = [&](const std::uint8_t* cipher_text, std::uint8_t* plain, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      XorInto(plain + i * b, f, b);
      if (mode_ == cmCTS) {
        XorInto(f, cipher_text + i * b, b);
      } else {
        std::memcpy(f, cipher_text + i * b, b);
      }
    }
    std::memcpy(s, cipher_text + (count - 1) * b, b);
  };
  if (in != out) {
    DecryptBlocks(in, out, full / b);
    chain(in, out, full / b);
    return;
  }
  constexpr std::size_t kRunBytes = 1024;
  std::uint8_t cipher_text[kRunBytes];
  const std::size_t blocks_per_run = std::max<std::size_t>(kRunBytes / b, 1);
  for (std::size_t pos = 0; pos < full;) {
    const std::size_t count = std::min(blocks_per_run, (full - pos) / b);
    std::uint8_t* blocks = out + pos;
    if (count * b <= kRunBytes) {
      std::memcpy(cipher_text, blocks, count * b);
      DecryptBlocks(blocks, blocks, count);
      chain(cipher_text, blocks, count);
    } else {
      // A block larger than the run buffer: Scratch holds the cipher block instead.
      std::memcpy(s, blocks, b);
      DecryptBlock(blocks);
      XorInto(blocks, f, b);
      if (mode_ == cmCTS) {
        XorInto(f, s, b);
      } else {
        std::memcpy(f, s, b);
      }
    }
    pos += count * b;
  }
}

void TCipher::MacBlocks(const std::uint8_t* data, std::size_t size) {
  const std::size_t b = static_cast<std::size_t>(block_size_);
  std::uint8_t* f = feedback_.get();
  std::uint8_t* s = scratch_.get();
  if (mode_ == cmCFBMAC) {
    for (std::size_t i = 0; i < size; ++i) {
      std::memcpy(s, f, b);
      EncryptBlock(s);
      std::memmove(f, f + 1, b - 1);
      f[b - 1] = data[i] ^ s[0];
    }
    return;
  }
  const std::size_t full = size - size % b;
  for (std::size_t pos = 0; pos < full; pos += b) {
    for (std::size_t i = 0; i < b; ++i)
      s[i] = data[pos + i] ^ f[i];
    EncryptBlock(s);
    if (mode_ == cmCTSMAC) {
      XorInto(f, s, b);
    } else {
      std::memcpy(f, s, b);
    }
  }
  if (full < size) {
    // The tail bytes do not enter the chaining value: S := E(F); F := F xor S.
    std::memcpy(s, f, b);
    EncryptBlock(s);
    XorInto(f, s, b);
  }
}

// The shared frame of EncryptBuffer and DecryptBuffer: the MAC modes only absorb the source and
// write nothing; the other modes code from source to dest. Source and dest that overlap
// without being the same memory are made the same first (the source moved to dest).
void TCipher::CodeBuffer(const void* source, void* dest, std::size_t size, bool encrypt) {
  RequireReady();
  if (size == 0) return;
  const auto* in = static_cast<const std::uint8_t*>(source);
  if (mode_ >= cmCTSMAC) {
    MacBlocks(in, size);
    return;
  }
  auto* out = static_cast<std::uint8_t*>(dest);
  const auto in_at = reinterpret_cast<std::uintptr_t>(in);
  const auto out_at = reinterpret_cast<std::uintptr_t>(out);
  if (in != out && in_at < out_at + size && out_at < in_at + size) {
    std::memmove(out, in, size);
    in = out;
  }
  if (encrypt) {
    EncryptChain(in, out, size);
  } else {
    DecryptChain(in, out, size);
  }
}

void TCipher::EncryptBuffer(const void* source, void* dest, std::size_t size) {
  CodeBuffer(source, dest, size, true);
}

void TCipher::DecryptBuffer(const void* source, void* dest, std::size_t size) {
  CodeBuffer(source, dest, size, false);
}

// ---------------------------------------------------------------------------------------------
// Protection operations

void TCipher::ChainStart(TProtectionAction action) {
  if (action == actDigest) return;
  if (action == actWipe) {
    TimeSeededScramble(feedback_.get(), static_cast<std::size_t>(block_size_));
  } else {
    ResetChain();
  }
}

void TCipher::StartAction(TProtectionAction action) {
  RequireReady();
  ChainStart(action);
  TProtection::StartAction(action);
}

void TCipher::FinishAction(TProtectionAction action) {
  TProtection::FinishAction(action);
  ChainStart(action);
}

void TCipher::ProcessChunk(void* buffer, std::size_t size, TProtectionAction action) {
  if (buffer == nullptr) size = 0;
  if (action == actDecode) {
    if (EnabledActions().Contains(actDecode)) DecryptBuffer(buffer, buffer, size);
    TProtection::ProcessChunk(buffer, size, action);
  } else {
    TProtection::ProcessChunk(buffer, size, action);
    if (EnabledActions().Contains(action)) EncryptBuffer(buffer, buffer, size);
  }
}

}  // namespace pelvane
