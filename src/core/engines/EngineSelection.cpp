#include "engines/EngineSelection.h"

#include <algorithm>

namespace tolvan {

namespace {

unsigned char foldCase(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool entryLess(const std::string& a, const std::string& b) { return compareListEntries(a, b) < 0; }

}  // namespace

int compareListEntries(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = foldCase(static_cast<unsigned char>(a[i]));
        const unsigned char cb = foldCase(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

void sortListEntries(NameList& list) { std::stable_sort(list.begin(), list.end(), entryLess); }

std::size_t insertSorted(NameList& list, std::string entry)
{
    auto pos = std::upper_bound(list.begin(), list.end(), entry, entryLess);
    pos = list.insert(pos, std::move(entry));
    return static_cast<std::size_t>(pos - list.begin());
}

bool containsExactly(const NameList& list, std::string_view entry)
{
    return std::find(list.begin(), list.end(), entry) != list.end();
}

const NameList& majorEngines()
{
    static const NameList names{"AOL NetFind", "Excite",     "HotBot",     "Infoseek", "Lycos",
                                "Tolvan Search", "Webcrawler", "Alta Vista", "Yahoo"};
    return names;
}

std::string engineCountCaption(std::size_t count)
{
    return std::to_string(count) + " Engines to be submitted";
}

std::string availableEnginesCaption(std::size_t count)
{
    return std::to_string(count) + " Search Engines Available";
}

std::string selectionCountCaption(std::size_t selected, std::size_t total)
{
    return std::to_string(selected) + " of " + std::to_string(total) + " items are selected";
}

std::size_t EngineSelection::addMissing(const NameList& names)
{
    std::size_t added = 0;
    for (const std::string& name : names) {
        if (containsExactly(engines_, name))
            continue;
        insertSorted(engines_, name);
        ++added;
    }
    return added;
}

void EngineSelection::replace(NameList names)
{
    engines_ = std::move(names);
    sortListEntries(engines_);
}

void EngineSelection::selectMajor()
{
    engines_.clear();
    for (const std::string& name : majorEngines())
        insertSorted(engines_, name);
}

bool EngineSelection::removeAt(std::size_t index)
{
    if (index >= engines_.size())
        return false;
    engines_.erase(engines_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

}  // namespace tolvan
