// The main window against a throwaway base directory and settings home:
// start-up messages and data files, page changes, the menu, shutdown writes
// and termination signals.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "GuiTestSupport.h"
#include "ShellTestSupport.h"
#include "app/AboutDialog.h"
#include "app/MainWindow.h"
#include "app/SplashWindow.h"
#include "app/TerminationSignals.h"
#include "app/dialogs/SignupDialog.h"
#include "app/pages/EnginesPage.h"
#include "app/pages/OptionsPage.h"
#include "app/pages/PageBuilderPage.h"
#include "app/pages/SearchPage.h"
#include "app/pages/SiteDataPage.h"
#include "app/pages/SubmitPage.h"
#include "widgets/LedNumber.h"

namespace fs = std::filesystem;
using tolvan::app::MainWindow;
using tolvan::test::GuiWorkspace;
using tolvan::test::MessageBoxCatcher;

namespace {

const QString kOutdated = QStringLiteral(
    "You are running an outdated version of Tolvan.  Please visit Quendel at http://www.quendel.example/ "
    "to get version %1.  This message will display only once.");

std::unique_ptr<MainWindow> start() { return std::make_unique<MainWindow>(); }

int lineCount(const std::string& bytes)
{
    int n = 0;
    for (char c : bytes)
        n += c == '\n';
    return n;
}

// Processes events until the condition holds or two seconds pass.
template <typename F>
bool waitFor(F condition)
{
    for (int i = 0; i < 200 && !condition(); ++i)
        QTest::qWait(10);
    return condition();
}

}  // namespace

