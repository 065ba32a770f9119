#include "submit/BuiltInEngines.h"

#include <array>
#include <string_view>
#include <utility>

#include "indexnow/IndexNowKey.h"
#include "net/RemoteHosts.h"
#include "util/FormEncoding.h"

namespace tolvan {

namespace {

// Engine name and the path and query after its host. The fixed texts are sent
// as they stand; {X} marks a placeholder.
constexpr std::array<std::pair<std::string_view, std::string_view>, 18> kTable = {{
    {"Infoseek", "/AddURL/addurl?sv=IS&lk=ip-noframes&nh=10&url={URL}&CAT=Add%2FUpdate+URL&pg=URL.html"},
    {"Meta Data", "/cgi-bin/RDU/Harvest/admin.cgi?url={URL}&node=Rootnodes&Depth=0&max_url=1"},
    {"Lycos UK", "/cgi-bin/spider_now.pl?query={URL}&email={EMAIL}"},
    {"Lycos Germany", "/cgi-bin/spider_now.pl?query={URL}&email={EMAIL}"},
    {"Lycos Sweden", "/cgi-bin/urlSave?url={URL}"},
    {"Lycos", "/cgi-bin/spider_now.pl?query={URL}&email={EMAIL}"},
    {"Intersearch", "/cgi-bin/add?u={URL}"},
    {"Infospace",
     "/_1_23555413__info/homepage?type=biz&title={TITLE}&url={URL}&keywords={K1}+{K2}+{K3}+{K4}&org={COMPANY}"
     "&city={CITY}&state={STATE}&country={COUNTRY}&name={NAME}&email={EMAIL}&phone={PHONE}&fax={FAX}"
     "&descrip={DESC}&arbooos=1"},
    {"HotBot", "/addurl2.html?newurl={URL}&email={EMAIL}"},
    {"Fireball", "/register-fireball.fcg?url={URL}&action=register"},
    {"Eule", "/cgi-bin/addurl.exe?URL={URL}"},
    {"Scrub The Web",
     "/cgi-bin/addurl.cgi?action=Add+Listing&Title={TITLE}&Email={EMAIL}&URL={URL}&cat={CAT}"
     "&Description={DESC}&Keywords={K1}+{K2}+{K3}+{K4}"},
    {"Northern Light", "/cgi-bin/urlsubmit.pl?page={URL}&contact={NAME}&email={EMAIL}&sb.x=37&sb.y=9"},
    {"Austronaut", "/cgi-bin/url.pl?url={URL}"},
    {"Ariana", "/abin/addurl.pl?url={URL}"},
    {"Anzwers", "{ANZWERS}/addurl.html?newurl={URL}&email={EMAIL}&Send=Send"},
    {"Euro Seek Links",
     "/page?page=addurl2&ifl=uk&urlen={URL}&name={NAME}&email={EMAIL}&sitename={TITLE}&desc={DESC}&cat={CAT}"
     "&country={STATE}"},
    {"Alta Vista", "/cgi-bin/newurl?ad=1&q={URL}"},
}};

// The value of a site placeholder, or nothing for a name that is not one.
std::optional<std::string> siteValue(std::string_view name, const PlaceholderValues& v)
{
    const SiteProfile& s = v.site;
    std::string value;
    if (name == "URL") value = s.fullAddress();
    else if (name == "HOST") value = siteHost(s.fullAddress());
    else if (name == "KEY") value = v.key;
    else if (name == "KEYLOCATION") value = v.keyLocation;
    else if (name == "EMAIL") value = s.email;
    else if (name == "TITLE") value = s.title;
    else if (name == "NAME") value = s.name;
    else if (name == "COMPANY") value = s.company;
    else if (name == "CITY") value = s.city;
    else if (name == "STATE") value = s.state;
    else if (name == "COUNTRY") value = s.country;
    else if (name == "PHONE") value = s.phone;
    else if (name == "FAX") value = s.fax;
    else if (name == "DESC") value = v.description;
    else if (name == "CAT") value = v.categoryValue;
    else if (name.size() == 2 && name[0] == 'K' && name[1] >= '1' && name[1] <= '9')
        value = s.keywords[static_cast<std::size_t>(name[1] - '1')];
    else
        return std::nullopt;
    return formEncode(value);
}

std::string placeholder(std::string_view name, const PlaceholderValues& v, const RemoteHosts& hosts)
{
    if (name == "ANZWERS") {
        // The engine's own path segment, configured like a host; make sure it is one path step.
        std::string path = hosts.value("Engines", "Anzwers Path");
        if (!path.empty() && path.front() != '/')
            path.insert(path.begin(), '/');
        return path;
    }
    return siteValue(name, v).value_or(std::string());
}

}  // namespace

std::optional<std::string> builtInAction(const std::string& engineName, const PlaceholderValues& values,
                                         const RemoteHosts& hosts)
{
    for (const auto& [name, pattern] : kTable) {
        if (engineName != name)
            continue;
        std::string address = "http://" + hosts.engineHost(engineName);
        for (std::size_t i = 0; i < pattern.size();) {
            if (pattern[i] == '{') {
                const std::size_t end = pattern.find('}', i);
                address += placeholder(pattern.substr(i + 1, end - i - 1), values, hosts);
                i = end + 1;
            } else {
                address += pattern[i++];
            }
        }
        return address;
    }
    return std::nullopt;
}

std::string expandActionPlaceholders(const std::string& action, const PlaceholderValues& values)
{
    std::string address;
    address.reserve(action.size());
    std::size_t i = 0;
    while (i < action.size()) {
        const std::size_t open = action.find('{', i);
        if (open == std::string::npos) {
            address.append(action, i, std::string::npos);
            break;
        }
        address.append(action, i, open - i);
        const std::size_t close = action.find('}', open);
        if (close == std::string::npos) {
            address.append(action, open, std::string::npos);
            break;
        }
        const std::string_view name(action.data() + open + 1, close - open - 1);
        if (auto value = siteValue(name, values)) {
            address += *value;
            i = close + 1;
        } else {
            address += '{';  // not a placeholder: kept, and the search goes on after the brace
            i = open + 1;
        }
    }
    return address;
}

}  // namespace tolvan
