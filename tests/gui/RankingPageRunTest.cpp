// The Ranking page driven offscreen against a local server playing the engines:
// Rank Site, the panels, and the three report buttons.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "GuiTestSupport.h"
#include "RankServer.h"
#include "app/RankingController.h"
#include "app/dialogs/EmailReportDialog.h"
#include "app/pages/RankingPage.h"
#include "history/HistoryStore.h"
#include "history/Sqlite.h"
#include "ranking/RankHistory.h"
#include "ranking/RankEngines.h"
#include "util/Files.h"
#include "widgets/DropDownComboBox.h"
#include "widgets/LedLamp.h"
#include "widgets/LedNumber.h"

using namespace tolvan;
using namespace tolvan::app;
using tolvan::test::findWidget;
using tolvan::test::GuiWorkspace;
using tolvan::test::MessageBoxCatcher;
using tolvan::test::RankServer;

namespace {

// A result page listing `count` sites with the wanted one at `place` (0: none).
std::string resultPage(RankEngine engine, int count, int place)
{
    const RankRecipe& r = rankRecipe(engine);
    std::string page = "<html><body>";
    for (int i = 1; i <= count; ++i) {
        const std::string address =
            i == place ? "http://www.acme.example/" : "http://www.other" + std::to_string(i) + ".example/";
        page += "<p>" + std::to_string(i) + r.marker + " <a href=" + address + r.terminator + "x>R</a></p>";
    }
    return page + "</body></html>";
}

// Answers the next save dialog: type into its file name line, then accept it
// (or reject it when the name is empty).
class SaveDialogDriver {
public:
    explicit SaveDialogDriver(QString typed) : typed_(std::move(typed))
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            title = dialog->windowTitle();
            suffix = dialog->defaultSuffix();
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            offered = edit ? edit->text() : QString();
            ++seen;
            if (typed_.isEmpty()) {
                static_cast<QDialog*>(dialog)->done(QDialog::Rejected);
                return;
            }
            if (edit)
                edit->setText(typed_);
            static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
        });
        timer_.start();
    }
    int seen = 0;
    QString title, suffix, offered;

private:
    QString typed_;
    QTimer timer_;
};

// Keeps the body of the next e-mail report dialog, then presses Close.
class MailDialogCloser {
public:
    MailDialogCloser()
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* d = qobject_cast<EmailReportDialog*>(QApplication::activeModalWidget());
            if (!d)
                return;
            body = findWidget<QPlainTextEdit>(d, "body")->toPlainText().split(QLatin1Char('\n'));
            ++seen;
            findWidget<QPushButton>(d, "BitBtn2")->click();
        });
        timer_.start();
    }
    int seen = 0;
    QStringList body;

private:
    QTimer timer_;
};

struct RankingFixture {
    GuiWorkspace workspace{false};
    RankingPage page;
    RankingController controller{&page};
    Settings settings = defaultSettings();

    explicit RankingFixture(const RankServer& server)
    {
        test::writeRankHosts(workspace.base(), server.host());
        page.setBaseDir(QString::fromStdString(workspace.base().path()));
        settings.oryxname = "Acme Tools";
        settings.oryxurl = "http://tools.example/";
        controller.setSettingsSource([this] { return settings; });
    }
    QString file(const char* name) const { return QString::fromStdString(workspace.base().file(name)); }
};

}  // namespace

