#pragma once
// The engines-to-submit list and the ordering rules shared by the program's
// sorted lists (engines, sites to submit).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tolvan {

using NameList = std::vector<std::string>;

// Sorted lists order their entries alphabetically without regard to letter
// case (ASCII letters fold; other bytes compare by value). Returns <0, 0, >0.
int compareListEntries(std::string_view a, std::string_view b);

// Sorts in place; entries that compare equal keep their relative order.
void sortListEntries(NameList& list);

// Inserts at the entry's sorted place, after entries that compare equal to it.
// Returns the index it went to.
std::size_t insertSorted(NameList& list, std::string entry);

// Membership on the program's own lists compares exactly, with case.
bool containsExactly(const NameList& list, std::string_view entry);

// The nine major engines, in the order they are added.
const NameList& majorEngines();

// Caption texts of the engine lists.
std::string engineCountCaption(std::size_t count);                            // "<n> Engines to be submitted"
std::string availableEnginesCaption(std::size_t count);                       // "<n> Search Engines Available"
std::string selectionCountCaption(std::size_t selected, std::size_t total);   // "<s> of <t> items are selected"

// The engines to submit: always sorted, never two exactly equal entries when
// filled through add/addMissing.
class EngineSelection {
public:
    const NameList& engines() const { return engines_; }
    std::size_t size() const { return engines_.size(); }
    bool empty() const { return engines_.empty(); }

    // Adds every name not yet present (exact comparison); returns how many were added.
    std::size_t addMissing(const NameList& names);
    // Replaces the whole list (select all, a loaded engine list); duplicates are kept
    // as given, the order becomes sorted.
    void replace(NameList names);
    // Empties the list and adds the nine major engines.
    void selectMajor();
    void clear() { engines_.clear(); }
    // Removes the entry at `index`; false when there is none.
    bool removeAt(std::size_t index);

private:
    NameList engines_;
};

}  // namespace tolvan
