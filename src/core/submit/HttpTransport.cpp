#include "submit/HttpTransport.h"

#include <strings.h>

namespace tolvan {

// A run's requests go one after the other: each finished connection is closed
// while the next request waits for its answer.
HttpTransport::HttpTransport() { client_.setCloseWhileNextWaits(true); }

RequestResult HttpTransport::send(const std::string& method, const std::string& url, const std::string& body,
                                  EventPump& pump)
{
    pump_.target = &pump;
    RequestResult result;
    // The answer's head and Retry-After are kept for the history and the outcome,
    // beside whatever the front end listens to.
    constexpr std::size_t kAnswerHead = 512;
    auto previousTransfer = client_.OnTransfer;
    auto previousHeader = client_.OnHeader;
    client_.OnTransfer = [&result, &previousTransfer](std::int64_t total, std::string_view piece) {
        if (result.answer.size() < kAnswerHead)
            result.answer.append(piece.substr(0, kAnswerHead - result.answer.size()));
        if (previousTransfer)
            previousTransfer(total, piece);
    };
    client_.OnHeader = [&result, &previousHeader](const std::string& field, const std::string& value) {
        if (strcasecmp(field.c_str(), "Retry-After") == 0)
            result.retryAfter = value;
        if (previousHeader)
            previousHeader(field, value);
    };
    try {
        if (!client_.WinsockLoaded())
            client_.setWinsockLoaded(true);
        client_.setURL(url);
        client_.setContentType("application/x-www-form-urlencoded");
        if (method == "POST")
            client_.setPostData(body);
        // A failed request comes back as a value: thousands of failing engines throw nothing.
        if (const auto error = client_.request(method == "POST" ? httpPost : httpGet)) {
            result.error = true;
            result.message = error->what();
        }
    } catch (const HttpError& e) {
        result.error = true;
        result.message = e.what();
    }
    result.statusLine = client_.StatusLine();
    client_.OnTransfer = std::move(previousTransfer);
    client_.OnHeader = std::move(previousHeader);
    pump_.target = nullptr;
    return result;
}

void HttpTransport::interrupt()
{
    if (client_.busy())
        client_.setAction(httpIdle);
}

}  // namespace tolvan
