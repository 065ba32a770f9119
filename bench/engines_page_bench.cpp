// The Engines page with a big catalogue: how long each action keeps the window
// busy, from the click until every event it caused (layouts, paints) has been
// handled, and the longest the window's thread was blocked meanwhile.
//
// The real main window is created offscreen in a throwaway base directory that
// holds the shipped data plus N extra engine names in data/sites.tlx (default
// 5,000) and a saved engine list of all of them. Then, ROUNDS times: enter the
// Engines page, select every available engine and Move Selected, Clear All,
// Load the saved list (the dialog answered by a timer), Select All (which shows
// the Submit page), and back to the Site Data page. A minimal Qt window with a
// list of the same names is measured the same way as the peer: filling its list
// and showing its page.
//
// usage: engines_page_bench [--engines N] [--rounds R]
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/ErrorHandler.h"
#include "app/MainWindow.h"
#include "app/dialogs/EngineListDialogs.h"
#include "app/dialogs/SimpleComboBox.h"
#include "app/pages/EnginesPage.h"
#include "app/pages/SiteDataPage.h"
#include "app/pages/SubmitPage.h"

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& bytes, bool append = false)
{
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

// Names of varied length, as a real catalogue has them.
std::vector<std::string> engineNames(int count)
{
    static const char* const words[] = {"Search", "Directory", "Links", "Web", "Guide", "Index", "Portal", "Net",
                                        "Finder", "Catalogue", "Europe", "Local", "Business", "Free"};
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        std::string name = "Bench";
        for (int w = 0; w <= i % 4; ++w)
            name += std::string(" ") + words[(i * 7 + w * 3) % 14];
        name += " " + std::to_string(i + 1);
        names.push_back(name);
    }
    return names;
}

// Runs the event loop until it has nothing left to do.
void drain()
{
    for (int idle = 0; idle < 3;) {
        QElapsedTimer t;
        t.start();
        QApplication::sendPostedEvents();
        QApplication::processEvents(QEventLoop::AllEvents);
        idle = t.nsecsElapsed() < 300'000 ? idle + 1 : 0;
    }
}

