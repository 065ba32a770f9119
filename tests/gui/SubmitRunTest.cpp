// The submission run in the real window, offscreen, against a scripted engine
// server on 127.0.0.1: engines picked on the Engines page, sites in the list to
// submit, Submit! pressed, and Pause, Skip, Cancel, the time-out, the error
// log, the automatic reports and the debug capture seen from the window.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>
#include <vector>

#include "../core/net/SmtpTestPeers.h"
#include "EngineServer.h"
#include "GuiTestSupport.h"
#include "ShellTestSupport.h"
#include "app/MainWindow.h"
#include "app/SubmitController.h"
#include "app/dialogs/DebugWindow.h"
#include "app/dialogs/ErrorLogViewer.h"
#include "app/pages/EnginesPage.h"
#include "app/pages/OptionsPage.h"
#include "app/pages/SubmitPage.h"
#include "profiles/ProfileStore.h"
#include "widgets/BlinkLabel.h"
#include "widgets/LedLamp.h"
#include "widgets/LedNumber.h"

namespace fs = std::filesystem;
using namespace tolvan;
using namespace tolvan::app;
using namespace tolvan::test;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

const QString kPlaceholder(50, QLatin1Char('.'));
const QString kSeparator = QString("=-").repeated(29);

QStringList entries(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

QStringList fileLines(const fs::path& file)
{
    QStringList lines = QString::fromStdString(readAll(file)).split("\r\n");
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

bool waitForClosed(QWidget* window)
{
    for (int i = 0; i < 200 && window->isVisible(); ++i)
        QTest::qWait(10);
    return !window->isVisible();
}

// Runs `action` once, from the event loop, as soon as `ready` holds. Its own
// timer, so an action that opens a modal dialog does not block other pollers.
class When {
public:
    // An interval of 0 looks at every pass of the event loop.
    When(std::function<bool()> ready, std::function<void()> action, int intervalMs = 10)
        : ready_(std::move(ready)), action_(std::move(action))
    {
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (fired_ || !ready_())
                return;
            fired_ = true;
            timer_.stop();
            action_();
        });
        timer_.start();
    }
    bool fired() const { return fired_; }

private:
    QTimer timer_;
    std::function<bool()> ready_;
    std::function<void()> action_;
    bool fired_ = false;
};

struct Engine {
    std::string name;
    std::string path;  // on the engine server
};

struct Site {
    std::string profile;
    std::string address;  // without "http://"
    std::string title;
};

// A base directory with the given engines (custom engines, so they show in the
// available list) and saved site profiles, the engine server, and the window.
class Rig {
public:
    Rig(const std::string& script, const std::vector<Engine>& engineList, const std::vector<Site>& sites)
        : server(script)
    {
        writeSettings(ws);
        const fs::path data = fs::path(ws.base().path()) / "data";
        std::string custom = readAll(data / "custeng.tlx");
        while (!custom.empty() && (custom.back() == '\n' || custom.back() == '\r'))
            custom.pop_back();
        for (const auto& e : engineList) {
            custom += "\r\n" + e.name;
            std::ofstream(data / (e.name + ".tlx"), std::ios::binary)
                << "[Fields]\r\nURL=url\r\nTITLE=title\r\n"
                   "[SITE]\r\nACTION=" << server.url(e.path) << "\r\nMETHOD=POST\r\nURL=http://www."
                << e.path.substr(1) << ".example/\r\n";
        }
        std::ofstream(data / "custeng.tlx", std::ios::binary) << custom << "\r\n";

        ProfileStore store(ws.base().path());
        std::vector<std::string> names = store.readNames(), addresses = store.readAddresses();
        for (const auto& s : sites) {
            SiteProfile p;
            p.protocol = "http://";
            p.address = s.address;
            p.title = s.title;
            p.email = "owner@" + s.address;
            store.saveProfile(s.profile, p, names, addresses);
        }

        window = std::make_unique<MainWindow>();
        window->show();
        submit = window->TabSheet3;
        engines = window->TabSheet2;
        options = window->TabSheet5;
        for (const auto& s : sites) {
            submit->sitestosubmitcb->setEditText(QString::fromStdString("http://" + s.address));
            submit->siestosubmitaddb->click();
        }
        QStringList wanted;
        for (const auto& e : engineList)
            wanted << QString::fromStdString(e.name);
        for (int i = 0; i < engines->ListBox1->count(); ++i)
            engines->ListBox1->item(i)->setSelected(wanted.contains(engines->ListBox1->item(i)->text()));
        engines->Button1->click();
        window->PageControl1->setCurrentWidget(submit);  // the user goes to the Submit page
        boxes.clear();
    }