TEST(MainWindowStartup, FirstStartShowsTheSignUpAndFillsThePages)
{
    GuiWorkspace ws;  // no settings file yet: the first start
    MessageBoxCatcher boxes;
    QString signUpCaption;
    QTimer::singleShot(0, [&] {
        waitFor([] { return QApplication::activeModalWidget() != nullptr; });
        if (auto* signUp = qobject_cast<tolvan::app::SignupDialog*>(QApplication::activeModalWidget())) {
            signUpCaption = signUp->windowTitle();
            signUp->reject();
        }
    });
    auto w = start();
    EXPECT_EQ(signUpCaption, QStringLiteral("First Time Use"));

    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(" | ").toStdString();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tolvan(tm) 2.31"));
    EXPECT_EQ(w->objectName(), QStringLiteral("Form1"));
    EXPECT_GE(w->PageControl1->width(), 601);
    EXPECT_GE(w->PageControl1->height(), 410);
    EXPECT_EQ(w->minimumSize(), w->maximumSize());  // not resizable

    const QStringList captions{"Site Data", "Engines", "Submit", "Page Builder", "Search", "Ranking", "Options"};
    const QStringList names{"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4", "TabSheet6", "TabSheet7", "TabSheet5"};
    ASSERT_EQ(w->PageControl1->count(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(w->PageControl1->tabText(i), captions[i]);
        EXPECT_EQ(w->PageControl1->widget(i)->objectName(), names[i]);
    }
    EXPECT_EQ(w->PageControl1->currentIndex(), 0);

    EXPECT_EQ(w->TabSheet1->category->count(), lineCount(ws.base().read("data/categories.tlx")));
    // No last site yet: every field starts empty, the category box too.
    EXPECT_TRUE(w->TabSheet1->category->currentText().isEmpty());
    // The index and the custom engines, sorted without regard to case.
    QListWidget* available = w->TabSheet2->ListBox1;
    EXPECT_EQ(available->count(), lineCount(ws.base().read("data/sites.tlx")) +
                                      lineCount(ws.base().read("data/custeng.tlx")));
    for (int i = 1; i < available->count(); ++i)
        EXPECT_LE(QString::compare(available->item(i - 1)->text(), available->item(i)->text(), Qt::CaseInsensitive), 0);
    EXPECT_FALSE(available->findItems(QStringLiteral("Zephyr Search"), Qt::MatchExactly).isEmpty());

    // Defaults of a first start.
    EXPECT_EQ(w->TabSheet5->emailfrom->text(), QStringLiteral("Tolvan by Quendel"));
    EXPECT_EQ(w->TabSheet5->timeoutcb->currentText(), QStringLiteral("60"));
    EXPECT_EQ(w->TabSheet5->oryxurl->text(), QStringLiteral("http://www.quendel.example/"));
    EXPECT_FALSE(w->TabSheet5->proxyserver->isEnabled());
    EXPECT_EQ(w->baseDir(), fs::current_path().string() + "/");
    EXPECT_TRUE(w->TabSheet6->isradio->isChecked());

    // After a normal close the sign-up does not come again.
    w->close();
    signUpCaption.clear();
    w = start();
    QTest::qWait(50);
    EXPECT_TRUE(signUpCaption.isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(MainWindowStartup, MissingCategoriesStopsStartupAndKeepsTheLastSite)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    fs::remove(ws.base().file("data/categories.tlx"));
    const std::string last = "[LastSaved]\r\nFORWARD=http://\r\nURL=kept.example\r\n";
    ws.base().write("sites/last.tlx", last);
    ws.base().write("data/tlversion.tlx", "[VERSION]\r\nversion=1.0\r\n");
    MessageBoxCatcher boxes;
    auto w = start();

    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Category Data Missing - Please Re-Install Tolvan")});
    EXPECT_EQ(w->TabSheet1->category->count(), 0);
    EXPECT_EQ(w->TabSheet2->ListBox1->count(), 0);
    EXPECT_TRUE(w->TabSheet1->url2->text().isEmpty());
    // Steps after the missing file did not run: the version file is untouched.
    EXPECT_EQ(ws.base().read("data/tlversion.tlx"), "[VERSION]\r\nversion=1.0\r\n");

    // Closing without touching the page leaves the never-loaded site alone,
    // while the settings are still written.
    w->close();
    EXPECT_EQ(ws.base().read("sites/last.tlx"), last);
    EXPECT_TRUE(fs::exists(ws.settingsFile()));
}

TEST(MainWindowStartup, MissingIndexStillFillsCategoriesButNotTheLastSite)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    fs::remove(ws.base().file("data/sites.tlx"));
    ws.base().write("sites/last.tlx", "[LastSaved]\r\nURL=kept.example\r\n");
    MessageBoxCatcher boxes;
    auto w = start();

    EXPECT_EQ(boxes.texts(),
              QStringList{QStringLiteral("Search Engine Index Missing - Please Re-Install or update datafiles.")});
    EXPECT_GT(w->TabSheet1->category->count(), 100);
    EXPECT_EQ(w->TabSheet2->ListBox1->count(), 0);
    EXPECT_TRUE(w->TabSheet1->url2->text().isEmpty());

    // What the user typed is not lost even so.
    w->TabSheet1->url2->setText(QStringLiteral("typed.example"));
    w->close();
    EXPECT_NE(ws.base().read("sites/last.tlx").find("URL=typed.example"), std::string::npos);
}

TEST(MainWindowStartup, OutdatedOrMissingVersionShowsOnceAndRewritesTheFile)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    ws.base().write("data/tlversion.tlx", "[VERSION]\r\nversion=2.2\r\n");
    {
        MessageBoxCatcher boxes;
        auto w = start();
        EXPECT_EQ(boxes.texts(), QStringList{kOutdated.arg(QStringLiteral("2.2"))});
        w->close();
    }
    EXPECT_NE(ws.base().read("data/tlversion.tlx").find("version=2.20"), std::string::npos);
    {
        MessageBoxCatcher boxes;
        auto w = start();
        EXPECT_TRUE(boxes.texts().isEmpty());
        w->close();
    }
    fs::remove(ws.base().file("data/tlversion.tlx"));
    {
        MessageBoxCatcher boxes;
        auto w = start();
        EXPECT_EQ(boxes.texts(), QStringList{kOutdated.arg(QString())});
        EXPECT_NE(ws.base().read("data/tlversion.tlx").find("version=2.20"), std::string::npos);
    }
}

