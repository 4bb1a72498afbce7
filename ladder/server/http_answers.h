// How every endpoint answers: JSON bodies, errors as {"error": "..."} with their status, the
// bearer token of a request checked against the role the endpoint wants (401 for an unknown
// token, 403 for one of the other kind), JSON request bodies parsed within a size with every
// mistake a 400, and each handler guarded so that no exception escapes as anything but an error
// answer.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

#include "ladder/store/accounts.h"
#include "ladder/store/database.h"

namespace ladder::server {

// An answer other than success, with its status.
struct HttpError : std::runtime_error {
  HttpError(int status, const std::string& message) : std::runtime_error(message), status(status) {}
  int status;
};

void send_json(httplib::Response& res, int status, const nlohmann::json& body);
void send_error(httplib::Response& res, int status, std::string_view message);

// The caller, who must hold a token of `role`. Throws HttpError 401 or 403.
store::Caller require_caller(store::Database& db, const httplib::Request& req, store::Role role);
// The caller when the request carries a valid token, else nothing.
std::optional<store::Caller> optional_caller(store::Database& db, const httplib::Request& req);

// The request's body as a JSON object of at most `limit` bytes. Throws HttpError 413 or 400.
nlohmann::json json_body(const httplib::Request& req, std::size_t limit);

// Typed fields of a JSON object; each throws HttpError 400 naming the field.
std::string string_field(const nlohmann::json& object, std::string_view name, std::size_t limit);
std::int64_t integer_field(const nlohmann::json& object, std::string_view name, std::int64_t low,
                           std::int64_t high);
bool bool_field(const nlohmann::json& object, std::string_view name);

// A non-negative integer from a path or query text; HttpError 400 otherwise.
std::int64_t parse_id(std::string_view text, std::string_view what);

using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
// Turns HttpError, a store refusal, a database failure or any other exception into an error
// answer.
httplib::Server::Handler guarded(Handler handler);
void answer_exception(httplib::Response& res, std::exception_ptr error);

}  // namespace ladder::server
