// The process-wide pacing of outgoing traffic.
//
// Every datagram is preceded by a blocking pause of PacingMs() milliseconds, and the session
// waits SessionPauseMs() (twice the pacing) between a key frame and the first secure frame to
// the same peer. The pacing is 1000 ms unless a test or a test tool shortens it.
//
// How the pause is spent is replaceable: by default the calling thread sleeps; a program with
// windows installs a pause that keeps them painting without handling input or datagrams, so that
// the pause keeps its meaning (nothing is received during it) while the windows stay alive.
#pragma once

namespace pelvane {

inline constexpr int kDefaultPacingMs = 1000;

// The pause before every datagram, in milliseconds.
int PacingMs() noexcept;

// Sets the pause before every datagram; negative values count as 0.
void SetPacingMs(int milliseconds) noexcept;

// The session's wait between a key frame and the following secure frame: 2 x PacingMs().
int SessionPauseMs() noexcept;

// Spends a pause of the given milliseconds on the calling thread. Must not return early and must
// not throw.
using PauseFunction = void (*)(int milliseconds);

// Installs the function every Pause() runs; nullptr restores the default, which sleeps.
void SetPauseFunction(PauseFunction pause) noexcept;

// Pauses the calling thread for the given time through the installed function; 0 or less returns
// at once.
void Pause(int milliseconds);

}  // namespace pelvane
