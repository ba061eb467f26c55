// The journal's tables, versioned by PRAGMA user_version: migration k takes a journal from
// version k - 1 to k, so a journal made by an older station is brought up to date on open.
#pragma once

#include "journal/Journal.h"

namespace vantrell {

// The version this program writes; a journal made by a newer program is not touched.
int journalSchemaVersion();
// The journal's version; -1 when it cannot be read (then `problem` says why).
int storedSchemaVersion(sqlite3 *db, JournalProblem &problem);
// Brings the journal to journalSchemaVersion(), each migration in a transaction of its own.
JournalProblem migrateJournal(sqlite3 *db);

} // namespace vantrell
