// The end of the final round: once no final job is queued or leased, the final games settle the
// standings (fitted afresh over those games alone), the final site is written under
// DATA_DIR/final, and the leaderboard shows the final standings from then on.
#pragma once

#include "ladder/store/data_dir.h"
#include "ladder/store/database.h"

namespace ladder::server {

// True when it settled the round now.
bool settle_final_round(store::Database& db, const store::DataDir& dir);

}  // namespace ladder::server