    std::string base() const { return ws.base().path(); }
    fs::path file(const std::string& relative) const { return fs::path(base()) / relative; }

    // Presses Submit! and returns when the run is over; the milliseconds it took.
    qint64 pressSubmit()
    {
        QElapsedTimer clock;
        clock.start();
        submit->BitBtn1->click();
        return clock.elapsed();
    }

    bool arrived(const std::string& path) const
    {
        for (const auto& r : server.requests())
            if (r.find("\"path\": \"" + path + "\"") != std::string::npos)
                return true;
        return false;
    }

    void clearErrorLog()  // the Options page's button: the log exists from now on
    {
        options->BitBtn8->click();
    }

    bool idleButtons() const
    {
        return submit->BitBtn1->isEnabled() && submit->BitBtn13->isEnabled() && submit->BitBtn14->isEnabled()
            && submit->BitBtn3->isEnabled() && !submit->BitBtn2->isEnabled() && !submit->pausebtn->isEnabled()
            && !submit->skipbtn->isEnabled() && engines->Button1->isEnabled() && engines->Button2->isEnabled()
            && engines->BitBtn5->isEnabled() && engines->Button3->isEnabled();
    }

    GuiWorkspace ws;
    MessageBoxCatcher boxes;
    EngineServer server;
    std::unique_ptr<MainWindow> window;
    SubmitPage* submit = nullptr;
    EnginesPage* engines = nullptr;
    OptionsPage* options = nullptr;
};

}  // namespace

TEST(SubmitRun, ThreeEnginesAllTakeTheSite)
{
    Rig rig(R"({"/alpha": {"delay": 0.2}, "/beta": {"delay": 0.2}})",
            {{"Rig Gamma", "/gamma"}, {"rig beta", "/beta"}, {"Rig Alpha", "/alpha"}},
            {{"Home", "www.mysite.example/", "My Site"}});
    SubmitPage* p = rig.submit;
    ASSERT_EQ(entries(p->ListBox4), QStringList{"http://www.mysite.example/"});
    ASSERT_EQ(entries(p->ListBox3), (QStringList{"Rig Alpha", "rig beta", "Rig Gamma"}));

    // What the page shows while the first and the second request wait.
    struct Seen {
        bool runControlsOnly = false;
        QString status, site, engine;
        bool blinking = false;
        int lamp = 0;
        QStringList remaining, successes;
        int leds[5] = {};  // ledn1, ledn2, ledn6, ledn7, gauge maximum
    };
    auto look = [&] {
        Seen s;
        s.runControlsOnly = !p->BitBtn1->isEnabled() && !p->BitBtn13->isEnabled() && p->BitBtn2->isEnabled()
                         && p->pausebtn->isEnabled() && p->skipbtn->isEnabled() && !rig.engines->Button1->isEnabled()
                         && !rig.engines->Button3->isEnabled();
        s.status = p->statusl->text();
        s.blinking = p->statusl->isBlinking();
        s.site = p->beingsubmittedl->text();
        s.engine = p->currentenginel->text();
        s.lamp = p->Led->isOn() ? p->Led->colorValue() : -1;
        s.remaining = entries(p->ListBox3);
        s.successes = entries(p->successlist);
        s.leds[0] = p->ledn1->value(), s.leds[1] = p->ledn2->value(), s.leds[2] = p->ledn6->value();
        s.leds[3] = p->ledn7->value(), s.leds[4] = p->ProgressBar2->maximum();
        return s;
    };
    Seen first, second;
    When atFirst([&] { return rig.arrived("/alpha"); }, [&] { first = look(); });
    When atSecond([&] { return rig.arrived("/beta"); }, [&] { second = look(); });
    rig.pressSubmit();
    ASSERT_TRUE(atFirst.fired() && atSecond.fired());

    EXPECT_TRUE(first.runControlsOnly);
    EXPECT_EQ(first.status, "Attempting to Post Site");
    EXPECT_TRUE(first.blinking);
    EXPECT_EQ(first.site, "http://www.mysite.example/");
    EXPECT_EQ(first.engine, "Rig Alpha");
    EXPECT_EQ(first.lamp, 65280);
    EXPECT_EQ(first.remaining, (QStringList{"Rig Alpha", "rig beta", "Rig Gamma"}));
    EXPECT_EQ(std::vector<int>(first.leds, first.leds + 5), (std::vector<int>{3, 0, 0, 3, 3}));
    EXPECT_EQ(second.engine, "rig beta");
    EXPECT_EQ(second.successes, QStringList{"Rig Alpha"});
    EXPECT_EQ(second.remaining, (QStringList{"rig beta", "Rig Gamma"}));
    EXPECT_EQ(std::vector<int>(second.leds, second.leds + 5), (std::vector<int>{2, 1, 1, 2, 3}));

    EXPECT_EQ(entries(p->successlist), (QStringList{"Rig Alpha", "rig beta", "Rig Gamma"}));
    EXPECT_TRUE(entries(p->failedlist).isEmpty());
    EXPECT_EQ(entries(p->ListBox3), (QStringList{"Rig Alpha", "rig beta", "Rig Gamma"}));
    EXPECT_EQ(p->ProgressBar1->value(), 0);
    EXPECT_EQ(p->ProgressBar2->value(), 0);
    EXPECT_EQ(p->ledn2->value(), 3);
    EXPECT_EQ(p->ledn4->value(), 3);
    EXPECT_EQ(p->ledn3->value(), 0);
    EXPECT_EQ(p->ledn1->value(), 3);
    EXPECT_EQ(p->statusl->text(), "Complete");
    EXPECT_EQ(p->beingsubmittedl->text(), kPlaceholder);
    EXPECT_EQ(p->currentenginel->text(), kPlaceholder);
    EXPECT_FALSE(p->Led->isOn());
    EXPECT_EQ(rig.boxes.texts(), (QStringList{"Make sure you have an internet connection established and then hit OK",
                                              "Submission Complete."}));
    EXPECT_TRUE(rig.idleButtons());

    // One request per engine, in list order; no log is created by the run.
    const auto requests = rig.server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_NE(requests[0].find("\"/alpha\""), std::string::npos);
    EXPECT_NE(requests[1].find("\"/beta\""), std::string::npos);
    EXPECT_NE(requests[2].find("\"/gamma\""), std::string::npos);
    EXPECT_NE(requests[0].find("title=My+Site"), std::string::npos) << requests[0];
    EXPECT_FALSE(fs::exists(rig.file("error.log")));
    EXPECT_NE(readAll(rig.file("sites/tlxprofiles.tlx")).find("LASTRUN=Last Submission: "), std::string::npos);
}

