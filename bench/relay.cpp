#include "relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <stdexcept>
#include <vector>

namespace oq::bench {

namespace {

using Clock = std::chrono::steady_clock;

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::send(fd, data, size, MSG_NOSIGNAL);
    if (written <= 0) return;  // the other end went; the reader sees it too
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

// One direction of one connection: a reader that stamps what arrives, and a writer that passes it
// on once its time has come. An empty chunk is the end of the stream.
class Pipe {
 public:
  Pipe(int from, int to, std::chrono::microseconds delay, std::function<void()> onData)
      : from_(from), to_(to), delay_(delay), onData_(std::move(onData)) {
    writer_ = std::thread([this] { Write(); });
    reader_ = std::thread([this] { Read(); });
  }
  ~Pipe() {
    reader_.join();
    writer_.join();
  }

 private:
  struct Chunk {
    Clock::time_point due;
    std::vector<char> bytes;
  };

  void Read() {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
      const ssize_t got = ::recv(from_, buffer.data(), buffer.size(), 0);
      if (got > 0 && onData_) onData_();
      Push({Clock::now() + delay_, got > 0 ? std::vector<char>(buffer.begin(), buffer.begin() + got)
                                           : std::vector<char>()});
      if (got <= 0) return;
    }
  }
  void Push(Chunk chunk) {
    {
      const std::lock_guard lock(mutex_);
      chunks_.push_back(std::move(chunk));
    }
    ready_.notify_one();
  }
  void Write() {
    for (;;) {
      Chunk chunk;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return !chunks_.empty(); });
        chunk = std::move(chunks_.front());
        chunks_.pop_front();
      }
      std::this_thread::sleep_until(chunk.due);
      if (chunk.bytes.empty()) {
        ::shutdown(to_, SHUT_WR);
        ::shutdown(from_, SHUT_RD);
        return;
      }
      WriteAll(to_, chunk.bytes.data(), chunk.bytes.size());
    }
  }

  int from_;
  int to_;
  std::chrono::microseconds delay_;
  std::function<void()> onData_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Chunk> chunks_;
  std::thread writer_;
  std::thread reader_;
};

}  // namespace

// One client connection and its own to the server.
struct DelayRelay::Link {
  Link(int clientFd, int serverFd, std::chrono::microseconds delay, std::atomic<long>& roundTrips)
      : client(clientFd), server(serverFd) {
    // A client that sends after the server answered (or first) starts a round trip.
    toServer = std::make_unique<Pipe>(client, server, delay, [this, &roundTrips] {
      if (answered.exchange(false)) ++roundTrips;
    });
    toClient = std::make_unique<Pipe>(server, client, delay, [this] { answered = true; });
  }
  ~Link() {
    ::shutdown(client, SHUT_RDWR);
    ::shutdown(server, SHUT_RDWR);
    toServer.reset();
    toClient.reset();
    ::close(client);
    ::close(server);
  }
  int client;
  int server;
  std::atomic<bool> answered{true};
  std::unique_ptr<Pipe> toServer;
  std::unique_ptr<Pipe> toClient;
};

std::string DelayRelay::ServerSocket() {
  const char* host = std::getenv("PGHOST");
  const char* port = std::getenv("PGPORT");
  return std::string(host != nullptr && host[0] == '/' ? host : "/var/run/postgresql") +
         "/.s.PGSQL." + (port != nullptr && port[0] != '\0' ? port : "5432");
}

DelayRelay::DelayRelay(std::string socketPath, std::chrono::microseconds delay)
    : socketPath_(std::move(socketPath)), delay_(delay) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (listener_ >= 0) ::close(listener_);
    throw std::runtime_error(std::string("the relay cannot listen: ") + std::strerror(errno));
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { Accept(); });
}

DelayRelay::~DelayRelay() {
  stopping_ = true;
  ::shutdown(listener_, SHUT_RDWR);
  acceptor_.join();
  ::close(listener_);
  links_.clear();
}

void DelayRelay::Accept() {
  for (;;) {
    const int client = ::accept(listener_, nullptr, nullptr);
    if (client < 0) {
      if (stopping_ || errno != EINTR) return;
      continue;
    }
    const int one = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath_.c_str(), sizeof address.sun_path - 1);
    if (server < 0 ||
        ::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      if (server >= 0) ::close(server);
      ::close(client);
      continue;
    }
    const std::lock_guard lock(linksMutex_);
    links_.push_back(std::make_unique<Link>(client, server, delay_, roundTrips_));
  }
}

}  // namespace oq::bench
