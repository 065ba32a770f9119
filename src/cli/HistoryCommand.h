#pragma once
// `tolvan history ...`: what history.db holds, without a window.

namespace tolvan::cli {

// argv[0] is "history". Returns 0, 1 when the history cannot be read, 2 usage error.
int runHistoryCommand(int argc, char** argv);

}  // namespace tolvan::cli
