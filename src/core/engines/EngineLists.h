#pragma once
// The engine lists of the Engines page: the fixed major engines, the list-control
// ordering, and the saved engine lists in sites/ (englist.tlx names them, each
// list is sites/<name>.tlx).
#include <array>
#include <optional>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "engines/EngineSelection.h"
#include "storage/LineList.h"

namespace tolvan {

struct EngineListFiles {
    explicit EngineListFiles(std::string baseDir) : baseDir_(std::move(baseDir)) {}

    std::string indexPath() const;                            // sites/englist.tlx
    std::string listPath(const std::string& name) const;     // sites/<name>.tlx
    bool indexExists() const;
    // The saved list names; empty when there is no index yet.
    LineList readNames() const;

    // Saves `engines` as sites/<name>.tlx and appends the name to `names` (when
    // not empty and not yet there), then writes `names` to the index. A name that
    // would replace one of the program's own files, or leave sites/, is refused:
    // the message comes back and nothing is written. Empty string on success.
    std::string save(const std::string& name, LineList& names, const LineList& engines) const;

    // The engines of sites/<name>.tlx; nullopt when there is no such list or the
    // name is not a list name at all.
    std::optional<LineList> load(const std::string& name) const;

    // Deletes sites/<name>.tlx if it exists, removes the name from `names` and
    // rewrites the index. Refused names (the program's own files, paths) come
    // back as a message and nothing is deleted or written.
    std::string remove(const std::string& name, LineList& names) const;

private:
    std::string baseDir_;
};

}  // namespace tolvan