double timed(const std::function<void()>& action)
{
    QElapsedTimer t;
    t.start();
    action();
    drain();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// Events posted from another thread every 5 ms: how long the window's thread
// took to get to each one is how long it was blocked.
class BlockProbe : public QObject {
public:
    explicit BlockProbe(const QElapsedTimer& clock) : clock_(clock)
    {
        thread_ = std::thread([this] {
            while (running_) {
                QCoreApplication::postEvent(this, new Stamp(clock_.nsecsElapsed()));
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~BlockProbe() override { stop(); }
    void stop()
    {
        running_ = false;
        if (thread_.joinable())
            thread_.join();
    }
    double takeMaxMs()
    {
        drain();
        const double m = maxMs_;
        maxMs_ = 0;
        return m;
    }
    bool event(QEvent* e) override
    {
        if (e->type() != Stamp::kind())
            return QObject::event(e);
        maxMs_ = std::max(maxMs_, static_cast<double>(clock_.nsecsElapsed() - static_cast<Stamp*>(e)->posted) / 1e6);
        return true;
    }

private:
    struct Stamp : QEvent {
        static Type kind()
        {
            static const int t = registerEventType();
            return static_cast<Type>(t);
        }
        explicit Stamp(qint64 posted) : QEvent(kind()), posted(posted) {}
        qint64 posted;
    };
    const QElapsedTimer& clock_;
    std::atomic<bool> running_{true};
    double maxMs_ = 0;
    std::thread thread_;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    int count = 5000;
    int rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--engines")
            count = std::atoi(argv[i + 1]);
        else if (arg == "--rounds")
            rounds = std::atoi(argv[i + 1]);
        else {
            std::fprintf(stderr, "usage: engines_page_bench [--engines N] [--rounds R]\n");
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir baseDir, configDir;
    if (!baseDir.isValid() || !configDir.isValid())
        return 1;
    const fs::path base = baseDir.path().toStdString();
    fs::copy(fs::path(TOLVAN_SOURCE_DIR) / "data", base / "data", fs::copy_options::recursive);
    fs::create_directories(base / "sites");
    std::string lines;
    for (const auto& name : engineNames(count))
        lines += name + "\r\n";
    writeFile(base / "data/sites.tlx", lines, true);
    writeFile(base / "sites/big.tlx", lines);
    writeFile(base / "sites/englist.tlx", "big\r\n");
    const fs::path config = configDir.path().toStdString();
    fs::create_directories(config / "Brindle");
    writeFile(config / "Brindle/Tolvan.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                                             "[HKEY_CURRENT_USER\\Software\\Brindle\\Tolvan\\init]\r\n"
                                             "\"FirstTime\"=\"0\"\r\n");
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    qputenv("TOLVAN_NO_SPLASH", "1");
    fs::current_path(base);

    tolvan::app::TolvanApplication app(argc, argv);
    QElapsedTimer clock;
    clock.start();

    // Message boxes and the load dialog are answered as a user would.
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* load = qobject_cast<tolvan::app::Tloadeng*>(modal)) {
            load->loadlist->setText(QStringLiteral("big"));
            load->BitBtn1->click();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            std::printf("message: %s\n", box->text().toStdString().c_str());
            box->defaultButton() ? box->defaultButton()->click() : box->accept();
        }
    });
    answerer.start(5);

    tolvan::app::MainWindow window;
    window.resize(900, 650);
    window.show();
    drain();
    auto* engines = window.TabSheet2;
    auto* submit = window.TabSheet3;
    const int available = engines->ListBox1->count();

    BlockProbe probe(clock);
    std::map<std::string, std::vector<double>> times, blocks;
    auto measure = [&](const char* name, const std::function<void()>& action) {
        probe.takeMaxMs();
        times[name].push_back(timed(action));
        blocks[name].push_back(probe.takeMaxMs());
    };
    for (int r = 0; r < rounds; ++r) {
        measure("enter Engines page", [&] { window.PageControl1->setCurrentWidget(engines); });
        engines->ListBox1->selectAll();
        drain();
        measure("Move Selected (all)", [&] { engines->Button1->click(); });
        measure("Clear All", [&] { engines->Button3->click(); });
        measure("load engine list", [&] { engines->TransparentButton3->click(); });
        measure("Select All", [&] { engines->Button2->click(); });
        measure("enter Site Data page", [&] { window.PageControl1->setCurrentWidget(window.TabSheet1); });
        engines->ListBox1->clearSelection();
        engines->Button3->click();
        drain();
    }
    const bool listsRight = engines->ListBox2->count() == 0 && submit->ListBox3->count() == 0;

    // The peer: a minimal window with one tab holding a plain list of the same names.
    QTabWidget peer;
    peer.resize(900, 650);
    auto* first = new QWidget;
    auto* list = new QListWidget;
    peer.addTab(first, QStringLiteral("One"));
    peer.addTab(list, QStringLiteral("Two"));
    peer.show();
    drain();
    QStringList names;
    for (int i = 0; i < engines->ListBox1->count(); ++i)
        names << engines->ListBox1->item(i)->text();
    for (int r = 0; r < rounds; ++r) {
        measure("peer: fill a list", [&] {
            list->clear();
            list->addItems(names);
        });
        measure("peer: show its page", [&] { peer.setCurrentWidget(list); });
        peer.setCurrentWidget(first);
        drain();
    }
    probe.stop();

    std::printf("%d engines available; %d rounds; median time from the action to an idle window "
                "(longest block of the window's thread)\n",
                available, rounds);
    for (const auto& [name, v] : times)
        std::printf("  %-24s %7.1f ms  (block %6.1f ms, worst round %6.1f ms)\n", name.c_str(), median(v),
                    median(blocks[name]), *std::max_element(v.begin(), v.end()));
    if (!listsRight) {
        std::printf("the lists were not left as expected\n");
        return 1;
    }
    return 0;
}
