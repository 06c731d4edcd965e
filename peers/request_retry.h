// Requests between the peers are retried on a timer until they are answered: a datagram lost
// on the way there or back costs one interval, not the payment. Retries are safe because every
// request names its order reference and every peer answers a repeated reference with the
// outcome it gave the first time.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QObject;

class QTimer;

namespace pelvane::peers {

// How often and how long a request is tried.
struct RetryPolicy {
  // Tries in all, the first included.
  int tries = 5;
  // The wait after each try: the request's round trip at the current pacing (hops datagrams,
  // each after the pacing pause) plus a margin.
  int hops = 2;
  int margin_ms = 300;
  // Added to the wait after the last try: time for a late answer to arrive before giving up.
  int grace_ms = 0;
  int IntervalMs() const noexcept;
  // The wait after try number try_number.
  int WaitAfterMs(int try_number) const noexcept {
    return IntervalMs() + (try_number >= tries ? grace_ms : 0);
  }
  // From the first try to the give-up.
  long long SpanMs() const noexcept {
    return static_cast<long long>(tries) * IntervalMs() + grace_ms;
  }
};

class RequestRetrier {
 public:
  // resend(key, try_number): sends the request again (try_number 2, 3, ...).
  using Resend = std::function<void(const std::string& key, int try_number)>;
  // give_up(key): called once the last try has had its interval without an answer.
  using GiveUp = std::function<void(const std::string& key)>;

  RequestRetrier(RetryPolicy policy, Resend resend, GiveUp give_up);
  RequestRetrier(const RequestRetrier&) = delete;
  RequestRetrier& operator=(const RequestRetrier&) = delete;
  ~RequestRetrier();

  // The first try of key has just been sent: retry it until Answered(key).
  void Sent(const std::string& key);
  // The answer came: no more tries. Unknown keys are ignored.
  void Answered(const std::string& key);
  bool Waiting(const std::string& key) const { return waiting_.count(key) != 0; }

  const RetryPolicy& Policy() const noexcept { return policy_; }

 private:
  struct Entry;
  void Expired(const std::string& key) noexcept;

  RetryPolicy policy_;
  Resend resend_;
  GiveUp give_up_;
  std::map<std::string, std::unique_ptr<Entry>> waiting_;
  // Answered entries whose timer may still be on the stack (answered from inside its own
  // signal); freed from the event loop, or with the retrier when no loop runs again.
  std::vector<std::unique_ptr<Entry>> retired_;
  std::unique_ptr<QObject> retired_context_;  // cancels the pending clean-up when destroyed
};

}  // namespace pelvane::peers
