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
        if (method == "POST") {
            client_.setPostData(body);
            client_.setAction(httpPost);
        } else {
            client_.setAction(httpGet);
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
