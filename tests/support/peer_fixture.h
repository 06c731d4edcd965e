// Simulated peers without sockets, for tests and fuzzing: what a peer sends is recorded, and the
// peer uses the wallet's fixed key pair (known to the seeds and the scripted wallet).
#pragma once

#include <string>
#include <vector>

#include "app/session/wallet_keys.h"
#include "peers/peer_base.h"

namespace pelvane::testing {

// One datagram a peer sent: where to and its exact bytes.
struct SentFrame {
  std::string host;
  int port = 0;
  std::string frame;
};

// A peer's seam that records what it sends; the peer uses the wallet's key pair.
inline peers::PeerSeam RecordingSeam(std::vector<SentFrame>& sent) {
  peers::PeerSeam seam;
  seam.send = [&sent](const std::string& host, int port, const std::string& bytes) {
    sent.push_back({host, port, bytes});
  };
  seam.keys.public_key = kWalletPublicKey;
  seam.keys.private_key = kWalletPrivateKey;
  return seam;
}

}  // namespace pelvane::testing
