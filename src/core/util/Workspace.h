#pragma once
// Which directory Tolvan works in (its base directory) and preparing a new one.
#include <string>

#include "util/Result.h"

namespace tolvan {

struct WorkspaceChoice {
    enum class Reason { Named, CurrentDirectory, Default };
    std::string directory;
    Reason reason = Reason::Default;
    // Why the current directory was passed over when it looks meant as one
    // (it has data/hosts.tlx but not the engine index); empty otherwise.
    std::string notice;
};

// True when `dir` looks like a base directory: it holds data/sites.tlx, or
// another base directory's files (data/categories.tlx, or both data/ and sites/)
// so that a base whose engine index went missing still opens where it is.
bool isBaseDirectory(const std::string& dir);

// $XDG_DATA_HOME/tolvan, else $HOME/.local/share/tolvan (an XDG_DATA_HOME that
// is not absolute is ignored, as the XDG rules say). Empty when neither is set.
std::string defaultWorkspace(const char* xdgDataHome, const char* home);

// A named directory wins; then the current directory when it is a base
// directory (but never the shipped data's own parent, such as a source tree or
// the installed share directory); then the default workspace.
WorkspaceChoice chooseWorkspace(const std::string& currentDir, const std::string& named,
                                const std::string& shippedData, const std::string& defaultDir);

// Makes `dir` ready to work in: creates it, copies `shippedData` into dir/data
// when dir has no data/ yet (through a temporary directory, so an interrupted
// copy never looks complete), and creates sites/. An existing data/ is never
// touched. The error names the directory and the system's reason.
Status prepareWorkspace(const std::string& dir, const std::string& shippedData);

// Removes the temporary files older versions left where they wrote (the base
// directory, data/ and sites/) when a write was cut short. Returns how many.
int removeLegacyTemporariesOf(const std::string& base);

}  // namespace tolvan
