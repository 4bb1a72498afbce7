// Entrants and workers and their tokens. A token is shown once, when its account is made; the
// database keeps only its SHA-256, by which a request's token is found and then compared in
// constant time. A disabled entrant or a blocked worker no longer gets in.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "ladder/store/database.h"

namespace ladder::store {

// An admin command that cannot be carried out (a bad or taken name, an unknown account).
struct AccountError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class Role { kEntrant, kWorker };

struct Caller {
  Role role = Role::kEntrant;
  std::int64_t id = 0;
  std::string name;
};

// Each returns the new account's token. Names are checked as the arena checks player names.
std::string add_entrant(Database& db, std::string_view name, std::int64_t now);
std::string add_worker(Database& db, std::string_view name, std::int64_t now);

void disable_entrant(Database& db, std::string_view name);
// The worker's id; its leased jobs go back to the queue.
std::int64_t block_worker(Database& db, std::string_view name);

// Who holds `token`, or nothing for an unknown, disabled or blocked one.
std::optional<Caller> authenticate(Database& db, std::string_view token);

std::optional<std::int64_t> entrant_id(Transaction& tx, std::string_view name);

}  // namespace ladder::store
