#include "cli/ProxySettings.h"

#include <cstdint>

#include "net/HttpClient.h"
#include "settings/Settings.h"
#include "util/Errors.h"

namespace tolvan::cli {

void useSettingsProxy(HttpClient& client, const Settings& settings, std::ostream& messages)
{
    if (settings.proxyserver.empty())
        return;
    client.setProxyServer(settings.proxyserver);
    int port = 80;
    try {
        port = proxyPortNumber(settings.proxyport);
    } catch (const TolvanError&) {
        messages << "The proxy port '" << settings.proxyport << "' is not a port number; using 80.\n";
    }
    client.setProxyPort(static_cast<std::uint16_t>(port));
}

}  // namespace tolvan::cli
