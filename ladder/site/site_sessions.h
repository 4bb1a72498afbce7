// The web site's sessions, kept in the database: a session's id is random and reaches only the
// browser, in its cookie; the database keeps the id's SHA-256, the entrant it belongs to, the
// token its forms carry against cross-site requests, and when it ends. Signing out deletes the
// row, so the cookie is worth nothing afterwards, wherever it was copied to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ladder/store/database.h"

namespace ladder::site {

inline constexpr std::int64_t kSessionSeconds = 7 * 24 * 3600;

struct Session {
  std::string id;  // the cookie's value; empty when found from it
  std::int64_t entrant = 0;
  std::string name;
  std::string csrf;
};

Session start_session(store::Database& db, std::int64_t entrant, std::string_view name,
                      std::int64_t now);
// The live session of a cookie's value, or nothing for an unknown, expired or malformed one, or
// one of a disabled entrant.
std::optional<Session> find_session(store::Database& db, std::string_view id, std::int64_t now);
void end_session(store::Database& db, std::string_view id);

}  // namespace ladder::site
