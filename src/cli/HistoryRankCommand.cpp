#include "cli/HistoryRankCommand.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "history/HistoryStore.h"
#include "indexnow/Sitemap.h"
#include "ranking/RankHistory.h"
#include "ranking/RankResultText.h"

namespace tolvan::cli {

namespace {

const char* kHistoryRankUsage =
    "Usage: tolvan history rank [--site ADDRESS] [--phrase TEXT] [--since DATE] [--csv]\n"
    "Lists the rank checks kept in history.db of the current directory, oldest first:\n"
    "time (UTC), site, phrase, engine, outcome, place, matching address, depth covered,\n"
    "detail, competitors (the first ten results, separated by blanks), separated by tabs,\n"
    "or as CSV with a title row. Site and phrase match without regard to case.\n"
    "--since takes YYYY-MM-DD.\n";

}  // namespace

int runHistoryRankCommand(int argc, char** argv)
{
    RankHistoryFilter filter;
    bool csv = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help") {
            std::cout << kHistoryRankUsage;
            return 0;
        } else if (arg == "--csv") {
            csv = true;
        } else if ((arg == "--site" || arg == "--phrase" || arg == "--since") && hasValue) {
            std::string& to = arg == "--site" ? filter.site : arg == "--phrase" ? filter.phrase : filter.since;
            to = argv[++i];
        } else {
            std::cerr << "tolvan history rank: "
                      << (hasValue || arg.rfind("--", 0) != 0 ? "unknown option " : "a value is missing after ") << arg
                      << "\n\n"
                      << kHistoryRankUsage;
            return 2;
        }
    }
    if (!filter.since.empty()) {
        const auto since = parseW3cDateTime(filter.since);
        if (!since) {
            std::cerr << "tolvan history rank: --since takes a date as YYYY-MM-DD\n\n" << kHistoryRankUsage;
            return 2;
        }
        filter.since = historyTime(*since);  // compared as text with the stored UTC times
    }
    HistoryStore store(std::filesystem::current_path().string(), HistoryStore::Access::ReadOnly);
    RankHistory history(store);
    const auto rows = history.checks(filter);
    if (!store.problem().empty()) {
        std::cerr << store.notice() << '\n';
        return 1;
    }
    if (csv) {
        std::cout << rankResultsCsv(rows);
    } else {
        for (const RankCheckResult& r : rows) {
            std::string competitors;
            for (const std::string& c : r.competitors)
                competitors += (competitors.empty() ? "" : " ") + c;
            std::cout << r.time << '\t' << rankResultTsvRow(r) << '\t' << competitors << '\n';
        }
    }
    std::cout << std::flush;
    return 0;
}

}  // namespace tolvan::cli
