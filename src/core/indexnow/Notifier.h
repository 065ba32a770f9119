#pragma once
// Notifying an IndexNow endpoint of a site's changed pages: reads the sitemap,
// picks the URLs changed since they were last accepted, and POSTs them as JSON
// batches. A URL counts as notified only when its batch was accepted, so a
// failure or a cancel loses nothing: the next notify sends those URLs again.
#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace tolvan {

class HistoryStore;
class HttpClient;
class RemoteHosts;

inline constexpr std::size_t kMaxBatchUrls = 10000;

// The address notifications go to for an engine of the [IndexNow] section of
// data/hosts.tlx; empty when the engine is not listed. A value may carry its
// own scheme ("http://127.0.0.1:8080"); otherwise HTTPS is used.
std::string indexNowEndpointUrl(const RemoteHosts& hosts, const std::string& engine);
// The same without the path: "https://api.example".
std::string indexNowEndpointOrigin(const RemoteHosts& hosts, const std::string& engine);
bool isIndexNowEngine(const RemoteHosts& hosts, const std::string& engine);
// The engines of the [IndexNow] section that have a definition file, in file order:
// offered by the IndexNow dialog, never part of the engine index.
std::vector<std::string> indexNowEngines(const std::string& baseDir);

struct NotifyRequest {
    std::string site;      // the site's full address
    std::string sitemap;   // a file or an http(s) address
    std::string endpoint;  // engine name of the [IndexNow] section
    std::string endpointUrl;
    std::string key;
    std::string keyLocation;  // as used (effectiveKeyLocation)
    enum class Pick { Changed, Since, All } pick = Pick::Changed;
    std::time_t since = 0;
    std::size_t limit = 0;  // 0: no limit
    bool dryRun = false;
    std::size_t batchSize = kMaxBatchUrls;
};

struct NotifyRow {
    std::string url;
    std::string endpoint;
    std::string outcome;  // "accepted", "pending", "failed", "skipped"
    std::string detail;
};

struct NotifySummary {
    std::size_t accepted = 0, pending = 0, failed = 0, skipped = 0;
    std::size_t batches = 0;
    bool cancelled = false;
    std::string problem;  // a notify that could not start or read its sitemap
    std::string note;     // a message for the user that is not an error
    bool allAccepted() const { return problem.empty() && failed == 0 && !cancelled; }
};

// The JSON body of one batch.
std::string notifyBatchJson(const std::string& host, const std::string& key, const std::string& keyLocation,
                            const std::vector<std::string>& urls);

class Notifier {
public:
    Notifier(HistoryStore& history, HttpClient& http);

    std::function<void(const NotifyRow&)> onRow;
    std::function<void(std::size_t sent, std::size_t total)> onProgress;  // in URLs

    NotifySummary run(const NotifyRequest& request);
    // From a handler running inside a wait: stops after (and abandons) the batch in progress.
    void cancel();

private:
    struct Answer {
        bool error = false;
        std::string message;
        std::string statusLine;
        std::string body;
        std::string retryAfter;
    };
    Answer post(const std::string& url, const std::string& json);
    void report(NotifySummary& summary, const NotifyRow& row);

    HistoryStore& history_;
    HttpClient& http_;
    bool cancelRequested_ = false;
};

}  // namespace tolvan
