#include "ranking/SiteMatch.h"
#include "util/TextCodec.h"

#include <algorithm>

namespace tolvan {

namespace {

std::string withoutWww(std::string host)
{
    if (host.rfind("www.", 0) == 0)
        host.erase(0, 4);
    return host;
}

}  // namespace

AddressParts splitAddress(std::string_view address)
{
    AddressParts parts;
    while (!address.empty() && (address.front() == ' ' || address.front() == '\t'))
        address.remove_prefix(1);
    while (!address.empty() && (address.back() == ' ' || address.back() == '\t'))
        address.remove_suffix(1);
    const std::size_t scheme = address.find("://");
    if (scheme != std::string_view::npos && address.find_first_of("/?#") > scheme) {
        parts.scheme = asciiLower(address.substr(0, scheme));
        address.remove_prefix(scheme + 3);
    } else if (address.substr(0, 2) == "//") {
        address.remove_prefix(2);
    }
    const std::size_t end = address.find_first_of("/?#");
    std::string_view authority = address.substr(0, end);
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
        parts.port = std::string(authority.substr(colon + 1));
        authority = authority.substr(0, colon);
    }
    parts.host = asciiLower(authority);
    while (!parts.host.empty() && parts.host.back() == '.')
        parts.host.pop_back();
    std::string_view rest = end == std::string_view::npos ? std::string_view() : address.substr(end);
    if (!rest.empty() && rest.front() == '#')
        rest = {};
    if (rest.empty() || rest.front() != '/')
        parts.path = '/';
    parts.path += rest;
    return parts;
}

SiteMatcher::SiteMatcher(std::string_view site)
{
    const AddressParts parts = splitAddress(site);
    host_ = withoutWww(parts.host);
    path_ = parts.path;
}

bool SiteMatcher::matches(std::string_view address) const
{
    if (host_.empty())
        return false;
    const AddressParts parts = splitAddress(address);
    if (parts.scheme != "http" && parts.scheme != "https")
        return false;
    return withoutWww(parts.host) == host_ && parts.path.compare(0, path_.size(), path_) == 0;
}

}  // namespace tolvan
