#include <QDir>
#include <QTabWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/AboutDialog.h"
#include "app/ErrorHandler.h"
#include "app/FontConfiguration.h"
#include "app/MainWindow.h"
#include "app/SplashWindow.h"
#include "app/TerminationSignals.h"
#include "util/Files.h"

namespace {

// Pictures of every page for the documentation, then the window closes as
// File, Exit would.
int saveScreenshots(tolvan::app::MainWindow& window, const QString& directory)
{
    QDir().mkpath(directory);
    const char* names[] = {"site-data", "engines", "submit", "page-builder", "search", "ranking", "options"};
    int failures = 0;
    for (int i = 0; i < window.PageControl1->count(); ++i) {
        window.PageControl1->setCurrentIndex(i);
        QApplication::processEvents();
        const QString file = QStringLiteral("%1/%2-%3.png").arg(directory).arg(i + 1).arg(QLatin1String(names[i]));
        if (!window.grab().save(file)) {
            std::fprintf(stderr, "tolvan: cannot write %s\n", file.toLocal8Bit().constData());
            ++failures;
        }
    }
    window.PageControl1->setCurrentIndex(0);
    tolvan::app::SplashWindow splash;
    tolvan::app::AboutDialog about(window.makerWeb(), &window);
    about.show();
    QApplication::processEvents();
    const std::pair<QWidget*, const char*> extras[] = {{&splash, "splash"}, {&about, "about"}};
    for (auto [widget, name] : extras) {
        const QString file = QStringLiteral("%1/%2.png").arg(directory, QLatin1String(name));
        if (!widget->grab().save(file))
            ++failures;
    }
    about.close();
    window.close();
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    tolvan::ignoreFileSizeSignal();
    // --help and --version answer before Qt looks for a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Tolvan %s\n", TOLVAN_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("Usage: tolvan [--help] [--version] [--screenshots DIR] [Qt options]\n"
                        "       tolvan submit [options]   (see tolvan submit --help)\n"
                        "Starts Tolvan in the current directory, which holds data/ and sites/.\n"
                        "Settings live in $XDG_CONFIG_HOME/Brindle/Tolvan.reg.\n"
                        "  --screenshots DIR  save a picture of each page into DIR and exit\n"
                        "Environment: TOLVAN_NO_SPLASH=1 skips the start-up splash window.\n");
            return 0;
        }
    }

    tolvan::app::fontConfiguration::startReading();  // while Qt starts
    tolvan::app::TolvanApplication app(argc, argv);
    // Qt has taken its own options (-platform, -style, ...) out of argv.
    const char* screenshotDir = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshots") == 0 && i + 1 < argc) {
            screenshotDir = argv[++i];
            continue;
        }
        std::fprintf(stderr, "tolvan: unknown option %s (try --help)\n", argv[i]);
        return 2;
    }
    tolvan::app::TerminationSignals termination;

    const bool splashWanted = qEnvironmentVariableIntValue("TOLVAN_NO_SPLASH") == 0 && !screenshotDir;
    std::unique_ptr<tolvan::app::SplashWindow> splash;
    if (splashWanted) {
        splash = std::make_unique<tolvan::app::SplashWindow>();
        splash->show();
        splash->repaint();
        QApplication::processEvents();
    }

    // A signal during start-up ends any message box at once; the window then
    // closes as soon as it exists.
    tolvan::app::MainWindow* window = nullptr;
    QObject::connect(&termination, &tolvan::app::TerminationSignals::received, &app, [&window] {
        if (window && window->isVisible())
            window->requestTermination();
        else
            tolvan::app::closeModalWindows();
    });

    tolvan::app::MainWindow mainWindow;
    window = &mainWindow;
    QObject::connect(&mainWindow, &tolvan::app::MainWindow::closed, &app, &QApplication::quit);

    // The splash stays up at least its 1800 ms.
    while (splash && splash->showing() && !tolvan::app::TerminationSignals::requested())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    splash.reset();

    if (tolvan::app::TerminationSignals::requested()) {
        mainWindow.close();  // the shutdown writes, without ever showing the window
        return 0;
    }
    mainWindow.show();
    if (screenshotDir)
        return saveScreenshots(mainWindow, QString::fromLocal8Bit(screenshotDir));
    return app.exec();
}
