// The Rank Tracker window offscreen against a local server playing the
// engines: checks with their outcomes and progress, the history chart with a
// gap, the competitors, CSV export, Stop, closing during a check, and an API
// key typed on the Options page reaching the engine through the secret store,
// and the tracker of the Tools menu going through the Options page's proxy.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "GuiTestSupport.h"
#include "RankServer.h"
#include "ShellTestSupport.h"
#include "SecretServicePeer.h"
#include "app/MainWindow.h"
#include "app/RankApiKeys.h"
#include "app/dialogs/RankTrackerWindow.h"
#include "history/HistoryStore.h"
#include "history/Sqlite.h"
#include "app/pages/OptionsPage.h"
#include "secrets/LibSecretStore.h"
#include "util/Files.h"

using namespace tolvan;
using namespace tolvan::app;
using tolvan::test::GuiWorkspace;
using tolvan::test::RankServer;
using tolvan::test::SecretServicePeer;
using tolvan::test::findWidget;
using tolvan::test::MessageBoxCatcher;

namespace {

std::string page(const std::vector<std::string>& addresses)
{
    std::string text = "<ul>";
    for (const auto& a : addresses)
        text += "<li><h2><a class=\"title\" href=\"" + a + "\">R</a></h2></li>";
    return text + "</ul>";
}

std::string json(const std::string& s) { return nlohmann::json(s).dump(); }

// A workspace whose shipped definitions are asked over plain http at the server.
struct TrackerFixture {
    GuiWorkspace workspace{false};
    TrackerFixture(const RankServer& server, const std::vector<std::string>& engines = {"Mojeek"})
    {
        std::string hosts = "[RankEngines]\r\n";
        for (const std::string& engine : engines) {
            std::string def = readFile(std::string(TOLVAN_SOURCE_DIR) + "/data/rank/" + engine + ".tlx");
            def.replace(def.find("https://"), 8, "http://");
            workspace.base().write("data/rank/" + engine + ".tlx", def);
            hosts += engine + "=" + server.host() + "\r\n";
        }
        workspace.base().write("data/hosts.tlx", hosts);
    }
};

}  // namespace

TEST(RankTrackerTest, ChecksFillTheOutcomesTheHistoryChartAndTheCsv)
{
    RankServer server("[" R"({"path": "/robots.txt", "status": 404},)"
                      R"({"path": "/search", "params": {"q": "blue"}, "times": 1, "body": )" +
                      json(page({"https://a.example/", "https://www.acme.example/x"})) + "}," +
                      R"({"path": "/search", "params": {"q": "blue"}, "times": 1, "body": )" +
                      json(page({"https://b.example/, with a comma"})) + "}," +
                      R"({"path": "/search", "params": {"q": "blue"}, "body": )" +
                      json(page({"https://www.acme.example/"})) + "}," +
                      R"({"path": "/search", "params": {"q": "silent"}, "silent": true}])");
    TrackerFixture f(server);
    RankTrackerWindow window(f.workspace.base().path());
    window.setPause(0, 0);
    ASSERT_GE(window.engineslist->count(), 9);
    EXPECT_EQ(window.engineslist->item(0)->text(), "Mojeek");
    EXPECT_EQ(window.engineslist->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(window.engineslist->item(1)->checkState(), Qt::Unchecked) << "the eight engines start unticked";
    EXPECT_EQ(window.historysite->count(), 0) << "no history yet";
    window.sitesedit->setPlainText(QStringLiteral("acme.example\n"));
    window.phrasesedit->setPlainText(QStringLiteral("blue"));

    for (int i = 0; i < 3; ++i)  // three checks: found at 2, absent (a gap), found at 1
        window.checkbtn->click();
    ASSERT_EQ(window.outcomes->rowCount(), 1) << "the table shows the last check";
    EXPECT_EQ(window.outcomes->item(0, 3)->text(), "found");
    EXPECT_EQ(window.outcomes->item(0, 4)->text(), "1");
    EXPECT_EQ(window.progress->value(), window.progress->maximum());
    EXPECT_EQ(window.statuslabel->text(), "Done.");

    EXPECT_EQ(window.historysite->currentText(), "acme.example");
    EXPECT_EQ(window.historyphrase->currentText(), "blue");
    EXPECT_EQ(window.chartPoints(), 2);
    EXPECT_EQ(window.chartGaps(), 1) << "not found is a gap, not a place";
    EXPECT_EQ(window.bestlabel->text(), "Best place: Mojeek 1");
    EXPECT_EQ(window.changelabel->text(), "Mojeek: found again");
    ASSERT_EQ(window.competitors->rowCount(), 1);
    EXPECT_EQ(window.competitors->item(0, 1)->text(), "https://www.acme.example/");

    const std::string csvFile = f.workspace.base().file("history.csv");
    window.exportCsv(QString::fromStdString(csvFile));
    const std::string csv = readFile(csvFile);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4) << csv;
    EXPECT_NE(csv.find(",not-found,,,1,not found in the first 1 results (the engine served no more results for this "
                       "phrase),\"https://b.example/, with a comma\"\r\n"),
              std::string::npos)
        << csv;

    // Stop (the button's caption while a check runs) ends a check waiting on a silent page.
    window.phrasesedit->setPlainText(QStringLiteral("silent"));
    QString during;
    QTimer::singleShot(500, [&] {
        during = window.checkbtn->text();
        window.checkbtn->click();
    });
    window.checkbtn->click();
    EXPECT_EQ(during, "Stop");
    EXPECT_EQ(window.checkbtn->text(), "Check");
    EXPECT_EQ(window.statuslabel->text(), "Stopped.");
    EXPECT_EQ(window.outcomes->rowCount(), 0);
}

