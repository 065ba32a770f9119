#pragma once
// Saved engine lists, and (through EngineSelection.h) the list ordering and the
// major engines of the Engines page.
#include <optional>
#include <string>
#include <utility>

#include "engines/EngineSelection.h"
#include "storage/NamedListFiles.h"

namespace tolvan {

// Saved engine lists: sites/englist.tlx names them, each is sites/<name>.tlx.
class EngineListFiles : public NamedListFiles {
public:
    explicit EngineListFiles(std::string baseDir) : NamedListFiles(std::move(baseDir), "englist.tlx", ".tlx") {}

    // The engines of a saved list; nothing when there is none or the name is refused.
    std::optional<LineList> load(const std::string& name) const { return find(name); }
};

}  // namespace tolvan
