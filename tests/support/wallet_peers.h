// What a scripted peer of the wallet needs: its own key pair, opening the key frames and secure
// frames the wallet sends it, and sealing the frames it sends back.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/session/wallet_keys.h"
#include "crypto/formats/charset.h"
#include "crypto/formats/formats.h"
#include "crypto/rsa/keygen.h"
#include "crypto/rsa/rsa.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"

namespace pelvane::testing {

// Windows-1250 from the UTF-8 of this source file: an independent spelling of the Czech texts.
inline std::string W(const char* utf8) {
  return Utf8ToCp1250(utf8);
}

// The identifier of a frame as the wallet writes it.
inline int FrameId(std::string_view frame) {
  return frame.size() < 2 ? -1 : HexFieldToInt(frame.substr(0, 2));
}

// A peer's key pair, made once per test program for each role.
inline const RsaKeyPair& PeerKeys(int role) {
  static RsaKeyPair keys[4] = {GenerateRsaKeyPair(kb0512), GenerateRsaKeyPair(kb0512),
                               GenerateRsaKeyPair(kb0512), GenerateRsaKeyPair(kb0512)};
  return keys[role];
}
enum PeerRole { kBankRole = 0, kGatewayRole = 1, kMerchantRole = 2, kOtherBankRole = 3 };

// The session key inside a key frame, opened with the peer's private key.
inline std::string OpenKeyFrame(std::string_view frame, const RsaKeyPair& keys) {
  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  rsa.SetPublicKey(keys.public_key);
  rsa.SetPrivateKey(keys.private_key);
  return rsa.DecryptString(GetMessageBody(frame));
}

// The text of a secure frame the wallet sent to the peer.
inline std::string OpenFromWallet(std::string_view frame, std::string_view session_key,
                                  const RsaKeyPair& keys) {
  return OpenSecureMessage(frame, session_key, keys.public_key, keys.private_key);
}

// The two blocks of a dual frame: identifier, then two length-prefixed blocks. Throws when
// anything follows the second block.
inline std::pair<std::string, std::string> SplitDual(std::string_view frame) {
  const std::size_t first = static_cast<std::size_t>(HexFieldToInt(frame.substr(2, 4)));
  const std::string_view block1 = frame.substr(2, 4 + first);
  const std::string_view rest = frame.substr(2 + block1.size());
  const std::size_t second = static_cast<std::size_t>(HexFieldToInt(rest.substr(0, 4)));
  if (rest.size() != 4 + second) {
    throw std::runtime_error("nothing may follow the second block of a dual frame");
  }
  return {std::string(block1), std::string(rest.substr(0, 4 + second))};
}

// A secure block opened as the frame of identifier 0 that carries it.
inline std::string OpenBlock(std::string_view block, std::string_view session_key,
                             const RsaKeyPair& keys) {
  return OpenFromWallet("00" + std::string(block), session_key, keys);
}

// A secure frame for the wallet, sealed with the session key and the wallet's public key.
inline std::string SealForWallet(std::string_view text, int id, std::string_view session_key) {
  return BuildSecureFrame(text, id, kWalletPublicKey, session_key);
}

}  // namespace pelvane::testing
