#include "cli/IndexNowCommand.h"

#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cli/ProxySettings.h"
#include "history/HistoryStore.h"
#include "indexnow/IndexNowKey.h"
#include "indexnow/Notifier.h"
#include "indexnow/Sitemap.h"
#include "net/EventPump.h"
#include "net/HttpClient.h"
#include "net/RemoteHosts.h"
#include "profiles/ProfileStore.h"
#include "settings/Settings.h"

namespace tolvan::cli {

namespace {

volatile std::sig_atomic_t stopSignal = 0;
void onStopSignal(int sig) { stopSignal = sig; }

const char* kUsage =
    "Usage: tolvan indexnow notify --site URL --sitemap URL-OR-FILE [--endpoint NAME]\n"
    "                              [--since DATE | --all] [--limit N] [--dry-run]\n"
    "       tolvan indexnow key --site URL [--generate]\n"
    "       tolvan indexnow check --site URL\n"
    "\n"
    "notify   tells an IndexNow endpoint (an engine of the [IndexNow] section of\n"
    "         data/hosts.tlx, default IndexNow) which pages of the sitemap changed since\n"
    "         they were last accepted (or since DATE, YYYY-MM-DD, or all of them), in\n"
    "         batches of at most 10,000. Prints one line per URL: URL, endpoint, outcome\n"
    "         (accepted, pending, failed, skipped) and detail, separated by tabs.\n"
    "key      prints the site's key and key location; --generate makes a new key and\n"
    "         stores it with the site's saved profile.\n"
    "check    fetches the key file from the key location and says whether it is in place.\n"
    "\n"
    "Exit status: 0 all accepted, 1 some failed, 2 usage error, 130 interrupted.\n";

// Waits without a window; a stop signal cancels what is in progress.
class SignalPump final : public EventPump {
public:
    void processEvents() override
    {
        if (stopSignal && onStop && !stopping_) {
            stopping_ = true;
            onStop();
        }
    }
    std::function<void()> onStop;

private:
    bool stopping_ = false;
};

// A client that goes through the Options page's proxy, as `tolvan submit` does.
std::unique_ptr<HttpClient> makeClient(const std::string& base, EventPump& pump)
{
    const SettingsLoad loaded = loadSettings(defaultSettingsPath(), RemoteHosts(base).makerWeb());
    for (const auto& message : loaded.messages)
        std::cerr << message << '\n';
    auto http = std::make_unique<HttpClient>(pump);
    useSettingsProxy(*http, loaded.settings, std::cerr);
    return http;
}

struct SiteKey {
    std::string profile;  // the saved profile's name; empty for the last site fields
    SiteProfile site;
};

// The site's profile: the one saved with that address, else the last site fields
// when they are for that address.
std::optional<SiteKey> findSite(const std::string& base, const std::string& address)
{
    const ProfileStore store(base);
    if (store.reverseIndexExists()) {
        const std::string name = store.profileForAddress(address);
        if (!name.empty())
            return SiteKey{name, store.loadProfile(name)};
    }
    SiteProfile last = store.readLastFields();
    if (last.fullAddress() == address)
        return SiteKey{{}, last};
    return std::nullopt;
}

std::string noProfileMessage(const std::string& address)
{
    return "There is no saved site profile for " + address
        + ". Save the site on the Site Data page (Save Current Site) first.";
}

struct Args {
    std::string site, sitemap, endpoint = "IndexNow", since;
    bool all = false, dryRun = false, generate = false;
    std::size_t limit = 0;
};

// Fills `args`; returns a usage error text.
std::string parse(int argc, char** argv, const std::string& command, Args& args)
{
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc)
                return std::nullopt;
            return std::string(argv[++i]);
        };
        std::optional<std::string> v;
        if (arg == "--site") {
            if (!(v = value()))
                return "--site needs an address";
            args.site = *v;
        } else if (command == "notify" && arg == "--sitemap") {
            if (!(v = value()))
                return "--sitemap needs an address or a file";
            args.sitemap = *v;
        } else if (command == "notify" && arg == "--endpoint") {
            if (!(v = value()))
                return "--endpoint needs an engine name";
            args.endpoint = *v;
        } else if (command == "notify" && arg == "--since") {
            if (!(v = value()) || !parseW3cDateTime(*v))
                return "--since needs a date as YYYY-MM-DD";
            args.since = *v;
        } else if (command == "notify" && arg == "--limit") {
            if (!(v = value()) || v->empty() || v->size() > 9 || v->find_first_not_of("0123456789") != std::string::npos
                || std::stoul(*v) == 0)
                return "--limit needs a number above 0";
            args.limit = std::stoul(*v);
        } else if (command == "notify" && arg == "--all") {
            args.all = true;
        } else if (command == "notify" && arg == "--dry-run") {
            args.dryRun = true;
        } else if (command == "key" && arg == "--generate") {
            args.generate = true;
        } else {
            return "unknown option " + std::string(arg);
        }
    }
    if (args.site.empty())
        return "--site is missing";
    if (command == "notify" && args.sitemap.empty())
        return "--sitemap is missing";
    if (args.all && !args.since.empty())
        return "--since and --all do not go together";
    return {};
}

