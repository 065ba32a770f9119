#pragma once
// Plain line-list files (.tlx lists, the custom message): read whole, written whole.
#include <string>
#include <string_view>
#include <vector>

namespace tolvan {

using LineList = std::vector<std::string>;

// Splits at CR LF, lone CR and lone LF; NUL bytes are kept as characters. Empty
// lines are kept.
// Throws FileError when the file exists but cannot be read; a missing file is
// the caller's case (check fileExists first).
LineList readLineList(const std::string& fileName);
// The same rules for a file's bytes already read.
LineList parseLineList(std::string_view bytes);

// Replaces the file atomically, each entry followed by CR LF. Throws FileError.
void writeLineList(const std::string& fileName, const LineList& lines);
// The bytes writeLineList writes.
std::string lineListText(const LineList& lines);

}  // namespace tolvan
