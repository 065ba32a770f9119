#include "submit/HttpTransport.h"

namespace tolvan {

HttpTransport::HttpTransport() = default;

RequestResult HttpTransport::send(const std::string& method, const std::string& url, const std::string& body,
                                  EventPump& pump)
{
    pump_.target = &pump;
    RequestResult result;
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
    pump_.target = nullptr;
    return result;
}

void HttpTransport::interrupt()
{
    if (client_.busy())
        client_.setAction(httpIdle);
}

}  // namespace tolvan
