// The cost of one error.log record during a run: the log kept open by the run
// (one write per record) against the way of opening it for each record
// (existence check, open, write, close).
#include "submit/ErrorLog.h"
#include "util/Files.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string freshBase()
{
    std::string dir = (std::filesystem::temp_directory_path() / "tolvan-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data()))
        std::abort();
    tolvan::ErrorLog(dir).clear();
    return dir;
}

const char* kMessage = "151: 404 Not Found";
const char* kUrl = "http://www.engine.example/";
const char* kAction = "http://www.engine.example/cgi-bin/add.cgi";

void BM_RecordLogKeptOpen(benchmark::State& state)
{
    const std::string base = freshBase();
    const tolvan::ErrorLog log(base);
    for (auto _ : state)
        log.appendFailure(kMessage, "Engine", kUrl, "POST", kAction);
    std::filesystem::remove_all(base);
}
BENCHMARK(BM_RecordLogKeptOpen);

// The same record text, appended with a check and an open and close each time.
void BM_RecordOpenedEachTime(benchmark::State& state)
{
    const std::string base = freshBase();
    const std::string path = base + "/error.log";
    const std::string record = std::string(58, '=') + "\r\nError   : " + kMessage + " Site Name: Engine\r\nURL     : " +
                               kUrl + "\r\nMethod  : POST\r\nAction  : " + kAction + "\r\n";
    for (auto _ : state) {
        if (tolvan::fileExists(path))
            tolvan::appendToFile(path, record);
    }
    std::filesystem::remove_all(base);
}
BENCHMARK(BM_RecordOpenedEachTime);

}  // namespace

BENCHMARK_MAIN();
