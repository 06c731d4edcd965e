// Three-key DES (TCipher_3DES, E_K3(D_K2(E_K1(P)))) in ECB beside OpenSSL's DES_ecb3_encrypt,
// on random keys and blocks: block by block and through the buffer entry points.
#define OPENSSL_SUPPRESS_DEPRECATED  // the low-level DES interface is the reference
#include <gtest/gtest.h>
#include <openssl/des.h>

#include <cstring>
#include <random>
#include <string>

#include "crypto/cipher/des.h"
#include "random_input.h"

namespace pelvane {
namespace {

using test::RandomBytes;
using test::RandomSize;

struct ReferenceDes3 {
  DES_key_schedule k1, k2, k3;
  explicit ReferenceDes3(const std::string& key) {
    DES_cblock parts[3];
    std::memcpy(parts, key.data(), sizeof parts);
    DES_set_key_unchecked(&parts[0], &k1);
    DES_set_key_unchecked(&parts[1], &k2);
    DES_set_key_unchecked(&parts[2], &k3);
  }
  std::string Ecb(std::string data, int direction) {
    for (std::size_t pos = 0; pos < data.size(); pos += 8) {
      auto* block = reinterpret_cast<DES_cblock*>(data.data() + pos);
      DES_ecb3_encrypt(block, block, &k1, &k2, &k3, direction);
    }
    return data;
  }
};

TEST(DesDifferential, ThreeKeyEcbEqualsOpenSsl) {
  std::mt19937_64 rng(3);
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    const std::string key = RandomBytes(rng, 24);
    const std::string plain = RandomBytes(rng, 8 * (1 + RandomSize(rng, 63)));
    ReferenceDes3 reference(key);
    const std::string expected = reference.Ecb(plain, DES_ENCRYPT);

    TCipher_3DES cipher;
    cipher.SetMode(cmECB);
    cipher.Init(key.data(), 24, nullptr);

    std::string blockwise = plain;
    for (std::size_t pos = 0; pos < blockwise.size(); pos += 8)
      cipher.EncryptBlock(blockwise.data() + pos);
    ASSERT_EQ(blockwise, expected);

    std::string buffered(plain.size(), '\0');
    cipher.EncryptBuffer(plain.data(), buffered.data(), plain.size());
    ASSERT_EQ(buffered, expected);

    // Decryption: of our cipher text back to the plain text, and of random blocks as OpenSSL
    // decrypts them.
    std::string decrypted(plain.size(), '\0');
    cipher.DecryptBuffer(expected.data(), decrypted.data(), expected.size());
    ASSERT_EQ(decrypted, plain);
    std::string blocks = RandomBytes(rng, 64);
    const std::string reference_plain = reference.Ecb(blocks, DES_DECRYPT);
    for (std::size_t pos = 0; pos < blocks.size(); pos += 8)
      cipher.DecryptBlock(blocks.data() + pos);
    ASSERT_EQ(blocks, reference_plain);
  }
}

}  // namespace
}  // namespace pelvane
