#include "ranking/SearchCheck.h"

#include "net/RemoteHosts.h"
#include "util/FormEncoding.h"

namespace tolvan {

std::string searchHostKey(SearchEngine engine)
{
    switch (engine) {
    case SearchEngine::infoseek: return "Infoseek";
    case SearchEngine::yahoo: return "Yahoo";
    case SearchEngine::altaVista: return "AltaVista";
    case SearchEngine::lycos: return "Lycos";
    case SearchEngine::aolNetFind: return "AOL NetFind";
    case SearchEngine::excite: return "Excite";
    case SearchEngine::hotBot: return "HotBot";
    case SearchEngine::webCrawler: return "WebCrawler";
    }
    return {};
}

std::string searchPath(SearchEngine engine, std::string_view text)
{
    const std::string t = formEncode(text);
    switch (engine) {
    case SearchEngine::infoseek:
        // Asks for the pages of the given address ("url%3A" is "url:").
        return "/Titles?col=WW&qt=url%3A" + t + "&lk=ip-noframes";
    case SearchEngine::yahoo: return "/search?p=" + t;
    case SearchEngine::altaVista: return "/cgi-bin/query?pg=q&what=web&kl=XX&q=" + t;
    case SearchEngine::lycos:
        return "/cgi-bin/pursuit?etemp=error_nojava&mtemp=nojava&adv=1&cat=lycos&npl=matchmode%3Dand%26adv%3D1&query=" +
               t;
    case SearchEngine::aolNetFind: return "/search.gw?search=" + t + "&lk=excite_netfind_us";
    case SearchEngine::excite: return "/search.gw?trace=a&search=" + t;
    case SearchEngine::hotBot:
        return "/hResult.html/?SM=MC&MT=" + t +
               "&DV=7&RG=.com&DC=10&DE=2&OPs=MDRTP&_v=2&DU=days&SW=web&search.x=20&search.y=9";
    case SearchEngine::webCrawler: return "/cgi-bin/WebQuery?searchText=" + t;
    }
    return {};
}

std::string searchAddress(const RemoteHosts& hosts, SearchEngine engine, std::string_view text)
{
    const std::string host = hosts.searchHost(searchHostKey(engine));
    if (host.empty())
        return {};
    return "http://" + host + searchPath(engine, text);
}

}  // namespace tolvan
