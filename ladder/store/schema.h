// The database's tables, in numbered steps. The schema_version table holds the number of the
// last step applied; migrate() applies the steps after it, each in its own transaction, so a
// database made by an older server is brought up to date at start and a new one is made whole.
#pragma once

#include "ladder/store/database.h"

namespace ladder::store {

// The newest schema this program knows.
int latest_schema_version();

// Throws DatabaseError when the database cannot be written or was made by a newer program.
void migrate(Database& db);

}  // namespace ladder::store
