#include "cli/RankCommand.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/ProxySettings.h"
#include "history/HistoryStore.h"
#include "net/EventPump.h"
#include "net/RemoteHosts.h"
#include "ranking/RankCheck.h"
#include "ranking/RankDefinition.h"
#include "ranking/RankHistory.h"
#include "ranking/RankResultText.h"
#include "secrets/LibSecretStore.h"
#include "settings/Settings.h"
#include "util/TextCodec.h"

namespace tolvan::cli {

namespace {

volatile std::sig_atomic_t rankStopSignal = 0;
void onRankStopSignal(int sig) { rankStopSignal = sig; }

const char* kRankUsage =
    "Usage: tolvan rank --site ADDRESS --phrase TEXT [--phrase TEXT ...] [options]\n"
    "Checks at which place the site comes up for each phrase on each engine, from the\n"
    "current directory (which holds data/). One row per site, phrase and engine:\n"
    "site, phrase, engine, outcome, place, matching address, depth covered, detail.\n"
    "\n"
    "  --site ADDRESS        the site (repeatable)\n"
    "  --phrase TEXT         a search phrase (repeatable)\n"
    "  --engine NAME         an engine of data/rank/ or one of Infoseek, Yahoo, AltaVista,\n"
    "                        AOL NetFind, Lycos, Excite, HotBot, WebCrawler (repeatable;\n"
    "                        default: every engine in data/rank/)\n"
    "  --depth N             results to look through (default 50)\n"
    "  --format tsv|csv|json the output (default tsv)\n"
    "  --pause SECONDS       pause between requests to one engine, or MIN-MAX (default:\n"
    "                        the Options page's, 2-5)\n"
    "  --timeout SECONDS     time-out of each request (default: the Options page's)\n"
    "  --help                this text\n"
    "\n"
    "Every outcome is kept in history.db (see tolvan history rank). API keys of the\n"
    "engines that need one come from the desktop's secret store (the Options page),\n"
    "else from the file named by TOLVAN_RANK_KEYS_FILE: lines ENGINE=KEY, the file\n"
    "readable by its owner only.\n"
    "Outcomes: found, not-found, blocked, unrecognised, not-allowed, failed.\n"
    "Exit status: 0 every engine answered, 1 some engine was blocked, not recognised,\n"
    "not allowed or failed, 2 usage error, 130 interrupted.\n";

class SignalPump final : public EventPump {
public:
    RankCheck* check = nullptr;
    void processEvents() override
    {
        if (rankStopSignal && check && !check->stopped())
            check->stop();
    }
};

bool wholeNumber(std::string_view text, long& value)
{
    if (text.empty() || text.size() > 9)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

struct RankOptions {
    RankCheckRequest request;
    std::string format = "tsv";
    bool timeoutGiven = false;
    bool pauseGiven = false;
};

std::string parse(int argc, char** argv, RankOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--site" || arg == "--phrase" || arg == "--engine" || arg == "--depth" || arg == "--format" ||
            arg == "--pause" || arg == "--timeout") {
            if (!value(v))
                return std::string(arg) + " needs a value";
        } else {
            return "unknown option " + std::string(arg);
        }
        if (arg == "--site") {
            if (v.empty())
                return "--site needs an address";
            o.request.sites.push_back(v);
        } else if (arg == "--phrase") {
            if (v.empty())
                return "--phrase needs a text";
            o.request.phrases.push_back(v);
        } else if (arg == "--engine") {
            o.request.engines.push_back(v);
        } else if (arg == "--depth") {
            if (!wholeNumber(v, o.request.depth) || o.request.depth < 1)
                return "--depth needs a whole number above 0";
        } else if (arg == "--format") {
            if (v != "tsv" && v != "csv" && v != "json")
                return "--format is tsv, csv or json";
            o.format = v;
        } else if (arg == "--pause") {
            if (!parseRankPause(v, o.request.minPauseMs, o.request.maxPauseMs))
                return "--pause needs seconds, or MIN-MAX";
            o.pauseGiven = true;
        } else if (arg == "--timeout") {
            long seconds = 0;
            if (!wholeNumber(v, seconds))
                return "--timeout needs whole seconds";
            o.request.timeoutSeconds = v;
            o.timeoutGiven = true;
        }
    }
    if (o.request.sites.empty())
        return "no --site given";
    if (o.request.phrases.empty())
        return "no --phrase given";
    return {};
}

}  // namespace

