// What a long result page costs the Ranking page: a 5 MB page on one line,
// served by a loopback server, checked by the rank checker alone (a view that
// shows nothing) and by the Ranking page itself, offscreen. Prints the median
// time of a run each way, their ratio, and the longest the window's event loop
// was kept waiting during the page runs (a 5 ms timer's worst lateness).
//
// usage: rank_window_cost [--runs N] [--megabytes M]
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/RankingController.h"
#include "app/pages/RankingPage.h"
#include "widgets/DropDownComboBox.h"
#include "ranking/RankRun.h"

namespace {

// Answers every connection with the same page, then closes it.
class PageServer {
public:
    explicit PageServer(std::string page) : answer_("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + page)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 16) != 0)
            std::abort();
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] {
            for (;;) {
                const int c = ::accept(fd_, nullptr, nullptr);
                if (c < 0 || stop_)
                    break;
                char buffer[4096];
                (void)::recv(c, buffer, sizeof buffer, 0);
                std::size_t sent = 0;
                while (sent < answer_.size()) {
                    const ssize_t n = ::send(c, answer_.data() + sent, answer_.size() - sent, MSG_NOSIGNAL);
                    if (n <= 0)
                        break;
                    sent += static_cast<std::size_t>(n);
                }
                ::close(c);
            }
        });
    }
    ~PageServer()
    {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }
    int port() const { return port_; }

private:
    std::string answer_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class NullView final : public tolvan::RankView {
public:
    std::string phrase() override { return "widgets"; }
    void setPhrase(const std::string&) override {}
    bool engineSelected(tolvan::RankEngine e) override { return e == tolvan::RankEngine::Lycos; }
    void setLamp(tolvan::RankEngine, bool) override {}
    void setCaption(tolvan::RankEngine, const std::string&) override {}
    void setPosition(tolvan::RankEngine, int) override {}
    void setRankBuffer(std::string_view) override {}
    void showMessage(const std::string&) override {}
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int runs = 5;
    int megabytes = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--megabytes") == 0)
            megabytes = std::atoi(argv[i + 1]);
    }
    QApplication app(argc, argv);

    // One line: results separated by blanks, the site near the end.
    std::string page;
    const std::size_t bytes = static_cast<std::size_t>(megabytes) << 20;
    for (int i = 0; page.size() < bytes; ++i)
        page += "<b>" + std::to_string(i) + "%] <a href=http://www.other" + std::to_string(i) + ".example/ x>R</a> ";
    page += "<b>9%] <a href=http://www.acme.example/ x>Acme</a>";
    PageServer server(page);

    QTemporaryDir base;
    QDir(base.path()).mkpath("data");
    std::ofstream(base.filePath("data/hosts.tlx").toStdString())
        << "[Rank]\r\nLycos=127.0.0.1:" << server.port() << "\r\n";
    const std::string baseDir = base.path().toStdString();

    std::vector<double> core, window;
    for (int i = 0; i < runs; ++i) {
        NullView view;
        tolvan::RankRun run(baseDir, view);
        QElapsedTimer t;
        t.start();
        run.run({"www.acme.example", "widgets", "50", ""});
        core.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }

    tolvan::app::RankingPage rankingPage;
    rankingPage.setBaseDir(base.path());
    tolvan::app::RankingController controller(&rankingPage);
    rankingPage.sitetorankedit->setEditText(QStringLiteral("www.acme.example"));
    rankingPage.keyphraseedit->setText(QStringLiteral("widgets"));
    rankingPage.depthedit->setEditText(QStringLiteral("50"));
    rankingPage.lycb->setChecked(true);
    rankingPage.show();
    app.processEvents();

    qint64 worst = 0;
    QElapsedTimer tick;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (tick.isValid())
            worst = std::max(worst, tick.elapsed() - 5);
        tick.start();
    });
    probe.start();
    for (int i = 0; i < runs; ++i) {
        tick.invalidate();
        QElapsedTimer t;
        t.start();
        rankingPage.rankbtn->click();
        window.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    probe.stop();

    const double c = median(core), w = median(window);
    std::printf("page: %d MB on one line, %d runs each\n", megabytes, runs);
    std::printf("rank checker alone: median %.1f ms\n", c);
    std::printf("Ranking page:       median %.1f ms (%.2fx the checker's)\n", w, w / c);
    std::printf("longest wait of the window's event loop during the page runs: %lld ms\n",
                static_cast<long long>(worst));
    return 0;
}
