// Loading a large profile file with BigIniFile against libinih on the same
// file, and saving one profile into it (open, write the fields, flush).
#include "profiles/ProfileStore.h"
#include "storage/BigIniFile.h"
#include "util/Files.h"

#include <benchmark/benchmark.h>
#include <ini.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kSections = 10000;

// A base directory holding sites/tlxprofiles.tlx with kSections profiles (~3 MB).
const std::string& benchBase()
{
    static const std::string base = [] {
        std::string dir = (std::filesystem::temp_directory_path() / "tolvan-bench-XXXXXX").string();
        if (!::mkdtemp(dir.data()))
            std::abort();
        tolvan::ensureDirectory(dir + "/sites");
        std::string text;
        text.reserve(3'300'000);
        for (int i = 0; i < kSections; ++i) {
            const std::string n = std::to_string(i);
            text += "[Profile " + n + "]\r\nFORWARD=http://\r\nURL=s" + n + ".example/\r\n";
            text += "TITLE=Site " + n + "\r\ndesc=Site " + n + " \r\nCATEGORY=Arts\r\n";
            for (int k = 1; k <= 18; ++k)
                text += "KEY" + std::to_string(k) + "=" + (k == 1 ? "word" : "") + "\r\n";
            text += "NAME=O\r\nCOMPANY=C\r\nCITY=T\r\nCOUNTRY=L\r\nemail=o@s\r\n"
                    "address=1\r\nstate=S\r\nzip=1\r\nphone=5\r\nfax=6\r\n\r\n";
        }
        tolvan::writeFileAtomic(dir + "/sites/tlxprofiles.tlx", text);
        std::fprintf(stderr, "profile file: %zu bytes, %d sections\n", text.size(), kSections);
        return dir;
    }();
    return base;
}

std::string profilesFile() { return benchBase() + "/sites/tlxprofiles.tlx"; }

void BM_LoadBigIniFile(benchmark::State& state)
{
    const std::string file = profilesFile();
    for (auto _ : state) {
        tolvan::BigIniFile ini(file);
        benchmark::DoNotOptimize(ini.sections().size());
    }
}
BENCHMARK(BM_LoadBigIniFile)->Unit(benchmark::kMillisecond);

int countEntry(void* user, const char*, const char*, const char*)
{
    ++*static_cast<long*>(user);
    return 1;
}

void BM_LoadInih(benchmark::State& state)
{
    const std::string file = profilesFile();
    for (auto _ : state) {
        long entries = 0;
        if (ini_parse(file.c_str(), countEntry, &entries) != 0)
            state.SkipWithError("inih failed");
        benchmark::DoNotOptimize(entries);
    }
}
BENCHMARK(BM_LoadInih)->Unit(benchmark::kMillisecond);

void BM_SaveOneProfile(benchmark::State& state)
{
    tolvan::ProfileStore store(benchBase());
    tolvan::SiteProfile site;
    site.protocol = "http://";
    site.address = "www.site5000.example/";
    site.descriptionLines = {"A short description", "of site 5000"};
    site.category = "Business";
    site.email = "o@site.example";
    int round = 0;
    for (auto _ : state) {
        site.title = "Changed title " + std::to_string(++round);  // a real change each time
        tolvan::BigIniFile ini(store.profilesPath());
        ini.WriteString("Profile 5000", "FORWARD", site.protocol);
        ini.WriteString("Profile 5000", "URL", site.address);
        ini.WriteString("Profile 5000", "TITLE", site.title);
        ini.WriteString("Profile 5000", "desc", site.descriptionText());
        ini.WriteString("Profile 5000", "CATEGORY", site.category);
        for (int k = 1; k <= 18; ++k)
            ini.WriteString("Profile 5000", "KEY" + std::to_string(k), "");
        ini.WriteString("Profile 5000", "email", site.email);
        ini.UpdateFile();
    }
}
BENCHMARK(BM_SaveOneProfile)->Unit(benchmark::kMillisecond);

// The replacing write alone (temporary file, fsync, rename): the disk's share.
void BM_WriteFileAtomic(benchmark::State& state)
{
    const std::string text = tolvan::readFile(profilesFile());
    const std::string target = benchBase() + "/sites/copy.tlx";
    for (auto _ : state)
        tolvan::writeFileAtomic(target, text);
}
BENCHMARK(BM_WriteFileAtomic)->Unit(benchmark::kMillisecond);

// The whole save as the dialog does it: three indexes and the profile file.
void BM_SaveProfileWithIndexes(benchmark::State& state)
{
    tolvan::ProfileStore store(benchBase());
    tolvan::SiteProfile site;
    site.protocol = "http://";
    site.address = "www.site7000.example/";
    std::vector<std::string> names, addresses;
    int round = 0;
    for (auto _ : state) {
        site.title = "Title " + std::to_string(++round);
        store.saveProfile("Profile 7000", site, names, addresses);
    }
}
BENCHMARK(BM_SaveProfileWithIndexes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchBase();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(benchBase());
    return 0;
}
