#include "cli/SubmitCommand.h"

#include "cli/ProxySettings.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engines/EngineLists.h"
#include "net/RemoteHosts.h"
#include "profiles/ProfileStore.h"
#include "reporting/AutoReports.h"
#include "secrets/LibSecretStore.h"
#include "settings/Settings.h"
#include "storage/LineList.h"
#include "submit/HttpTransport.h"
#include "submit/SubmissionDriver.h"
#include "util/Errors.h"
#include "util/FileNames.h"
#include "util/Files.h"
#include "util/ServerText.h"

namespace tolvan::cli {

namespace {

volatile std::sig_atomic_t stopSignal = 0;
void onStopSignal(int sig) { stopSignal = sig; }

const char* kUsage =
    "Usage: tolvan submit [options]\n"
    "Submits sites to engines from the workspace (see tolvan --help), which holds data/ and sites/.\n"
    "\n"
    "Sites (at least one):\n"
    "  --site URL            a full site address, as in the Sites to Submit list (repeatable)\n"
    "  --batch NAME          the sites of the saved batch list sites/NAME.tlb\n"
    "Engines (at least one):\n"
    "  --engine NAME         an engine of the index (repeatable)\n"
    "  --engine-list NAME    the engines of the saved engine list sites/NAME.tlx\n"
    "  --major               the major engines\n"
    "  --all                 every engine of the index and the custom engines\n"
    "Other:\n"
    "  --timeout SECONDS     time-out per request (default: the Time Out setting)\n"
    "  --dry-run             print each request (method, address, body) and send nothing\n"
    "\n"
    "Prints one line per engine: site, engine, outcome (success, failed, timed-out,\n"
    "skipped) and detail, separated by tabs. Exit status: 0 completed, 1 aborted,\n"
    "2 usage error, 130 cancelled.\n";

const char* outcomeName(EngineOutcome outcome)
{
    switch (outcome) {
    case EngineOutcome::Success: return "success";
    case EngineOutcome::Failed: return "failed";
    case EngineOutcome::TimedOut: return "timed-out";
    case EngineOutcome::Skipped: return "skipped";
    }
    return "";
}

// The run's standard output. A line is not flushed on its own: thousands of
// engines a second would pay a system call each. What is written goes out when
// the buffer fills, when it has waited 50 ms (checked whenever the run pumps,
// which it does in every wait), before anything goes to standard error (so the
// two keep their order), and at the end. On a terminal every line shows at once.
class RunOutput {
public:
    void write(std::string_view text)
    {
        std::fwrite(text.data(), 1, text.size(), stdout);
        if (!pending_) {
            pending_ = true;
            since_ = std::chrono::steady_clock::now();
        }
    }
    void flushIfWaiting()
    {
        if (pending_ && std::chrono::steady_clock::now() - since_ >= std::chrono::milliseconds(50))
            flush();
    }
    void flush()
    {
        std::fflush(stdout);
        pending_ = false;
    }
    void error(std::string_view text)
    {
        flush();
        std::cerr << text << '\n';
    }

private:
    bool pending_ = false;
    std::chrono::steady_clock::time_point since_;
};

// Prints the requests instead of sending them.
class DryRunTransport final : public SubmissionTransport {
public:
    explicit DryRunTransport(RunOutput& out) : out_(out) {}
    RequestResult send(const std::string& method, const std::string& url, const std::string& body,
                       EventPump&) override
    {
        line_.assign("request\t").append(method).append(1, '\t').append(url).append(1, '\t').append(body).append(1, '\n');
        out_.write(line_);
        return {};
    }
    void interrupt() override {}

private:
    RunOutput& out_;
    std::string line_;
};

class ConsoleView final : public SubmissionView {
public:
    ConsoleView(SubmissionDriver*& driver, AutoReports& reports, const SiteProfile& site, RunOutput& out)
        : driver_(driver), reports_(reports), site_(site), out_(out)
    {
    }
    void pump() override
    {
        out_.flushIfWaiting();
        if (stopSignal && driver_ && driver_->running() && !cancelling_) {
            cancelling_ = true;
            driver_->cancel();
        }
    }
    void showMessage(const std::string& text) override
    {
        if (text == "Submission Complete.") {
            out_.write(text + '\n');
            out_.flush();
        } else if (text != "Make sure you have an internet connection established and then hit OK") {
            out_.error(text);
        }
    }
    void showNotice(const std::string& text) override { std::cerr << text << '\n'; }
    void setRunning(bool) override {}
    void setStatus(const std::string&, Blink) override {}
    void setBeingSubmitted(const std::string&) override {}
    void setCurrentEngine(const std::string&) override {}
    void setGauges(int, int, int) override {}
    void setRemainingEngines(const std::vector<std::string>&) override {}
    void setResults(const SubmissionRun&) override {}
    void setLamp(Lamp) override {}
    void resetSitesCaption() override {}
    void siteProfileChanged(const SiteProfile&) override {}
    // Without a Site Data page, a site that has no saved profile is sent with
    // the last site fields and its own address.
    void siteWithoutProfile(const std::string& address, SiteProfile& site) override
    {
        const auto scheme = address.find("://");
        site.protocol = scheme == std::string::npos ? std::string() : address.substr(0, scheme + 3);
        site.address = scheme == std::string::npos ? address : address.substr(scheme + 3);
    }
    void playSound(RunSound) override {}
    void engineFinished(const std::string& site, const std::string& engine, EngineOutcome outcome,
                        const std::string& detail) override
    {
        line_.assign(site).append(1, '\t').append(engine).append(1, '\t').append(outcomeName(outcome));
        line_.append(1, '\t').append(detail).append(1, '\n');
        out_.write(line_);
    }
    void writeAutoReport(AutoReportKind kind) override
    {
        if (const std::string warning = reports_.write(kind, site_, driver_->state()); !warning.empty())
            out_.error(warning);
    }

private:
    SubmissionDriver*& driver_;
    AutoReports& reports_;
    const SiteProfile& site_;
    RunOutput& out_;
    std::string line_;
    bool cancelling_ = false;
};

// The automatic mail's waits turn this pump, so SIGINT and SIGTERM reach the
// run (and through its cancel flag the mail) as they do during requests.
class ConsolePump final : public EventPump {
public:
    ConsoleView* view = nullptr;
    void processEvents() override
    {
        if (view)
            view->pump();
    }
};

struct Options {
    std::vector<std::string> sites;
    std::vector<std::string> engines;
    std::string timeout;
    bool timeoutGiven = false;
    bool dryRun = false;
};

// Fills `options`; returns an error text for a usage error.
std::string parse(int argc, char** argv, const std::string& base, Options& options)
{
    auto addLines = [](std::vector<std::string>& to, const LineList& lines) {
        for (const auto& line : lines)
            if (!line.empty())
                to.push_back(line);
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::invalid_argument(std::string(arg) + " needs a value");
            return argv[++i];
        };
        if (arg == "--site") {
            options.sites.push_back(value());
        } else if (arg == "--batch") {
            const std::string name = value();
            if (const std::string problem = checkListName(name); !problem.empty() || name.empty())
                return problem.empty() ? "--batch needs a list name" : problem;
            const std::string file = joinPath(base, "sites/" + name + ".tlb");
            if (!fileExists(file))
                return "There is no batch list named " + name + ".";
            addLines(options.sites, readLineList(file));
        } else if (arg == "--engine") {
            const std::string name = value();
            if (const std::string problem = checkEngineName(name); !problem.empty())
                return problem;
            options.engines.push_back(name);
        } else if (arg == "--engine-list") {
            const std::string name = value();
            const auto list = EngineListFiles(base).load(name);
            if (!list)
                return "There is no engine list named " + name + ".";
            addLines(options.engines, *list);
        } else if (arg == "--major") {
            for (const auto& engine : majorEngines())
                options.engines.push_back(engine);
        } else if (arg == "--all") {
            for (const char* index : {"data/sites.tlx", "data/custeng.tlx"})
                if (fileExists(joinPath(base, index)))
                    addLines(options.engines, readLineList(joinPath(base, index)));
        } else if (arg == "--timeout") {
            options.timeout = value();
            options.timeoutGiven = true;
        } else if (arg == "--dry-run") {
            options.dryRun = true;
        } else {
            return "unknown option " + std::string(arg);
        }
    }
    if (options.sites.empty())
        return "no sites given";
    if (options.engines.empty())
        return "no engines given";
    return {};
}

// The lists of the window hold no exact duplicates.
std::vector<std::string> withoutDuplicates(const std::vector<std::string>& items)
{
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (const auto& item : items)
        if (seen.insert(item).second)
            out.push_back(item);
    return out;
}

}  // namespace

