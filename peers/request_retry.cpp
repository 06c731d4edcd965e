#include "peers/request_retry.h"

#include <QObject>
#include <QTimer>
#include <exception>

#include "messaging/pacing.h"

namespace pelvane::peers {

int RetryPolicy::IntervalMs() const noexcept {
  return hops * PacingMs() + margin_ms;
}

struct RequestRetrier::Entry {
  QTimer timer;
  int tries = 1;
};

RequestRetrier::RequestRetrier(RetryPolicy policy, Resend resend, GiveUp give_up)
    : policy_(policy),
      resend_(std::move(resend)),
      give_up_(std::move(give_up)),
      retired_context_(std::make_unique<QObject>()) {}

RequestRetrier::~RequestRetrier() = default;

void RequestRetrier::Sent(const std::string& key) {
  auto& entry = waiting_[key];
  if (!entry) {
    entry = std::make_unique<Entry>();
    entry->timer.setSingleShot(true);
    QObject::connect(&entry->timer, &QTimer::timeout, [this, key] { Expired(key); });
  }
  entry->tries = 1;
  entry->timer.start(policy_.WaitAfterMs(1));
}

void RequestRetrier::Answered(const std::string& key) {
  const auto it = waiting_.find(key);
  if (it == waiting_.end()) return;
  // The entry may be answered from inside its own timer's signal (a resend answered at once):
  // let the event loop delete the timer.
  it->second->timer.stop();
  retired_.push_back(std::move(it->second));
  waiting_.erase(it);
  if (retired_.size() == 1) {
    QTimer::singleShot(0, retired_context_.get(), [this] { retired_.clear(); });
  }
}

void RequestRetrier::Expired(const std::string& key) noexcept {
  const auto it = waiting_.find(key);
  if (it == waiting_.end()) return;
  Entry& entry = *it->second;
  try {
    if (entry.tries >= policy_.tries) {
      Answered(key);
      give_up_(key);
      return;
    }
    ++entry.tries;
    entry.timer.start(policy_.WaitAfterMs(entry.tries));
    resend_(key, entry.tries);
  } catch (const std::exception&) {
    // The resend failed (a name that no longer resolves): the next try comes on time.
  } catch (...) {
  }
}

}  // namespace pelvane::peers