TEST(RankingPageRunTest, RankSiteFillsThePanelsAndTheReportsReadThem)
{
    RankServer server(std::string("[") +
        R"({"path": "/Titles", "params": {"st": "1"}, "times": 1, "status": 500, "reason": "Internal Server Error"},)"
        R"({"path": "/Titles", "params": {"st": "1"}, "body": ")" + resultPage(RankEngine::Infoseek, 25, 1) + R"("},)"
        R"({"path": "/search", "status": 302, "reason": "Found", "body": "moved"},)"
        R"({"path": "/cgi-bin/query", "params": {"navig30.x": "11"}, "body": ")" +
        resultPage(RankEngine::AltaVista, 10, 7) + R"("},)"
        R"({"path": "/cgi-bin/pursuit", "params": {"first": "51"}, "body": ")" + resultPage(RankEngine::Lycos, 50, 3) +
        R"("}])");
    RankingFixture f(server);
    RankingPage& page = f.page;
    MessageBoxCatcher boxes;

    page.sitetorankedit->setEditText(QStringLiteral("www.ACME.example"));
    page.keyphraseedit->setText(QStringLiteral("blue widgets cheap"));
    page.depthedit->setEditText(QStringLiteral("100"));
    for (QCheckBox* box : {page.iscb, page.yhcb, page.avcb, page.lycb})
        box->setChecked(true);
    page.isdigit->setValue(0);
    page.hbdigit->setValue(12);  // left from an earlier run; HotBot stays unticked
    page.rankbtn->click();

    EXPECT_EQ(page.keyphraseedit->text(), "blue+widgets+cheap");
    EXPECT_EQ(boxes.texts(), QStringList{"Error   : 151: 500 Internal Server Error"});
    EXPECT_EQ(page.isdigit->value(), 1);
    EXPECT_EQ(page.iscb->text(), "Checked InfoSeek");
    EXPECT_EQ(page.yhdigit->displayText(), "") << "not found shows blank";
    EXPECT_EQ(page.yhcb->text(), "No Match - See Alta Vista");
    EXPECT_EQ(page.avdigit->value(), 37);
    EXPECT_EQ(page.avcb->text(), "Checked Alta Vista");
    EXPECT_EQ(page.lydigit->value(), 53);
    EXPECT_EQ(page.lycb->text(), "Checked Lycos");
    EXPECT_EQ(page.hbdigit->value(), 12);
    EXPECT_EQ(page.hbcb->text(), "Check Hot Bot");
    for (const auto& panel : page.enginePanels())
        EXPECT_FALSE(panel.lamp->isOn());
    // The rank buffer holds the last page fetched.
    EXPECT_TRUE(page.rankmemo->toPlainText().contains("http://www.acme.example/"));
    EXPECT_TRUE(page.rankmemo->toPlainText().startsWith("<html><body><p>1%]"));

    // TEXT Report.
    boxes.clear();
    {
        SaveDialogDriver save(f.file("ranks.txt"));
        page.ranktextbtn->click();
        ASSERT_EQ(save.seen, 1);
        EXPECT_EQ(save.title, "Save Tolvan Report as TEXT");
        EXPECT_EQ(save.suffix, "TXT");
        EXPECT_EQ(save.offered, "lumetra.txt");
    }
    EXPECT_EQ(boxes.texts(), QStringList{"Your Text report has been saved"});
    const std::string text = f.workspace.base().read("ranks.txt");
    EXPECT_NE(text.find("Acme Tools Site Ranking Report\r\n"), std::string::npos);
    EXPECT_NE(text.find("Website Searched For : www.ACME.example\r\n"
                        "Using Keywords:      : blue+widgets+cheap\r\n"
                        "Searched in top      : 100 Results\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("Position\r\n" + std::string(65, '-') +
                        "\r\nInfoseek              1\r\nYahoo*                Not Found*\r\n"
                        "Alta Vista            37\r\nLycos                 53\r\n\r\n"),
              std::string::npos);

    // An engine unticked after the run drops out of the reports.
    page.yhcb->setChecked(false);
    boxes.clear();
    {
        SaveDialogDriver save(f.file("ranks.htm"));
        page.rankhtmlbtn->click();
        ASSERT_EQ(save.seen, 1);
        EXPECT_EQ(save.title, "Save Lumetra Report as HTML");
        EXPECT_EQ(save.suffix, "HTM");
        EXPECT_EQ(save.offered, "lumetra.htm");
    }
    EXPECT_EQ(boxes.texts(), QStringList{"Your HTML report has been saved"});
    const std::string html = f.workspace.base().read("ranks.htm");
    EXPECT_NE(html.find(">Lycos</font></td>\r\n"
                        R"(<td bgcolor="#400080" width="235"><font face="Arial" color="#FFFF80">53</font></td>)"),
              std::string::npos);
    EXPECT_EQ(html.find("Yahoo"), std::string::npos);
    EXPECT_NE(html.find("<title>Acme Tools Ranking Report</title>"), std::string::npos);

    // Cancelling writes and shows nothing.
    boxes.clear();
    {
        SaveDialogDriver cancel{QString()};
        page.ranktextbtn->click();
        ASSERT_EQ(cancel.seen, 1);
    }
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_FALSE(fileExists(f.workspace.base().file("lumetra.txt")));

    // A file that cannot be written: the error, no "saved" message.
    {
        SaveDialogDriver save(f.file("missing/ranks.txt"));
        page.ranktextbtn->click();
    }
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts().first().startsWith("Cannot create file")) << boxes.texts().first().toStdString();
    EXPECT_TRUE(boxes.texts().first().endsWith("missing/ranks.txt"));
    EXPECT_FALSE(fileExists(f.workspace.base().file("missing/ranks.txt")));

    // EMAIL Report: the mail settings first, then the dialog with the rank body.
    boxes.clear();
    f.settings.smtpserv.clear();
    page.rankemailbtn->click();
    EXPECT_EQ(boxes.texts(),
              QStringList{"You must specify an SMTP server on the options tab before you can use EMAIL reports"});
    f.settings.smtpserv = "127.0.0.1:1";
    f.settings.fromaddr = "me@example.org";
    {
        MailDialogCloser closer;
        page.rankemailbtn->click();
        ASSERT_EQ(closer.seen, 1);
        EXPECT_TRUE(closer.body.contains("Acme Tools Website Ranking Report"));
        EXPECT_TRUE(closer.body.contains("Website Searched For : www.ACME.example"));
        EXPECT_TRUE(closer.body.contains("Lycos                 53"));
        EXPECT_FALSE(closer.body.contains("Yahoo*                Not Found*"));
    }
    EXPECT_TRUE(f.controller.reportKind().rank);
    EXPECT_FALSE(f.controller.reportKind().submission);
}

