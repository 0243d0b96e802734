#pragma once
// A loopback listener that completes the TCP handshake and then never says a word (POSIX).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvane::testing {

class SilentListener {
 public:
  SilentListener() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(fd_, 8);
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  ~SilentListener() { close(fd_); }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  unsigned port() const { return port_; }
  int fd() const { return fd_; }  // for checking whether anyone came (accept)

 private:
  int fd_ = -1;
  unsigned port_ = 0;
};

}  // namespace kelvane::testing

#include <poll.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kelvane::testing {

// A loopback peer that plays a server's first packet: it accepts one connection, sends `chunks`
// with `pause` between them, then records every byte the client sends until the client closes
// or `listen` has passed, answering each piece the client sends with the next of `replies`
// (POSIX).
class ScriptedServer {
 public:
  ScriptedServer(std::vector<std::string> chunks, std::chrono::milliseconds pause = {},
                 std::chrono::milliseconds listen = std::chrono::milliseconds(3000),
                 std::vector<std::string> replies = {})
      : thread_([this, chunks = std::move(chunks), pause, listen, replies = std::move(replies)] {
          const int peer = accept(listener_.fd(), nullptr, nullptr);
          if (peer < 0) return;
          for (const std::string& chunk : chunks) {
            if (send(peer, chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0) break;
            std::this_thread::sleep_for(pause);
          }
          const auto end = std::chrono::steady_clock::now() + listen;
          std::size_t answered = 0;
          while (std::chrono::steady_clock::now() < end) {
            pollfd watch{peer, POLLIN, 0};
            if (poll(&watch, 1, 50) <= 0) continue;
            char buffer[4096];
            const ssize_t n = recv(peer, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            received_.append(buffer, static_cast<std::size_t>(n));
            if (answered < replies.size()) {
              const std::string& reply = replies[answered++];
              send(peer, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
          }
          close(peer);
        }) {}
  ~ScriptedServer() { Finish(); }
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;
  unsigned port() const { return listener_.port(); }
  // Waits for the conversation to end; the client's bytes.
  const std::string& Finish() {
    if (thread_.joinable()) {
      shutdown(listener_.fd(), SHUT_RDWR);  // a client that never came
      thread_.join();
    }
    return received_;
  }

 private:
  SilentListener listener_;  // declared first: listening before the thread starts
  std::string received_;
  std::thread thread_;
};

}  // namespace kelvane::testing
