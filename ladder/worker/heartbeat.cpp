#include "ladder/worker/heartbeat.h"

#include <iostream>

#include "ladder/client/api_client.h"

namespace ladder::worker {

namespace {

constexpr auto kRetry = std::chrono::seconds(5);

}  // namespace

Heartbeat::Heartbeat(std::string server, std::string token, std::string lease,
                     std::chrono::seconds interval)
    : server_(std::move(server)),
      token_(std::move(token)),
      lease_(std::move(lease)),
      interval_(interval),
      thread_([this] { beat(); }) {}

Heartbeat::~Heartbeat() {
  done_.request();
  thread_.join();
}

void Heartbeat::beat() {
  client::ApiClient client(server_, token_);
  std::chrono::milliseconds pause = interval_;
  while (!done_.wait_for(pause)) {
    pause = interval_;
    try {
      const client::Reply reply = client.post_json("/api/worker/heartbeat", {{"lease", lease_}});
      if (reply.status == 409) {
        lost_ = true;
        return;
      }
      if (!reply.ok()) std::cerr << "heartbeat refused: " << reply.error() << std::endl;
    } catch (const client::ConnectionError& error) {
      std::cerr << "heartbeat: " << error.what() << std::endl;
      pause = std::min<std::chrono::milliseconds>(interval_, kRetry);
    }
  }
}

}  // namespace ladder::worker
