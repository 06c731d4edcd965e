// The further block ciphers beside independent implementations, on random keys and data, used
// as black boxes: OpenSSL (AES, CAST5, RC2, RC4, DESX), Botan (Twofish, CAST-256) and Crypto++
// (IDEA, RC5, RC6). Each comparison encrypts whole blocks in cmECB, compares the bytes, and
// decrypts the reference's cipher text back.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <botan/block_cipher.h>
#include <crypto++/idea.h>
#include <crypto++/rc5.h>
#include <crypto++/rc6.h>

#include <memory>
#include <random>
#include <string>

#include "crypto/cipher/cast.h"
#include "crypto/cipher/desx.h"
#include "crypto/cipher/idea.h"
#include "crypto/cipher/rc_family.h"
#include "crypto/cipher/rijndael.h"
#include "crypto/cipher/rijndael_core.h"
#include "crypto/cipher/twofish.h"
#include "random_input.h"

namespace pelvane {
namespace {

using test::RandomBytes;
using test::RandomSize;

constexpr int kRounds = 100;

// OpenSSL's legacy algorithms (CAST5, RC2, RC4, DESX) live in its legacy provider.
void LoadOpenSslProviders() {
  static const bool loaded = [] {
    OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER_load(nullptr, "default");
    return true;
  }();
  (void)loaded;
}

// One EVP cipher run without padding. bits > 0 sets RC2's effective key length. An empty iv
// leaves the cipher's own (none for ECB, zeros otherwise).
std::string OpenSsl(const char* name, const std::string& key, const std::string& data, bool encrypt,
                    int rc2_bits = 0, const std::string& iv = {}) {
  LoadOpenSslProviders();
  std::unique_ptr<EVP_CIPHER, decltype(&EVP_CIPHER_free)> cipher(
      EVP_CIPHER_fetch(nullptr, name, nullptr), &EVP_CIPHER_free);
  EXPECT_NE(cipher, nullptr) << name;
  if (!cipher) return {};
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      &EVP_CIPHER_CTX_free);
  const int enc = encrypt ? 1 : 0;
  EXPECT_EQ(EVP_CipherInit_ex(ctx.get(), cipher.get(), nullptr, nullptr, nullptr, enc), 1);
  EXPECT_EQ(EVP_CIPHER_CTX_set_key_length(ctx.get(), static_cast<int>(key.size())), 1) << name;
  if (rc2_bits > 0) {
    EXPECT_EQ(EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_SET_RC2_KEY_BITS, rc2_bits, nullptr), 1);
  }
  const std::string zero_iv(16, '\0');
  const std::string& use_iv = iv.empty() ? zero_iv : iv;
  EXPECT_EQ(EVP_CipherInit_ex(ctx.get(), nullptr, nullptr,
                              reinterpret_cast<const unsigned char*>(key.data()),
                              reinterpret_cast<const unsigned char*>(use_iv.data()), enc),
            1);
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  std::string out(data.size() + 32, '\0');
  int n = 0;
  int tail = 0;
  EXPECT_EQ(EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n,
                             reinterpret_cast<const unsigned char*>(data.data()),
                             static_cast<int>(data.size())),
            1);
  EXPECT_EQ(EVP_CipherFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + n, &tail),
            1);
  out.resize(static_cast<std::size_t>(n + tail));
  return out;
}

std::string BotanEcb(const char* name, const std::string& key, std::string data, bool encrypt) {
  auto cipher = Botan::BlockCipher::create_or_throw(name);
  cipher->set_key(reinterpret_cast<const std::uint8_t*>(key.data()), key.size());
  auto* bytes = reinterpret_cast<std::uint8_t*>(data.data());
  const std::size_t blocks = data.size() / cipher->block_size();
  if (encrypt) {
    cipher->encrypt_n(bytes, bytes, blocks);
  } else {
    cipher->decrypt_n(bytes, bytes, blocks);
  }
  return data;
}

template <typename Cipher, typename... Args>
std::string CryptoPpEcb(const std::string& key, std::string data, bool encrypt, Args... args) {
  const auto* k = reinterpret_cast<const CryptoPP::byte*>(key.data());
  auto* bytes = reinterpret_cast<CryptoPP::byte*>(data.data());
  const std::size_t b = Cipher::BLOCKSIZE;
  if (encrypt) {
    typename Cipher::Encryption e(k, key.size(), args...);
    for (std::size_t pos = 0; pos < data.size(); pos += b)
      e.ProcessBlock(bytes + pos);
  } else {
    typename Cipher::Decryption d(k, key.size(), args...);
    for (std::size_t pos = 0; pos < data.size(); pos += b)
      d.ProcessBlock(bytes + pos);
  }
  return data;
}

#include "crypto/cipher/rc2_pitable.inc"

