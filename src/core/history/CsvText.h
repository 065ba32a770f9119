#pragma once
// Comma-separated text for spreadsheets: a field is quoted when it holds a
// comma, a quote or a line break, and its quotes are doubled. Lines end in CR LF.
#include <string>
#include <vector>

namespace tolvan {

std::string csvField(const std::string& value);
std::string csvLine(const std::vector<std::string>& fields);

// The column titles and the fields of a submission row, as exported.
struct SubmissionRecord;
std::vector<std::string> submissionColumns();
std::vector<std::string> submissionFields(const SubmissionRecord& row);

}  // namespace tolvan
