#include "indexnow/IndexNowKey.h"

#include <sys/random.h>

#include <cctype>
#include <cerrno>

#include "net/HttpClient.h"
#include "util/Errors.h"

namespace tolvan {

bool isValidIndexNowKey(const std::string& key)
{
    if (key.size() < 8 || key.size() > 128)
        return false;
    for (const unsigned char c : key)
        if (!std::isalnum(c) || c > 127)
            if (c != '-')
                return false;
    return true;
}

std::string generateIndexNowKey()
{
    unsigned char bytes[16];
    std::size_t filled = 0;
    while (filled < sizeof bytes) {
        const ssize_t got = getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw TolvanError("The system's random source could not be read.");
        }
        filled += static_cast<std::size_t>(got);
    }
    static const char hex[] = "0123456789abcdef";
    std::string key;
    for (const unsigned char b : bytes) {
        key += hex[b >> 4];
        key += hex[b & 15];
    }
    return key;
}

std::string siteOrigin(const std::string& address)
{
    const auto scheme = address.find("://");
    const std::size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    const auto end = address.find_first_of("/?#", hostStart);
    std::string origin = address.substr(0, end);
    if (scheme == std::string::npos)
        origin = "http://" + origin;
    return origin;
}

std::string siteHost(const std::string& address)
{
    const std::string origin = siteOrigin(address);
    std::string host = origin.substr(origin.find("://") + 3);
    const auto at = host.rfind('@');
    if (at != std::string::npos)
        host.erase(0, at + 1);
    for (auto& c : host)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return host;
}

std::string effectiveKeyLocation(const std::string& siteAddress, const std::string& key,
                                 const std::string& storedLocation)
{
    if (!storedLocation.empty())
        return storedLocation;
    if (key.empty())
        return {};
    return siteOrigin(siteAddress) + "/" + key + ".txt";
}

std::string effectiveKeyLocation(const SiteProfile& site)
{
    if (!site.indexNowKeyLocation.empty() || site.indexNowKey.empty())
        return site.indexNowKeyLocation;
    return effectiveKeyLocation(site.fullAddress(), site.indexNowKey, site.indexNowKeyLocation);
}

std::string noKeyMessage(const std::string& siteAddress)
{
    return "No IndexNow key for " + siteAddress
        + ": make one with Tools, IndexNow... (Generate Key) or \"tolvan indexnow key --site " + siteAddress
        + " --generate\", put the key file on the site, and save the site profile.";
}

KeyFileCheck checkKeyFile(HttpClient& http, const std::string& location, const std::string& key)
{
    KeyFileCheck check;
    std::string body;
    constexpr std::size_t kMaxKeyFile = 4096;  // a key file is a few dozen bytes
    auto previous = http.OnTransfer;
    http.OnTransfer = [&](std::int64_t, std::string_view piece) {
        if (body.size() < kMaxKeyFile)
            body.append(piece.substr(0, kMaxKeyFile - body.size()));
    };
    try {
        if (!http.WinsockLoaded())
            http.setWinsockLoaded(true);
        http.setURL(location);
        http.setAction(httpGet);
    } catch (const HttpError& e) {
        http.OnTransfer = previous;
        const std::string status = http.StatusLine();
        if (!status.empty()) {
            check.state = KeyFileState::Missing;
            check.message = "The key file is missing: " + location + " answered \"" + status
                + "\". Save the key file and upload it to that address.";
        } else {
            check.message = "The key file could not be fetched from " + location + " (" + e.what()
                + "). Check the address and your connection.";
        }
        return check;
    }
    http.OnTransfer = previous;
    std::string held = body;
    if (held.size() >= 3 && held.compare(0, 3, "\xEF\xBB\xBF") == 0)
        held.erase(0, 3);  // a UTF-8 byte order mark
    const auto first = held.find_first_not_of(" \t\r\n");
    const auto last = held.find_last_not_of(" \t\r\n");
    held = first == std::string::npos ? std::string() : held.substr(first, last - first + 1);
    if (held == key) {
        check.state = KeyFileState::InPlace;
        check.message = "The key file is in place at " + location + ".";
    } else {
        check.state = KeyFileState::Different;
        check.message = "The file at " + location + " holds something other than the key. "
                        "Replace it with a file holding exactly the key.";
    }
    return check;
}

}  // namespace tolvan
