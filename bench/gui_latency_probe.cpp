// How late the window's events are handled while a submission run goes.
//
// The real main window is created offscreen in a throwaway base directory (a
// copy of the shipped data/ plus a few engines on a slow local server), then
// Submit! is clicked programmatically and every message box is answered. While
// the run goes, two probes measure:
//   - a 10 ms timer: the lateness of each tick (interval minus 10 ms);
//   - events posted from another thread every 10 ms: the delay until the
//     window's thread handles each one.
// Prints max, p99 and median of both.
//
// usage: gui_latency_probe [--engines N] [--delay-ms D] [--silent K] [--timeout S] [--attach-controller]
//   N engines answer after D ms each (default 20, 200 ms); K more never answer
//   and time out after S seconds (default 1, 5). --attach-controller connects a
//   SubmitController itself when the window has none (for a window that does
//   not wire Submit! yet); without it such a window is reported and skipped.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/ErrorHandler.h"
#include "app/MainWindow.h"
#include "app/SubmitController.h"
#include "app/pages/EnginesPage.h"
#include "app/pages/SubmitPage.h"
#include "widgets/BlinkLabel.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    int engines = 20;
    int delayMs = 200;
    int silent = 1;
    int timeoutSeconds = 5;
    bool attachController = false;
};

// A local HTTP server on its own thread: paths under /slow are answered 200
// after the delay, anything else is read and never answered.
class SlowServer {
public:
    explicit SlowServer(int delayMs) : delayMs_(delayMs)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0
            || ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            throw std::runtime_error(std::string("cannot listen on 127.0.0.1: ") + std::strerror(errno));
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~SlowServer()
    {
        stop_ = true;
        thread_.join();
        for (int fd : held_)
            ::close(fd);
        ::close(listener_);
    }
    int port() const { return port_; }
    int answered() const { return answered_; }

private:
    void serve()
    {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0)
                continue;
            const std::string request = readRequest(fd);
            if (request.rfind("POST /slow", 0) == 0 || request.rfind("GET /slow", 0) == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_));
                const char reply[] = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html>Thank you</html>\n";
                [[maybe_unused]] const auto sent = ::send(fd, reply, sizeof reply - 1, MSG_NOSIGNAL);
                ::close(fd);
                ++answered_;
            } else {
                held_.push_back(fd);  // silent: the client gives up
            }
        }
    }

    static std::string readRequest(int fd)
    {
        std::string data;
        char buf[4096];
        std::size_t want = std::string::npos;
        while (data.size() < want) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                break;
            const auto n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            data.append(buf, static_cast<std::size_t>(n));
            const auto head = data.find("\r\n\r\n");
            if (head != std::string::npos && want == std::string::npos) {
                std::size_t length = 0;
                const auto at = data.find("Content-Length:");
                if (at != std::string::npos && at < head)
                    length = std::strtoul(data.c_str() + at + 15, nullptr, 10);
                want = head + 4 + length;
            }
        }
        return data;
    }

    int delayMs_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    std::vector<int> held_;
    std::thread thread_;
};

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::string definition(int port, const std::string& path)
{
    return "[Fields]\r\nURL=url\r\nTITLE=title\r\nEMAIL=email\r\nDESC=desc\r\nKEYWORDS=keywords\r\ncategory=cat\r\n"
           "[Categories]\r\n41=software\r\n[ExtraFields]\r\nextrafields=1\r\nExtra1=lang,en\r\n"
           "[SITE]\r\nACTION=http://127.0.0.1:" + std::to_string(port) + path + "\r\nMETHOD=POST\r\n"
           "URL=http://engine.example/\r\n";
}