// DESX's output whitening key from its 16 key bytes K | W1, written out from the rule: an 8-byte
// register of zeros; per key byte k, with a and b the register's first two bytes, shift the
// register left by one byte and append PITABLE[a xor b] xor k.
std::string DesxW2(const std::string& key) {
  std::string reg(8, '\0');
  for (const char k : key.substr(0, 16)) {
    const auto a = static_cast<std::uint8_t>(reg[0]);
    const auto b = static_cast<std::uint8_t>(reg[1]);
    reg = reg.substr(1) + static_cast<char>(kPiTable[a ^ b] ^ static_cast<std::uint8_t>(k));
  }
  return reg;
}

// Ours: Init with the key and a zero vector (so RC4's stream starts at its beginning), cmECB.
std::string Ours(TCipherClassRef cls, const std::string& key, const std::string& data,
                 bool encrypt) {
  auto cipher = cls->Create();
  cipher->SetMode(cmECB);
  const std::string iv(static_cast<std::size_t>(cls->BlockSize()), '\0');
  cipher->Init(key.data(), static_cast<std::int32_t>(key.size()), iv.data());
  std::string out(data.size(), '\0');
  if (encrypt) {
    cipher->EncryptBuffer(data.data(), out.data(), data.size());
  } else {
    cipher->DecryptBuffer(data.data(), out.data(), data.size());
  }
  return out;
}

// The reference for a key of the given length, both directions. key_for_reference maps our key
// to the reference's (for example zero-completed or laid out differently).
struct Pair {
  TCipherClassRef cls;
  std::size_t min_key;
  std::size_t max_key;
  std::size_t key_step;
  std::string (*reference)(const std::string& key, const std::string& data, bool encrypt);
};

const Pair kPairs[] = {
    {TCipher_Rijndael::StaticClass(), 16, 32, 8,
     [](const std::string& k, const std::string& d, bool e) {
       const char* name = k.size() == 16   ? "AES-128-ECB"
                          : k.size() == 24 ? "AES-192-ECB"
                                           : "AES-256-ECB";
       return OpenSsl(name, k, d, e);
     }},
    {TCipher_Cast128::StaticClass(), 5, 16, 1,
     [](const std::string& k, const std::string& d, bool e) {
       return OpenSsl("CAST5-ECB", k, d, e);
     }},
    {TCipher_RC2::StaticClass(), 1, 128, 1,
     [](const std::string& k, const std::string& d, bool e) {
       return OpenSsl("RC2-ECB", k, d, e, static_cast<int>(8 * k.size()));
     }},
    // RC4 in cmECB over whole blocks is the stream cipher.
    {TCipher_RC4::StaticClass(), 1, 256, 1,
     [](const std::string& k, const std::string& d, bool e) { return OpenSsl("RC4", k, d, e); }},
    // Our 16-byte DESX key is K | W1; OpenSSL takes K | W1 | W2 with W2 worked out here by the
    // register rule, one block at a time through its CBC with a zero vector.
    {TCipher_DESX::StaticClass(), 16, 16, 1,
     [](const std::string& k, const std::string& d, bool e) {
       const std::string key = k + DesxW2(k);
       std::string out;
       for (std::size_t pos = 0; pos < d.size(); pos += 8)
         out += OpenSsl("DESX-CBC", key, d.substr(pos, 8), e, 0, std::string(8, '\0'));
       return out;
     }},
    {TCipher_Twofish::StaticClass(), 16, 32, 8,
     [](const std::string& k, const std::string& d, bool e) {
       return BotanEcb("Twofish", k, d, e);
     }},
    {TCipher_Cast256::StaticClass(), 16, 32, 4,
     [](const std::string& k, const std::string& d, bool e) {
       return BotanEcb("CAST-256", k, d, e);
     }},
    {TCipher_IDEA::StaticClass(), 16, 16, 1,
     [](const std::string& k, const std::string& d, bool e) {
       return CryptoPpEcb<CryptoPP::IDEA>(k, d, e);
     }},
    {TCipher_RC5::StaticClass(), 0, 255, 1,
     [](const std::string& k, const std::string& d, bool e) {
       return CryptoPpEcb<CryptoPP::RC5>(k, d, e, static_cast<unsigned>(TCipher_RC5::kRounds));
     }},
    {TCipher_RC6::StaticClass(), 16, 32, 8,
     [](const std::string& k, const std::string& d, bool e) {
       return CryptoPpEcb<CryptoPP::RC6>(k, d, e);
     }},
};