int runRankCommand(int argc, char** argv)
{
    const std::string base = std::filesystem::current_path().string();
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help") {
            std::cout << kRankUsage;
            return 0;
        }
    }
    RankOptions options;
    if (const std::string problem = parse(argc, argv, options); !problem.empty()) {
        std::cerr << "tolvan rank: " << problem << "\n\n" << kRankUsage;
        return 2;
    }
    RankCheckRequest& request = options.request;
    if (request.engines.empty())
        request.engines = rankDefinitionNames(base);
    if (request.engines.empty()) {
        std::cerr << "tolvan rank: there is no engine definition in data/rank/; name an engine with --engine\n";
        return 2;
    }
    const std::vector<std::string> known = rankEngineNames(base);
    for (const std::string& engine : request.engines) {
        if (std::none_of(known.begin(), known.end(),
                         [&](const std::string& k) { return asciiLower(k) == asciiLower(engine); })) {
            std::cerr << "tolvan rank: unknown engine " << engine << "\n\n" << kRankUsage;
            return 2;
        }
    }

    try {
        const SettingsLoad loaded = loadSettings(defaultSettingsPath(), RemoteHosts(base).makerWeb());
        for (const auto& message : loaded.messages)
            std::cerr << message << '\n';
        if (!options.timeoutGiven)
            request.timeoutSeconds = loaded.settings.timeout;
        // A pause setting that is no pause keeps the default.
        if (!options.pauseGiven)
            parseRankPause(loaded.settings.rankpause, request.minPauseMs, request.maxPauseMs);
        SignalPump pump;
        RankCheck check(base, pump);
        pump.check = &check;
        useSettingsProxy(check.client(), loaded.settings, std::cerr);
        // The keys of the engines that need one: from the desktop's secret
        // store, else (a run from cron has none) from TOLVAN_RANK_KEYS_FILE.
        LibSecretStore secrets;
        std::vector<std::string> keyProblems;
        check.apiKey = [&](const std::string& engine) {
            auto key = unattendedRankApiKey(&secrets, engine);
            if (!key.ok()) {
                keyProblems.push_back(engine + ": " + key.error().message);
                return std::string();
            }
            return key.value();
        };
        // Every outcome goes into the history; a history that cannot be
        // written (locked, read-only) never stops the check.
        HistoryStore store(base);
        RankHistory history(store);
        check.onResult = [&](const RankCheckResult& r) {
            if (options.format == "tsv")
                std::cout << rankResultTsvRow(r) << '\n' << std::flush;
            history.record({r});
        };
        std::signal(SIGINT, onRankStopSignal);
        std::signal(SIGTERM, onRankStopSignal);
        const std::vector<RankCheckResult> results = check.run(request);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        if (options.format == "csv")
            std::cout << rankResultsCsv(results);
        else if (options.format == "json")
            std::cout << rankResultsJson(results);
        std::cout << std::flush;
        for (const std::string& problem : keyProblems)
            std::cerr << "tolvan rank: no API key for " << problem << '\n';
        if (const std::string notice = store.notice(); !notice.empty())
            std::cerr << "tolvan rank: " << notice << '\n';
        if (check.stopped())
            return 130;
        for (const RankCheckResult& r : results)
            if (r.outcome != RankOutcome::Found && r.outcome != RankOutcome::NotFound)
                return 1;
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "tolvan rank: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace tolvan::cli
