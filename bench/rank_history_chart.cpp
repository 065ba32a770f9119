// How long the Rank Tracker takes to show the chart of a site and phrase with
// 100,000 rank checks in history.db (four engines, one check in nine a gap):
// the window's opening (which reads the history of the selection and builds
// the chart) until the chart is drawn once, and showing the chart again and
// drawing it, each the median of a few runs.
//
// usage: rank_history_chart [--rows N] [--runs N]
#include <QApplication>
#include <QChartView>
#include <QPixmap>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "app/dialogs/RankTrackerWindow.h"
#include "history/HistoryStore.h"
#include "ranking/RankHistory.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int rows = 100000, runs = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0)
            rows = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::atoi(argv[i + 1]);
    }
    QApplication app(argc, argv);
    QTemporaryDir base;
    const std::string dir = base.path().toStdString();
    {
        tolvan::HistoryStore store(dir);
        tolvan::RankHistory history(store);
        const char* engines[] = {"Mojeek", "Bing", "Brave Search", "Marginalia"};
        std::vector<tolvan::RankCheckResult> batch;
        const std::time_t start = 1700000000;
        for (int i = 0; i < rows; ++i) {
            tolvan::RankCheckResult r;
            const std::time_t t = start + (i / 4) * 3600;
            char text[32];
            std::tm tm{};
            gmtime_r(&t, &tm);
            std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
            r.time = text;
            r.site = "https://www.acme.example/";
            r.phrase = "blue widgets";
            r.engine = engines[i % 4];
            const bool gap = i % 9 == 0;
            r.outcome = gap ? tolvan::RankOutcome::NotFound : tolvan::RankOutcome::Found;
            r.place = gap ? 0 : 1 + (i * 7) % 40;
            r.depth = 50;
            r.detail = gap ? "not found in the first 50 results" : "found";
            if (i + 4 >= rows)
                r.competitors = {"https://one.example/", "https://two.example/"};
            batch.push_back(std::move(r));
        }
        if (!history.record(batch)) {
            std::fprintf(stderr, "could not fill the history: %s\n", store.problem().c_str());
            return 1;
        }
    }

    std::vector<double> open, again, read, openCpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        const std::clock_t cpu = std::clock();
        t.start();
        tolvan::app::RankTrackerWindow window(dir);
        const QPixmap drawn = window.chart->grab();
        open.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        openCpu.push_back(static_cast<double>(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
        if (window.chartPoints() + window.chartGaps() != rows) {
            std::fprintf(stderr, "the chart shows %d points and %d gaps, not %d checks\n", window.chartPoints(),
                         window.chartGaps(), rows);
            return 1;
        }
        t.restart();
        {
            tolvan::HistoryStore store(dir, tolvan::HistoryStore::Access::ReadOnly);
            tolvan::RankHistory history(store);
            if (history.series("https://www.acme.example/", "blue widgets").empty())
                return 1;
        }
        read.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        t.restart();
        window.showHistory();
        const QPixmap redrawn = window.chart->grab();
        again.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(open.begin(), open.end());
    std::sort(again.begin(), again.end());
    std::sort(read.begin(), read.end());
    std::sort(openCpu.begin(), openCpu.end());
    std::printf("%d rank checks: opening the window until its chart is drawn, median %.1f ms; showing and drawing "
                "the chart again, median %.1f ms\n",
                rows, open[open.size() / 2], again[again.size() / 2]);
    std::printf("opening: median %.1f ms of processor time (what a machine without other load would take); "
                "reading the series from history.db alone: median %.1f ms\n",
                openCpu[openCpu.size() / 2], read[read.size() / 2]);
    return 0;
}
