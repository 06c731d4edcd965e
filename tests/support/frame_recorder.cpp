#include "tests/support/frame_recorder.h"

#include "messaging/envelopes.h"
#include "messaging/frames.h"

namespace pelvane::testing {

void FrameRecorder::SendPlain(const std::string& host, int port, std::string_view data,
                              int identifier) {
  frames.push_back({host, port, BuildPlainFrame(data, identifier)});
}

void FrameRecorder::SendKey(std::string_view session_key, const std::string& public_key,
                            const std::string& host, int port, int identifier) {
  frames.push_back({host, port, BuildKeyFrame(session_key, public_key, identifier)});
}

void FrameRecorder::SendSecure(const std::string& host, int port, std::string_view text,
                               int identifier, const std::string& public_key,
                               std::string_view session_key) {
  frames.push_back({host, port, BuildSecureFrame(text, identifier, public_key, session_key)});
}

void FrameRecorder::SendDual(std::string_view first_block, std::string_view second_block,
                             const std::string& host, int identifier, int port) {
  frames.push_back({host, port, BuildDualFrame(first_block, second_block, identifier)});
}

void FrameRecorder::Pause(int milliseconds) {
  if (milliseconds > 0) paused_ms += milliseconds;
}

}  // namespace pelvane::testing