TEST(RankingPageRunTest, TheWindowStaysLiveDuringARunAndRankSiteStopsIt)
{
    // Every Infoseek page arrives slowly, in pieces over about two seconds, so
    // the checks below happen while its first page is still arriving even on a
    // loaded machine; Lycos never answers.
    std::string pieces;
    for (int i = 0; i < 8; ++i)
        pieces += std::string(i ? "," : "") + "\"<p>filler " + std::to_string(i) + "</p>\"";
    RankServer server("[{\"path\": \"/Titles\", \"pause\": 0.3, \"pieces\": [" + pieces +
                      "]}, {\"path\": \"/cgi-bin/pursuit\", \"silent\": true}]");
    RankingFixture f(server);
    RankingPage& page = f.page;
    page.sitetorankedit->setEditText(QStringLiteral("www.acme.example"));
    page.keyphraseedit->setText(QStringLiteral("first words"));
    page.depthedit->setEditText(QStringLiteral("50"));
    page.iscb->setChecked(true);
    page.lycb->setChecked(true);
    page.wccb->setChecked(true);

    bool sawLampLit = false;
    QString captionDuringRun, buttonDuringRun;
    // As soon as the first page has been asked for, while it still arrives.
    bool sawFirstPage = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (sawFirstPage || server.targets().size() != 1)
            return;
        sawFirstPage = true;
        sawLampLit = page.isled->isOn();
        captionDuringRun = page.iscb->text();
        buttonDuringRun = page.rankbtn->text();
        page.keyphraseedit->setText(QStringLiteral("second words"));
    });
    watcher.start(20);
    // Once Lycos waits on its silent page, Rank Site (now "Stop") ends the run.
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (page.lycb->text().startsWith(QStringLiteral("Checking")) && server.targets().size() == 3)
            page.rankbtn->click();
    });
    stopper.start(50);
    page.rankbtn->click();
    stopper.stop();
    watcher.stop();

    ASSERT_TRUE(sawFirstPage);
    EXPECT_TRUE(sawLampLit);
    EXPECT_EQ(captionDuringRun, "Checking InfoSeek results 1 to 25");
    EXPECT_EQ(buttonDuringRun, "Stop");
    EXPECT_EQ(page.rankbtn->text(), "Rank Site");
    const auto targets = server.targets();
    ASSERT_EQ(targets.size(), 3u);
    EXPECT_NE(targets[0].find("qt=first+words&"), std::string::npos);
    EXPECT_NE(targets[1].find("qt=second+words&"), std::string::npos);
    EXPECT_EQ(page.iscb->text(), "Checked InfoSeek");
    EXPECT_EQ(page.rankmemo->toPlainText(), "<p>filler 0</p><p>filler 1</p><p>filler 2</p><p>filler 3</p>"
                                            "<p>filler 4</p><p>filler 5</p><p>filler 6</p><p>filler 7</p>");
    EXPECT_EQ(page.lycb->text(), "Stopped");
    EXPECT_FALSE(page.lyled->isOn());
    EXPECT_EQ(page.wccb->text(), "Check Web Crawler") << "nothing after the stop";
    EXPECT_FALSE(f.controller.running());
}

