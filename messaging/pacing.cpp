#include "messaging/pacing.h"

#include <atomic>
#include <climits>

namespace pelvane {

namespace {

std::atomic<int>& Pacing() noexcept {
  static std::atomic<int> pacing{kDefaultPacingMs};
  return pacing;
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

}  // namespace pelvane