TEST(SubmitRun, FailureAndRedirectAreRecordedAndTheLogViewerShowsThem)
{
    Rig rig(R"({"/broken": {"status": 404, "reason": "Not Found"},
                "/moved": {"status": 302, "reason": "Found", "location": "/thanks", "body": "moved"}})",
            {{"Broken Engine", "/broken"}, {"Moved Engine", "/moved"}}, {{"Home", "www.mysite.example/", "My Site"}});

    // No log yet: nothing to view; Clear Error Log creates it with its header.
    rig.options->BitBtn4->click();
    rig.clearErrorLog();
    EXPECT_EQ(rig.boxes.texts(), (QStringList{"There is no error log to view", "Error Log Cleared"}));
    EXPECT_EQ(readAll(rig.file("error.log")), "Tolvan Error Log...\r\n");

    // The log stays in the base directory whatever the current directory is now.
    TempDir elsewhere;
    fs::current_path(elsewhere.path());
    rig.pressSubmit();
    EXPECT_FALSE(fs::exists(fs::path(elsewhere.path()) / "error.log"));
    EXPECT_EQ(entries(rig.submit->successlist), QStringList{"Moved Engine"});
    EXPECT_EQ(entries(rig.submit->failedlist), QStringList{"Broken Engine"});
    EXPECT_EQ(rig.submit->ledn3->value(), 1);
    EXPECT_EQ(rig.submit->ledn5->value(), 1);
    EXPECT_EQ(rig.submit->ledn2->value(), 1);
    EXPECT_EQ(entries(rig.submit->ListBox3), (QStringList{"Broken Engine", "Moved Engine"}));
    EXPECT_TRUE(rig.idleButtons());

    // One record, for the failure only.
    const QStringList log = fileLines(rig.file("error.log"));
    const QString action = QString::fromStdString(rig.server.url("/broken"));
    EXPECT_EQ(log, (QStringList{"Tolvan Error Log...", kSeparator,
                                "Error   : 151: 404 Not Found Site Name: Broken Engine",
                                "URL     : http://www.broken.example/", "Method  : POST", "Action  : " + action}));

    // Each press of View Error Log opens a further viewer with the log's lines.
    rig.boxes.clear();
    rig.options->BitBtn4->click();
    ErrorLogViewer* first = ErrorLogViewer::newest();
    rig.options->BitBtn4->click();
    ErrorLogViewer* second = ErrorLogViewer::newest();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_TRUE(second->isVisible());
    EXPECT_FALSE(second->isModal());
    EXPECT_EQ(second->windowTitle(), "Tolvan Error Log");
    EXPECT_EQ(entries(second->lTrace), log);

    // The viewer's own Clear empties its list and the log; Close hides it.
    findWidget<QPushButton>(first, "BitBtn8")->click();
    EXPECT_EQ(first->lTrace->count(), 0);
    EXPECT_EQ(second->lTrace->count(), log.size());
    EXPECT_EQ(rig.boxes.texts(), QStringList{"Error Log Cleared"});
    EXPECT_EQ(readAll(rig.file("error.log")), "Tolvan Error Log...\r\n");
    // The Options page's Clear empties the newest viewer.
    rig.clearErrorLog();
    EXPECT_EQ(second->lTrace->count(), 0);
    findWidget<QPushButton>(second, "BitBtn1")->click();
    EXPECT_FALSE(second->isVisible());
}

