#include "engines/EngineSelection.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <unordered_set>

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

void sortListEntries(NameList& list)
{
    // Saved lists are kept sorted: one pass tells, and the sort is left out.
    if (!std::is_sorted(list.begin(), list.end(), entryLess))
        std::stable_sort(list.begin(), list.end(), entryLess);
}

std::size_t insertSorted(NameList& list, std::string entry)
{
    // A run adds its engines in list order, so the new entry mostly belongs at the end.
    if (list.empty() || !entryLess(entry, list.back())) {
        list.push_back(std::move(entry));
        return list.size() - 1;
    }
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
    // One pass with a hash set, then one merge: adding thousands of engines at
    // once stays linear. The new names are sorted stably and merged after the
    // entries that compare equal to them, which is where inserting them one at
    // a time in the given order would have put them.
    std::unordered_set<std::string_view> present(engines_.begin(), engines_.end());
    std::vector<std::string_view> fresh;
    for (const std::string& name : names)
        if (present.insert(name).second)
            fresh.push_back(name);
    if (fresh.empty())
        return 0;
    std::stable_sort(fresh.begin(), fresh.end(),
                     [](std::string_view a, std::string_view b) { return compareListEntries(a, b) < 0; });

    NameList merged;
    merged.reserve(engines_.size() + fresh.size());
    auto old = engines_.begin();
    for (const std::string_view name : fresh) {
        while (old != engines_.end() && compareListEntries(*old, name) <= 0)
            merged.push_back(std::move(*old++));
        merged.emplace_back(name);
    }
    std::move(old, engines_.end(), std::back_inserter(merged));
    engines_ = std::move(merged);
    return fresh.size();
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
