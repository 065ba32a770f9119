#pragma once
// `tolvan indexnow notify|key|check`: IndexNow without a window.

namespace tolvan::cli {

// argv[0] is "indexnow". Returns the process exit status: 0 all accepted (or
// all well), 1 some failed, 2 usage error, 130 interrupted by SIGINT or SIGTERM.
int runIndexNowCommand(int argc, char** argv);

}  // namespace tolvan::cli