TEST(SubmitRun, TimeOutAndADoubleSkipEachEndOneEngine)
{
    // "Rig Slow" never answers and times out; "Rig Stuck" never answers and is
    // skipped twice quickly; "Rig Fine" answers.
    Rig rig(R"({"/slow": {"silent": true}, "/stuck": {"silent": true}})",
            {{"Rig Slow", "/slow"}, {"Rig Stuck", "/stuck"}, {"Rig Fine", "/fine"}},
            {{"Home", "www.mysite.example/", "My Site"}});
    rig.options->timeoutcb->setEditText("1");
    rig.clearErrorLog();
    rig.boxes.clear();
    // Sounds whose files are missing or not playable are silent, never an error.
    std::ofstream(rig.file("noise.wav")) << "not a wave";
    for (QCheckBox* box : {rig.options->subwavchk, rig.options->failwavchk, rig.options->sitewavchk,
                           rig.options->completewavchk})
        box->setChecked(true);
    rig.options->subwav->setText(QString::fromStdString(rig.file("noise.wav").string()));
    rig.options->failwav->setText(QString::fromStdString(rig.file("missing.wav").string()));
    rig.options->sitewav->setText(QString::fromStdString(rig.file("noise.wav").string()));
    rig.options->completewav->setText("");

    When skipTwice([&] { return rig.arrived("/stuck"); }, [&] {
        rig.submit->skipbtn->click();
        rig.submit->skipbtn->click();
    });
    const qint64 ms = rig.pressSubmit();
    EXPECT_TRUE(skipTwice.fired());
    EXPECT_GE(ms, 1000);
    EXPECT_LT(ms, 8000);  // the skipped engine did not wait for its time-out as well

    EXPECT_EQ(entries(rig.submit->successlist), QStringList{"Rig Fine"});
    EXPECT_EQ(entries(rig.submit->failedlist), (QStringList{"Skipped: Rig Stuck", "Timed Out: Rig Slow"}));
    EXPECT_EQ(rig.submit->ledn3->value(), 2);
    EXPECT_EQ(rig.submit->ledn5->value(), 2);
    EXPECT_EQ(rig.submit->ledn2->value(), 1);
    EXPECT_EQ(rig.server.requests().size(), 3u);
    EXPECT_EQ(fileLines(rig.file("error.log")),
              (QStringList{"Tolvan Error Log...", kSeparator, "Engine Timed Out: Rig Slow", kSeparator,
                           "User Skipped Engine: Rig Stuck"}));
    EXPECT_TRUE(rig.idleButtons());
    EXPECT_EQ(rig.boxes.texts(), (QStringList{"Make sure you have an internet connection established and then hit OK",
                                              "Submission Complete."}));
}

