#include "indexnow/Sitemap.h"

#include <expat.h>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "net/HttpClient.h"

namespace tolvan {

namespace {

constexpr std::size_t kMaxText = 4096;        // longer <loc> values are cut, not held
constexpr std::size_t kMaxIndexEntries = 50000;
constexpr int kMaxIndexDepth = 2;

enum class Field { None, Loc, Lastmod };

// The element's name when it belongs to the sitemap vocabulary (no namespace, or
// the sitemaps namespace); empty for extensions such as <image:loc>.
std::string_view localName(const XML_Char* name)
{
    std::string_view n(name);
    const auto bar = n.rfind('|');
    if (bar == std::string_view::npos)
        return n;
    if (n.substr(0, bar).rfind("http://www.sitemaps.org/schemas/sitemap/", 0) != 0)
        return {};
    return n.substr(bar + 1);
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

struct SitemapParser::State {
    XML_Parser xml = nullptr;
    SitemapParser* owner = nullptr;
    bool sniffed = false;
    bool gzip = false;
    bool gzipEnded = false;
    z_stream zs{};
    bool zsOpen = false;
    std::string head;  // the first bytes, until gzip or not is known
    // Where the parser is: inside <url> or <sitemap>, and which text it collects.
    bool inUrl = false;
    bool inSitemap = false;
    Field field = Field::None;
    SitemapUrl current;
    std::string text;

    ~State()
    {
        if (xml)
            XML_ParserFree(xml);
        if (zsOpen)
            inflateEnd(&zs);
    }

    static void XMLCALL start(void* data, const XML_Char* name, const XML_Char**)
    {
        auto& s = *static_cast<State*>(data);
        const auto n = localName(name);
        if (n == "url") {
            s.inUrl = true;
            s.current = {};
        } else if (n == "sitemap") {
            s.inSitemap = true;
            s.current = {};
        } else if ((s.inUrl || s.inSitemap) && n == "loc") {
            s.field = Field::Loc;
            s.text.clear();
        } else if (s.inUrl && n == "lastmod") {
            s.field = Field::Lastmod;
            s.text.clear();
        }
    }

    static void XMLCALL end(void* data, const XML_Char* name)
    {
        auto& s = *static_cast<State*>(data);
        const auto n = localName(name);
        if (s.field != Field::None && (n == "loc" || n == "lastmod")) {
            (s.field == Field::Loc ? s.current.loc : s.current.lastmod) = trimmed(s.text);
            s.field = Field::None;
        } else if (n == "url" && s.inUrl) {
            s.inUrl = false;
            if (!s.current.loc.empty() && s.owner->onUrl)
                s.owner->onUrl(s.current);
        } else if (n == "sitemap" && s.inSitemap) {
            s.inSitemap = false;
            if (!s.current.loc.empty() && s.owner->onSitemap)
                s.owner->onSitemap(s.current.loc);
        }
    }

    static void XMLCALL characters(void* data, const XML_Char* chars, int length)
    {
        auto& s = *static_cast<State*>(data);
        if (s.field != Field::None && s.text.size() < kMaxText)
            s.text.append(chars, static_cast<std::size_t>(std::min<int>(length, static_cast<int>(kMaxText - s.text.size()))));
    }
};

SitemapParser::SitemapParser() : state_(std::make_unique<State>())
{
    state_->owner = this;
    state_->xml = XML_ParserCreateNS(nullptr, '|');
    XML_SetUserData(state_->xml, state_.get());
    XML_SetElementHandler(state_->xml, &State::start, &State::end);
    XML_SetCharacterDataHandler(state_->xml, &State::characters);
}

SitemapParser::~SitemapParser() = default;

bool SitemapParser::parse(std::string_view xml, bool last)
{
    if (XML_Parse(state_->xml, xml.data(), static_cast<int>(xml.size()), last) == XML_STATUS_ERROR) {
        error_ = std::string("not a readable sitemap: ") + XML_ErrorString(XML_GetErrorCode(state_->xml)) + " at line "
            + std::to_string(XML_GetCurrentLineNumber(state_->xml));
        return false;
    }
    return true;
}

bool SitemapParser::feed(std::string_view bytes)
{
    if (!error_.empty())
        return false;
    State& s = *state_;
    if (!s.sniffed) {
        s.head.append(bytes);
        if (s.head.size() < 2)
            return true;
        s.sniffed = true;
        s.gzip = static_cast<unsigned char>(s.head[0]) == 0x1f && static_cast<unsigned char>(s.head[1]) == 0x8b;
        if (s.gzip) {
            if (inflateInit2(&s.zs, 16 + MAX_WBITS) != Z_OK) {
                error_ = "the gzip decoder could not start";
                return false;
            }
            s.zsOpen = true;
        }
        const std::string first = std::move(s.head);
        s.head.clear();
        return feed(first);
    }
    if (!s.gzip)
        return parse(bytes, false);
    // Large input pieces are fed in slices, their output a buffer at a time.
    char out[65536];
    s.zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    s.zs.avail_in = static_cast<uInt>(bytes.size());
    while (s.zs.avail_in > 0 && !s.gzipEnded) {
        s.zs.next_out = reinterpret_cast<Bytef*>(out);
        s.zs.avail_out = sizeof out;
        const int rc = inflate(&s.zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            error_ = "the gzip data is damaged";
            return false;
        }
        const std::size_t produced = sizeof out - s.zs.avail_out;
        if (produced > 0 && !parse(std::string_view(out, produced), false))
            return false;
        if (rc == Z_STREAM_END)
            s.gzipEnded = true;
        else if (rc == Z_BUF_ERROR && produced == 0)
            break;
    }
    return true;
}

bool SitemapParser::finish()
{
    if (!error_.empty())
        return false;
    State& s = *state_;
    if (!s.sniffed) {
        s.sniffed = true;
        if (!parse(s.head, false))
            return false;
    }
    if (s.gzip && !s.gzipEnded) {
        error_ = "the gzip data ends too early";
        return false;
    }
    return parse({}, true);
}

std::optional<std::time_t> parseW3cDateTime(const std::string& text)
{
    int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    const char* p = text.c_str();
    auto number = [&p](int digits, int& out) {
        out = 0;
        for (int i = 0; i < digits; ++i, ++p) {
            if (*p < '0' || *p > '9')
                return false;
            out = out * 10 + (*p - '0');
        }
        return true;
    };
    if (!number(4, year))
        return std::nullopt;
    long offset = 0;
    if (*p == '-') {
        ++p;
        if (!number(2, month))
            return std::nullopt;
        if (*p == '-') {
            ++p;
            if (!number(2, day))
                return std::nullopt;
            if (*p == 'T') {
                ++p;
                if (!number(2, hour) || *p++ != ':' || !number(2, minute))
                    return std::nullopt;
                if (*p == ':') {
                    ++p;
                    if (!number(2, second))
                        return std::nullopt;
                    if (*p == '.')
                        for (++p; *p >= '0' && *p <= '9'; ++p) {
                        }
                }
                if (*p == 'Z') {
                    ++p;
                } else if (*p == '+' || *p == '-') {
                    const int sign = *p == '-' ? -1 : 1;
                    ++p;
                    int oh = 0, om = 0;
                    if (!number(2, oh) || *p++ != ':' || !number(2, om))
                        return std::nullopt;
                    offset = sign * (oh * 3600L + om * 60L);
                }
            }
        }
    }
    if (*p != '\0' || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return timegm(&tm) - offset;
}

namespace {

bool isRemote(const std::string& source)
{
    return source.compare(0, 7, "http://") == 0 || source.compare(0, 8, "https://") == 0;
}

std::string readOne(const std::string& source, HttpClient& http, SitemapParser& parser)
{
    if (isRemote(source)) {
        auto previous = http.OnTransfer;
        bool stopped = false;
        http.OnTransfer = [&](std::int64_t, std::string_view piece) {
            if (!stopped && !parser.feed(piece)) {
                stopped = true;
                http.setAction(httpIdle);
            }
        };
        try {
            if (!http.WinsockLoaded())
                http.setWinsockLoaded(true);
            http.setURL(source);
            http.setAction(httpGet);
        } catch (const HttpError& e) {
            http.OnTransfer = previous;
            if (!parser.error().empty())
                return source + ": " + parser.error();
            return source + " could not be fetched: " + e.what();
        }
        http.OnTransfer = previous;
    } else {
        const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return source + " could not be read: " + std::strerror(errno);
        std::vector<char> buffer(1 << 16);
        for (;;) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                const std::string why = std::strerror(errno);
                ::close(fd);
                return source + " could not be read: " + why;
            }
            if (got == 0)
                break;
            if (!parser.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got))))
                break;
        }
        ::close(fd);
    }
    if (!parser.finish())
        return source + ": " + parser.error();
    return {};
}

std::string readLevel(const std::string& source, HttpClient& http,
                      const std::function<void(const SitemapUrl&)>& onUrl, int depth)
{
    std::vector<std::string> children;
    SitemapParser parser;
    parser.onUrl = onUrl;
    parser.onSitemap = [&children](const std::string& loc) {
        if (children.size() < kMaxIndexEntries)
            children.push_back(loc);
    };
    if (auto problem = readOne(source, http, parser); !problem.empty())
        return problem;
    if (!children.empty() && depth >= kMaxIndexDepth)
        return source + ": sitemap indexes nest too deeply";
    for (const auto& child : children)
        if (auto problem = readLevel(child, http, onUrl, depth + 1); !problem.empty())
            return problem;
    return {};
}

}  // namespace

std::string readSitemap(const std::string& source, HttpClient& http,
                        const std::function<void(const SitemapUrl&)>& onUrl)
{
    return readLevel(source, http, onUrl, 0);
}

}  // namespace tolvan
