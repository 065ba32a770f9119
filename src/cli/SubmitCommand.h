#pragma once
// `tolvan submit`: a submission run without a window.

namespace tolvan::cli {

// argv[0] is "submit". Returns the process exit status: 0 completed, 1 aborted,
// 2 usage error, 130 cancelled by SIGINT or SIGTERM.
int runSubmitCommand(int argc, char** argv);

}  // namespace tolvan::cli
