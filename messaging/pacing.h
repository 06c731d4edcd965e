// The process-wide pacing of outgoing traffic.
//
// Every datagram is preceded by a blocking pause of PacingMs() milliseconds, and the session
// waits SessionPauseMs() (twice the pacing) between a key frame and the first secure frame to
// the same peer. The pacing is 1000 ms unless a test or a test tool shortens it.
#pragma once

namespace pelvane {

inline constexpr int kDefaultPacingMs = 1000;

// The pause before every datagram, in milliseconds.
int PacingMs() noexcept;

// Sets the pause before every datagram; negative values count as 0.
void SetPacingMs(int milliseconds) noexcept;

// The session's wait between a key frame and the following secure frame: 2 x PacingMs().
int SessionPauseMs() noexcept;

}  // namespace pelvane
