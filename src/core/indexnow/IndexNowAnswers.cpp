#include "indexnow/IndexNowAnswers.h"

#include <cctype>
#include <ctime>

#include "history/HistoryStore.h"
#include "indexnow/IndexNowKey.h"

namespace tolvan {

int statusCode(const std::string& statusLine)
{
    // "HTTP/1.x NNN reason", or the client's "NNN reason" form.
    std::size_t pos = 0;
    if (statusLine.compare(0, 5, "HTTP/") == 0) {
        pos = statusLine.find(' ');
        if (pos == std::string::npos)
            return 0;
        ++pos;
    }
    if (pos + 3 > statusLine.size())
        return 0;
    int code = 0;
    for (std::size_t i = pos; i < pos + 3; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(statusLine[i])))
            return 0;
        code = code * 10 + (statusLine[i] - '0');
    }
    if (pos + 3 < statusLine.size() && statusLine[pos + 3] != ' ')
        return 0;
    return code;
}

long retryAfterSeconds(const std::string& value, long nowEpoch)
{
    const auto first = value.find_first_not_of(' ');
    if (first == std::string::npos)
        return -1;
    const std::string text = value.substr(first);
    if (std::isdigit(static_cast<unsigned char>(text[0]))) {
        long seconds = 0;
        for (const char c : text) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                break;
            seconds = seconds * 10 + (c - '0');
            if (seconds > 31'536'000)
                return 31'536'000;
        }
        return seconds;
    }
    std::tm when{};
    if (!strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &when))
        return -1;
    const long at = static_cast<long>(timegm(&when));
    return at > nowEpoch ? at - nowEpoch : 0;
}

std::string indexNowFailureSentence(int status, const std::string& keyLocation, long retryAfter)
{
    switch (status) {
    case 400:
        return "The endpoint could not read the request; check the site address and key.";
    case 403:
        return "The key file is missing or different at " + keyLocation
            + "; put a file holding exactly the key there (Tools, IndexNow..., Save Key File).";
    case 405:
        return "The endpoint does not take this request method; check the engine's METHOD.";
    case 422:
        return "The URLs do not belong to the site's host, or the key does not match the key file at "
            + keyLocation + "; check the site address and key location.";
    case 429:
        return retryAfter >= 0
            ? "Too many requests: retry after " + std::to_string(retryAfter) + " seconds; this endpoint is skipped for the rest of the run."
            : std::string("Too many requests: wait before notifying again; this endpoint is skipped for the rest of the run.");
    default:
        if (status >= 500)
            return "The endpoint had a problem of its own; try again later.";
        return "The endpoint refused the notification.";
    }
}

std::string endpointWaitKey(const std::string& endpointAddress)
{
    return siteHost(endpointAddress);
}

std::string endpointWaitSentence(const std::string& engine, std::time_t until, std::time_t now)
{
    const long seconds = static_cast<long>(until > now ? until - now : 0);
    return engine + " answered 429 Too Many Requests earlier and may be asked again after " + historyTime(until)
        + " (in " + std::to_string(seconds) + (seconds == 1 ? " second)" : " seconds)");
}

}  // namespace tolvan