TEST(FurtherCiphersDifferential, RandomKeysAndBlocksEqualTheReference) {
  std::mt19937_64 rng(18);
  for (const Pair& pair : kPairs) {
    const std::size_t b = static_cast<std::size_t>(pair.cls->BlockSize());
    for (int round = 0; round < kRounds; ++round) {
      const std::size_t steps = (pair.max_key - pair.min_key) / pair.key_step;
      const std::size_t key_size = pair.min_key + pair.key_step * RandomSize(rng, steps);
      const std::string key = RandomBytes(rng, key_size);
      const std::string plain = RandomBytes(rng, b * (1 + RandomSize(rng, 15)));
      SCOPED_TRACE(std::string(pair.cls->ClassName()) + " round " + std::to_string(round) +
                   " key size " + std::to_string(key_size));
      const std::string expected = pair.reference(key, plain, true);
      ASSERT_EQ(Ours(pair.cls, key, plain, true), expected);
      ASSERT_EQ(Ours(pair.cls, key, expected, false), plain);
      if (pair.cls != TCipher_RC4::StaticClass()) {
        const std::string random_ct = RandomBytes(rng, 2 * b);
        ASSERT_EQ(Ours(pair.cls, key, random_ct, false), pair.reference(key, random_ct, false));
      }
    }
  }
}

// AES: the portable block function and the AES instructions beside OpenSSL, explicitly each.
TEST(FurtherCiphersDifferential, RijndaelBothPathsEqualOpenSsl) {
  std::mt19937_64 rng(197);
  for (int round = 0; round < 300; ++round) {
    const std::size_t key_size = 16 + 8 * RandomSize(rng, 2);
    const std::string key = RandomBytes(rng, key_size);
    const std::string plain = RandomBytes(rng, 16);
    const char* name = key_size == 16   ? "AES-128-ECB"
                       : key_size == 24 ? "AES-192-ECB"
                                        : "AES-256-ECB";
    const std::string expected = OpenSsl(name, key, plain, true);
    rijndael::Schedule schedule;
    rijndael::ExpandKey(reinterpret_cast<const std::uint8_t*>(key.data()), key.size(), schedule);
    std::string block = plain;
    rijndael::EncryptPortable(schedule, reinterpret_cast<std::uint8_t*>(block.data()));
    ASSERT_EQ(block, expected);
    rijndael::DecryptPortable(schedule, reinterpret_cast<std::uint8_t*>(block.data()));
    ASSERT_EQ(block, plain);
    if (rijndael::HaveAesInstructions()) {
      rijndael::EncryptAesNi(schedule, reinterpret_cast<std::uint8_t*>(block.data()));
      ASSERT_EQ(block, expected);
      rijndael::DecryptAesNi(schedule, reinterpret_cast<std::uint8_t*>(block.data()));
      ASSERT_EQ(block, plain);
    }
  }
}

// Runs of whole blocks (eight at a time through the AES instructions, the rest one by one) equal
// OpenSSL's ECB, on every key length and run length.
TEST(FurtherCiphersDifferential, RijndaelWholeBlockRunsEqualOpenSsl) {
  std::mt19937_64 rng(8);
  for (int round = 0; round < 200; ++round) {
    const std::size_t key_size = 16 + 8 * RandomSize(rng, 2);
    const std::string key = RandomBytes(rng, key_size);
    const std::string plain = RandomBytes(rng, 16 * RandomSize(rng, 40));
    SCOPED_TRACE(std::to_string(key_size) + " " + std::to_string(plain.size()));
    const char* name = key_size == 16   ? "AES-128-ECB"
                       : key_size == 24 ? "AES-192-ECB"
                                        : "AES-256-ECB";
    const std::string expected = OpenSsl(name, key, plain, true);
    TCipher_Rijndael cipher;
    cipher.Init(key.data(), static_cast<std::int32_t>(key.size()), nullptr);
    const std::string feedback = cipher.FeedbackBytes();
    std::string data = plain;
    cipher.EncryptBlocks(reinterpret_cast<const std::uint8_t*>(data.data()),
                         reinterpret_cast<std::uint8_t*>(data.data()), data.size() / 16);
    ASSERT_EQ(data, expected);
    cipher.DecryptBlocks(reinterpret_cast<const std::uint8_t*>(data.data()),
                         reinterpret_cast<std::uint8_t*>(data.data()), data.size() / 16);
    ASSERT_EQ(data, plain);
    EXPECT_EQ(cipher.FeedbackBytes(), feedback);
    if (rijndael::HaveAesInstructions()) {
      rijndael::Schedule schedule;
      rijndael::ExpandKey(reinterpret_cast<const std::uint8_t*>(key.data()), key.size(), schedule);
      rijndael::EncryptBlocksAesNi(schedule, reinterpret_cast<const std::uint8_t*>(data.data()),
                                   reinterpret_cast<std::uint8_t*>(data.data()), data.size() / 16);
      ASSERT_EQ(data, expected);
      rijndael::DecryptBlocksAesNi(schedule, reinterpret_cast<const std::uint8_t*>(data.data()),
                                   reinterpret_cast<std::uint8_t*>(data.data()), data.size() / 16);
      ASSERT_EQ(data, plain);
    }
  }
}

}  // namespace
}  // namespace pelvane