TEST(SubmitRun, PauseLongerThanTheTimeOutEndsTheEngineAsTimedOut)
{
    Rig rig(R"({"/slow": {"silent": true}})", {{"Rig Slow", "/slow"}, {"Rig Then", "/then"}},
            {{"Home", "www.mysite.example/", "My Site"}});
    rig.options->timeoutcb->setEditText("1");

    QString pausedStatus, dialogCaption, dialogText;
    int pausedLamp = 0;
    QElapsedTimer pausedFor;
    When pause([&] { return rig.arrived("/slow"); }, [&] { rig.submit->pausebtn->click(); });
    When resume(
        [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != "TPause")
                return false;
            if (!pausedFor.isValid())
                pausedFor.start();
            return pausedFor.elapsed() > 1500;  // longer than the time-out
        },
        [&] {
            auto* dialog = QApplication::activeModalWidget();
            pausedStatus = rig.submit->statusl->text();
            pausedLamp = rig.submit->Led->colorValue();
            dialogCaption = dialog->windowTitle();
            dialogText = dialog->findChild<QLabel*>()->text();
            findWidget<QPushButton>(dialog, "BitBtn1")->click();
        });
    rig.pressSubmit();
    ASSERT_TRUE(resume.fired());

    EXPECT_EQ(pausedStatus, "Paused");
    EXPECT_EQ(pausedLamp, 4227327);
    EXPECT_EQ(dialogCaption, "Tolvan Paused");
    EXPECT_EQ(dialogText, "The current submission run is paused.  Press 'Resume' to continue.");
    EXPECT_EQ(entries(rig.submit->failedlist), QStringList{"Timed Out: Rig Slow"});
    EXPECT_EQ(entries(rig.submit->successlist), QStringList{"Rig Then"});
    EXPECT_TRUE(rig.boxes.texts().contains("Submission Complete."));
}

TEST(SubmitRun, CancelDuringTheSecondEngineEndsTheRun)
{
    Rig rig(R"({"/second": {"silent": true}})",
            {{"Rig A", "/first"}, {"Rig B", "/second"}, {"Rig C", "/third"}},
            {{"Home", "www.mysite.example/", "My Site"}});
    rig.options->htmlcheck->setChecked(true);
    rig.options->textcheck->setChecked(true);
    rig.clearErrorLog();
    rig.boxes.clear();

    When cancel([&] { return rig.arrived("/second"); }, [&] { rig.submit->BitBtn2->click(); });
    const qint64 ms = rig.pressSubmit();
    ASSERT_TRUE(cancel.fired());
    EXPECT_LT(ms, 5000);

    SubmitPage* p = rig.submit;
    EXPECT_EQ(entries(p->successlist), QStringList{"Rig A"});
    EXPECT_TRUE(entries(p->failedlist).isEmpty());
    EXPECT_EQ(p->statusl->text(), "Cancelled");
    EXPECT_FALSE(p->statusl->isBlinking());
    EXPECT_EQ(p->beingsubmittedl->text(), kPlaceholder);
    EXPECT_EQ(p->currentenginel->text(), kPlaceholder);
    EXPECT_EQ(p->ProgressBar1->value(), 0);
    EXPECT_EQ(p->ProgressBar2->value(), 0);
    EXPECT_EQ(p->ledn7->value(), 0);
    EXPECT_FALSE(p->Led->isOn());
    // Between runs the engines to do are all the engines to submit again.
    EXPECT_EQ(entries(p->ListBox3), (QStringList{"Rig A", "Rig B", "Rig C"}));
    EXPECT_EQ(p->ledn1->value(), 3);
    EXPECT_EQ(rig.boxes.texts(),
              (QStringList{"Make sure you have an internet connection established and then hit OK",
                           "Current submission run is being cancelled.  This may take a moment."}));
    EXPECT_TRUE(rig.idleButtons());
    EXPECT_FALSE(rig.window->submitController()->run().startTime.empty());

    // The third engine is never asked, no report is written, no stamp made.
    EXPECT_EQ(rig.server.requests().size(), 2u);
    EXPECT_FALSE(fs::exists(rig.file("reports")) && !fs::is_empty(rig.file("reports")));
    EXPECT_EQ(readAll(rig.file("sites/tlxprofiles.tlx")).find("LASTRUN="), std::string::npos);
    EXPECT_EQ(fileLines(rig.file("error.log")),
              (QStringList{"Tolvan Error Log...", kSeparator, "User Skipped Engine: Rig B"}));

    // Cancel pressed just before a request is sent: that request is not sent.
    rig.boxes.clear();
    When early(
        [&] {
            return rig.submit->currentenginel->text() == "Rig B"
                && rig.submit->statusl->text() == "Attempting to Post Site";
        },
        [&] { rig.submit->BitBtn2->click(); }, 0);
    rig.pressSubmit();
    ASSERT_TRUE(early.fired());
    EXPECT_EQ(rig.server.requests().size(), 3u);  // one more, for Rig A
    EXPECT_EQ(entries(p->successlist), QStringList{"Rig A"});
    EXPECT_EQ(p->statusl->text(), "Cancelled");
    EXPECT_TRUE(rig.idleButtons());
}

