// The hash base class, the shared state and padding of the 64-byte-block family and the class
// descriptors.
#include "crypto/hash/hash.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "crypto/secure.h"

namespace pelvane {

namespace {

template <class T>
std::unique_ptr<THash> Make(std::shared_ptr<TProtection> protection) {
  return std::make_unique<T>(std::move(protection));
}

// Initial chaining values. MD4, MD5 and RIPEMD-128 use the first four words, RIPEMD-160, SHA
// and SHA-1 the first five.
constexpr std::array<std::uint32_t, 10> kCommonInitial = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu,
                                                          0x10325476u, 0xC3D2E1F0u};
constexpr std::array<std::uint32_t, 10> kRipeMD256Initial = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu,
                                                             0x10325476u, 0x76543210u, 0xFEDCBA98u,
                                                             0x89ABCDEFu, 0x01234567u};
constexpr std::array<std::uint32_t, 10> kRipeMD320Initial = {
    0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u,
    0x76543210u, 0xFEDCBA98u, 0x89ABCDEFu, 0x01234567u, 0x3C2D1E0Fu};

void StoreLittleEndian32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

void StoreBigEndian32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Class descriptors (constant-initialised, so usable at any time)

const THashClass kTHashClass{"THash", 0, nullptr, &Make<THash>};
const THashClass kTHashMD4Class{"THash_MD4", 16, &kTHashClass, &Make<THash_MD4>};
const THashClass kTHashMD5Class{"THash_MD5", 16, &kTHashMD4Class, &Make<THash_MD5>};
const THashClass kTHashRipeMD128Class{"THash_RipeMD128", 16, &kTHashMD4Class,
                                      &Make<THash_RipeMD128>};
const THashClass kTHashRipeMD160Class{"THash_RipeMD160", 20, &kTHashMD4Class,
                                      &Make<THash_RipeMD160>};
const THashClass kTHashRipeMD256Class{"THash_RipeMD256", 32, &kTHashMD4Class,
                                      &Make<THash_RipeMD256>};
const THashClass kTHashRipeMD320Class{"THash_RipeMD320", 40, &kTHashMD4Class,
                                      &Make<THash_RipeMD320>};
const THashClass kTHashSHAClass{"THash_SHA", 20, &kTHashRipeMD160Class, &Make<THash_SHA>};
const THashClass kTHashSHA1Class{"THash_SHA1", 20, &kTHashSHAClass, &Make<THash_SHA1>};

THashClassRef THash::StaticClass() {
  return &kTHashClass;
}
THashClassRef THash_MD4::StaticClass() {
  return &kTHashMD4Class;
}
THashClassRef THash_MD5::StaticClass() {
  return &kTHashMD5Class;
}
THashClassRef THash_RipeMD128::StaticClass() {
  return &kTHashRipeMD128Class;
}
THashClassRef THash_RipeMD160::StaticClass() {
  return &kTHashRipeMD160Class;
}
THashClassRef THash_RipeMD256::StaticClass() {
  return &kTHashRipeMD256Class;
}
THashClassRef THash_RipeMD320::StaticClass() {
  return &kTHashRipeMD320Class;
}
THashClassRef THash_SHA::StaticClass() {
  return &kTHashSHAClass;
}
THashClassRef THash_SHA1::StaticClass() {
  return &kTHashSHA1Class;
}

