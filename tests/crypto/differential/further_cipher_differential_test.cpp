// The further block ciphers beside independent implementations used as black boxes (Crypto++
// and Botan), on random keys and blocks: encryption of random plain text and decryption of
// random cipher text, block by block, each class keyed through Init with the raw key bytes.
#include <botan/block_cipher.h>
#include <cryptopp/3way.h>
#include <cryptopp/gost.h>
#include <cryptopp/mars.h>
#include <cryptopp/safer.h>
#include <cryptopp/skipjack.h>
#include <cryptopp/square.h>
#include <cryptopp/tea.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>

#include "crypto/cipher/gost.h"
#include "crypto/cipher/mars.h"
#include "crypto/cipher/misty.h"
#include "crypto/cipher/safer.h"
#include "crypto/cipher/skipjack.h"
#include "crypto/cipher/square.h"
#include "crypto/cipher/tea.h"
#include "crypto/cipher/threeway.h"
#include "random_input.h"

namespace pelvane {
namespace {

using test::RandomBytes;
using test::RandomSize;

// The reference: key, whole blocks, direction -> the coded blocks.
using Reference =
    std::function<std::string(const std::string& key, const std::string& data, bool encrypt)>;

// rounds: 0 for the algorithm's default, else the number of rounds asked for.
template <typename Algorithm>
Reference CryptoPlusPlus(int rounds = 0) {
  return [rounds](const std::string& key, const std::string& data, bool encrypt) {
    const auto* k = reinterpret_cast<const CryptoPP::byte*>(key.data());
    typename Algorithm::Encryption e;
    typename Algorithm::Decryption d;
    if (rounds == 0) {
      e.SetKey(k, key.size());
      d.SetKey(k, key.size());
    } else {
      e.SetKeyWithRounds(k, key.size(), rounds);
      d.SetKeyWithRounds(k, key.size(), rounds);
    }
    CryptoPP::BlockTransformation& t = encrypt ? static_cast<CryptoPP::BlockTransformation&>(e)
                                               : static_cast<CryptoPP::BlockTransformation&>(d);
    std::string out = data;
    auto* p = reinterpret_cast<CryptoPP::byte*>(out.data());
    for (std::size_t pos = 0; pos < out.size(); pos += t.BlockSize())
      t.ProcessBlock(p + pos);
    return out;
  };
}

Reference Botan(std::string name) {
  return [name](const std::string& key, const std::string& data, bool encrypt) {
    auto cipher = Botan::BlockCipher::create_or_throw(name);
    cipher->set_key(reinterpret_cast<const std::uint8_t*>(key.data()), key.size());
    std::string out = data;
    auto* p = reinterpret_cast<std::uint8_t*>(out.data());
    const std::size_t blocks = out.size() / cipher->block_size();
    if (encrypt) {
      cipher->encrypt_n(p, p, blocks);
    } else {
      cipher->decrypt_n(p, p, blocks);
    }
    return out;
  };
}

// A reference that writes key and blocks in reversed byte order, seen in ours.
Reference ByteReversed(Reference reference, std::size_t block_size) {
  return [reference, block_size](const std::string& key, const std::string& data, bool encrypt) {
    const auto reverse_blocks = [block_size](std::string s) {
      for (std::size_t pos = 0; pos < s.size(); pos += block_size)
        std::reverse(s.begin() + static_cast<std::ptrdiff_t>(pos),
                     s.begin() + static_cast<std::ptrdiff_t>(pos + block_size));
      return s;
    };
    return reverse_blocks(
        reference(std::string(key.rbegin(), key.rend()), reverse_blocks(data), encrypt));
  };
}

struct Pairing {
  const char* label;
  TCipherClassRef cls;
  std::size_t key_size;  // bytes given to both sides
  Reference reference;
};

const std::vector<Pairing>& Pairings() {
  static const std::vector<Pairing> pairings = {
      {"3-Way / Crypto++ ThreeWay", TCipher_3Way::StaticClass(), 12,
       CryptoPlusPlus<CryptoPP::ThreeWay>()},
      {"GOST / Crypto++ GOST", TCipher_Gost::StaticClass(), 32, CryptoPlusPlus<CryptoPP::GOST>()},
      // Naming the S-box set on the Botan side pins ours.
      {"GOST / Botan GOST-28147-89(R3411_94_TestParam)", TCipher_Gost::StaticClass(), 32,
       Botan("GOST-28147-89(R3411_94_TestParam)")},
      {"SAFER-K64 / Crypto++ SAFER_K, 6 rounds", TCipher_SAFER_K64::StaticClass(), 8,
       CryptoPlusPlus<CryptoPP::SAFER_K>(6)},
      {"SAFER-SK64 / Crypto++ SAFER_SK, 8 rounds", TCipher_SAFER_SK64::StaticClass(), 8,
       CryptoPlusPlus<CryptoPP::SAFER_SK>(8)},
      {"SAFER-K128 / Crypto++ SAFER_K, 10 rounds", TCipher_SAFER_K128::StaticClass(), 16,
       CryptoPlusPlus<CryptoPP::SAFER_K>(10)},
      {"SAFER-SK128 / Crypto++ SAFER_SK, 10 rounds", TCipher_SAFER_SK128::StaticClass(), 16,
       CryptoPlusPlus<CryptoPP::SAFER_SK>(10)},
      {"Square / Crypto++ Square", TCipher_Square::StaticClass(), 16,
       CryptoPlusPlus<CryptoPP::Square>()},
      {"TEA / Crypto++ TEA", TCipher_TEA::StaticClass(), 16, CryptoPlusPlus<CryptoPP::TEA>()},
      {"XTEA / Crypto++ XTEA", TCipher_TEAN::StaticClass(), 16, CryptoPlusPlus<CryptoPP::XTEA>()},
      {"XTEA / Botan XTEA", TCipher_TEAN::StaticClass(), 16, Botan("XTEA")},
      {"MARS / Crypto++ MARS, 16-byte keys", TCipher_Mars::StaticClass(), 16,
       CryptoPlusPlus<CryptoPP::MARS>()},
      {"MARS / Crypto++ MARS, 40-byte keys", TCipher_Mars::StaticClass(), 40,
       CryptoPlusPlus<CryptoPP::MARS>()},
      {"MARS / Crypto++ MARS, 56-byte keys", TCipher_Mars::StaticClass(), 56,
       CryptoPlusPlus<CryptoPP::MARS>()},
      {"MISTY1 / Botan MISTY1", TCipher_Misty::StaticClass(), 16, Botan("MISTY1")},
      // Crypto++ takes key and blocks in the reverse byte order of the algorithm's example.
      {"Skipjack / Crypto++ SKIPJACK", TCipher_Skipjack::StaticClass(), 10,
       ByteReversed(CryptoPlusPlus<CryptoPP::SKIPJACK>(), 8)},
  };
  return pairings;
}

TEST(FurtherCipherDifferential, RandomKeysAndBlocksAgree) {
  std::mt19937_64 rng(18);
  for (const Pairing& pairing : Pairings()) {
    const std::size_t b = static_cast<std::size_t>(pairing.cls->BlockSize());
    for (int round = 0; round < 100; ++round) {
      SCOPED_TRACE(std::string(pairing.label) + " round " + std::to_string(round));
      const std::string key = RandomBytes(rng, pairing.key_size);
      auto cipher = pairing.cls->Create();
      cipher->SetMode(cmECB);
      cipher->Init(key.data(), static_cast<std::int32_t>(key.size()), nullptr);

      const std::string plain = RandomBytes(rng, b * (1 + RandomSize(rng, 7)));
      std::string ours = plain;
      for (std::size_t pos = 0; pos < ours.size(); pos += b)
        cipher->EncryptBlock(ours.data() + pos);
      ASSERT_EQ(ours, pairing.reference(key, plain, true));

      const std::string coded = RandomBytes(rng, b * (1 + RandomSize(rng, 7)));
      std::string decoded(coded.size(), '\0');
      cipher->DecryptBuffer(coded.data(), decoded.data(), coded.size());
      ASSERT_EQ(decoded, pairing.reference(key, coded, false));
    }
  }
}

}  // namespace
}  // namespace pelvane
