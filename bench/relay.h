#pragma once

#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace oq::bench {

// A stand-in for the office network between the program and its PostgreSQL server: a TCP relay
// on 127.0.0.1 that forwards every connection to the server's unix socket and holds every byte
// for `delay` in each direction before passing it on. It adds the network's latency (a round trip
// costs twice the delay) and nothing else: no bandwidth limit, no loss, no reordering.
//
// It also counts round trips: the times a client sent something after the server had answered it
// (or sent first). Statements sent together and answered together count once.
class DelayRelay {
 public:
  // Listens at once on a free port; throws std::runtime_error when it cannot.
  DelayRelay(std::string socketPath, std::chrono::microseconds delay);
  ~DelayRelay();
  DelayRelay(const DelayRelay&) = delete;
  DelayRelay& operator=(const DelayRelay&) = delete;

  int port() const { return port_; }
  std::chrono::microseconds delay() const { return delay_; }
  long roundTrips() const { return roundTrips_.load(); }

  // The unix socket of the server that PGHOST and PGPORT name (libpq's defaults otherwise).
  static std::string ServerSocket();

 private:
  struct Link;
  void Accept();

  std::string socketPath_;
  std::chrono::microseconds delay_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<long> roundTrips_{0};
  std::atomic<bool> stopping_{false};
  std::mutex linksMutex_;
  std::list<std::unique_ptr<Link>> links_;
  std::thread acceptor_;
};

}  // namespace oq::bench
