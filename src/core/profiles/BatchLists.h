#pragma once
// Saved batch lists: the sites-to-submit list under a name. sites/tlxbatch.tlx
// names them, each list is sites/<name>.tlb (one full site address a line).
#include <string>
#include <utility>

#include "storage/NamedListFiles.h"

namespace tolvan {

class BatchListFiles : public NamedListFiles {
public:
    explicit BatchListFiles(std::string baseDir) : NamedListFiles(std::move(baseDir), "tlxbatch.tlx", ".tlb") {}

    // The sites of sites/<name>.tlb. Throws FileError when there is no such
    // list, TolvanError with the refusal message for a name that is not a list
    // name at all.
    LineList load(const std::string& name) const;
};

}  // namespace tolvan
