// The saved-profile actions with 10,000 profiles (a profiles file of about
// 5.5 MB and its three indexes): Save Current Site, Load Saved Site (the
// dialog's lists plus the load), delete, the per-site look-up of a run, and
// the last-submission stamps of a 1,000-site batch run.
//
// usage: profile_store_bench [google benchmark options]
#include "profiles/ProfileStore.h"
#include "storage/BigIniFile.h"
#include "storage/LineList.h"
#include "util/Files.h"

#include <benchmark/benchmark.h>

#include "ProfileBenchData.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace tolvan::bench;

const std::string& base()
{
    static const std::string dir = makeProfilesBase();
    return dir;
}

// "Save Current Site": the dialog reads both index lists, then saves.
void BM_SaveCurrentSite(benchmark::State& state)
{
    const tolvan::ProfileStore store(base());
    tolvan::SiteProfile site = sampleSite(5000);
    int round = 0;
    for (auto _ : state) {
        site.title = "Changed title " + std::to_string(++round);
        std::vector<std::string> names = store.readNames(), addresses = store.readAddresses();
        store.saveProfile(profileName(5000), site, names, addresses);
    }
}
BENCHMARK(BM_SaveCurrentSite)->Unit(benchmark::kMillisecond)->UseRealTime();

// "Load Saved Site": the dialog's two lists, then the load of one profile.
void BM_LoadSavedSite(benchmark::State& state)
{
    const tolvan::ProfileStore store(base());
    int i = 0;
    for (auto _ : state) {
        const auto names = store.readNames();
        const auto addresses = store.readAddresses();
        benchmark::DoNotOptimize(store.loadProfile(profileName((i += 997) % kProfiles)));
        benchmark::DoNotOptimize(names.size() + addresses.size());
    }
}
BENCHMARK(BM_LoadSavedSite)->Unit(benchmark::kMillisecond)->UseRealTime();

// Delete in the load dialog (the profile is saved back outside the timing).
void BM_DeleteProfile(benchmark::State& state)
{
    const tolvan::ProfileStore store(base());
    const tolvan::SiteProfile site = sampleSite(7000);
    for (auto _ : state) {
        std::vector<std::string> names = store.readNames(), addresses = store.readAddresses();
        store.deleteProfile(profileName(7000), names, addresses);
        state.PauseTiming();
        store.saveProfile(profileName(7000), site, names, addresses);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteProfile)->Unit(benchmark::kMillisecond)->UseRealTime();

// What a run does per site before its requests: the reverse look-up and the load.
void BM_RunSiteLookup(benchmark::State& state)
{
    const tolvan::ProfileStore store(base());
    int i = 0;
    for (auto _ : state) {
        i = (i + 613) % kProfiles;
        const std::string name = store.profileForAddress(address(i));
        benchmark::DoNotOptimize(store.loadProfile(name));
    }
}
BENCHMARK(BM_RunSiteLookup)->Unit(benchmark::kMillisecond)->UseRealTime();

// The stamps of a 1,000-site batch run: one per site as the run queues them,
// then the run's end.
void BM_BatchRunStamps1000(benchmark::State& state)
{
    const tolvan::ProfileStore store(base());
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i)
            store.queueLastRun(profileName(i * 7), "Last Submission: 02/02/2026");
        store.applyPendingStamps();
    }
}
BENCHMARK(BM_BatchRunStamps1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same stamps written one rewrite per site, as runs used to: for comparison.
void BM_BatchRunStamps1000_RewritePerSite(benchmark::State& state)
{
    const tolvan::ProfileStore store(base());
    for (auto _ : state)
        for (int i = 0; i < 1000; ++i)
            store.stampLastRun(profileName(i * 7), "Last Submission: 03/03/2026");
}
BENCHMARK(BM_BatchRunStamps1000_RewritePerSite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    base();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(base());
    return 0;
}