int runSubmitCommand(int argc, char** argv)
{
    // A reader that stops early (| head) ends the printing, not the run: the
    // reports and stamps are still written. A file-size limit is a write error.
    std::signal(SIGPIPE, SIG_IGN);
    ignoreFileSizeSignal();
    const std::string base = std::filesystem::current_path().string();
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help") {
            std::cout << kUsage;
            return 0;
        }
    }
    try {
        if (const std::string problem = parse(argc, argv, base, options); !problem.empty()) {
            std::cerr << "tolvan submit: " << problem << "\n\n" << kUsage;
            return 2;
        }
    } catch (const std::exception& e) {
        std::cerr << "tolvan submit: " << e.what() << "\n\n" << kUsage;
        return 2;
    }

    try {
        const SettingsLoad loaded = loadSettings(defaultSettingsPath(), RemoteHosts(base).makerWeb());
        for (const auto& message : loaded.messages)
            std::cerr << message << '\n';
        const Settings& settings = loaded.settings;

        RunRequest request;
        request.sites = withoutDuplicates(options.sites);
        request.engines = withoutDuplicates(options.engines);
        request.timeoutSeconds = options.timeoutGiven ? options.timeout : settings.timeout;
        request.autoHtml = settings.htmlcheck;
        request.autoText = settings.textcheck;
        request.autoMail = settings.emailcheck;
        request.keepHistory = !options.dryRun;

        // The working profile starts as the window would show it: the last site fields.
        SiteProfile site = ProfileStore(base).readLastFields();
        ConsolePump mailPump;
        AutoReports reports(base, settings, request.sites.size(), &mailPump);
        LibSecretStore secrets;
        reports.setSecretStore(&secrets);

        RunOutput out;
        HttpTransport http;
        DryRunTransport dry(out);
        SubmissionTransport& transport = options.dryRun ? static_cast<SubmissionTransport&>(dry) : http;
        useSettingsProxy(http.client(), settings, std::cerr);

        SubmissionDriver* driverRef = nullptr;
        ConsoleView view(driverRef, reports, site, out);
        mailPump.view = &view;
        SubmissionDriver driver(base, view, transport);
        driverRef = &driver;

        std::signal(SIGINT, onStopSignal);
        std::signal(SIGTERM, onStopSignal);
        const RunEnd end = driver.run(request, site);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        out.flush();
        switch (end) {
        case RunEnd::Completed: return 0;
        case RunEnd::Cancelled: return 130;
        case RunEnd::NotStarted: return 1;
        case RunEnd::Aborted:
            std::cerr << "The submission run was aborted.\n";
            return 1;
        }
        return 1;
    } catch (const std::exception& e) {
        std::fflush(stdout);  // the engines done so far come before the error
        std::cerr << cleanServerText(e.what()) << '\n';
        return 1;
    }
}

}  // namespace tolvan::cli
