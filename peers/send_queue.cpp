#include "peers/send_queue.h"

#include <QTimer>
#include <exception>

#include "messaging/pacing.h"

namespace pelvane::peers {

SendQueue::Queue::Queue() : timer(std::make_unique<QTimer>()) {
  timer->setSingleShot(true);
}

SendQueue::Queue::~Queue() = default;

SendQueue::SendQueue(Transmit transmit) : transmit_(std::move(transmit)) {}

SendQueue::~SendQueue() = default;

std::size_t SendQueue::Waiting() const noexcept {
  std::size_t waiting = 0;
  for (const auto& [to, queue] : queues_)
    waiting += queue->datagrams.size();
  return waiting;
}

void SendQueue::SendOne(const Destination& to, const std::string& bytes) noexcept {
  try {
    transmit_(to.first, to.second, bytes);
  } catch (const std::exception& e) {
    if (OnError) OnError(e.what());
  } catch (...) {
    if (OnError) OnError("unknown failure while sending");
  }
}

bool SendQueue::Enqueue(const std::string& ip, int port, std::string bytes) {
  const Destination to{ip, port};
  auto it = queues_.find(to);
  if (it == queues_.end()) {
    if (PacingMs() == 0) {
      SendOne(to, bytes);
      return true;
    }
    if (queues_.size() >= kMaxDestinations) return false;
    it = queues_.emplace(to, std::make_unique<Queue>()).first;
    QObject::connect(it->second->timer.get(), &QTimer::timeout, [this, to] { Drain(to); });
  }
  Queue& queue = *it->second;
  if (queue.datagrams.size() >= kMaxPerDestination) return false;
  queue.datagrams.push_back(std::move(bytes));
  if (!queue.timer->isActive()) queue.timer->start(PacingMs());
  return true;
}

void SendQueue::Drain(const Destination& to) noexcept {
  const auto it = queues_.find(to);
  if (it == queues_.end()) return;
  Queue& queue = *it->second;
  // At pacing 0 (set while datagrams waited) everything waiting goes at once.
  do {
    if (queue.datagrams.empty()) break;
    const std::string bytes = std::move(queue.datagrams.front());
    queue.datagrams.pop_front();
    SendOne(to, bytes);
  } while (PacingMs() == 0);
  if (queue.datagrams.empty()) {
    // The timer's own signal is running: delete it once control is back in the event loop.
    it->second->timer.release()->deleteLater();
    queues_.erase(it);
    return;
  }
  queue.timer->start(PacingMs());
}

}  // namespace pelvane::peers