// The base directory: the shipped data, the probe's engines, one saved site
// profile found through the reverse address index; the settings of a start
// that is not the first.
QStringList prepare(const fs::path& base, const fs::path& config, const Options& o, int port)
{
    fs::copy(fs::path(TOLVAN_SOURCE_DIR) / "data", base / "data", fs::copy_options::recursive);
    fs::create_directories(base / "sites");
    QStringList engines;
    for (int i = 1; i <= o.engines + o.silent; ++i) {
        char name[32];
        const bool silent = i > o.engines;
        std::snprintf(name, sizeof name, "%s %03d", silent ? "Probe Silent" : "Probe Slow", i);
        writeFile(base / "data" / (std::string(name) + ".tlx"), definition(port, silent ? "/silent" : "/slow"));
        engines << QString::fromLatin1(name);
    }
    writeFile(base / "sites/tlxprofiles.tlx",
              "[Probe Site]\r\nFORWARD=http://\r\nURL=www.probe.example/\r\nTITLE=Probe Site\r\n"
              "desc=A site for the probe. \r\nCATEGORY=Computer => Software\r\nKEY1=probe\r\n"
              "NAME=Pat Example\r\nemail=pat@probe.example\r\n");
    writeFile(base / "sites/tlxplist.tlx", "Probe Site\r\n");
    writeFile(base / "sites/tlxurls.tlx", "http://www.probe.example/\r\n");
    writeFile(base / "sites/tlxurlsrev.tlx", "[http://www.probe.example/]\r\nprofile=Probe Site\r\n");
    fs::create_directories(config / "Brindle");
    writeFile(config / "Brindle/Tolvan.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Brindle\\Tolvan\\init]\r\n"
              "\"FirstTime\"=\"0\"\r\n\"HTTPTimeOut\"=\"" + std::to_string(o.timeoutSeconds) + "\"\r\n");
    return engines;
}

struct Summary {
    std::size_t count = 0;
    double median = 0, p99 = 0, max = 0;
};

Summary summarise(std::vector<double> ms)
{
    Summary s;
    s.count = ms.size();
    if (ms.empty())
        return s;
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * static_cast<double>(ms.size())))]; };
    s.median = at(0.5);
    s.p99 = at(0.99);
    s.max = ms.back();
    return s;
}

// Posted from the probe thread; carries its posting time.
class StampEvent : public QEvent {
public:
    static QEvent::Type kind() { static const int t = QEvent::registerEventType(); return static_cast<QEvent::Type>(t); }
    explicit StampEvent(qint64 postedNs) : QEvent(kind()), postedNs(postedNs) {}
    qint64 postedNs;
};

class StampReceiver : public QObject {
public:
    StampReceiver(const QElapsedTimer& clock, const bool& measuring, std::vector<double>& delays)
        : clock_(clock), measuring_(measuring), delays_(delays)
    {
    }
    bool event(QEvent* e) override
    {
        if (e->type() != StampEvent::kind())
            return QObject::event(e);
        if (measuring_)
            delays_.push_back(static_cast<double>(clock_.nsecsElapsed() - static_cast<StampEvent*>(e)->postedNs) / 1e6);
        return true;
    }

private:
    const QElapsedTimer& clock_;
    const bool& measuring_;
    std::vector<double>& delays_;
};

