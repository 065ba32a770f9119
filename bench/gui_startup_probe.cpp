// Start-up to the first frame of the main window, for bench/startup.sh.
//
// Default: what the window program does with TOLVAN_NO_SPLASH=1 (the Tolvan
// application object, the main window reading its settings and data from the
// current directory, show). --minimal: a plain Qt window with the same menu
// and the same seven tabs, empty. Either way the program ends (without tearing
// anything down) as soon as the window's first frame has been painted, so the
// caller's wall time from spawn to exit is the start-up time.
// --geometries: no timing; shows each page in turn and prints every widget's
// geometry (and the window's size), so two builds' layouts can be compared
// line by line.
#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QTabWidget>
#include <QTextStream>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/ErrorHandler.h"
#include "app/FontConfiguration.h"
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

// One line per widget: its path of object names (or class names), class,
// geometry and whether it is shown.
void printGeometries(QTextStream& out, const QWidget* widget, const QString& path)
{
    const QRect g = widget->geometry();
    out << path << '\t' << widget->metaObject()->className() << '\t' << g.x() << ',' << g.y() << ' ' << g.width()
        << 'x' << g.height() << '\t' << (widget->isVisible() ? "shown" : "hidden") << '\n';
    int unnamed = 0;
    for (const QObject* child : widget->children()) {
        const auto* w = qobject_cast<const QWidget*>(child);
        if (!w || w->isWindow())
            continue;
        const QString name = w->objectName().isEmpty()
                                 ? QString::fromLatin1(w->metaObject()->className()) + QLatin1Char('#') +
                                       QString::number(unnamed++)
                                 : w->objectName();
        printGeometries(out, w, path + QLatin1Char('/') + name);
    }
}

int showEachPage(tolvan::app::MainWindow& window)
{
    window.show();
    QApplication::processEvents();
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    if (!pages)
        return 1;
    QTextStream out(stdout);
    out << "window " << window.width() << 'x' << window.height() << '\n';
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QApplication::processEvents();
        printGeometries(out, pages->widget(i), pages->widget(i)->objectName());
    }
    return 0;
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
    tolvan::app::fontConfiguration::startReading();
    tolvan::app::TolvanApplication app(argc, argv);
    tolvan::app::MainWindow window;
    if (argc > 1 && std::strcmp(argv[1], "--geometries") == 0)
        return showEachPage(window);
    FirstFrame firstFrame(&window);
    app.installEventFilter(&firstFrame);
    window.show();
    return app.exec();
}
