#include "cli/HistoryCommand.h"

#include "cli/HistoryRankCommand.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "history/CsvText.h"
#include "history/HistoryStore.h"
#include "indexnow/Sitemap.h"

namespace tolvan::cli {

namespace {

const char* kUsage =
    "Usage: tolvan history submissions [--site URL] [--engine NAME] [--since DATE] [--csv]\n"
    "Lists the submission requests kept in history.db of the current directory, oldest\n"
    "first: time (UTC), site, engine, method, address, status line, outcome, detail,\n"
    "separated by tabs, or as CSV with a title row. --since takes YYYY-MM-DD.\n"
    "       tolvan history rank [--site ADDRESS] [--phrase TEXT] [--since DATE] [--csv]\n"
    "Lists the rank checks (see tolvan history rank --help).\n";

// A tab-separated field keeps to its line.
std::string plain(std::string text)
{
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return text;
}

int listSubmissions(int argc, char** argv)
{
    SubmissionFilter filter;
    bool csv = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--csv") {
            csv = true;
        } else if ((arg == "--site" || arg == "--engine" || arg == "--since") && hasValue) {
            std::string& to = arg == "--site" ? filter.site : arg == "--engine" ? filter.engine : filter.since;
            to = argv[++i];
        } else {
            std::cerr << "tolvan history: " << (hasValue || arg.rfind("--", 0) != 0 ? "unknown option " : "a value is missing after ")
                      << arg << "\n\n" << kUsage;
            return 2;
        }
    }
    if (!filter.since.empty()) {
        const auto since = parseW3cDateTime(filter.since);
        if (!since) {
            std::cerr << "tolvan history: --since takes a date as YYYY-MM-DD\n\n" << kUsage;
            return 2;
        }
        filter.since = historyTime(*since);  // compared as text with the stored UTC times
    }
    HistoryStore store(std::filesystem::current_path().string(), HistoryStore::Access::ReadOnly);
    const auto rows = store.submissions(filter);
    if (!store.problem().empty()) {
        std::cerr << store.notice() << '\n';
        return 1;
    }
    if (csv) {
        std::cout << csvLine(submissionColumns());
        for (const auto& row : rows)
            std::cout << csvLine(submissionFields(row));
    } else {
        for (const auto& row : rows) {
            const auto fields = submissionFields(row);
            for (std::size_t i = 0; i < fields.size(); ++i)
                std::cout << (i ? "\t" : "") << plain(fields[i]);
            std::cout << '\n';
        }
    }
    std::cout << std::flush;
    return 0;
}

}  // namespace

int runHistoryCommand(int argc, char** argv)
{
    if (argc >= 2 && std::string_view(argv[1]) == "submissions")
        return listSubmissions(argc - 1, argv + 1);
    if (argc >= 2 && std::string_view(argv[1]) == "rank")
        return runHistoryRankCommand(argc - 1, argv + 1);
    if (argc >= 2 && std::string_view(argv[1]) == "--help") {
        std::cout << kUsage;
        return 0;
    }
    std::cerr << "tolvan history: " << (argc < 2 ? std::string("which history?") : "unknown list " + std::string(argv[1]))
              << "\n\n" << kUsage;
    return 2;
}

}  // namespace tolvan::cli
