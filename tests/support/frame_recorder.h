// A transport for the wallet session that sends nothing: it builds every frame exactly as the
// real transport would (so building failures are the same) and keeps it, for tests and fuzzing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/session/transport.h"

namespace pelvane::testing {

// One frame the recorder kept: where it would have gone and its exact text.
struct RecordedFrame {
  std::string host;
  int port = 0;
  std::string frame;
};

// Builds every frame exactly as DatagramTransport would (so building failures are the same) and
// keeps it instead of sending; Pause only adds to paused_ms. No sockets, no sleeping.
class FrameRecorder final : public SessionTransport {
 public:
  void SendPlain(const std::string& host, int port, std::string_view data, int identifier) override;
  void SendKey(std::string_view session_key, const std::string& public_key, const std::string& host,
               int port, int identifier) override;
  void SendSecure(const std::string& host, int port, std::string_view text, int identifier,
                  const std::string& public_key, std::string_view session_key) override;
  void SendDual(std::string_view first_block, std::string_view second_block,
                const std::string& host, int identifier, int port) override;
  void Pause(int milliseconds) override;

  std::vector<RecordedFrame> frames;
  long long paused_ms = 0;
};

}  // namespace pelvane::testing