TEST(MainWindowStartup, SplashStaysUpAtLeastItsTime)
{
    QElapsedTimer clock;
    clock.start();
    tolvan::app::SplashWindow splash;
    EXPECT_EQ(splash.size(), QSize(270, 90));
    EXPECT_TRUE(splash.showing());
    while (splash.showing() && clock.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_FALSE(splash.showing());
    EXPECT_GE(clock.elapsed(), 1800);
}

TEST(MainWindowStartup, ErrorInAStepIsShownAndStartupGoesOn)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    fs::remove(ws.base().file("data/tlversion.tlx"));
    fs::create_directory(ws.base().file("data/tlversion.tlx"));  // cannot be rewritten
    ws.base().write("sites/custmsg.tlx", "still read\r\n");
    MessageBoxCatcher boxes;
    auto w = start();

    ASSERT_EQ(boxes.texts().size(), 2) << boxes.texts().join(" | ").toStdString();
    EXPECT_EQ(boxes.texts()[0], kOutdated.arg(QString()));
    EXPECT_TRUE(boxes.texts()[1].contains(QStringLiteral("tlversion.tlx"))) << boxes.texts()[1].toStdString();
    // The steps after it still ran.
    EXPECT_EQ(w->TabSheet5->custmemo->toPlainText(), QStringLiteral("still read"));
    EXPECT_FALSE(w->TabSheet2->ListBox1->findItems(QStringLiteral("Zephyr Search"), Qt::MatchExactly).isEmpty());
}

TEST(MainWindowStartup, LastSiteAndCustomMessageAreRestored)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    ws.base().write("sites/last.tlx",
                    "[LastSaved]\r\nFORWARD=https://\r\nURL=shop.example/\r\nTITLE=My Shop\r\n"
                    "desc=Good things cheap \r\nCATEGORY=Not In The List\r\nKEY1=shoes\r\nKEY18=hats\r\n"
                    "NAME=Ann\r\nemail=ann@shop.example\r\nzip=12345\r\nLASTRUN=Last Submission: 1/2/99\r\n");
    ws.base().write("sites/custmsg.tlx", "Hello\r\n\r\nsecond line\r\n");
    MessageBoxCatcher boxes;
    auto w = start();
    tolvan::app::SiteDataPage* site = w->TabSheet1;

    EXPECT_EQ(site->url1->currentText(), QStringLiteral("https://"));
    EXPECT_EQ(site->url->text(), QStringLiteral("https://shop.example/"));
    EXPECT_EQ(site->title->text(), QStringLiteral("My Shop"));
    EXPECT_EQ(site->desc->toPlainText(), QStringLiteral("Good things cheap "));
    EXPECT_EQ(site->category->currentText(), QStringLiteral("Not In The List"));
    EXPECT_EQ(site->key1->text(), QStringLiteral("shoes"));
    EXPECT_EQ(site->key18->text(), QStringLiteral("hats"));
    EXPECT_EQ(site->email->text(), QStringLiteral("ann@shop.example"));
    EXPECT_EQ(site->zip->text(), QStringLiteral("12345"));
    EXPECT_EQ(site->lastruntext->text(), QStringLiteral("Last Submission: Unknown"));
    EXPECT_EQ(w->TabSheet5->custmemo->toPlainText(), QStringLiteral("Hello\n\nsecond line"));
}

TEST(MainWindowStartup, ProtocolBoxGetsHttpWhenShownEmpty)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    MessageBoxCatcher boxes;
    auto w = start();
    EXPECT_TRUE(w->TabSheet1->url1->currentText().isEmpty());
    w->show();
    EXPECT_EQ(w->TabSheet1->url1->currentText(), QStringLiteral("http://"));
    // The hidden full address is not refreshed by showing the window.
    EXPECT_TRUE(w->TabSheet1->url->text().isEmpty());
    w->close();
}