TEST(RankingPageRunTest, EveryCheckedEngineGoesIntoTheHistoryAndALockedHistoryDoesNotStopTheRun)
{
    RankServer server(std::string("[") +
        R"({"path": "/Titles", "status": 503, "reason": "Service Unavailable"},)"
        R"({"path": "/cgi-bin/pursuit", "body": ")" + resultPage(RankEngine::Lycos, 50, 3) + R"("}])");
    RankingFixture f(server);
    f.controller.rankRun().setFirstRetryPause(10);
    MessageBoxCatcher boxes;  // Infoseek's error box
    f.page.sitetorankedit->setEditText(QStringLiteral("www.acme.example"));
    f.page.keyphraseedit->setText(QStringLiteral("blue widgets"));
    f.page.iscb->setChecked(true);
    f.page.lycb->setChecked(true);
    f.page.rankbtn->click();

    auto rows = [&] {
        HistoryStore store(f.workspace.base().path(), HistoryStore::Access::ReadOnly);
        return RankHistory(store).checks({});
    };
    auto kept = rows();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].engine, "Infoseek");
    EXPECT_EQ(kept[0].outcome, RankOutcome::Failed);
    EXPECT_EQ(kept[1].engine, "Lycos");
    EXPECT_EQ(kept[1].outcome, RankOutcome::Found);
    EXPECT_EQ(kept[1].place, 3);
    EXPECT_EQ(kept[1].phrase, "blue widgets");
    EXPECT_EQ(kept[1].site, "www.acme.example");
    EXPECT_EQ(kept[1].address, "http://www.acme.example/");
    EXPECT_EQ(kept[1].competitors.size(), 10u);

    // Another program holds the history: the run goes on and a note says so, without waiting.
    sqlite::Database other(f.workspace.base().file("history.db"), sqlite::Database::Mode::ReadWriteCreate);
    other.exec("BEGIN EXCLUSIVE");
    f.page.lydigit->setValue(0);
    f.page.rankbtn->click();
    EXPECT_EQ(f.page.lydigit->value(), 3);
    int notes = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->objectName() == "noticeBox" && box->isVisible()) {
            ++notes;
            EXPECT_TRUE(box->text().startsWith("History is not being kept")) << box->text().toStdString();
            box->close();
        }
    EXPECT_EQ(notes, 1);
    other.exec("ROLLBACK");
    EXPECT_EQ(rows().size(), 2u);
}

TEST(RankingPageRunTest, TheOptionsTimeOutEndsASilentPage)
{
    RankServer server(R"([{"path": "/cgi-bin/pursuit", "silent": true}])");
    RankingFixture f(server);
    f.settings.timeout = "1";
    f.controller.rankRun().setFirstRetryPause(10);
    f.page.sitetorankedit->setEditText(QStringLiteral("www.acme.example"));
    f.page.lycb->setChecked(true);
    f.page.rankbtn->click();
    EXPECT_EQ(server.targets().size(), static_cast<std::size_t>(RankRun::kAttemptsPerPage));
    EXPECT_EQ(f.page.lycb->text(), "Unable to rank - Try Later");
    EXPECT_FALSE(f.controller.running());
}

TEST(RankingPageRunTest, StopEndsARunWaitingOnASilentEngine)
{
    RankServer server(R"([{"path": "/cgi-bin/pursuit", "silent": true}])");
    RankingFixture f(server);
    f.page.sitetorankedit->setEditText(QStringLiteral("www.acme.example"));
    f.page.lycb->setChecked(true);
    f.page.wccb->setChecked(true);
    QTimer::singleShot(300, &f.controller, &RankingController::stop);
    f.page.rankbtn->click();
    EXPECT_FALSE(f.controller.running());
    EXPECT_EQ(server.targets().size(), 1u);
    EXPECT_EQ(f.page.wccb->text(), "Check Web Crawler") << "nothing after the stop";
}

TEST(RankingPageRunTest, ALongPageReachesTheHiddenBufferOnlyWhenDebugShowsIt)
{
    std::string longPage = "<p>1%] <a href=http://www.acme.example/ x>Acme</a>";
    while (longPage.size() < 300 * 1024)
        longPage += " <i>filler words on one long line</i>";
    RankServer server(R"([{"path": "/cgi-bin/pursuit", "body": ")" + longPage + R"("}])");
    RankingFixture f(server);
    f.page.sitetorankedit->setEditText(QStringLiteral("www.acme.example"));
    f.page.lycb->setChecked(true);
    f.page.rankbtn->click();
    EXPECT_EQ(f.page.lydigit->value(), 1);
    EXPECT_TRUE(f.page.rankmemo->toPlainText().isEmpty()) << "not laid out while hidden";
    f.page.debugb->click();
    EXPECT_FALSE(f.page.rankmemo->isHidden()) << "Debug shows the buffer";
    EXPECT_EQ(f.page.rankmemo->toPlainText().size(), static_cast<qsizetype>(longPage.size()));
}