TEST(RankTrackerTest, ClosingDuringACheckStopsItAndThenCloses)
{
    RankServer server(R"([{"path": "/robots.txt", "status": 404}, {"path": "/search", "silent": true}])");
    TrackerFixture f(server);
    QPointer<RankTrackerWindow> window = new RankTrackerWindow(f.workspace.base().path());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setPause(0, 0);
    window->show();
    window->sitesedit->setPlainText(QStringLiteral("acme.example"));
    window->phrasesedit->setPlainText(QStringLiteral("one\ntwo"));
    bool stillOpen = false;
    QTimer::singleShot(500, [&] {
        window->close();
        stillOpen = window->isVisible();  // the check ends in its own handler first
    });
    window->checkbtn->click();
    EXPECT_TRUE(stillOpen);
    ASSERT_FALSE(window.isNull()) << "deleted under its own running handler";
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(server.targets().size(), 2u) << "robots.txt and the first page; the second phrase was never asked";
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST(RankTrackerTest, AKeyTypedOnTheOptionsPageReachesTheEngineThroughTheSecretStore)
{
    SecretServicePeer::instance();
    RankApiKeys::instance().clear();
    RankServer server(R"([{"path": "/res/v1/web/search", "type": "application/json", "body": )" +
                      json(R"({"web":{"results":[{"url":"https://x.example/"},{"url":"https://acme.example/"}]}})") +
                      "}]");
    TrackerFixture f(server, {"Brave Search"});

    OptionsPage options;
    auto* key = findWidget<QLineEdit>(&options, "bravekey");
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    key->setText(QStringLiteral("  k-123  "));
    emit key->editingFinished();
    EXPECT_TRUE(key->text().isEmpty()) << "the key never stays on screen";
    const auto stored = LibSecretStore().read(rankApiKeyKey("Brave Search"));
    ASSERT_TRUE(stored.ok()) << stored.error().message;
    EXPECT_EQ(stored.value(), std::optional<std::string>("k-123")) << "where the command line looks for it";

    RankApiKeys::instance().clear();  // as after a restart: the key comes from the store
    RankTrackerWindow window(f.workspace.base().path());
    window.setPause(0, 0);
    window.setKeySource([](const std::string& engine) { return RankApiKeys::instance().find(engine); });
    window.sitesedit->setPlainText(QStringLiteral("acme.example"));
    window.phrasesedit->setPlainText(QStringLiteral("blue"));
    window.checkbtn->click();
    ASSERT_EQ(window.outcomes->rowCount(), 1);
    EXPECT_EQ(window.outcomes->item(0, 3)->text(), "found") << window.outcomes->item(0, 7)->text().toStdString();
    EXPECT_EQ(window.outcomes->item(0, 4)->text(), "2");
    const auto headers = server.headerLines();
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(nlohmann::json::parse(headers[0]).value("X-Subscription-Token", ""), "k-123");

    // The pause field: a range is kept as typed; nonsense is said at once.
    auto* pause = findWidget<QLineEdit>(&options, "rankpause");
    EXPECT_EQ(pause->text(), "2-5");
    pause->setText(QStringLiteral("3-9"));
    Settings back = defaultSettings();
    options.readSettings(back);
    EXPECT_EQ(back.rankpause, "3-9");
    tolvan::test::MessageBoxCatcher catcher;
    pause->setText(QStringLiteral("soon"));
    emit pause->editingFinished();
    ASSERT_EQ(catcher.texts().size(), 1);
    EXPECT_TRUE(catcher.texts()[0].startsWith(QStringLiteral("'soon' is not a pause.")));
}

TEST(RankTrackerTest, TheTrackerOfTheToolsMenuGoesThroughTheOptionsPagesProxy)
{
    RankServer server("[" R"({"path": "/robots.txt", "status": 404},)"
                      R"({"path": "/search", "body": )" + json(page({"https://www.acme.example/"})) + "}]");
    tolvan::test::TempDir proxyDir;
    const int proxyPort = tolvan::test::freeLoopbackPort();
    proxyDir.write("tinyproxy.conf", "Port " + std::to_string(proxyPort) +
                                         "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\nMaxClients 10\n"
                                         "LogLevel Critical\nPidFile \"" + proxyDir.file("tinyproxy.pid") + "\"\n");
    tolvan::test::ChildProcess proxy({"tinyproxy", "-d", "-c", proxyDir.file("tinyproxy.conf")});
    proxy.waitUntilAccepting(proxyPort);

    GuiWorkspace ws(true);
    // The stored proxy counts whether or not its box is ticked, as for Submit!.
    tolvan::test::writeSettings(ws, "\"FirstTime\"=\"0\"\r\n\"ProxyServer\"=\"127.0.0.1\"\r\n\"ProxyPort\"=\"" +
                                        std::to_string(proxyPort) + "\"\r\n\"RankPause\"=\"0\"\r\n");
    std::string def = readFile(std::string(TOLVAN_SOURCE_DIR) + "/data/rank/Mojeek.tlx");
    def.replace(def.find("https://"), 8, "http://");
    ws.base().write("data/rank/Mojeek.tlx", def);
    std::string hosts = readFile(ws.base().file("data/hosts.tlx"));
    const std::size_t at = hosts.find("Mojeek=");
    ASSERT_NE(at, std::string::npos);
    hosts.replace(at, hosts.find('\n', at) - at, "Mojeek=" + server.host() + "\r");
    ws.base().write("data/hosts.tlx", hosts);

    MessageBoxCatcher boxes;
    MainWindow w;
    w.RankTracker1Click();
    auto* tracker = w.findChild<RankTrackerWindow*>();
    ASSERT_NE(tracker, nullptr);
    for (int i = 0; i < tracker->engineslist->count(); ++i) {
        QListWidgetItem* item = tracker->engineslist->item(i);
        item->setCheckState(item->text() == "Mojeek" ? Qt::Checked : Qt::Unchecked);
    }
    tracker->sitesedit->setPlainText(QStringLiteral("acme.example"));
    tracker->phrasesedit->setPlainText(QStringLiteral("blue"));
    tracker->checkbtn->click();
    ASSERT_EQ(tracker->outcomes->rowCount(), 1);
    EXPECT_EQ(tracker->outcomes->item(0, 3)->text(), "found") << tracker->outcomes->item(0, 7)->text().toStdString();
    const auto headers = server.headerLines();
    ASSERT_EQ(headers.size(), 2u) << "robots.txt and the page";
    for (const std::string& line : headers)
        EXPECT_NE(nlohmann::json::parse(line).value("Via", "").find("tinyproxy"), std::string::npos) << line;
    tracker->close();
}

TEST(RankTrackerTest, AUserMadeDefinitionThatNeedsAKeyGetsAKeyFieldOnTheOptionsPage)
{
    SecretServicePeer::instance();
    RankApiKeys::instance().clear();
    RankServer server(R"([{"path": "/find", "type": "application/json", "body": )" +
                      json(R"({"hits":[{"link":"https://x.example/"},{"link":"https://www.acme.example/"}]})") + "}]");
    GuiWorkspace ws(false);
    const std::string keyed = "[Engine]\r\nAddress=http://{HOST}/find?q={Q}\r\nFormat=JSON\r\nNeedsKey=1\r\n"
                              "Header1=X-Key: {APIKEY}\r\n[Results]\r\nArray=hits\r\nField=link\r\n";
    ws.base().write("data/rank/Acme Find.tlx", keyed);
    ws.base().write("data/rank/Open Find.tlx", "[Engine]\r\nAddress=http://{HOST}/\r\n[Results]\r\nPattern=(x)\r\n");
    ws.base().write("data/hosts.tlx", "[RankEngines]\r\nAcme Find=" + server.host() + "\r\n");

    OptionsPage options;
    options.setBaseDir(QString::fromStdString(ws.base().path()));
    QLineEdit* key = options.rankKeyField(QStringLiteral("Acme Find"));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key, findWidget<QLineEdit>(&options, "rankkey:Acme Find"));
    EXPECT_EQ(key->echoMode(), QLineEdit::Password);
    EXPECT_EQ(options.rankKeyField(QStringLiteral("Open Find")), nullptr) << "it needs no key";
    EXPECT_EQ(options.rankKeyField(QStringLiteral("Brave Search")), options.bravekey) << "the shipped fields stay";
    key->setText(QStringLiteral("acme-7"));
    emit key->editingFinished();
    EXPECT_TRUE(key->text().isEmpty());
    const auto stored = LibSecretStore().read(rankApiKeyKey("Acme Find"));
    ASSERT_TRUE(stored.ok()) << stored.error().message;
    EXPECT_EQ(stored.value(), std::optional<std::string>("acme-7"));

    RankApiKeys::instance().clear();
    RankTrackerWindow window(ws.base().path());
    window.setPause(0, 0);
    window.setKeySource([](const std::string& engine) { return RankApiKeys::instance().find(engine); });
    for (int i = 0; i < window.engineslist->count(); ++i) {
        QListWidgetItem* item = window.engineslist->item(i);
        item->setCheckState(item->text() == "Acme Find" ? Qt::Checked : Qt::Unchecked);
    }
    window.sitesedit->setPlainText(QStringLiteral("acme.example"));
    window.phrasesedit->setPlainText(QStringLiteral("blue"));
    window.checkbtn->click();
    ASSERT_EQ(window.outcomes->rowCount(), 1);
    EXPECT_EQ(window.outcomes->item(0, 3)->text(), "found") << window.outcomes->item(0, 7)->text().toStdString();
    const auto headers = server.headerLines();
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(nlohmann::json::parse(headers[0]).value("X-Key", ""), "acme-7");

    // A definition added later (by hand or by an update) has its field when the page is shown again.
    ws.base().write("data/rank/Later Find.tlx", keyed);
    EXPECT_EQ(options.rankKeyField(QStringLiteral("Later Find")), nullptr);
    options.show();
    EXPECT_NE(options.rankKeyField(QStringLiteral("Later Find")), nullptr);
    EXPECT_NE(options.rankKeyField(QStringLiteral("Acme Find")), nullptr);
}

TEST(RankTrackerTest, OneSiteWrittenInSeveralFormsIsOneChoiceWithOneChart)
{
    GuiWorkspace ws(false);
    {
        HistoryStore store(ws.base().path());
        ASSERT_TRUE(store.available()) << store.problem();
        // Rows as earlier versions wrote them: the site as it was typed.
        store.database()->exec(
            "INSERT INTO rank_checks (time, site, phrase, engine, outcome, place, address, depth, detail) VALUES"
            " ('2026-12-01T06:00:00Z', 'http://www.Acme.example', 'blue', 'Mojeek', 'found', 3, '', 10, ''),"
            " ('2026-12-02T06:00:00Z', 'http://www.acme.example/', 'blue', 'Mojeek', 'found', 2, '', 10, ''),"
            " ('2026-12-03T06:00:00Z', 'HTTP://WWW.ACME.EXAMPLE', 'blue', 'Mojeek', 'not-found', NULL, '', 10, '')");
    }
    RankTrackerWindow window(ws.base().path());
    ASSERT_EQ(window.historysite->count(), 1);
    EXPECT_EQ(window.historysite->currentText(), "http://www.acme.example/");
    EXPECT_EQ(window.chartPoints(), 2);
    EXPECT_EQ(window.chartGaps(), 1);
    EXPECT_EQ(window.bestlabel->text(), "Best place: Mojeek 2");
}