bool THashClass::InheritsFrom(const THashClass* cls) const {
  for (const THashClass* c = this; c != nullptr; c = c->parent) {
    if (c == cls) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// THash

THash::THash(std::shared_ptr<TProtection> protection) : TProtection(std::move(protection)) {}

THash::~THash() = default;

std::string THash::DigestKey() {
  const std::uint8_t* bytes = DigestBytes();
  if (bytes == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(bytes), DigestSize());
}

std::string THash::HashString(THashClassRef cls, std::string_view text,
                              std::shared_ptr<TProtection> protection, int format) {
  if (cls == nullptr) cls = THash::StaticClass();
  const std::unique_ptr<THash> hash = cls->Create(std::move(protection));
  hash->Reset();
  hash->Update(text);
  hash->Finish();
  return StrToFormat(hash->DigestBytes(), static_cast<std::int32_t>(hash->DigestSize()), format);
}

void THash::FinishHook() {
  if (Protection() && DigestBytes() != nullptr) {
    Protection()->ProcessBuffer(DigestBytes(), DigestSize(), actScramble);
  }
}

void THash::StartAction(TProtectionAction action) {
  Reset();
  if (action == actWipe && DigestBytes() != nullptr) {
    TimeSeededScramble(DigestBytes(), DigestSize());
  }
  TProtection::StartAction(action);
}

void THash::FinishAction(TProtectionAction action) {
  TProtection::FinishAction(action);
  if (action == actDigest) {
    Finish();
  } else {
    Reset();
  }
}

void THash::ProcessChunk(void* buffer, std::size_t size, TProtectionAction action) {
  if (action != actDecode) TProtection::ProcessChunk(buffer, size, action);
  const std::size_t digest_size = DigestSize();
  // A class without digest bytes has nothing to cut the chunk by.
  if (EnabledActions().Contains(action) && buffer != nullptr && digest_size > 0) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    switch (action) {
      case actDigest:
        Update(bytes, size);
        break;
      case actScramble:
      case actWipe:
        for (std::size_t at = 0; at < size; at += digest_size) {
          const std::size_t n = std::min(digest_size, size - at);
          Update(bytes + at, n);
          Finish();
          std::memcpy(bytes + at, DigestBytes(), n);
        }
        break;
      case actEncode:
      case actDecode: {
        // The digest is absorbed as it stands before the Update; a copy keeps Update from
        // reading state that its own compression is changing.
        std::array<std::uint8_t, 64> current;
        for (std::size_t at = 0; at < size; at += digest_size) {
          const std::size_t n = std::min(digest_size, size - at);
          std::memcpy(current.data(), DigestBytes(), digest_size);
          Update(current.data(), digest_size);
          Finish();
          const std::uint8_t* key = DigestBytes();
          for (std::size_t i = 0; i < n; ++i)
            bytes[at + i] ^= key[i];
        }
        SecureWipe(current);
        break;
      }
    }
  }
  if (action == actDecode) TProtection::ProcessChunk(buffer, size, action);
}

// ---------------------------------------------------------------------------------------------
// THash_MD4: shared Reset, Update and Finish

THash_MD4::THash_MD4(std::shared_ptr<TProtection> protection)
    : THash_MD4(std::move(protection), kCommonInitial) {}

THash_MD4::THash_MD4(std::shared_ptr<TProtection> protection, const InitialState& initial)
    : THash(std::move(protection)), initial_(&initial) {
  ResetState();
}

THash_MD4::~THash_MD4() {
  SecureWipe(state_);
  SecureWipe(buffer_);
  SecureWipe(&count_, sizeof count_);
}

void THash_MD4::ResetState() {
  buffer_.fill(0);
  state_ = *initial_;
  count_ = 0;
}

void THash_MD4::Reset() {
  ResetState();
}

void THash_MD4::Update(const void* data, std::size_t size) {
  if (size == 0) return;
  const auto* p = static_cast<const std::uint8_t*>(data);
  const std::size_t k = count_ % 64;
  count_ += static_cast<std::uint32_t>(size);
  if (k > 0) {
    if (size < 64 - k) {
      std::memcpy(buffer_.data() + k, p, size);
      return;
    }
    std::memcpy(buffer_.data() + k, p, 64 - k);
    CompressBlocks(buffer_.data(), 1);
    p += 64 - k;
    size -= 64 - k;
  }
  if (const std::size_t blocks = size / 64; blocks > 0) {
    CompressBlocks(p, blocks);
    p += blocks * 64;
    size -= blocks * 64;
  }
  if (size > 0) std::memcpy(buffer_.data(), p, size);
}

void THash_MD4::Finish() {
  const std::size_t k = count_ % 64;
  buffer_[k] = 0x80;
  std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(k) + 1, buffer_.end(), 0);
  if (k + 1 > 56) {
    CompressBlocks(buffer_.data(), 1);
    buffer_.fill(0);
  }
  StoreLittleEndian32(buffer_.data() + 56, count_ * 8u);
  StoreLittleEndian32(buffer_.data() + 60, 0);
  CompressBlocks(buffer_.data(), 1);
  buffer_.fill(0);
  if constexpr (std::endian::native == std::endian::big) {
    for (std::uint32_t& w : state_) {
      StoreLittleEndian32(reinterpret_cast<std::uint8_t*>(&w), w);
    }
  }
  FinishHook();
}

// ---------------------------------------------------------------------------------------------
// THash_SHA: big-endian length field and digest

void THash_SHA::Finish() {
  const std::size_t k = count_ % 64;
  buffer_[k] = 0x80;
  std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(k) + 1, buffer_.end(), 0);
  if (k + 1 > 56) {
    CompressBlocks(buffer_.data(), 1);
    buffer_.fill(0);
  }
  StoreBigEndian32(buffer_.data() + 56, 0);
  StoreBigEndian32(buffer_.data() + 60, count_ * 8u);
  CompressBlocks(buffer_.data(), 1);
  buffer_.fill(0);
  for (int i = 0; i < 5; ++i) {
    StoreBigEndian32(reinterpret_cast<std::uint8_t*>(&state_[i]), state_[i]);
  }
  FinishHook();
}

THash_SHA1::THash_SHA1(std::shared_ptr<TProtection> protection) : THash_SHA(std::move(protection)) {
  rotate_schedule_ = true;
}

void THash_SHA1::Reset() {
  rotate_schedule_ = true;
  THash_SHA::Reset();
}

THash_RipeMD256::THash_RipeMD256(std::shared_ptr<TProtection> protection)
    : THash_MD4(std::move(protection), kRipeMD256Initial) {}

THash_RipeMD320::THash_RipeMD320(std::shared_ptr<TProtection> protection)
    : THash_MD4(std::move(protection), kRipeMD320Initial) {}

}  // namespace pelvane
