#include "messaging/pacing.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <thread>

namespace pelvane {

namespace {

std::atomic<int>& Pacing() noexcept {
  static std::atomic<int> pacing{kDefaultPacingMs};
  return pacing;
}

void Sleep(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::atomic<PauseFunction>& InstalledPause() noexcept {
  static std::atomic<PauseFunction> pause{&Sleep};
  return pause;
}

}  // namespace

int PacingMs() noexcept {
  return Pacing().load(std::memory_order_relaxed);
}

void SetPacingMs(int milliseconds) noexcept {
  // The upper bound keeps SessionPauseMs() within int.
  constexpr int kMax = INT_MAX / 2;
  const int clamped = milliseconds < 0 ? 0 : (milliseconds > kMax ? kMax : milliseconds);
  Pacing().store(clamped, std::memory_order_relaxed);
}

int SessionPauseMs() noexcept {
  return 2 * PacingMs();
}

void SetPauseFunction(PauseFunction pause) noexcept {
  InstalledPause().store(pause != nullptr ? pause : &Sleep);
}

void Pause(int milliseconds) {
  if (milliseconds > 0) InstalledPause().load()(milliseconds);
}

}  // namespace pelvane
