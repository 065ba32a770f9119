// Reading a large sitemap: a 50 MB file of 50,000 pages, parsed as the notify
// does (streamed from the file, pages handed out one by one).
//   sitemap_bench            the parse speed (Google Benchmark, bytes per second)
//   sitemap_bench --peak     the peak memory of a process that parses the file once
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "indexnow/Sitemap.h"
#include "net/HttpClient.h"

using namespace tolvan;

namespace {

constexpr int kPages = 50000;

// Writes the sitemap a page at a time; every page is padded to about 1,000 bytes
// with the optional tags real sitemaps carry.
std::string makeSitemap()
{
    const std::string path = "/tmp/tolvan-sitemap-bench-" + std::to_string(::getpid()) + ".xml";
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\" "
           "xmlns:image=\"http://www.google.com/schemas/sitemap-image/1.1\">\n";
    const std::string padding(700, 'x');
    for (int i = 0; i < kPages; ++i)
        out << "<url><loc>https://www.example.com/catalogue/section-" << i % 97 << "/item-" << i
            << ".html</loc><lastmod>2026-03-04T10:20:30+01:00</lastmod><changefreq>weekly</changefreq>"
               "<priority>0.5</priority><image:image><image:loc>https://www.example.com/img/"
            << padding << i << ".jpg</image:loc></image:image></url>\n";
    out << "</urlset>\n";
    return path;
}

const std::string& sitemapFile()
{
    static const std::string path = makeSitemap();
    return path;
}

std::size_t parseOnce(const std::string& path)
{
    HttpClient http;
    std::size_t pages = 0;
    const std::string problem = readSitemap(path, http, [&pages](const SitemapUrl&) { ++pages; });
    if (!problem.empty())
        std::fprintf(stderr, "%s\n", problem.c_str());
    return pages;
}

void BM_ParseSitemap(benchmark::State& state)
{
    const std::string& path = sitemapFile();
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const auto size = static_cast<std::int64_t>(in.tellg());
    for (auto _ : state)
        benchmark::DoNotOptimize(parseOnce(path));
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["MB"] = static_cast<double>(size) / 1e6;
}
BENCHMARK(BM_ParseSitemap)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--peak") == 0) {
        const std::string path = sitemapFile();
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(parseOnce(path) == kPages ? 0 : 1);
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        std::printf("pages ok: %s, peak resident memory of the parsing process: %.1f MB\n",
                    WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "yes" : "no", usage.ru_maxrss / 1024.0);
        std::remove(path.c_str());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::remove(sitemapFile().c_str());
    return 0;
}
