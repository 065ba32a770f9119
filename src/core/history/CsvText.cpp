#include "history/CsvText.h"

#include "history/HistoryStore.h"

namespace tolvan {

std::string csvField(const std::string& value)
{
    if (value.find_first_of(",\"\r\n") == std::string::npos)
        return value;
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string csvLine(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += csvField(fields[i]);
    }
    line += "\r\n";
    return line;
}

std::vector<std::string> submissionColumns()
{
    return {"Time", "Site", "Engine", "Method", "Address", "Status Line", "Outcome", "Detail"};
}

std::vector<std::string> submissionFields(const SubmissionRecord& row)
{
    return {row.time, row.site, row.engine, row.method, row.address, row.statusLine, row.outcome, row.detail};
}

}  // namespace tolvan
