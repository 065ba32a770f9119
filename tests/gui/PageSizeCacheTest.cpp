// The kept size of the main window's pages: the file's rules, what the key
// follows, and a window started with a kept size laid out as one that measured.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "GuiTestSupport.h"
#include "ShellTestSupport.h"
#include "app/MainWindow.h"
#include "app/PageSizeCache.h"

using tolvan::app::MainWindow;
using tolvan::app::PageSizeCache;
using tolvan::test::GuiWorkspace;
using tolvan::test::MessageBoxCatcher;
using tolvan::test::TempDir;

namespace {

QString fileIn(const TempDir& dir, const char* name) { return QString::fromStdString(dir.file(name)); }

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A page control like the window's: two pages with the kinds of widget whose
// text decides their size.
struct SmallPages {
    QTabWidget tabs;
    QLabel* label;
    QPushButton* button;
    QComboBox* combo;
    QGroupBox* group;
    SmallPages()
    {
        auto* first = new QWidget;
        auto* layout = new QVBoxLayout(first);
        label = new QLabel(QStringLiteral("Site Title:"));
        button = new QPushButton(QStringLiteral("Clear All Fields"));
        combo = new QComboBox;
        combo->addItems({QStringLiteral("5"), QStringLiteral("10")});
        group = new QGroupBox(QStringLiteral("Reports"));
        for (QWidget* w : std::initializer_list<QWidget*> {label, button, combo, group})
            layout->addWidget(w);
        tabs.addTab(first, QStringLiteral("Site Data"));
        tabs.addTab(new QWidget, QStringLiteral("Options"));
        tabs.ensurePolished();
    }
    QString key() const { return PageSizeCache::keyFor(tabs); }
};

// Every widget of a page with its geometry, one line each.
void describe(const QWidget* widget, const QString& path, QStringList& lines)
{
    const QRect g = widget->geometry();
    lines << QStringLiteral("%1 %2 %3,%4 %5x%6")
                 .arg(path, QString::fromLatin1(widget->metaObject()->className()))
                 .arg(g.x())
                 .arg(g.y())
                 .arg(g.width())
                 .arg(g.height());
    int child = 0;
    for (const QObject* object : widget->children()) {
        if (const auto* w = qobject_cast<const QWidget*>(object); w && !w->isWindow())
            describe(w, path + QLatin1Char('/') + QString::number(child++), lines);
    }
}

// Shows the window and each of its pages in turn; returns the window's size
// and every page's geometries.
QStringList layoutOfEveryPage(MainWindow& window)
{
    window.show();
    QApplication::processEvents();
    auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    QStringList lines {QStringLiteral("window %1x%2").arg(window.width()).arg(window.height())};
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QApplication::processEvents();
        describe(pages->widget(i), pages->widget(i)->objectName(), lines);
    }
    return lines;
}

}  // namespace

TEST(PageSizeCache, KeepsTheSixteenNewestAndSkipsDamagedLines)
{
    TempDir dir;
    const PageSizeCache cache(fileIn(dir, "cache/tolvan/page-sizes"));
    EXPECT_FALSE(cache.find(QStringLiteral("k0")));  // no file yet
    for (int i = 0; i < 20; ++i)
        cache.keep(QStringLiteral("k%1").arg(i), QSize(600 + i, 400 + i));
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(cache.find(QStringLiteral("k%1").arg(i))) << i;
    for (int i = 4; i < 20; ++i)
        EXPECT_EQ(cache.find(QStringLiteral("k%1").arg(i)), QSize(600 + i, 400 + i)) << i;

    // Keeping a key again replaces its size and makes it the newest.
    cache.keep(QStringLiteral("k4"), QSize(700, 500));
    const QByteArray kept = readAll(fileIn(dir, "cache/tolvan/page-sizes"));
    EXPECT_TRUE(kept.startsWith("k4 700 500\nk19 619 419\n"));
    EXPECT_EQ(kept.count('\n'), 16);
    EXPECT_EQ(kept.count("k4 "), 1);

    // Lines that are not "key width height" with positive sizes are passed over
    // (a line end of CR LF is read as LF).
    writeAll(fileIn(dir, "cache/tolvan/page-sizes"),
             "half\nk1 0 300\nk2 wide 300\nk3 600 400 extra\n\nk5 601 499\r\nk6 602 410\n");
    EXPECT_FALSE(cache.find(QStringLiteral("half")));
    EXPECT_FALSE(cache.find(QStringLiteral("k1")));
    EXPECT_FALSE(cache.find(QStringLiteral("k2")));
    EXPECT_FALSE(cache.find(QStringLiteral("k3")));
    EXPECT_EQ(cache.find(QStringLiteral("k5")), QSize(601, 499));
    EXPECT_EQ(cache.find(QStringLiteral("k6")), QSize(602, 410));

    // A cache that cannot be written is no error, and holds nothing.
    writeAll(fileIn(dir, "plain"), "a file where a directory should be");
    const PageSizeCache unwritable(fileIn(dir, "plain/tolvan/page-sizes"));
    unwritable.keep(QStringLiteral("k"), QSize(601, 410));
    EXPECT_FALSE(unwritable.find(QStringLiteral("k")));
}

