// The windowed wallet's pause. The pause before every datagram and the session's longer wait keep
// their length and their meaning: no datagram is handled during them, every datagram waits in the
// socket and is handled afterwards, in order. But the windows keep painting: the pause runs a
// local event loop that excludes user input and socket notifications until its timer fires, so log
// lines appear as they are written and a covered window redraws. Because not every event
// dispatcher honours the exclusion of socket notifications, the receiver is also held explicitly.
// Timers and posted events do run during the pause (the status line's clock, repaints).
#pragma once

namespace pelvane {

class TUDPSocket;

// One pause of the given milliseconds. On the application's thread it runs the local event loop;
// without an application, or on another thread, it sleeps. Never returns early and never throws:
// when the program ends every event loop while it waits, the rest of the pause is slept.
void PaintingPause(int milliseconds) noexcept;

// Installs PaintingPause as the process-wide pause for its lifetime and restores the sleeping
// pause afterwards. receiver (may be null) is held during every pause. One at a time.
class ScopedPaintingPause {
 public:
  explicit ScopedPaintingPause(TUDPSocket* receiver) noexcept;
  ~ScopedPaintingPause();
  ScopedPaintingPause(const ScopedPaintingPause&) = delete;
  ScopedPaintingPause& operator=(const ScopedPaintingPause&) = delete;
};

}  // namespace pelvane
