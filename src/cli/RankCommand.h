#pragma once
// `tolvan rank`: a rank check without a window.

namespace tolvan::cli {

// argv[0] is "rank". Returns 0 when every engine answered (found or not found),
// 1 when some engine was blocked, not recognised, not allowed or failed,
// 2 on a usage error, 130 when interrupted by SIGINT or SIGTERM.
int runRankCommand(int argc, char** argv);

}  // namespace tolvan::cli