TEST(MainWindowStartup, WindowGetsTolvansIcon)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    MessageBoxCatcher boxes;
    auto w = start();
    w->show();
    QApplication::processEvents();
    const QIcon icon = w->windowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(256, 256)));
    EXPECT_FALSE(icon.pixmap(48, 48).isNull());
    w->close();
}

TEST(MainWindowStartup, SettingOfTheWrongTypeIsReportedAndStartupGoesOn)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws, "\"FirstTime\"=\"0\"\r\n"
                                    "\"OryxName\"=\"Acme Reports\"\r\n"
                                    "\"Proxy\"=dword:00000001\r\n"
                                    "\"ProxyServer\"=\"proxy.example\"\r\n"
                                    "\"AutoMail\"=\"0x1\"\r\n"
                                    "\"HTTPTimeOut\"=\"45\"\r\n");
    MessageBoxCatcher boxes;
    auto w = start();
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Invalid data type for 'Proxy'")});
    EXPECT_EQ(w->TabSheet5->oryxname->text(), QStringLiteral("Acme Reports"));
    EXPECT_TRUE(w->TabSheet5->emailcheck->isChecked());
    EXPECT_EQ(w->TabSheet5->timeoutcb->currentText(), QStringLiteral("45"));
    EXPECT_GT(w->TabSheet2->ListBox1->count(), 0);  // the data files were still read
    // Both clients got the stored proxy though the box is not ticked.
    EXPECT_EQ(w->submissionClientProxy().server, QStringLiteral("proxy.example"));
    EXPECT_EQ(w->rankingClientProxy().server, QStringLiteral("proxy.example"));
}

TEST(MainWindowRunning, PageChangeFeedsTheSubmitAndSearchPages)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    MessageBoxCatcher boxes;
    auto w = start();
    tolvan::app::SiteDataPage* site = w->TabSheet1;
    tolvan::app::SubmitPage* submit = w->TabSheet3;

    // Protocol only: the site chooser keeps its text.
    site->url1->setEditText(QStringLiteral("http://"));
    site->refreshFullAddress();
    submit->sitestosubmitcb->setEditText(QStringLiteral("before"));
    w->PageControl1->setCurrentIndex(2);
    EXPECT_EQ(submit->sitestosubmitcb->currentText(), QStringLiteral("before"));

    site->url2->setText(QStringLiteral("www.site.example"));
    site->url2Exit();
    submit->Label2->setText(QStringLiteral("something else"));
    submit->ListBox3->addItems({"A", "B", "C"});
    ws.base().write("sites/tlxurls.tlx", "http://one.example\r\nhttp://two.example\r\n");
    w->PageControl1->setCurrentIndex(0);
    EXPECT_EQ(submit->sitestosubmitcb->currentText(), QStringLiteral("http://www.site.example"));
    EXPECT_EQ(submit->Label2->text(), QStringLiteral("Engines to Submit:"));
    EXPECT_EQ(submit->ledn1->value(), 3);
    ASSERT_EQ(w->TabSheet6->search->count(), 2);
    EXPECT_EQ(w->TabSheet6->search->itemText(1), QStringLiteral("http://two.example"));
}

TEST(MainWindowRunning, FocusEnteringThePagesShowsTheEngineCountAndAddsTheSite)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    MessageBoxCatcher boxes;
    auto w = start();
    w->TabSheet2->label1->setText(QStringLiteral("Available Engines:"));
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->TabSheet1->url2->setText(QStringLiteral("focus.example"));
    w->TabSheet1->url2->setFocus();
    const int engines = w->TabSheet2->ListBox1->count();
    EXPECT_TRUE(waitFor([&] { return w->TabSheet2->label1->text() ==
                                     QStringLiteral("%1 Search Engines Available").arg(engines); }));

    // Focus moving into the Submit page adds the working site once.
    w->PageControl1->setCurrentWidget(w->TabSheet3);
    w->TabSheet3->sitestosubmitcb->setFocus();
    EXPECT_TRUE(waitFor([&] { return w->TabSheet3->ListBox4->count() == 1; }));
    w->TabSheet1->url2->setFocus();
    w->TabSheet3->sitestosubmitcb->setFocus();
    QTest::qWait(20);
    ASSERT_EQ(w->TabSheet3->ListBox4->count(), 1);
    EXPECT_EQ(w->TabSheet3->ListBox4->item(0)->text(), QStringLiteral("http://focus.example"));

    // The Page Builder takes the title and the first sixteen keywords.
    w->TabSheet1->title->setText(QStringLiteral("Focus Title"));
    w->TabSheet1->key16->setText(QStringLiteral("sixteen"));
    w->TabSheet1->key17->setText(QStringLiteral("seventeen"));
    w->PageControl1->setCurrentWidget(w->TabSheet4);
    w->TabSheet4->pbtitleedit->setFocus();
    EXPECT_TRUE(waitFor([&] { return w->TabSheet4->pbtitleedit->text() == QStringLiteral("Focus Title"); }));
    EXPECT_EQ(w->TabSheet4->pbkey16edit->text(), QStringLiteral("sixteen"));
    w->close();
}

