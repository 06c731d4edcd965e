// The datagrams one peer socket has yet to send, one queue per destination, each drained by its
// own timer: the pacing pause before a datagram holds back only the datagrams for the same
// destination, never the event loop, so a peer answering one busy sender still answers everyone
// else at once.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

class QTimer;

namespace pelvane::peers {

class SendQueue {
 public:
  // Sends one datagram now: (dotted IPv4 address, port, bytes). May throw; the failure goes to
  // OnError and the queue goes on with the next datagram.
  using Transmit = std::function<void(const std::string& ip, int port, const std::string& bytes)>;

  // Datagrams waiting for one destination at most; more are dropped (and reported), so that a
  // sender that makes a peer answer it endlessly only fills its own queue.
  static constexpr std::size_t kMaxPerDestination = 64;
  // Destinations with waiting datagrams at most.
  static constexpr std::size_t kMaxDestinations = 4096;

  explicit SendQueue(Transmit transmit);
  SendQueue(const SendQueue&) = delete;
  SendQueue& operator=(const SendQueue&) = delete;
  ~SendQueue();

  // Queues bytes for ip:port. Each datagram leaves PacingMs() after the one before it to the
  // same destination (after the call, for the first); at pacing 0 an idle destination's
  // datagram leaves during the call. Returns false when the datagram was dropped because the
  // destination's queue (or the table of destinations) is full.
  bool Enqueue(const std::string& ip, int port, std::string bytes);

  // Datagrams waiting, over all destinations.
  std::size_t Waiting() const noexcept;

  std::function<void(const std::string& message)> OnError;

 private:
  using Destination = std::pair<std::string, int>;
  struct Queue {
    std::deque<std::string> datagrams;
    std::unique_ptr<QTimer> timer;
    Queue();
    ~Queue();
    Queue(Queue&&) = delete;
  };

  void SendOne(const Destination& to, const std::string& bytes) noexcept;
  void Drain(const Destination& to) noexcept;

  Transmit transmit_;
  std::map<Destination, std::unique_ptr<Queue>> queues_;
};

}  // namespace pelvane::peers