int keyCommand(const std::string& base, const Args& args)
{
    auto found = findSite(base, args.site);
    if (!found) {
        std::cerr << noProfileMessage(args.site) << '\n';
        return 1;
    }
    SiteProfile& site = found->site;
    if (args.generate) {
        site.indexNowKey = generateIndexNowKey();
        const ProfileStore store(base);
        if (found->profile.empty())
            store.writeLastFields(site);
        else
            store.storeIndexNowKey(found->profile, site.indexNowKey, site.indexNowKeyLocation);
    } else if (site.indexNowKey.empty()) {
        std::cerr << noKeyMessage(args.site) << '\n';
        return 1;
    }
    std::cout << "key\t" << site.indexNowKey << '\n'
              << "keyLocation\t" << effectiveKeyLocation(site)
              << '\n' << std::flush;
    return 0;
}

int checkCommand(const std::string& base, const Args& args, SignalPump& pump)
{
    const auto found = findSite(base, args.site);
    if (!found) {
        std::cerr << noProfileMessage(args.site) << '\n';
        return 1;
    }
    const SiteProfile& site = found->site;
    if (site.indexNowKey.empty()) {
        std::cerr << noKeyMessage(args.site) << '\n';
        return 1;
    }
    const std::string location = effectiveKeyLocation(site);
    const auto client = makeClient(base, pump);
    HttpClient& http = *client;
    pump.onStop = [&http] {
        if (http.busy())
            http.setAction(httpIdle);
    };
    const KeyFileCheck check = checkKeyFile(http, location, site.indexNowKey);
    if (stopSignal)
        return 130;
    static const char* states[] = {"in-place", "missing", "different", "unreachable"};
    std::cout << location << '\t' << states[static_cast<int>(check.state)] << '\t' << check.message << '\n'
              << std::flush;
    return check.state == KeyFileState::InPlace ? 0 : 1;
}

int notifyCommand(const std::string& base, const Args& args, SignalPump& pump)
{
    const auto found = findSite(base, args.site);
    if (!found) {
        std::cerr << noProfileMessage(args.site) << '\n';
        return 1;
    }
    const SiteProfile& site = found->site;
    const RemoteHosts hosts(base);
    NotifyRequest request;
    request.site = site.fullAddress();
    request.sitemap = args.sitemap;
    request.endpoint = args.endpoint;
    request.endpointUrl = indexNowEndpointUrl(hosts, args.endpoint);
    if (request.endpointUrl.empty()) {
        std::cerr << "tolvan indexnow: \"" << args.endpoint
                  << "\" is not an engine of the [IndexNow] section of data/hosts.tlx\n";
        return 2;
    }
    request.key = site.indexNowKey;
    request.keyLocation = effectiveKeyLocation(site);
    if (args.all) {
        request.pick = NotifyRequest::Pick::All;
    } else if (!args.since.empty()) {
        request.pick = NotifyRequest::Pick::Since;
        request.since = *parseW3cDateTime(args.since);
    }
    request.limit = args.limit;
    request.dryRun = args.dryRun;

    HistoryStore history(base);
    if (const std::string notice = history.notice(); !notice.empty())
        std::cerr << notice << '\n';
    const auto http = makeClient(base, pump);
    Notifier notifier(history, *http);
    pump.onStop = [&notifier] { notifier.cancel(); };
    notifier.onRow = [](const NotifyRow& row) {
        std::cout << row.url << '\t' << row.endpoint << '\t' << row.outcome << '\t' << row.detail << '\n';
    };
    const NotifySummary summary = notifier.run(request);
    std::cout << std::flush;
    if (const std::string notice = history.notice(); !notice.empty())
        std::cerr << notice << '\n';
    if (!summary.problem.empty()) {
        std::cerr << summary.problem << '\n';
        return stopSignal ? 130 : 1;
    }
    if (!summary.note.empty())
        std::cerr << summary.note << '\n';
    std::cerr << summary.accepted << " accepted, " << summary.pending << " pending, " << summary.failed << " failed, "
              << summary.skipped << " skipped in " << summary.batches << (summary.batches == 1 ? " batch" : " batches")
              << (args.dryRun ? " (dry run: nothing sent)" : "") << (summary.cancelled ? "; interrupted" : "") << ".\n";
    if (summary.cancelled || stopSignal)
        return 130;
    return summary.failed == 0 ? 0 : 1;
}

}  // namespace

int runIndexNowCommand(int argc, char** argv)
{
    const std::string command = argc >= 2 ? argv[1] : "";
    if (command == "--help" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (command != "notify" && command != "key" && command != "check") {
        std::cerr << "tolvan indexnow: " << (command.empty() ? std::string("notify, key or check?") : "unknown command " + command)
                  << "\n\n" << kUsage;
        return 2;
    }
    for (int i = 2; i < argc; ++i)
        if (std::string_view(argv[i]) == "--help") {
            std::cout << kUsage;
            return 0;
        }
    Args args;
    if (const std::string problem = parse(argc, argv, command, args); !problem.empty()) {
        std::cerr << "tolvan indexnow " << command << ": " << problem << "\n\n" << kUsage;
        return 2;
    }
    const std::string base = std::filesystem::current_path().string();
    SignalPump pump;
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    int status = 1;
    try {
        if (command == "key")
            status = keyCommand(base, args);
        else if (command == "check")
            status = checkCommand(base, args, pump);
        else
            status = notifyCommand(base, args, pump);
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        status = 1;
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    return status;
}

}  // namespace tolvan::cli