int usage()
{
    std::fprintf(stderr, "usage: gui_latency_probe [--engines N] [--delay-ms D] [--silent K] [--timeout S] "
                         "[--attach-controller]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto number = [&](int& to) {
            if (i + 1 >= argc)
                return false;
            to = std::atoi(argv[++i]);
            return true;
        };
        bool ok = true;
        if (arg == "--engines")
            ok = number(o.engines);
        else if (arg == "--delay-ms")
            ok = number(o.delayMs);
        else if (arg == "--silent")
            ok = number(o.silent);
        else if (arg == "--timeout")
            ok = number(o.timeoutSeconds);
        else if (arg == "--attach-controller")
            o.attachController = true;
        else
            ok = false;
        if (!ok)
            return usage();
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir baseDir, configDir;
    if (!baseDir.isValid() || !configDir.isValid()) {
        std::fprintf(stderr, "cannot make temporary directories\n");
        return 1;
    }
    SlowServer server(o.delayMs);
    const fs::path base = baseDir.path().toStdString();
    const QStringList engines = prepare(base, configDir.path().toStdString(), o, server.port());
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    qputenv("TOLVAN_NO_SPLASH", "1");
    fs::current_path(base);

    tolvan::app::TolvanApplication app(argc, argv);

    // Every message box is answered with its default button; the texts are kept.
    QStringList messages;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&messages] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            messages << box->text();
            if (QAbstractButton* b = box->defaultButton())
                b->click();
            else
                box->accept();
        }
    });
    answerer.start(20);

    tolvan::app::MainWindow window;
    window.show();
    QApplication::processEvents();

    bool attached = false;
    if (!window.findChild<tolvan::app::SubmitController*>()) {
        if (!o.attachController) {
            std::printf("Submit! is not wired to a submission run in this window: nothing measured.\n");
            return 3;
        }
        new tolvan::app::SubmitController(&window);
        attached = true;
    }
    const auto* controller = window.findChild<tolvan::app::SubmitController*>();

    window.TabSheet3->setSitesToSubmit({QStringLiteral("http://www.probe.example/")});
    window.TabSheet2->setEnginesToSubmit(engines);
    window.PageControl1->setCurrentWidget(window.TabSheet3);
    QApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    bool measuring = false;
    std::vector<double> timerLateness, postedDelays;

    constexpr qint64 kIntervalNs = 10'000'000;
    qint64 lastTick = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (measuring && lastTick > 0)
            timerLateness.push_back(static_cast<double>(std::max<qint64>(0, now - lastTick - kIntervalNs)) / 1e6);
        lastTick = now;
    });
    ticker.start(10);

    StampReceiver receiver(clock, measuring, postedDelays);
    std::atomic<bool> posting{true};
    std::thread poster([&] {
        while (posting) {
            QCoreApplication::postEvent(&receiver, new StampEvent(clock.nsecsElapsed()));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });

    qint64 runNs = 0;
    QTimer::singleShot(50, [&] {
        const qint64 start = clock.nsecsElapsed();
        measuring = true;
        window.TabSheet3->BitBtn1->click();  // returns when the run is over
        measuring = false;
        runNs = clock.nsecsElapsed() - start;
        QApplication::quit();
    });
    app.exec();
    posting = false;
    poster.join();
    ticker.stop();
    answerer.stop();

    const auto& run = controller->run();
    const Summary t = summarise(timerLateness);
    const Summary e = summarise(postedDelays);
    if (attached)
        std::printf("note: the window had no SubmitController; the probe attached one to Submit!\n");
    std::printf("run: %d engines answering after %d ms, %d silent with a %d s time-out; %.2f s; "
                "%zu succeeded, %zu failed; server answered %d; status \"%s\"\n",
                o.engines, o.delayMs, o.silent, o.timeoutSeconds, static_cast<double>(runNs) / 1e9,
                run.successList.size(), run.failedList.size(), server.answered(),
                window.TabSheet3->statusl->text().toStdString().c_str());
    std::printf("messages: %s\n", messages.join(QStringLiteral(" | ")).toStdString().c_str());
    std::printf("10 ms timer lateness: %zu ticks, median %.2f ms, p99 %.2f ms, max %.2f ms\n", t.count, t.median,
                t.p99, t.max);
    std::printf("posted event delay:   %zu events, median %.2f ms, p99 %.2f ms, max %.2f ms (goal under 50 ms)\n",
                e.count, e.median, e.p99, e.max);
    const bool complete = run.successList.size() == static_cast<std::size_t>(o.engines)
        && run.failedList.size() == static_cast<std::size_t>(o.silent);
    if (!complete)
        std::printf("the run did not end as expected: the figures may not cover a whole run\n");
    return complete ? 0 : 1;
}
