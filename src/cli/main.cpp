// `tolvan`: the command line, without Qt. A command runs here; with no command
// the window program takes over (exec), in the same workspace.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/HistoryCommand.h"
#include "cli/IndexNowCommand.h"
#include "cli/RankCommand.h"
#include "cli/SubmitCommand.h"
#include "util/Workspace.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);  // argv[0] is the command's name
    const char* summary;
};

// Every command of `tolvan`: one line each.
const Command kCommands[] = {
    {"submit", tolvan::cli::runSubmitCommand, "submit sites to engines without a window"},
    {"indexnow", tolvan::cli::runIndexNowCommand, "notify IndexNow of changed pages; show, make or check the site's key"},
    {"history", tolvan::cli::runHistoryCommand, "list the submission or rank history"},
    {"rank", tolvan::cli::runRankCommand, "check where sites rank for phrases without a window"},
};

const Command* findCommand(const char* name)
{
    for (const Command& command : kCommands)
        if (std::strcmp(command.name, name) == 0)
            return &command;
    return nullptr;
}

namespace fs = std::filesystem;

fs::path ownDirectory()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
}

// The installed layout (bin/ beside share/ and libexec/) first, then the build tree.
std::string shippedDataDirectory(const fs::path& own)
{
    std::error_code ec;
    const fs::path installed = own / TOLVAN_RELATIVE_DATA_DIR;
    if (!own.empty() && fs::is_directory(installed / "data", ec))
        return (installed / "data").lexically_normal().string();
#ifdef TOLVAN_BUILD_TREE_DATA_DIR
    if (fs::is_directory(TOLVAN_BUILD_TREE_DATA_DIR, ec))
        return TOLVAN_BUILD_TREE_DATA_DIR;
#endif
    return {};
}

std::string windowProgram(const fs::path& own)
{
    const fs::path candidates[] = {own / "tolvan-window", own / TOLVAN_RELATIVE_LIBEXEC_DIR / "tolvan-window"};
    for (const fs::path& candidate : candidates)
        if (!own.empty() && ::access(candidate.c_str(), X_OK) == 0)
            return candidate.lexically_normal().string();
    return {};
}

void printHelp(const tolvan::WorkspaceChoice& workspace)
{
    std::printf("Usage: tolvan [--workspace DIR] [--help] [--version] [--screenshots DIR] [Qt options]\n"
                "       tolvan [--workspace DIR] COMMAND [options]   (see tolvan COMMAND --help)\n"
                "Starts Tolvan in its workspace, which holds data/ and sites/.\n"
                "Settings live in $XDG_CONFIG_HOME/Brindle/Tolvan.reg.\n"
                "  --workspace DIR    work in DIR (created with the shipped engine data when new)\n"
                "  --screenshots DIR  save a picture of each page into DIR and exit\n"
                "Environment: TOLVAN_NO_SPLASH=1 skips the start-up splash window.\n"
                "Commands:\n");
    for (const Command& command : kCommands)
        std::printf("  %-18s %s\n", command.name, command.summary);
    const char* why = workspace.reason == tolvan::WorkspaceChoice::Reason::Named ? "named by --workspace"
                      : workspace.reason == tolvan::WorkspaceChoice::Reason::CurrentDirectory
                          ? "the current directory holds data/sites.tlx"
                          : "the default workspace";
    std::printf("Workspace: %s (%s)\n",
                workspace.directory.empty() ? "(none: HOME is not set)" : workspace.directory.c_str(), why);
}

int runCommand(const Command& command, const std::vector<char*>& rest)
{
    std::vector<char*> args{const_cast<char*>(command.name)};
    args.insert(args.end(), rest.begin(), rest.end());
    args.push_back(nullptr);
    return command.run(static_cast<int>(args.size() - 1), args.data());
}

int usage(const char* message)
{
    std::fprintf(stderr, "tolvan: %s (try tolvan --help)\n", message);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    // Options of the launcher come before the command; --workspace may also
    // follow it. Everything else is the command's or the window's.
    std::string named;
    std::vector<char*> rest;
    const Command* command = nullptr;
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--workspace") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return usage("--workspace needs a directory");
            named = argv[++i];
            continue;
        }
        if (std::strncmp(arg, "--workspace=", 12) == 0) {
            named = arg + 12;
            if (named.empty())
                return usage("--workspace needs a directory");
            continue;
        }
        if (rest.empty() && !command && (command = findCommand(arg)))
            continue;
        if (!command && std::strcmp(arg, "--help") == 0)
            help = true;
        if (!command && std::strcmp(arg, "--version") == 0)
            version = true;
        rest.push_back(argv[i]);
    }

    const fs::path own = ownDirectory();
    const std::string shipped = shippedDataDirectory(own);
    std::error_code ec;
    const std::string current = fs::current_path(ec).string();
    const tolvan::WorkspaceChoice workspace = tolvan::chooseWorkspace(
        current, named, shipped, tolvan::defaultWorkspace(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));

    if (!workspace.notice.empty())
        std::fprintf(stderr, "tolvan: %s\n", workspace.notice.c_str());
    if (version) {
        std::printf("Tolvan %s\n", TOLVAN_VERSION);
        return 0;
    }
    if (help) {
        printHelp(workspace);
        return 0;
    }

    // A command's --help only prints: it creates no workspace.
    const bool commandHelp =
        command && std::any_of(rest.begin(), rest.end(), [](const char* a) { return std::strcmp(a, "--help") == 0; });
    if (commandHelp)
        return runCommand(*command, rest);

    if (workspace.reason != tolvan::WorkspaceChoice::Reason::CurrentDirectory) {
        if (workspace.directory.empty())
            return usage("no workspace: HOME is not set; name one with --workspace DIR");
        if (const tolvan::Status ready = tolvan::prepareWorkspace(workspace.directory, shipped); !ready) {
            std::fprintf(stderr, "tolvan: cannot prepare the workspace: %s\n", ready.error().message.c_str());
            return 1;
        }
    }

    // The window's --screenshots DIR means a directory relative to where it was typed.
    for (std::size_t i = 0; !command && i + 1 < rest.size(); ++i)
        if (std::strcmp(rest[i], "--screenshots") == 0) {
            static std::string absolute;
            absolute = fs::absolute(rest[i + 1], ec).string();
            if (!ec)
                rest[i + 1] = absolute.data();
            ++i;
        }

    if (::chdir(workspace.directory.c_str()) != 0) {
        std::fprintf(stderr, "tolvan: cannot enter the workspace %s: %s\n", workspace.directory.c_str(),
                     std::strerror(errno));
        return 1;
    }

    tolvan::removeLegacyTemporariesOf(".");

    if (command)
        return runCommand(*command, rest);

    const std::string window = windowProgram(own);
    if (window.empty()) {
        std::fprintf(stderr, "tolvan: the window program tolvan-window is missing beside %s\n", own.c_str());
        return 1;
    }
    std::vector<char*> args{const_cast<char*>(window.c_str())};
    args.insert(args.end(), rest.begin(), rest.end());
    args.push_back(nullptr);
    ::execv(window.c_str(), args.data());
    std::fprintf(stderr, "tolvan: cannot start %s: %s\n", window.c_str(), std::strerror(errno));
    return 1;
}