// A message box opened from the Submit page hands the focus back to the page
// it never left: that is no entering of the page, and the site removed stays
// removed.
TEST(MainWindowRunning, ClosingAMessageBoxFromTheSubmitPageDoesNotAddTheSiteAgain)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    MessageBoxCatcher boxes;
    auto w = start();
    w->show();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->TabSheet1->url2->setText(QStringLiteral("focus.example"));
    w->TabSheet1->url2->setFocus();
    w->PageControl1->setCurrentWidget(w->TabSheet3);
    w->TabSheet3->sitestosubmitcb->setFocus();
    ASSERT_TRUE(waitFor([&] { return w->TabSheet3->ListBox4->count() == 1; }));

    w->TabSheet3->ListBox4->setCurrentRow(0);
    w->TabSheet3->sitestosubmitRemoveb->setFocus();
    w->TabSheet3->sitestosubmitRemoveb->click();
    ASSERT_EQ(w->TabSheet3->ListBox4->count(), 0);

    // When a box is gone the desktop activates the window again, and the focus
    // returns to the page it never left.
    const auto focusBack = [&] {
        QApplication::setActiveWindow(w.get());
        return waitFor([&] {
            QWidget* focus = QApplication::focusWidget();
            return focus && w->TabSheet3->isAncestorOf(focus);
        });
    };
    boxes.clear();
    w->TabSheet3->BitBtn10->setFocus();
    w->TabSheet3->BitBtn10->click();  // "Before saving a batch list, you must add items."
    ASSERT_TRUE(focusBack());
    w->TabSheet3->sitestosubmitRemoveb->click();  // "You must first select an entry."
    ASSERT_TRUE(focusBack());
    QTest::qWait(100);
    EXPECT_EQ(boxes.texts().size(), 2) << boxes.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(w->TabSheet3->ListBox4->count(), 0);
    w->close();
}

TEST(MainWindowRunning, AboutDebugSwitchesDebugModeOn)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    MessageBoxCatcher boxes;
    auto w = start();
    QSignalSpy debug(w.get(), &MainWindow::debugModeRequested);
    QTimer::singleShot(50, [] {
        auto* about = qobject_cast<tolvan::app::AboutDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->windowTitle(), QStringLiteral("About Tolvan"));
        about->debugButton->click();
        about->closeButton->click();
    });
    w->About1Click();
    EXPECT_TRUE(w->debugCapture());
    EXPECT_EQ(debug.count(), 1);
}

