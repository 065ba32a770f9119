#pragma once
// The category table: each text of the Category box has a fixed number, its row
// counted from 0, which engines map to their own category values.
#include <array>
#include <string_view>

namespace tolvan {

constexpr int kCategoryCount = 139;

// The texts in row order, spelled exactly as the box shows them.
extern const std::array<std::string_view, kCategoryCount> kCategoryTexts;

// The row of `text` (compared exactly, case and blanks included); a text that
// matches no row keeps `previous`.
int categoryNumber(std::string_view text, int previous);

}  // namespace tolvan
