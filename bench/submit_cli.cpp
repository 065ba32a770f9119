// `tolvan submit` without the window program around it, for the benchmark
// scripts while the main executable does not dispatch the command:
//   submit_cli submit [options]   (the same options as `tolvan submit`)
#include <cstdio>
#include <cstring>

#include "cli/SubmitCommand.h"

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "submit") != 0) {
        std::fprintf(stderr, "usage: submit_cli submit [options]\n");
        return 2;
    }
    return tolvan::cli::runSubmitCommand(argc - 1, argv + 1);
}