TEST(MainWindowShutdown, WritesCustomMessageSettingsAndLastSite)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    MessageBoxCatcher boxes;
    auto w = start();
    tolvan::app::OptionsPage* options = w->TabSheet5;
    options->emailfrom->setText(QStringLiteral("Jo \"the\" Sender"));
    options->timeoutcb->setEditText(QStringLiteral("45"));
    options->proxycheck->click();
    options->proxyserver->setText(QStringLiteral("proxy.example"));
    options->proxycheck->click();  // greyed out again, the text stays
    options->custmemo->setPlainText(QStringLiteral("line one\nline two"));
    w->TabSheet4->forwardcheck->setChecked(true);
    w->TabSheet1->url1->setEditText(QStringLiteral("http://"));
    w->TabSheet1->url2->setText(QStringLiteral("www.kept.example"));
    w->TabSheet1->key3->setText(QStringLiteral("third"));
    w->TabSheet1->desc->setPlainText(QStringLiteral("alpha\nbeta"));
    QSignalSpy closed(w.get(), &MainWindow::closed);
    w->show();
    w->Exit1Click();

    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(ws.base().read("sites/custmsg.tlx"), "line one\r\nline two\r\n");
    std::ifstream in(ws.settingsFile(), std::ios::binary);
    const std::string settings((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(settings.rfind("Windows Registry Editor Version 5.00", 0), 0u);
    EXPECT_NE(settings.find("\"EMAILFrom\"=\"Jo \\\"the\\\" Sender\""), std::string::npos);
    EXPECT_NE(settings.find("\"HTTPTimeOut\"=\"45\""), std::string::npos);
    EXPECT_NE(settings.find("\"Proxy\"=\"0\""), std::string::npos);
    EXPECT_NE(settings.find("\"ProxyServer\"=\"proxy.example\""), std::string::npos);
    EXPECT_NE(settings.find("\"FirstTime\"=\"0\""), std::string::npos);
    EXPECT_NE(settings.find("\"PBForward\"=\"1\""), std::string::npos);
    const std::string last = ws.base().read("sites/last.tlx");
    EXPECT_EQ(last.rfind("[LastSaved]\r\nFORWARD=http://\r\nURL=www.kept.example\r\n", 0), 0u) << last;
    EXPECT_NE(last.find("desc=alpha beta \r\n"), std::string::npos) << last;
    EXPECT_NE(last.find("KEY3=third\r\n"), std::string::npos);
    EXPECT_EQ(last.find("LASTRUN"), std::string::npos);
}

TEST(MainWindowShutdown, FailedWritesAskBeforeClosing)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    ws.base().write("sites", "a file where the directory should be");
    MessageBoxCatcher boxes;
    auto w = start();
    w->show();
    boxes.clear();
    w->Exit1Click();  // the box's default answer keeps the window open
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].startsWith(QStringLiteral("Tolvan could not save everything:")));
    EXPECT_TRUE(w->isVisible());
    // The settings, which live elsewhere, were written all the same.
    EXPECT_TRUE(fs::exists(ws.settingsFile()));
    fs::remove(ws.base().file("sites"));
    w->Exit1Click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(fs::exists(ws.base().file("sites/last.tlx")));
}

TEST(MainWindowShutdown, TerminationSignalsCloseLikeExitEvenFromAModalDialog)
{
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signo);
        GuiWorkspace ws;
        tolvan::test::writeSettings(ws);
        MessageBoxCatcher boxes;
        auto w = start();
        tolvan::app::TerminationSignals termination;
        struct Forget {
            ~Forget() { tolvan::app::TerminationSignals::reset(); }
        } forget;
        QObject::connect(&termination, &tolvan::app::TerminationSignals::received, w.get(),
                         [&] { w->requestTermination(); });
        QSignalSpy closed(w.get(), &MainWindow::closed);
        w->TabSheet1->url2->setText(QStringLiteral("signal.example"));
        w->TabSheet5->custmemo->setPlainText(QStringLiteral("kept"));
        w->show();

        QTimer::singleShot(50, [signo] { ::raise(signo); });
        w->About1Click();  // modal until the signal closes it
        EXPECT_TRUE(waitFor([&] { return closed.count() == 1; }));
        EXPECT_FALSE(w->isVisible());
        EXPECT_TRUE(tolvan::app::TerminationSignals::requested());
        EXPECT_NE(ws.base().read("sites/last.tlx").find("URL=signal.example"), std::string::npos);
        EXPECT_EQ(ws.base().read("sites/custmsg.tlx"), "kept\r\n");
        EXPECT_TRUE(fs::exists(ws.settingsFile()));
    }
}
