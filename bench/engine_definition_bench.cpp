// Building the EngineDefinition and form body for 2,000 engines in a row, each
// definition file read from disk as the submission run reads it.
#include "engines/EngineDefinition.h"
#include "profiles/SiteProfile.h"
#include "util/Files.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kEngines = 2000;

const std::string& benchBase()
{
    static const std::string base = [] {
        std::string dir = (std::filesystem::temp_directory_path() / "tolvan-engines-XXXXXX").string();
        if (!::mkdtemp(dir.data()))
            std::abort();
        tolvan::ensureDirectory(dir + "/data");
        for (int i = 0; i < kEngines; ++i) {
            const std::string n = std::to_string(i);
            std::string text = "[Fields]\r\nURL=url\r\nTITLE=title\r\nNAME=name\r\nEMAIL=email\r\nCOMPANY=company\r\n"
                               "CITY=city\r\nSTATE=state\r\nCOUNTRY=country\r\nDESC=description\r\n"
                               "KEYWORDS=keywords\r\ncategory=cat\r\n\r\n[Categories]\r\n";
            for (int c = 0; c < 139; c += 3)
                text += std::to_string(c) + "=value" + std::to_string(c) + "\r\n";
            text += "\r\n[ExtraFields]\r\nextrafields=3\r\nExtra1=lang,en\r\nExtra2=submit,Add+URL\r\n"
                    "Extra3=source,tolvan\r\n\r\n[SITE]\r\nACTION=http://www.engine" + n +
                    ".example/cgi-bin/add-url\r\nMETHOD=POST\r\nURL=http://www.engine" + n + ".example/\r\n";
            tolvan::writeFileAtomic(dir + "/data/Engine " + n + ".tlx", text);
        }
        static const std::string* const cleanUp = new std::string(dir);  // outlives the static below
        std::atexit([] { std::filesystem::remove_all(*cleanUp); });
        return dir;
    }();
    return base;
}

void BM_DefinitionsForOneSite(benchmark::State& state)
{
    const std::string base = benchBase();
    std::vector<std::string> names;
    for (int i = 0; i < kEngines; ++i)
        names.push_back("Engine " + std::to_string(i));
    for (auto _ : state) {
        tolvan::SiteProfile site;
        site.protocol = "http://";
        site.address = "www.site.example/page?a=1&b=2";
        site.title = "A site & its title";
        site.descriptionLines = {"A description of the site", "over two lines"};
        site.category = "Computer => Software";
        site.keywords[0] = "alpha";
        site.keywords[1] = "beta";
        int category = 0;
        std::size_t bytes = 0;
        for (const auto& name : names)
            bytes += tolvan::readEngineDefinition(base, name, site, category).definition.formBody.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["per_engine_s"] = benchmark::Counter(static_cast<double>(state.iterations() * kEngines),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DefinitionsForOneSite)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
