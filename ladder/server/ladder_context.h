// What every route of the server reaches: its options, the database, the data directory, and
// the matchmaking and upkeep that reports and leases set going.
#pragma once

#include "ladder/server/server_options.h"
#include "ladder/store/data_dir.h"
#include "ladder/store/database.h"

namespace ladder::server {

class Matchmaking;
class LadderUpkeep;

struct LadderContext {
  ServerOptions options;
  store::Database& db;
  store::DataDir dir;
  Matchmaking& matchmaking;
  LadderUpkeep& upkeep;
};

}  // namespace ladder::server
