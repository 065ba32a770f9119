// Measures the HTTP client against a real server:
//   http_client_bench get URL N        N sequential GET requests, requests per second
//   http_client_bench silent URL SECS  a request to a server that never answers,
//                                      interrupted after SECS: the CPU time spent waiting
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/HttpClient.h"

using namespace tolvan;
using Clock = std::chrono::steady_clock;

namespace {

double cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Interrupts the client once the time is up, as a window timer would.
struct TimerPump : EventPump {
    HttpClient* client = nullptr;
    Clock::time_point due;
    void processEvents() override
    {
        if (client && Clock::now() >= due) {
            client->setAction(httpIdle);
            client = nullptr;
        }
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s get URL N | silent URL SECONDS\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const std::string url = argv[2];
    const int n = std::atoi(argv[3]);
    if (mode == "get") {
        HttpClient client;
        client.setURL(url);
        std::size_t bytes = 0;
        client.OnTransfer = [&](std::int64_t, std::string_view piece) { bytes += piece.size(); };
        const auto start = Clock::now();
        for (int i = 0; i < n; ++i)
            client.setAction(httpGet);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("requests %d seconds %.3f rate %.1f body-bytes %zu\n", n, seconds, n / seconds, bytes);
        return 0;
    }
    if (mode == "silent") {
        TimerPump pump;
        HttpClient client(pump);
        client.setURL(url);
        pump.client = &client;
        pump.due = Clock::now() + std::chrono::seconds(n);
        const double cpu0 = cpuSeconds();
        const auto start = Clock::now();
        client.setAction(httpGet);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = cpuSeconds() - cpu0;
        std::printf("wall %.3f cpu %.4f share %.3f%%\n", wall, cpu, 100.0 * cpu / wall);
        return 0;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
