#pragma once
// Line lists saved under a name the user types: an index file in sites/ names
// them, each list is sites/<name><extension>. Engine lists and batch lists.
#include <optional>
#include <string>
#include <utility>

#include "storage/LineList.h"

namespace tolvan {

class NamedListFiles {
public:
    NamedListFiles(std::string baseDir, std::string indexFile, std::string extension)
        : baseDir_(std::move(baseDir)), indexFile_(std::move(indexFile)), extension_(std::move(extension))
    {
    }

    std::string indexPath() const;                         // sites/<index file>
    std::string listPath(const std::string& name) const;  // sites/<name><extension>
    bool indexExists() const;
    // The saved names; empty when there is no index yet.
    LineList readNames() const;

    // Writes `lines` to the list file, then appends the name to `names` (when not
    // empty and not there yet, exact comparison) and writes the index. A name
    // that could leave sites/ or replace one of the program's own files is
    // refused: the message comes back and nothing is written. Empty on success.
    // An empty name writes sites/<extension> without entering a name.
    std::string save(const std::string& name, LineList& names, const LineList& lines) const;

    // The lines of a saved list; nothing when there is no such list or the name
    // is not a list name at all.
    std::optional<LineList> find(const std::string& name) const;

    // Deletes the list file if it exists, removes the entry equal to the name
    // from `names` and rewrites the index. A refused name comes back as a
    // message and nothing is deleted or written.
    std::string remove(const std::string& name, LineList& names) const;

private:
    std::string baseDir_;
    std::string indexFile_;
    std::string extension_;
};

}  // namespace tolvan
