#pragma once
// Saved batch lists: the sites-to-submit list under a name. sites/tlxbatch.tlx
// names them, each list is sites/<name>.tlb (one full site address a line).
#include <string>
#include <utility>

#include "storage/LineList.h"

namespace tolvan {

class BatchListFiles {
public:
    explicit BatchListFiles(std::string baseDir) : baseDir_(std::move(baseDir)) {}

    std::string indexPath() const;                         // sites/tlxbatch.tlx
    std::string listPath(const std::string& name) const;  // sites/<name>.tlb
    bool indexExists() const;
    // The saved names; empty when there is no index yet.
    LineList readNames() const;

    // Writes `sites` to sites/<name>.tlb, then appends the name to `names` (when
    // not empty and not there yet, exact comparison) and writes the index. A name
    // that could leave sites/ or replace one of the program's files is refused:
    // the message comes back and nothing is written. Empty string on success.
    // An empty name is allowed and writes sites/.tlb without entering a name.
    std::string save(const std::string& name, LineList& names, const LineList& sites) const;

    // The sites of sites/<name>.tlb. Throws FileError when there is no such
    // list, TolvanError with the refusal message for a name that is not a list
    // name at all.
    LineList load(const std::string& name) const;

    // Deletes sites/<name>.tlb if it exists, removes the entry equal to the name
    // from `names` and rewrites the index. A refused name comes back as a
    // message and nothing is deleted or written.
    std::string remove(const std::string& name, LineList& names) const;

private:
    std::string baseDir_;
};

}  // namespace tolvan
