// A TCP socket listening on the host's loopback, for a test to see whether a player reaches it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace test_support {

class LoopbackListener {
 public:
  LoopbackListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd_ < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* any = reinterpret_cast<sockaddr*>(&address);
    if (::bind(fd_, any, sizeof address) == 0 && ::listen(fd_, 8) == 0 &&
        ::getsockname(fd_, any, &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;
  ~LoopbackListener() {
    if (fd_ >= 0) ::close(fd_);
  }

  // The port it listens on; 0 when it could not be made.
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace test_support
