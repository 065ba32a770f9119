#pragma once
// Sitemaps read as they arrive: a push parser over the bytes of a sitemap or a
// sitemap index, plain or gzip-compressed, that hands out each page (its <loc>
// and <lastmod>) and each listed sitemap without keeping the document.
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tolvan {

class HttpClient;

struct SitemapUrl {
    std::string loc;
    std::string lastmod;  // as written; empty when the entry has none
};

class SitemapParser {
public:
    SitemapParser();
    ~SitemapParser();
    SitemapParser(const SitemapParser&) = delete;
    SitemapParser& operator=(const SitemapParser&) = delete;

    std::function<void(const SitemapUrl&)> onUrl;             // a page of a <urlset>
    std::function<void(const std::string& loc)> onSitemap;    // a sitemap of a <sitemapindex>

    // Feeds the next bytes; gzip data is recognised by its first bytes.
    // Returns false once the data is not a readable sitemap (see error()).
    bool feed(std::string_view bytes);
    // Ends the document; false if it was cut short or unreadable.
    bool finish();
    const std::string& error() const { return error_; }

private:
    struct State;
    bool parse(std::string_view xml, bool last);
    std::unique_ptr<State> state_;
    std::string error_;
};

// A W3C date-time ("2026-03-04", "2026-03-04T10:20:30+01:00", ...) as UTC seconds.
std::optional<std::time_t> parseW3cDateTime(const std::string& text);

// Reads a sitemap (a file path, or an http:// or https:// address fetched with
// `http`), following a sitemap index to the sitemaps it lists. Returns an empty
// string on success, else what went wrong.
std::string readSitemap(const std::string& source, HttpClient& http,
                        const std::function<void(const SitemapUrl&)>& onUrl);

}  // namespace tolvan
