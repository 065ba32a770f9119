// Finding the result addresses on a 10 MB result page of 1,000 results, with
// the shipped definitions' patterns (a plain Mojeek-like page and a Bing-like
// page whose links are base64 redirects), and the JSON form. Bytes per second
// are the page's size over the time of one extraction.
#include "ranking/RankDefinition.h"
#include "ranking/ResultExtractor.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int kResults = 1000;
constexpr std::size_t kPageBytes = 10u << 20;

// About 10 KB of text for each result, as on a page with long snippets.
std::string filler(std::size_t bytes)
{
    std::string text;
    while (text.size() < bytes)
        text += "<p class=\"s\">Widgets of every size, colour and price; our catalogue lists them all.</p>\n";
    return text.substr(0, bytes);
}

std::string htmlPage(bool wrapped)
{
    const std::size_t each = kPageBytes / kResults - 160;
    const std::string snippet = filler(each);
    std::string page = "<html><body><ol id=\"b_results\">";
    for (int i = 0; i < kResults; ++i) {
        const std::string target = "https://www.site" + std::to_string(i) + ".example/page";
        if (wrapped)
            page += "<li class=\"b_algo\" data-id=\"" + std::to_string(i) +
                    "\"><h2><a href=\"https://www.bing.example/ck/a?!&amp;&amp;p=1&amp;u=a1aHR0cHM6Ly93d3cuc2l0ZS5leGFtcGxlL3BhZ2U&amp;ntb=1\">T</a></h2>" +
                    snippet + "</li>";
        else
            page += "<li><h2><a class=\"title\" href=\"" + target + "\">T</a></h2>" + snippet + "</li>";
    }
    return page + "</ol></body></html>";
}

void extract(benchmark::State& state, const tolvan::RankDefinition& def, const std::string& page)
{
    const tolvan::ResultExtractor extractor(def);
    std::size_t found = 0;
    for (auto _ : state) {
        const auto results = extractor.extract(page);
        found = results.size();
        benchmark::DoNotOptimize(results.data());
    }
    if (found != kResults)
        state.SkipWithError("the page's results were not all found");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

void BM_HtmlTitlePattern(benchmark::State& state)
{
    static const std::string page = htmlPage(false);
    tolvan::RankDefinition def;
    def.name = "bench";
    def.pattern = R"re(<a class="title" href="([^"]+)")re";
    extract(state, def, page);
}
BENCHMARK(BM_HtmlTitlePattern)->Unit(benchmark::kMillisecond);

void BM_HtmlWrappedRedirects(benchmark::State& state)
{
    static const std::string page = htmlPage(true);
    tolvan::RankDefinition def;
    def.name = "bench";
    def.pattern = R"re(<li class="b_algo"[^>]*>.*?<h2[^>]*><a[^>]*? href="([^"]+)")re";
    def.unwrapParam = "u";
    def.unwrapBase64 = true;
    def.unwrapPrefix = "a1";
    extract(state, def, page);
}
BENCHMARK(BM_HtmlWrappedRedirects)->Unit(benchmark::kMillisecond);

void BM_JsonResults(benchmark::State& state)
{
    static const std::string page = [] {
        const std::string snippet = filler(kPageBytes / kResults - 120);
        std::string text = "{\"web\":{\"results\":[";
        for (int i = 0; i < kResults; ++i) {
            std::string escaped;
            for (char c : snippet)
                escaped += c == '"' ? std::string("\\\"") : c == '\n' ? std::string("\\n") : std::string(1, c);
            text += std::string(i ? "," : "") + "{\"url\":\"https://www.site" + std::to_string(i) +
                    ".example/\",\"description\":\"" + escaped + "\"}";
        }
        return text + "]}}";
    }();
    tolvan::RankDefinition def;
    def.name = "bench";
    def.json = true;
    def.jsonArray = "web.results";
    def.jsonField = "url";
    extract(state, def, page);
}
BENCHMARK(BM_JsonResults)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
