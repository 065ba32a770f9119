// libFuzzer target: arbitrary text as a request address and as an SMTP server
// name with a port.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/HttpClient.h"
#include "net/SmtpClient.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tolvan;
    const std::string text(reinterpret_cast<const char*>(data), size);
    HttpClient client;
    try {
        client.setURL(text);
    } catch (const TolvanError&) {
        return 0;
    }
    if (client.URL() != text || client.path().empty())
        std::abort();
    const int port = SmtpClient::portOf(text);
    if (port < 0 || port > 65535)
        std::abort();
    return 0;
}
