// The ladder's HTTP API as submit and the workers speak it (ladder/API.md): one server, given by
// an http:// or https:// URL, and one bearer token. Every exchange has a time limit for the
// connection, for each read and for each write, and every answer is read up to a cap, so that a
// server that stalls or talks without end costs a bounded wait and bounded memory.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

namespace httplib {
class Client;
}

namespace ladder::client {

// No answer: the server could not be reached, stalled or broke the connection.
struct ConnectionError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Reply {
  int status = 0;
  std::string body;

  bool ok() const { return status >= 200 && status < 300; }
  // The body as JSON; throws ConnectionError when it is none (the server is not the ladder's).
  nlohmann::json json() const;
  // The "error" sentence of a refusal, else the status and the start of the body.
  std::string error() const;
};

inline constexpr std::size_t kJsonCap = 4u << 20;

class ApiClient {
 public:
  // Throws std::invalid_argument for a URL that is not http://HOST[:PORT][/PREFIX] or https://.
  ApiClient(std::string_view url, std::string token);
  ApiClient(const ApiClient&) = delete;
  ApiClient& operator=(const ApiClient&) = delete;
  ~ApiClient();

  // Throw ConnectionError when no answer comes, or one over `cap` bytes.
  Reply get(const std::string& path, std::size_t cap = kJsonCap);
  Reply post(const std::string& path, std::string body, const std::string& content_type,
             std::size_t cap = kJsonCap);
  Reply post_json(const std::string& path, const nlohmann::json& body, std::size_t cap = kJsonCap);

  const std::string& url() const { return url_; }

 private:
  Reply send(const std::string& method, const std::string& path, std::string body,
             const std::string& content_type, std::size_t cap);

  std::string url_;
  std::string prefix_;  // the URL's path, without its trailing '/'
  std::string token_;
  std::unique_ptr<httplib::Client> http_;
};

}  // namespace ladder::client
