#pragma once
// `tolvan history rank`: the rank history kept in history.db.

namespace tolvan::cli {

// argv[0] is "rank" (after "history"). Returns 0, 1 when the history cannot be
// read, 2 on a usage error.
int runHistoryRankCommand(int argc, char** argv);

}  // namespace tolvan::cli
