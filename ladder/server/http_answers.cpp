#include "ladder/server/http_answers.h"

#include <charconv>
#include <iostream>

#include "ladder/store/versions.h"

namespace ladder::server {

using nlohmann::json;

void send_json(httplib::Response& res, int status, const json& body) {
  res.status = status;
  // Entrants' names and reasons are their own text: never let the dump stop on bad UTF-8.
  res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

void send_error(httplib::Response& res, int status, std::string_view message) {
  send_json(res, status, {{"error", std::string(message)}});
}

static std::string_view bearer_token(const httplib::Request& req) {
  constexpr std::string_view kPrefix = "Bearer ";
  auto found = req.headers.find("Authorization");
  if (found == req.headers.end()) return {};
  std::string_view value = found->second;
  if (!value.starts_with(kPrefix)) return {};
  return value.substr(kPrefix.size());
}

std::optional<store::Caller> optional_caller(store::Database& db, const httplib::Request& req) {
  std::string_view token = bearer_token(req);
  if (token.empty()) return std::nullopt;
  return store::authenticate(db, token);
}

store::Caller require_caller(store::Database& db, const httplib::Request& req, store::Role role) {
  auto caller = optional_caller(db, req);
  if (!caller)
    throw HttpError(401, "an unknown, disabled or missing token: send Authorization: Bearer TOKEN");
  if (caller->role != role) {
    throw HttpError(403, role == store::Role::kWorker ? "this endpoint is for workers' tokens"
                                                      : "this endpoint is for entrants' tokens");
  }
  return *caller;
}

json json_body(const httplib::Request& req, std::size_t limit) {
  if (req.body.size() > limit) {
    throw HttpError(413, "the body is over " + std::to_string(limit) + " bytes");
  }
  json body = json::parse(req.body, nullptr, false);
  if (body.is_discarded()) throw HttpError(400, "the body is not JSON");
  if (!body.is_object()) throw HttpError(400, "the body must be a JSON object");
  return body;
}

static const json& field(const json& object, std::string_view name) {
  auto found = object.find(name);
  if (found == object.end()) throw HttpError(400, "\"" + std::string(name) + "\" is missing");
  return *found;
}

std::string string_field(const json& object, std::string_view name, std::size_t limit) {
  const json& value = field(object, name);
  if (!value.is_string()) throw HttpError(400, "\"" + std::string(name) + "\" must be a string");
  const auto& text = value.get_ref<const std::string&>();
  if (text.size() > limit) {
    throw HttpError(400,
                    "\"" + std::string(name) + "\" is over " + std::to_string(limit) + " bytes");
  }
  return text;
}

std::int64_t integer_field(const json& object, std::string_view name, std::int64_t low,
                           std::int64_t high) {
  const json& value = field(object, name);
  if (!value.is_number_integer() || value.get<std::int64_t>() < low ||
      value.get<std::int64_t>() > high ||
      (value.is_number_unsigned() &&
       value.get<std::uint64_t>() > static_cast<std::uint64_t>(high))) {
    throw HttpError(400, "\"" + std::string(name) + "\" must be an integer from " +
                             std::to_string(low) + " to " + std::to_string(high));
  }
  return value.get<std::int64_t>();
}

bool bool_field(const json& object, std::string_view name) {
  const json& value = field(object, name);
  if (!value.is_boolean())
    throw HttpError(400, "\"" + std::string(name) + "\" must be true or false");
  return value.get<bool>();
}

std::int64_t parse_id(std::string_view text, std::string_view what) {
  std::int64_t value = -1;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) {
    throw HttpError(400, std::string(what) + " must be a non-negative integer");
  }
  return value;
}

void answer_exception(httplib::Response& res, std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const HttpError& e) {
    send_error(res, e.status, e.what());
  } catch (const store::SubmissionRefused& e) {
    send_error(res, e.status, e.what());
  } catch (const json::exception& e) {
    send_error(res, 400, std::string("a field has the wrong type: ") + e.what());
  } catch (const soci::soci_error& e) {
    std::cerr << "zarvo-ladder: database: " << e.what() << std::endl;
    send_error(res, 503, "the ladder's database is unavailable; try again later");
  } catch (const std::exception& e) {
    std::cerr << "zarvo-ladder: " << e.what() << std::endl;
    send_error(res, 500, "the ladder failed to answer; try again later");
  }
}

httplib::Server::Handler guarded(Handler handler) {
  return [handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
    try {
      handler(req, res);
    } catch (...) {
      answer_exception(res, std::current_exception());
    }
  };
}

}  // namespace ladder::server