TEST(SubmitRun, AutomaticReportsAfterEachOfTwoSites)
{
    Rig rig(R"({"/taking": {"status": 200, "delay": 0.2}})", {{"Rig Taking", "/taking"}},
            {{"First", "www.first.example/", "First Site"}, {"Second", "www.second.example/", "Second Site"}});
    rig.options->htmlcheck->setChecked(true);
    rig.options->textcheck->setChecked(true);
    // The automatic mail cannot go without the mail settings: the run says so
    // on the caption of the sites to submit instead of stopping.
    rig.options->emailcheck->setChecked(true);
    rig.options->smtpserv->clear();
    QString captionDuringRun;
    When second([&] { return rig.server.requests().size() == 2; },
                [&] { captionDuringRun = rig.submit->sitestosubmitl->text(); });

    rig.pressSubmit();
    EXPECT_EQ(rig.boxes.texts().back(), "Submission Complete.");
    EXPECT_EQ(captionDuringRun, QString("Cannot Auto-Mail - Settings not filled in"));
    EXPECT_EQ(rig.submit->sitestosubmitl->text(), QString("Sites to submit:"));

    // Each site's reports describe that site; the profile sent was that site's.
    for (const auto& [title, address, other] :
         {std::tuple{"First Site", "www.first.example/", "www.second.example/"},
          std::tuple{"Second Site", "www.second.example/", "www.first.example/"}}) {
        for (const char* ext : {".txt", ".htm"}) {
            const std::string report = readAll(rig.file(std::string("reports/") + title + ext));
            EXPECT_NE(report.find(address), std::string::npos) << title << ext;
            EXPECT_EQ(report.find(other), std::string::npos) << title << ext;
            EXPECT_NE(report.find("Rig Taking"), std::string::npos) << title << ext;
        }
    }
    const std::string text = readAll(rig.file("reports/First Site.txt"));
    EXPECT_NE(text.find("Success Count        : 1"), std::string::npos) << text;

    const auto requests = rig.server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].find("www.first.example"), std::string::npos);
    EXPECT_NE(requests[1].find("www.second.example"), std::string::npos);
    // Both profiles carry their last run; no report message interrupted the run.
    const std::string profiles = readAll(rig.file("sites/tlxprofiles.tlx"));
    EXPECT_NE(profiles.find("LASTRUN=Last Submission: "), profiles.rfind("LASTRUN=Last Submission: "));
    EXPECT_EQ(rig.boxes.texts().size(), 2);

    // The Text button afterwards asks for a file again (the run's automatic
    // mode does not stick to it) and describes the last site.
    const QString chosen = QString::fromStdString(rig.file("by-hand.txt").string());
    QString dialogCaption;
    When save([] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr; }, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        dialogCaption = dialog->windowTitle();
        dialog->selectFile(chosen);
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
            name->setText(chosen);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    rig.boxes.clear();
    rig.submit->BitBtn13->click();
    ASSERT_TRUE(save.fired());
    EXPECT_EQ(dialogCaption, "Save Tolvan Report as TEXT");
    ASSERT_FALSE(rig.boxes.texts().isEmpty());
    EXPECT_EQ(rig.boxes.texts()[0], "Your Text report has been saved");
    const std::string byHand = readAll(rig.file("by-hand.txt"));
    EXPECT_NE(byHand.find("www.second.example/"), std::string::npos);
    EXPECT_EQ(byHand.find("www.first.example/"), std::string::npos);
}

