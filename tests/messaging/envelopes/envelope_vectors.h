// The known-answer envelopes of tests/data/vectors.json, shared by the envelope tests.
#pragma once

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

namespace pelvane::testing {

inline std::string FromHex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

inline const nlohmann::json& EnvelopeVectors() {
  static const nlohmann::json v = [] {
    std::ifstream in(PELVANE_TEST_DATA_DIR "/vectors.json");
    return nlohmann::json::parse(in).at("envelopes");
  }();
  return v;
}

inline std::string RecipientPublicKey() {
  return EnvelopeVectors().at("recipient_public_key").get<std::string>();
}

inline std::string RecipientPrivateKey() {
  return EnvelopeVectors().at("recipient_private_key").get<std::string>();
}

}  // namespace pelvane::testing
