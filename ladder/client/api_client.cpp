#include "ladder/client/api_client.h"

#include <httplib.h>

namespace ladder::client {

namespace {

constexpr auto kConnectTimeout = std::chrono::seconds(10);
constexpr auto kReadTimeout = std::chrono::seconds(60);
constexpr auto kWriteTimeout = std::chrono::seconds(60);

struct SplitUrl {
  std::string origin;  // scheme://host[:port]
  std::string prefix;
};

SplitUrl split_url(std::string_view url) {
  const auto refuse = [&] {
    return std::invalid_argument(
        "the server's URL must be http://HOST[:PORT] or https://..., not \"" +
        std::string(url.substr(0, 200)) + "\"");
  };
  const std::size_t scheme_end = url.find("://");
  if (scheme_end == std::string_view::npos) throw refuse();
  const std::string_view scheme = url.substr(0, scheme_end);
  if (scheme != "http" && scheme != "https") throw refuse();
  for (char c : url) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) throw refuse();
  }
  const std::size_t path_start = url.find('/', scheme_end + 3);
  SplitUrl split{std::string(url.substr(0, path_start)), ""};
  if (split.origin.size() == scheme_end + 3) throw refuse();
  if (path_start != std::string_view::npos) split.prefix = std::string(url.substr(path_start));
  while (!split.prefix.empty() && split.prefix.back() == '/') split.prefix.pop_back();
  return split;
}

}  // namespace

nlohmann::json Reply::json() const {
  nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) {
    throw ConnectionError("the server's answer (status " + std::to_string(status) +
                          ") is not the ladder's JSON");
  }
  return parsed;
}

std::string Reply::error() const {
  nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
  if (parsed.is_object() && parsed.contains("error") && parsed["error"].is_string()) {
    return parsed["error"].get<std::string>() + " (status " + std::to_string(status) + ")";
  }
  std::string start = body.substr(0, 200);
  for (char& c : start) {
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  }
  return "status " + std::to_string(status) + (start.empty() ? "" : ": " + start);
}

ApiClient::ApiClient(std::string_view url, std::string token)
    : url_(url), token_(std::move(token)) {
  SplitUrl split = split_url(url);
  prefix_ = std::move(split.prefix);
  http_ = std::make_unique<httplib::Client>(split.origin);
  if (!http_->is_valid()) throw std::invalid_argument("cannot speak to " + split.origin);
  http_->set_connection_timeout(kConnectTimeout);
  http_->set_read_timeout(kReadTimeout);
  http_->set_write_timeout(kWriteTimeout);
  http_->set_keep_alive(true);
}

ApiClient::~ApiClient() = default;

Reply ApiClient::get(const std::string& path, std::size_t cap) {
  return send("GET", path, "", "", cap);
}

Reply ApiClient::post(const std::string& path, std::string body, const std::string& content_type,
                      std::size_t cap) {
  return send("POST", path, std::move(body), content_type, cap);
}

Reply ApiClient::post_json(const std::string& path, const nlohmann::json& body, std::size_t cap) {
  // A bot's standard error need not be UTF-8: such bytes go as U+FFFD rather than failing.
  return send("POST", path, body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
              "application/json", cap);
}

Reply ApiClient::send(const std::string& method, const std::string& path, std::string body,
                      const std::string& content_type, std::size_t cap) {
  httplib::Request request;
  request.method = method;
  request.path = prefix_ + path;
  if (!token_.empty()) request.set_header("Authorization", "Bearer " + token_);
  if (!content_type.empty()) request.set_header("Content-Type", content_type);
  request.body = std::move(body);
  Reply reply;
  bool over_cap = false;
  request.content_receiver = [&](const char* data, std::size_t size, std::uint64_t, std::uint64_t) {
    if (reply.body.size() + size > cap) {
      over_cap = true;
      return false;
    }
    reply.body.append(data, size);
    return true;
  };
  const httplib::Result result = http_->send(request);
  if (over_cap) {
    throw ConnectionError("the answer of " + url_ + " to " + method + " " + path + " is over " +
                          std::to_string(cap) + " bytes");
  }
  if (!result) {
    throw ConnectionError("no answer from " + url_ + " to " + method + " " + path + ": " +
                          httplib::to_string(result.error()));
  }
  reply.status = result->status;
  return reply;
}

}  // namespace ladder::client
