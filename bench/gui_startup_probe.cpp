// Start-up to the first frame of the main window, for bench/startup.sh.
//
// Default: what the window program does with TOLVAN_NO_SPLASH=1 (the Tolvan
// application object, the main window reading its settings and data from the
// current directory, show). --minimal: a plain Qt window with the same menu
// and the same seven tabs, empty. Either way the program ends (without tearing
// anything down) as soon as the window's first frame has been painted, so the
// caller's wall time from spawn to exit is the start-up time.
#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QTabWidget>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/ErrorHandler.h"
#include "app/MainWindow.h"

namespace {

// Ends the process once the first frame is painted: the paint of the window is
// followed by its children's in the same pass, so the first event after the
// window's paint that is not a paint ends the frame. (Work queued before the
// frame but run after it, such as loading the window icon, does not count.)
class FirstFrame : public QObject {
public:
    explicit FirstFrame(QWidget* window) : window_(window) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!painting_) {
            painting_ = watched == window_ && event->type() == QEvent::Paint;
        } else if (event->type() != QEvent::Paint) {
            std::fflush(stdout);
            ::_exit(0);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* window_;
    bool painting_ = false;
};

std::unique_ptr<QMainWindow> minimalWindow()
{
    auto window = std::make_unique<QMainWindow>();
    window->setWindowTitle(QStringLiteral("Tolvan(tm) 2.31"));
    QMenu* file = window->menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Update Data Files"));
    file->addAction(QStringLiteral("&Import and AutoRun"));
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"));
    QMenu* help = window->menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&Help"));
    help->addSeparator();
    help->addAction(QStringLiteral("&Tolvan Home Page"));
    help->addAction(QStringLiteral("&Quendel Home Page"));
    help->addSeparator();
    help->addAction(QStringLiteral("&About Tolvan"));
    auto* tabs = new QTabWidget;
    for (const char* caption : {"Site Data", "Engines", "Submit", "Page Builder", "Search", "Ranking", "Options"})
        tabs->addTab(new QWidget, QString::fromLatin1(caption));
    window->setCentralWidget(tabs);
    window->resize(780, 560);
    return window;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool minimal = argc > 1 && std::strcmp(argv[1], "--minimal") == 0;
    if (minimal) {
        QApplication app(argc, argv);
        auto window = minimalWindow();
        FirstFrame firstFrame(window.get());
        app.installEventFilter(&firstFrame);
        window->show();
        return app.exec();
    }
    tolvan::app::TolvanApplication app(argc, argv);
    tolvan::app::MainWindow window;
    FirstFrame firstFrame(&window);
    app.installEventFilter(&firstFrame);
    window.show();
    return app.exec();
}
