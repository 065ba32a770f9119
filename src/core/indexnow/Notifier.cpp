#include "indexnow/Notifier.h"

#include <nlohmann/json.hpp>

#include <strings.h>

#include <unordered_set>

#include "history/HistoryStore.h"
#include "indexnow/IndexNowAnswers.h"
#include "indexnow/IndexNowKey.h"
#include "indexnow/Sitemap.h"
#include "net/HttpClient.h"
#include "engines/EngineDefinition.h"
#include "net/RemoteHosts.h"
#include "storage/BigIniFile.h"
#include "util/Files.h"
#include "util/Clock.h"

namespace tolvan {

namespace {

struct Picked {
    std::string url;
};

// The directory a key file vouches for: URLs of the site outside it would get 422.
std::string keyScope(const std::string& site, const std::string& keyLocation)
{
    if (keyLocation.empty() || siteOrigin(keyLocation) != siteOrigin(site))
        return {};
    return keyLocation.substr(0, keyLocation.rfind('/') + 1);
}

}  // namespace

std::string indexNowEndpointOrigin(const RemoteHosts& hosts, const std::string& engine)
{
    std::string host = hosts.value("IndexNow", engine);
    if (host.empty())
        return {};
    if (host.find("://") == std::string::npos)
        host = "https://" + host;
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    return host;
}

std::string indexNowEndpointUrl(const RemoteHosts& hosts, const std::string& engine)
{
    const std::string origin = indexNowEndpointOrigin(hosts, engine);
    return origin.empty() ? origin : origin + "/indexnow";
}

bool isIndexNowEngine(const RemoteHosts& hosts, const std::string& engine)
{
    return !hosts.value("IndexNow", engine).empty();
}

std::vector<std::string> indexNowEngines(const std::string& baseDir)
{
    std::vector<std::string> names;
    const BigIniFile hosts(joinPath(baseDir, "data/hosts.tlx"));
    for (const auto& section : hosts.sections()) {
        if (section.name.size() != 8 || strncasecmp(section.name.c_str(), "IndexNow", 8) != 0)
            continue;
        for (const auto& line : section.lines) {
            const auto eq = line.find('=');
            if (eq == std::string::npos || eq == 0 || line[0] == ';')
                continue;
            const std::string name = line.substr(0, eq);
            if (fileExists(engineDefinitionPath(baseDir, name)))
                names.push_back(name);
        }
    }
    return names;
}

std::string notifyBatchJson(const std::string& host, const std::string& key, const std::string& keyLocation,
                            const std::vector<std::string>& urls)
{
    nlohmann::ordered_json body;
    body["host"] = host;
    body["key"] = key;
    body["keyLocation"] = keyLocation;
    body["urlList"] = urls;
    // Text that is not UTF-8 is replaced rather than ending the notify.
    return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

Notifier::Notifier(HistoryStore& history, HttpClient& http) : history_(history), http_(http) {}

void Notifier::cancel()
{
    cancelRequested_ = true;
    if (http_.busy())
        http_.setAction(httpIdle);
}

void Notifier::report(NotifySummary& summary, const NotifyRow& row)
{
    if (row.outcome == "accepted")
        ++summary.accepted;
    else if (row.outcome == "pending")
        ++summary.pending;
    else if (row.outcome == "failed")
        ++summary.failed;
    else
        ++summary.skipped;
    if (onRow)
        onRow(row);
}

Notifier::Answer Notifier::post(const std::string& url, const std::string& json)
{
    Answer answer;
    auto previousTransfer = http_.OnTransfer;
    auto previousHeader = http_.OnHeader;
    http_.OnTransfer = [&answer](std::int64_t, std::string_view piece) {
        if (answer.body.size() < kAnswerHeadBytes)
            answer.body.append(piece.substr(0, kAnswerHeadBytes - answer.body.size()));
    };
    http_.OnHeader = [&answer](const std::string& field, const std::string& value) {
        if (field.size() == 11 && strncasecmp(field.c_str(), "Retry-After", 11) == 0)
            answer.retryAfter = value;
    };
    try {
        if (!http_.WinsockLoaded())
            http_.setWinsockLoaded(true);
        http_.setURL(url);
        http_.setContentType("application/json; charset=utf-8");
        http_.setPostData(json);
        http_.setAction(httpPost);
    } catch (const HttpError& e) {
        answer.error = true;
        answer.message = e.what();
    }
    answer.statusLine = http_.StatusLine();
    http_.OnTransfer = previousTransfer;
    http_.OnHeader = previousHeader;
    return answer;
}

NotifySummary Notifier::run(const NotifyRequest& request)
{
    NotifySummary summary;
    cancelRequested_ = false;
    if (request.key.empty()) {
        summary.problem = noKeyMessage(request.site);
        return summary;
    }
    if (request.endpointUrl.empty()) {
        summary.problem = "\"" + request.endpoint + "\" is not an engine of the [IndexNow] section of data/hosts.tlx.";
        return summary;
    }
    if (!request.dryRun) {
        // An endpoint that asked to be left alone in an earlier run is not asked before its time.
        const std::time_t now = Clock::current().now();
        if (const auto wait = history_.endpointWait(endpointWaitKey(request.endpointUrl), now)) {
            summary.problem = "Nothing was sent: " + endpointWaitSentence(request.endpoint, wait->until, now) + ".";
            return summary;
        }
    }
    const std::string host = siteHost(request.site);
    const std::string scope = keyScope(request.site, request.keyLocation);

    // Read the whole sitemap first: only the picked addresses are kept.
    std::vector<std::string> picked;
    std::unordered_set<std::string> seen;
    std::size_t withLastmod = 0, entries = 0;
    std::vector<NotifyRow> skippedRows;
    std::vector<SitemapUrl> undated;  // judged once it is known whether any entry has a date
    const auto consider = [&](const SitemapUrl& entry, const std::optional<std::time_t>& modified) {
        if (request.pick == NotifyRequest::Pick::All) {
            picked.push_back(entry.loc);
            return;
        }
        if (request.pick == NotifyRequest::Pick::Since) {
            if (modified && *modified > request.since)
                picked.push_back(entry.loc);
            return;
        }
        const auto accepted = history_.lastAccepted(request.site, entry.loc);
        if (!accepted) {
            picked.push_back(entry.loc);
            return;
        }
        const auto acceptedAt = parseW3cDateTime(*accepted);
        if (modified && acceptedAt && *modified > *acceptedAt)
            picked.push_back(entry.loc);
    };
    const std::string problem = readSitemap(request.sitemap, http_, [&](const SitemapUrl& entry) {
        ++entries;
        if (!seen.insert(entry.loc).second)
            return;
        if (siteHost(entry.loc) != host) {
            skippedRows.push_back({entry.loc, request.endpoint, "skipped",
                                   "not on " + host + ": the endpoint would refuse it (422)"});
            return;
        }
        if (!scope.empty() && entry.loc.compare(0, scope.size(), scope) != 0) {
            skippedRows.push_back({entry.loc, request.endpoint, "skipped",
                                   "outside " + scope + ", the key location's folder: the endpoint would refuse it (422)"});
            return;
        }
        const auto modified = entry.lastmod.empty() ? std::nullopt : parseW3cDateTime(entry.lastmod);
        if (!entry.lastmod.empty())
            ++withLastmod;
        if (!modified && request.pick != NotifyRequest::Pick::All) {
            undated.push_back(entry);
            return;
        }
        consider(entry, modified);
    });
    if (!problem.empty()) {
        summary.problem = problem;
        return summary;
    }
    for (const auto& row : skippedRows)
        report(summary, row);
    if (entries > 0 && withLastmod == 0 && request.pick != NotifyRequest::Pick::All) {
        summary.problem = "The sitemap has no <lastmod> dates, so there is no telling which pages changed; "
                          "use --all to notify every URL.";
        return summary;
    }
    // A page without a date among dated ones is sent once: it cannot be told whether it changed since.
    for (const auto& entry : undated)
        if (request.pick == NotifyRequest::Pick::Changed)
            consider(entry, std::nullopt);
    if (request.limit > 0 && picked.size() > request.limit)
        picked.resize(request.limit);
    if (picked.empty()) {
        summary.note = "No page changed since it was last accepted: nothing to notify.";
        return summary;
    }

    const std::size_t batchSize = std::max<std::size_t>(1, std::min(request.batchSize, kMaxBatchUrls));
    const std::size_t total = picked.size();
    std::size_t sent = 0;
    bool endpointOff = false;
    std::string offReason;
    for (std::size_t start = 0; start < total; start += batchSize) {
        const std::size_t end = std::min(total, start + batchSize);
        const std::vector<std::string> urls(picked.begin() + static_cast<std::ptrdiff_t>(start),
                                            picked.begin() + static_cast<std::ptrdiff_t>(end));
        if (request.dryRun) {
            for (const auto& url : urls)
                report(summary, {url, request.endpoint, "skipped", "dry run: not sent"});
            ++summary.batches;
            continue;
        }
        if (cancelRequested_ || endpointOff) {
            for (const auto& url : urls)
                report(summary, {url, request.endpoint, "failed", endpointOff ? offReason : "cancelled: not sent"});
            continue;
        }
        const Answer answer = post(request.endpointUrl, notifyBatchJson(host, request.key, request.keyLocation, urls));
        ++summary.batches;
        const int status = statusCode(answer.statusLine);
        NotifyBatchRecord record{historyTime(Clock::current().now()), request.site, request.endpoint,
                                 static_cast<std::int64_t>(urls.size()), answer.statusLine, "", "", answer.body};
        std::string outcome, detail;
        if (cancelRequested_) {
            outcome = "failed";
            detail = "cancelled";
        } else if (!answer.error && (status == 200 || status == 202 || status == 0)) {
            outcome = status == 202 ? "pending" : "accepted";
            detail = answer.statusLine + (status == 202 ? std::string(" (") + kPendingNote + ")" : std::string());
        } else if (status >= 400) {
            const long wait = retryAfterSeconds(answer.retryAfter, static_cast<long>(Clock::current().now()));
            outcome = "failed";
            detail = answer.statusLine + ": " + indexNowFailureSentence(status, request.keyLocation, wait);
            if (status == 429) {
                if (wait > 0)
                    history_.rememberEndpointWait(
                        endpointWaitKey(request.endpointUrl),
                        {Clock::current().now() + std::min(wait, kLongestKeptWait), answer.statusLine});
                endpointOff = true;
                offReason = "not sent: " + request.endpoint + " answered 429 Too Many Requests"
                    + (wait >= 0 ? "; retry after " + std::to_string(wait) + " seconds" : std::string());
            }
        } else {
            outcome = "failed";
            detail = answer.message.empty() ? answer.statusLine : answer.message;
        }
        record.outcome = outcome;
        record.detail = detail;
        const bool accepted = outcome == "accepted" || outcome == "pending";
        history_.recordNotifyBatch(record, accepted ? urls : std::vector<std::string>{});
        for (const auto& url : urls)
            report(summary, {url, request.endpoint, outcome, detail});
        sent = end;
        if (onProgress)
            onProgress(sent, total);
    }
    summary.cancelled = cancelRequested_;
    return summary;
}

}  // namespace tolvan
