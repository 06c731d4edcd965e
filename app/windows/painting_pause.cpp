#include "app/windows/painting_pause.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <thread>

#include "messaging/pacing.h"
#include "messaging/udp_socket.h"

namespace pelvane {
namespace {

// The receiver held during pauses, and how deeply pauses are nested (a timer that runs during a
// pause could start another one); the hold ends with the outermost pause.
TUDPSocket* g_held_receiver = nullptr;
int g_pause_depth = 0;

class ReceiverHold {
 public:
  ReceiverHold() noexcept {
    if (g_pause_depth++ == 0 && g_held_receiver != nullptr)
      g_held_receiver->HoldNotifications(true);
  }
  ~ReceiverHold() {
    if (--g_pause_depth == 0 && g_held_receiver != nullptr) {
      g_held_receiver->HoldNotifications(false);
    }
  }
  ReceiverHold(const ReceiverHold&) = delete;
  ReceiverHold& operator=(const ReceiverHold&) = delete;
};

}  // namespace

void PaintingPause(int milliseconds) noexcept {
  using Clock = std::chrono::steady_clock;
  if (milliseconds <= 0) return;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  const QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() != app->thread()) {
    std::this_thread::sleep_until(deadline);
    return;
  }
  try {
    ReceiverHold hold;
    for (;;) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return;
      QEventLoop loop;
      QTimer timer;
      timer.setSingleShot(true);
      timer.setTimerType(Qt::PreciseTimer);
      bool fired = false;
      QObject::connect(&timer, &QTimer::timeout, &loop, [&fired, &loop] {
        fired = true;
        loop.quit();
      });
      timer.start(left);
      loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
      // Someone ended every event loop (the program is ending): the rest without one.
      if (!fired) break;
    }
  } catch (...) {
    // Nothing here throws by design; if Qt ever does, the pause still keeps its length.
  }
  std::this_thread::sleep_until(deadline);
}

ScopedPaintingPause::ScopedPaintingPause(TUDPSocket* receiver) noexcept {
  g_held_receiver = receiver;
  SetPauseFunction(&PaintingPause);
}

ScopedPaintingPause::~ScopedPaintingPause() {
  SetPauseFunction(nullptr);
  g_held_receiver = nullptr;
}

}  // namespace pelvane