TEST(SubmitRun, DebugCaptureShowsTheRedirectAnswer)
{
    // A body long enough to arrive in several pieces, with lines of its own.
    std::string body = "<html><body>Moved to thanks\n";
    for (int i = 0; body.size() < 200000; ++i)
        body += "<p>" + std::string(i % 700, 'x') + " line " + std::to_string(i) + "</p>\n";
    body += "</body></html>";
    std::string escaped;
    for (char c : body)
        escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    Rig rig(R"({"/moved": {"status": 302, "reason": "Found", "location": "/thanks", "body": ")" + escaped
                + R"("}})",
            {{"Moved Engine", "/moved"}}, {{"Home", "www.mysite.example/", "My Site"}});

    // About, then &Debug: the window "HTTP Responses" opens beside the main window.
    When debug([] { return QApplication::activeModalWidget() != nullptr
                        && QApplication::activeModalWidget()->findChild<QPushButton*>("debugbtn"); },
               [] {
                   QWidget* about = QApplication::activeModalWidget();
                   findWidget<QPushButton>(about, "debugbtn")->click();
                   findWidget<QPushButton>(about, "OKButton")->click();
               });
    rig.window->About1->trigger();
    ASSERT_TRUE(debug.fired());
    auto* window = rig.window->findChild<DebugWindow*>("Tdebugfrm");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "HTTP Responses");

    rig.pressSubmit();
    EXPECT_EQ(entries(rig.submit->successlist), QStringList{"Moved Engine"});
    EXPECT_EQ(window->windowTitle(), "Moved Engine");
    const std::string saved = readAll(rig.file("temp.htm"));
    EXPECT_EQ(saved.size(), body.size());
    EXPECT_TRUE(saved == body) << "the saved answer differs from the one sent";
    EXPECT_TRUE(window->debuglist->toPlainText().isEmpty());
    EXPECT_NE(window->HTML1->toPlainText().indexOf("Moved to thanks"), -1);
}

TEST(SubmitRun, AbortedRunsGiveTheControlsBack)
{
    Rig rig(R"({"/fails": {"status": 404, "reason": "Not Found"}})",
            {{"Rig A Fails", "/fails"}, {"Rig Gone", "/gone"}, {"Rig Here", "/here"}},
            {{"Home", "www.mysite.example/", "My Site"}});
    const QStringList all{"Rig A Fails", "Rig Gone", "Rig Here"};

    // A definition that has gone since the engine was chosen ends the run there.
    fs::rename(rig.file("data/Rig Gone.tlx"), rig.file("Rig Gone.tlx"));
    rig.pressSubmit();
    EXPECT_EQ(rig.boxes.texts().back(), "Data file for Rig Gone missing.");
    EXPECT_EQ(rig.server.requests().size(), 1u);
    EXPECT_TRUE(rig.idleButtons());
    EXPECT_EQ(entries(rig.submit->ListBox3), all);
    EXPECT_EQ(rig.submit->ledn1->value(), 3);

    // A report that cannot be written ends the run after the site with the
    // error shown; the controls come back, and no completion is announced.
    fs::rename(rig.file("Rig Gone.tlx"), rig.file("data/Rig Gone.tlx"));
    std::ofstream(rig.file("reports")) << "a file where the reports folder belongs";
    rig.options->textcheck->setChecked(true);
    rig.boxes.clear();
    rig.pressSubmit();
    EXPECT_EQ(rig.server.requests().size(), 4u);
    ASSERT_EQ(rig.boxes.texts().size(), 2);
    EXPECT_FALSE(rig.boxes.texts().contains("Submission Complete."));
    EXPECT_TRUE(rig.idleButtons());

    // A folder where the error log belongs: Clear shows the error instead of
    // "Error Log Cleared", and the run treats the log as missing.
    fs::remove(rig.file("reports"));
    rig.options->textcheck->setChecked(false);
    fs::create_directory(rig.file("error.log"));
    rig.boxes.clear();
    rig.clearErrorLog();
    ASSERT_EQ(rig.boxes.texts().size(), 1);
    EXPECT_NE(rig.boxes.texts()[0], "Error Log Cleared");
    rig.boxes.clear();
    rig.pressSubmit();
    EXPECT_EQ(rig.server.requests().size(), 7u);
    EXPECT_EQ(rig.boxes.texts().back(), "Submission Complete.");
    EXPECT_EQ(entries(rig.submit->failedlist), QStringList{"Rig A Fails"});
    EXPECT_TRUE(fs::is_directory(rig.file("error.log")));
}

