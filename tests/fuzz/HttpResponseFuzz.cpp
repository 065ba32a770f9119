// libFuzzer target: arbitrary bytes as a server's response, cut into pieces of
// a size the first byte chooses, fed to the client's response parser.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/HttpClient.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    tolvan::HttpClient client;
    std::int64_t delivered = 0;
    bool started = false;
    client.OnStartTransfer = [&] { started = true; };
    client.OnTransfer = [&](std::int64_t total, std::string_view piece) {
        delivered += static_cast<std::int64_t>(piece.size());
        if (!started || total != delivered || piece.empty())
            std::abort();
    };
    client.OnHeader = [&](const std::string& field, const std::string& value) {
        if (started || field.size() + value.size() > 64 * 1024)
            std::abort();
    };
    const std::size_t piece = data[0] % 97 + 1;
    const auto* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;
    for (std::size_t i = 0; i < length; i += piece)
        client.feedResponseForTesting(std::string_view(bytes + i, std::min(piece, length - i)), false);
    client.feedResponseForTesting({}, true);
    if (client.StatusLine().size() > 1023)
        std::abort();
    return 0;
}
