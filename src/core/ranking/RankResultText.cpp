#include "ranking/RankResultText.h"

#include "history/CsvText.h"

#include <nlohmann/json.hpp>

#include <iterator>

namespace tolvan {

namespace {

std::string oneLine(std::string text)
{
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return text;
}

std::string joined(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : " ") + item;
    return out;
}

}  // namespace

std::string rankResultTsvRow(const RankCheckResult& r)
{
    const std::string fields[] = {r.site,
                                  r.phrase,
                                  r.engine,
                                  rankOutcomeName(r.outcome),
                                  r.outcome == RankOutcome::Found ? std::to_string(r.place) : std::string(),
                                  r.address,
                                  std::to_string(r.depth),
                                  r.detail};
    std::string row;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (i > 0)
            row += '\t';
        row += oneLine(fields[i]);
    }
    return row;
}

std::string rankResultsCsv(const std::vector<RankCheckResult>& results)
{
    std::string out = "time,site,phrase,engine,outcome,place,address,depth,detail,competitors\r\n";
    for (const RankCheckResult& r : results) {
        const std::string fields[] = {r.time,
                                      r.site,
                                      r.phrase,
                                      r.engine,
                                      rankOutcomeName(r.outcome),
                                      r.outcome == RankOutcome::Found ? std::to_string(r.place) : std::string(),
                                      r.address,
                                      std::to_string(r.depth),
                                      r.detail,
                                      joined(r.competitors)};
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            if (i > 0)
                out += ',';
            out += csvField(fields[i]);
        }
        out += "\r\n";
    }
    return out;
}

std::string rankResultsJson(const std::vector<RankCheckResult>& results)
{
    nlohmann::json list = nlohmann::json::array();
    for (const RankCheckResult& r : results) {
        nlohmann::json item = {{"time", r.time},       {"site", r.site},
                               {"phrase", r.phrase},   {"engine", r.engine},
                               {"outcome", rankOutcomeName(r.outcome)},
                               {"place", r.outcome == RankOutcome::Found ? nlohmann::json(r.place) : nlohmann::json()},
                               {"address", r.address}, {"depth", r.depth},
                               {"detail", r.detail},   {"competitors", r.competitors}};
        list.push_back(std::move(item));
    }
    // Bytes that are not UTF-8 (a page in another encoding) are replaced, not fatal.
    return list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace tolvan