TEST(SubmitRun, ClosingTheWindowEndsTheRun)
{
    // By the window's close button, by a termination signal's request, and by
    // that request while the run is paused.
    enum class Way { Close, Terminate, TerminateWhilePaused };
    for (const Way way : {Way::Close, Way::Terminate, Way::TerminateWhilePaused}) {
        SCOPED_TRACE(static_cast<int>(way));
        Rig rig(R"({"/stuck": {"silent": true}})", {{"Rig Stuck", "/stuck"}, {"Rig Then", "/then"}},
                {{"Home", "www.mysite.example/", "My Site"}});
        When close([&] { return rig.arrived("/stuck"); }, [&] {
            if (way == Way::Close)
                rig.window->close();
            else if (way == Way::Terminate)
                rig.window->requestTermination();
            else
                rig.submit->pausebtn->click();
        });
        When whilePaused(
            [&] {
                QWidget* modal = QApplication::activeModalWidget();
                return way == Way::TerminateWhilePaused && modal && modal->objectName() == "TPause";
            },
            [&] { rig.window->requestTermination(); });
        const qint64 ms = rig.pressSubmit();  // the time-out is 60 s
        ASSERT_TRUE(close.fired());
        EXPECT_EQ(whilePaused.fired(), way == Way::TerminateWhilePaused);
        EXPECT_LT(ms, 5000);
        EXPECT_TRUE(waitForClosed(rig.window.get()));
        // Nothing more is sent and nothing more is asked of a user who has left.
        EXPECT_EQ(rig.server.requests().size(), 1u);
        EXPECT_EQ(rig.boxes.texts(),
                  QStringList{"Make sure you have an internet connection established and then hit OK"});
        EXPECT_FALSE(rig.window->submitController()->running());
    }
}

TEST(SubmitRun, CancelAndClosingTheWindowEndAnAutomaticMailThatNeverEnds)
{
    // The mail server's greeting goes on and on, one line every 200 ms.
    for (const bool closeWindow : {false, true}) {
        SCOPED_TRACE(closeWindow ? "close" : "cancel");
        std::atomic<bool> connected{false};
        ScriptedSmtpServer mail([&connected](PeerConnection& c, std::vector<std::string>&) {
            connected = true;
            for (int i = 0; i < 1000 && c.trySend("220-still greeting\r\n"); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
        });
        Rig rig("{}", {{"Rig A", "/first"}}, {{"Home", "www.mysite.example/", "My Site"}});
        rig.options->emailcheck->setChecked(true);
        rig.options->smtpserv->setText(QString::fromStdString(mail.server()));
        rig.options->fromaddr->setText("reports@example.org");
        When stop([&] { return connected.load(); }, [&] {
            if (closeWindow)
                rig.window->close();
            else
                rig.submit->BitBtn2->click();
        });
        const qint64 ms = rig.pressSubmit();
        ASSERT_TRUE(stop.fired());
        EXPECT_LT(ms, 10000);
        for (const QString& text : rig.boxes.texts())
            EXPECT_FALSE(text.contains("canceled")) << text.toStdString();
        EXPECT_FALSE(rig.window->submitController()->running());
    }
}

TEST(DebugCapture, ALargeAnswerKeepsOnlyItsLastMegabytesAndSaysSo)
{
    GuiWorkspace ws(false);
    DebugWindow window(QString::fromStdString(ws.base().path()));
    window.startTransfer("Big Engine");
    const int pieces = 4096;  // 16 MiB in 4 KiB pieces
    for (int i = 0; i < pieces; ++i) {
        QByteArray piece(4096, 'x');
        piece.replace(0, 12, QByteArray::number(i).rightJustified(12, '0'));
        window.transfer(piece);
        if (i % 512 == 0)
            QApplication::processEvents();
    }
    QTest::qWait(150);
    EXPECT_LE(window.debuglist->blockCount(), DebugWindow::kMaxMemoLines);
    window.endTransfer();

    const std::string saved = readAll(ws.base().file("temp.htm"));
    EXPECT_LE(saved.size(), static_cast<std::size_t>(DebugWindow::kMaxKeptBytes));
    EXPECT_GT(saved.size(), static_cast<std::size_t>(DebugWindow::kMaxKeptBytes - 4096));
    EXPECT_EQ(saved.substr(saved.size() - 4096, 12), QByteArray::number(pieces - 1).rightJustified(12, '0').toStdString());
    EXPECT_FALSE(window.note->isHidden());
    EXPECT_NE(window.note->text().indexOf("too large"), -1) << window.note->text().toStdString();

    // The next answer is small: kept whole, and the note goes.
    window.startTransfer("Small Engine");
    window.transfer("<html>one");
    window.transfer("two</html>");
    window.endTransfer();
    EXPECT_EQ(readAll(ws.base().file("temp.htm")), "<html>onetwo</html>");
    EXPECT_TRUE(window.note->isHidden());
}
