#include "ranking/RankEngines.h"

#include <charconv>
#include <climits>

#include "util/FormEncoding.h"

namespace tolvan {

namespace {

constexpr RankRecipe kRecipes[kRankEngineCount] = {
    {RankEngine::Infoseek, "Infoseek", "Infoseek", 25, "InfoSeek", "InfoSeek", "%</b>", " ", "Checked InfoSeek",
     false},
    {RankEngine::Yahoo, "Yahoo", "Yahoo", 50, "Yahoo", "Yahoo", "HREF", "<b>", "Checked Yahoo", false},
    {RankEngine::AltaVista, "AltaVista", "AltaVista", 10, "Alta Vista", "Alta Vista", ". </b>", " ",
     "Checked Alta Vista", false},
    {RankEngine::AolNetFind, "AOL NetFind", "AOL NetFind", 50, "NetFind", "NetFind", "geneva,arial\">", " ",
     "Checked AOL Net Find", true},
    {RankEngine::Lycos, "Lycos", "Lycos", 50, "Lycos", "Lycos", "%]", " ", "Checked Lycos", false},
    {RankEngine::Excite, "Excite", "Excite Search", 50, "Excite", "Excite", "% </B></FONT>", " ", "Checked Excite",
     true},
    {RankEngine::HotBot, "HotBot", "HotBot", 50, "HotBot", "Hot Bot", ". </B>", "%</font>", "Checked Hot Bot", true},
    {RankEngine::WebCrawler, "WebCrawler", "WebCrawler", 50, "WC", "WC", "% </B>", "</A>", "Checked Web Crawler",
     false},
};

constexpr const char* kHotBotPath = "/QX27LpRa0D3B9F1E6A7C2458BE91F03D7C64A2E5/hResult.html";

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = lowerAscii(c);
    return out;
}

}  // namespace

const RankRecipe& rankRecipe(RankEngine engine) { return kRecipes[static_cast<std::size_t>(engine)]; }

int rankDepth(std::string_view text)
{
    constexpr int kNotANumber = 100;
    constexpr int kMost = 500;
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    text.remove_prefix(i);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return kNotANumber;
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return kNotANumber;
    if (negative)
        value = -value;
    if (value < INT_MIN || value > INT_MAX)
        return kNotANumber;
    return value > kMost ? kMost : static_cast<int>(value);
}

std::string plusForBlanks(std::string phrase)
{
    for (char& c : phrase)
        if (c == ' ')
            c = '+';
    return phrase;
}

std::string rankQueryPhrase(std::string_view phrase)
{
    std::string words(phrase);
    for (char& c : words)
        if (c == '+')
            c = ' ';
    return formEncode(words);
}

std::string rankRequestPath(RankEngine engine, std::string_view query, long n, bool firstPage)
{
    const std::string p(query);
    const std::string num = std::to_string(n);
    switch (engine) {
    case RankEngine::Infoseek:
        return "/Titles?qt=" + p + "&lk=ip-noframes&st=" + std::to_string(n + 1) + "&rf=0&nh=25";
    case RankEngine::Yahoo:
        return "/search?o=1&p=" + p + "&d=y&n=50&n=50&n=50&hc=5&hs=952&h=s&b=" + num;
    case RankEngine::AltaVista:
        return "/cgi-bin/query?pg=q&stq=40&what=web&kl=XX&q=" + p + "&navig" + num + ".x=11&navig" + num + ".y=12";
    case RankEngine::AolNetFind:
        if (firstPage)
            return "/search.gw?search=" + p +
                   "&Search=Find%21&look=excite_netfind_us&sorig=rpage&perPage=50&showSummary=false";
        return "/search.gw?lk=excite_netfind_us&c=web&start=" + num + "&showSummary=false&s=" + p + "&perPage=50";
    case RankEngine::Lycos:
        return "/cgi-bin/pursuit?query=" + p +
               "&maxhits=50&results=terse&adv=1&mtemp=java&etemp=error_java&rt=1&rtwm=500&rttf=50&rtfd=50&rtpn=15"
               "&rtpy=50&rtor=10&first=" +
               std::to_string(n + 1);
    case RankEngine::Excite:
        if (firstPage)
            return "/search.gw?search=" + p + "&Search=Find%21&sorig=rpage&perPage=50&showSummary=false";
        return "/search.gw?c=web&start=" + num + "&showSummary=false&s=" + p + "&perPage=50";
    case RankEngine::HotBot:
        if (firstPage)
            return std::string(kHotBotPath) + "?SM=MC&MT=" + p +
                   "&DV=7&RG=.com&DC=50&DE=0&OPs=MDRTP&_v=2&DU=days&SW=web&search.x=25&search.y=11";
        // The engine's next-page button: the page after the one based at N - 50.
        return std::string(kHotBotPath) + "?DV=7&OPs=MDRTP&MT=" + p + "&base=" + std::to_string(n - 50) +
               "&DE=0&RG=.com&DC=50&DU=days&_v=2&NUMMOD=0&act.next.x=5&act.next.y=15";
    case RankEngine::WebCrawler:
        return "/cgi-bin/WebQuery?search=" + p + "&src=wc_more&perPage=50&start=" + num;
    }
    return {};
}

std::string checkingCaption(RankEngine engine, long n, bool firstPage)
{
    const RankRecipe& r = rankRecipe(engine);
    return std::string("Checking ") + (firstPage ? r.firstCaptionWord : r.captionWord) + " results " +
           std::to_string(n + 1) + " to " + std::to_string(n + r.pageSize);
}

int findrank(std::string_view page, std::string_view marker, std::string_view site, std::string_view terminator)
{
    constexpr std::string_view kHttp = "http:";
    if (site.empty() || marker.empty() || page.find(marker) == std::string_view::npos)
        return 0;
    const std::string wanted = lowerAscii(site);
    std::string_view rest = page;
    int count = 0;
    for (;;) {
        const std::size_t m = rest.find(marker);
        if (m == std::string_view::npos)
            return 0;
        rest.remove_prefix(m + marker.size());
        const std::size_t h = rest.find(kHttp);
        if (h == std::string_view::npos)
            return 0;
        rest.remove_prefix(h);
        const std::size_t end = terminator.empty() ? std::string_view::npos : rest.find(terminator);
        const std::string_view candidate = rest.substr(0, end);
        ++count;
        if (lowerAscii(candidate).find(wanted) != std::string::npos)
            return count;
        rest.remove_prefix(candidate.size());
        if (rest.empty() || rest.find(marker) == std::string_view::npos)
            return 0;
    }
}

std::vector<std::string> rankResultAddresses(std::string_view page, std::string_view marker,
                                             std::string_view terminator, std::size_t most)
{
    constexpr std::string_view kHttp = "http:";
    std::vector<std::string> addresses;
    if (marker.empty())
        return addresses;
    std::string_view rest = page;
    while (addresses.size() < most) {
        const std::size_t m = rest.find(marker);
        if (m == std::string_view::npos)
            break;
        rest.remove_prefix(m + marker.size());
        const std::size_t h = rest.find(kHttp);
        if (h == std::string_view::npos)
            break;
        rest.remove_prefix(h);
        const std::size_t end = terminator.empty() ? std::string_view::npos : rest.find(terminator);
        const std::string_view candidate = rest.substr(0, end);
        addresses.emplace_back(candidate.substr(0, candidate.find_first_of(" \t\r\n\"'<>")));
        rest.remove_prefix(candidate.size());
    }
    return addresses;
}

}  // namespace tolvan