TEST(PageSizeCache, KeyFollowsEverythingThePagesAreMeasuredBy)
{
    SmallPages base;
    SmallPages same;
    EXPECT_EQ(base.key(), same.key());
    EXPECT_EQ(base.key().size(), 64);

    const std::pair<const char*, std::function<void(SmallPages&)>> changes[] = {
        {"caption", [](SmallPages& p) { p.label->setText(QStringLiteral("Site Title (short):")); }},
        {"button", [](SmallPages& p) { p.button->setText(QStringLiteral("Clear")); }},
        {"list entry", [](SmallPages& p) { p.combo->addItem(QStringLiteral("120")); }},
        {"group title", [](SmallPages& p) { p.group->setTitle(QStringLiteral("Reports and mail")); }},
        {"tab caption", [](SmallPages& p) { p.tabs.setTabText(1, QStringLiteral("Settings")); }},
        {"hidden", [](SmallPages& p) { p.button->hide(); }},
        {"size limit", [](SmallPages& p) { p.combo->setMinimumWidth(90); }},
        {"size policy", [](SmallPages& p) { p.label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed); }},
        {"own font", [](SmallPages& p) { p.label->setFont(QFont(p.label->font().family(), 15)); }},
        {"word wrap", [](SmallPages& p) { p.label->setWordWrap(true); }},
    };
    for (const auto& [what, change] : changes) {
        SmallPages changed;
        change(changed);
        EXPECT_NE(changed.key(), base.key()) << what;
    }

    const QFont font = QApplication::font();
    QApplication::setFont(QFont(font.family(), font.pointSize() + 3));
    const QString biggerFont = SmallPages().key();
    QApplication::setFont(font);
    EXPECT_NE(biggerFont, base.key());
}

TEST(MainWindowPageSize, AKeptSizeIsUsedAndThePagesLayOutAsWhenMeasured)
{
    TempDir cacheHome;
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cacheHome.path()));
    const QString file = fileIn(cacheHome, "tolvan/page-sizes");
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    MessageBoxCatcher boxes;

    // Nothing kept: the pages are measured, and the size is kept once the
    // window is up.
    QStringList measured;
    QSize need;
    {
        MainWindow window;
        need = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->size();
        EXPECT_FALSE(QFile::exists(file));
        measured = layoutOfEveryPage(window);
        window.close();
    }
    const QByteArray kept = readAll(file);
    ASSERT_EQ(kept.count('\n'), 1);
    EXPECT_TRUE(kept.endsWith(QStringLiteral(" %1 %2\n").arg(need.width()).arg(need.height()).toLatin1()));

    // Kept: the same window size and, page by page, the same layout.
    {
        MainWindow window;
        EXPECT_EQ(layoutOfEveryPage(window), measured);
        window.close();
    }
    EXPECT_EQ(readAll(file), kept);

    // The kept size is what the window takes (a changed one shows it).
    QByteArray edited = kept;
    edited.replace(QStringLiteral(" %1 %2\n").arg(need.width()).arg(need.height()).toLatin1(),
                   QStringLiteral(" %1 %2\n").arg(need.width() + 40).arg(need.height() + 30).toLatin1());
    writeAll(file, edited);
    {
        MainWindow window;
        EXPECT_EQ(window.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->size(),
                  need + QSize(40, 30));
        window.close();
    }
    qunsetenv("XDG_CACHE_HOME");
}
