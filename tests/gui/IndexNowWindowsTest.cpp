#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "ChildProcess.h"
#include "GuiTestSupport.h"
#include "ShellTestSupport.h"
#include "app/MainWindow.h"
#include "app/dialogs/IndexNowDialog.h"
#include "app/dialogs/SubmissionHistoryWindow.h"
#include "app/pages/EnginesPage.h"
#include "history/HistoryStore.h"
#include "profiles/ProfileStore.h"

using namespace tolvan;
using namespace tolvan::app;
using namespace tolvan::test;

namespace {

// tests/support/indexnow_peers.py: a site serving files from a folder and an
// endpoint that validates notifications, on free loopback ports.
class IndexNowPeers {
public:
    IndexNowPeers() : sitePort_(freeLoopbackPort()), endpointPort_(freeLoopbackPort())
    {
        dir_.write("site/.keep", "");
        control("{}");
        process_ = std::make_unique<ChildProcess>(std::vector<std::string>{
            python3(), supportScript("indexnow_peers.py"), dir_.file("site"), dir_.file("control.json"),
            dir_.file("requests.log"), "--ports", std::to_string(sitePort_), std::to_string(endpointPort_)});
        process_->waitUntilAccepting(sitePort_);
        process_->waitUntilAccepting(endpointPort_);
    }
    void control(const std::string& json) const { dir_.write("control.json", json); }
    std::string siteFolder() const { return dir_.file("site"); }
    std::string site(const std::string& path = "") const
    {
        return "http://127.0.0.1:" + std::to_string(sitePort_) + "/" + path;
    }
    int endpointPort() const { return endpointPort_; }
    // Points the base directory's IndexNow engine at the endpoint.
    void configure(const TempDir& base) const
    {
        base.write("data/hosts.tlx", "[IndexNow]\r\nIndexNow=http://127.0.0.1:" + std::to_string(endpointPort_) + "\r\n");
        base.write("data/IndexNow.tlx", "[SITE]\r\nACTION=/indexnow?url={URL}&key={KEY}\r\nMETHOD=GET\r\n");
    }

private:
    TempDir dir_;
    int sitePort_, endpointPort_;
    std::unique_ptr<ChildProcess> process_;
};

// Whether a connection to `port` on this machine is open (a request in flight).
bool connectedTo(int port)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, ":%04X", static_cast<unsigned>(port));
    std::ifstream tcp("/proc/net/tcp");
    std::string line;
    std::getline(tcp, line);
    while (std::getline(tcp, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (remote.size() > 5 && remote.compare(remote.size() - 5, 5, hex) == 0 && state == "01")
            return true;
    }
    return false;
}

// Answers the next folder dialog with `folder`, typed as a user would.
void answerFolderDialog(const QString& folder)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, folder] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Save Key File"));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(folder);
        QMetaObject::invokeMethod(dialog, "done", Q_ARG(int, QDialog::Accepted));
    });
    timer->start();
}

const std::string kKey = "0123456789abcdef0123456789abcdef";

}  // namespace

TEST(SubmissionHistoryWindow, SortsFiltersAndExportsQuotedCsv)
{
    GuiWorkspace ws(false);
    {
        HistoryStore store(ws.base().path());
        SubmissionRecord a{"2026-01-01T10:00:00Z", "http://a.example/", "Lycos", "POST", "http://l.example/add",
                           "HTTP/1.0 200 OK", "success", "", ""};
        SubmissionRecord b{"2026-01-02T10:00:00Z", "http://b.example/", "IndexNow", "GET",
                           "http://i.example/indexnow?key=secret", "HTTP/1.0 403 Forbidden", "failed",
                           "151: 403 Forbidden. Missing, \"really\"\nsee the guide", ""};
        store.recordSubmission(a);
        store.recordSubmission(b);
    }
    SubmissionHistoryWindow window(ws.base().path());
    auto* table = findWidget<QTableView>(&window, "table");
    ASSERT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(table->model()->index(0, 2).data().toString(), "IndexNow");  // newest first
    table->sortByColumn(2, Qt::DescendingOrder);
    EXPECT_EQ(table->model()->index(0, 2).data().toString(), "Lycos");

    findWidget<QLineEdit>(&window, "filterEdit")->setText("forbidden");
    ASSERT_EQ(table->model()->rowCount(), 1);
    EXPECT_EQ(findWidget<QLabel>(&window, "countLabel")->text(), "1 of 2 requests");

    window.exportCsv(QString::fromStdString(ws.base().file("out.csv")));
    EXPECT_EQ(ws.base().read("out.csv"),
              "Time,Site,Engine,Method,Address,Status Line,Outcome,Detail\r\n"
              "2026-01-02T10:00:00Z,http://b.example/,IndexNow,GET,http://i.example/indexnow?key=****,"
              "HTTP/1.0 403 Forbidden,failed,\"151: 403 Forbidden. Missing, \"\"really\"\"\nsee the guide\"\r\n");
}

TEST(IndexNowDialog, KeysAreCheckedAndStoredWithTheSavedProfile)
{
    GuiWorkspace ws(false);
    SiteProfile site;
    site.protocol = "https://";
    site.address = "www.a.example/";
    std::vector<std::string> names, addresses;
    ProfileStore(ws.base().path()).saveProfile("A", site, names, addresses);
    SiteProfile other;
    other.protocol = "http://";
    other.address = "o.example/";
    ProfileStore(ws.base().path()).saveProfile("Other", other, names, addresses);

    IndexNowDialog dialog(ws.base().path(), site);
    dialog.keyEdit->setText("bad key!");
    emit dialog.keyEdit->editingFinished();
    EXPECT_EQ(site.indexNowKey, "");
    EXPECT_NE(dialog.statusLabel->text().indexOf("not stored"), -1);

    dialog.generateClick();
    ASSERT_EQ(site.indexNowKey.size(), 32u);
    EXPECT_EQ(dialog.keyEdit->text().toStdString(), site.indexNowKey);
    EXPECT_NE(dialog.statusLabel->text().indexOf("https://www.a.example/" + QString::fromStdString(site.indexNowKey) + ".txt"), -1);
    EXPECT_EQ(ProfileStore(ws.base().path()).loadProfile("A").indexNowKey, site.indexNowKey);
    EXPECT_EQ(ProfileStore(ws.base().path()).loadProfile("Other").indexNowKey, "");
}

TEST(MainWindow, ToolsMenuAndTheEndpointsReachTheEnginesToSubmit)
{
    GuiWorkspace ws(true);
    writeSettings(ws);  // not the first start: no sign-up window
    MessageBoxCatcher boxes;
    MainWindow window;
    QMenu* tools = window.menuBar()->findChild<QMenu*>("Tools1");
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(tools->title(), "&Tools");
    QStringList captions;
    for (QAction* a : tools->actions())
        captions << a->text();
    EXPECT_EQ(captions, (QStringList{"IndexNow...", "Submission History...", "Rank Tracker..."}));

    SiteProfile site;
    IndexNowDialog dialog(ws.base().path(), site);
    auto* endpoints = findWidget<QComboBox>(&dialog, "endpointBox");
    ASSERT_GE(endpoints->count(), 6);
    EXPECT_EQ(endpoints->itemText(0), "IndexNow");
    endpoints->setCurrentIndex(endpoints->findText("IndexNow Yep"));
    std::string added;
    dialog.onAddEngine = [&added](const std::string& engine) {
        added = engine;
        return true;
    };
    findWidget<QPushButton>(&dialog, "addEngineButton")->click();
    EXPECT_EQ(added, "IndexNow Yep");
}

TEST(IndexNowDialog, SaveKeyFileWritesExactlyTheKeyAndCheckKeyFileSaysWhatIsThere)
{
    GuiWorkspace ws(false);
    IndexNowPeers peers;
    SiteProfile site;
    site.protocol = "http://";
    site.address = peers.site().substr(7);
    IndexNowDialog dialog(ws.base().path(), site);
    dialog.keyEdit->setText(QString::fromStdString(kKey));
    emit dialog.keyEdit->editingFinished();
    ASSERT_EQ(site.indexNowKey, kKey);

    // Missing: the site answers 404, and the message carries the status.
    dialog.checkKeyFileClick();
    QString said = dialog.statusLabel->text();
    EXPECT_TRUE(said.startsWith("The key file is missing: " + QString::fromStdString(peers.site(kKey + ".txt"))
                                + " answered \"HTTP/1.0 404"))
        << said.toStdString();

    // Saved straight into the site's folder: exactly the key, no line end, no byte order mark.
    answerFolderDialog(QString::fromStdString(peers.siteFolder()));
    dialog.saveKeyFileClick();
    std::ifstream saved(peers.siteFolder() + "/" + kKey + ".txt", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, kKey);
    dialog.checkKeyFileClick();
    EXPECT_EQ(dialog.statusLabel->text().toStdString(), "The key file is in place at " + peers.site(kKey + ".txt") + ".");

    std::ofstream(peers.siteFolder() + "/" + kKey + ".txt", std::ios::binary) << "fedcba9876543210";
    dialog.checkKeyFileClick();
    said = dialog.statusLabel->text();
    EXPECT_NE(said.indexOf("holds something other than the key"), -1) << said.toStdString();

    // A key location of its own names the file that is saved.
    dialog.keyLocationEdit->setText(QString::fromStdString(peers.site("keys/site-key.txt")));
    emit dialog.keyLocationEdit->editingFinished();
    std::filesystem::create_directories(peers.siteFolder() + "/keys");
    answerFolderDialog(QString::fromStdString(peers.siteFolder() + "/keys"));
    dialog.saveKeyFileClick();
    std::ifstream placed(peers.siteFolder() + "/keys/site-key.txt", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(placed)), std::istreambuf_iterator<char>()), kKey);
    dialog.checkKeyFileClick();
    EXPECT_EQ(dialog.statusLabel->text().toStdString(), "The key file is in place at " + peers.site("keys/site-key.txt") + ".");
}

TEST(IndexNowDialog, NotifyShowsProgressAndCancelEndsAStalledBatchPromptly)
{
    GuiWorkspace ws(false);
    IndexNowPeers peers;
    peers.configure(ws.base());
    std::ofstream(peers.siteFolder() + "/" + kKey + ".txt") << kKey;
    // One batch and a little: the first is accepted, the second stalls at the endpoint.
    constexpr int kUrls = 10003;
    std::string sitemap = "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">";
    for (int i = 0; i < kUrls; ++i)
        sitemap += "<url><loc>" + peers.site("p/" + std::to_string(i)) + "</loc><lastmod>2026-01-01</lastmod></url>";
    ws.base().write("sitemap.xml", sitemap + "</urlset>");
    peers.control(R"({"delay": 300, "stall_after": 1})");

    SiteProfile site;
    site.protocol = "http://";
    site.address = peers.site().substr(7);
    site.indexNowKey = kKey;
    IndexNowDialog dialog(ws.base().path(), site);
    dialog.sitemapEdit->setText(QString::fromStdString(ws.base().file("sitemap.xml")));
    ASSERT_EQ(dialog.endpointBox->currentText(), "IndexNow");

    QElapsedTimer sinceCancel;
    int progressAtCancel = -1;
    bool busyWhileStalled = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        // Once the first batch is in and the second is held at the endpoint, press Cancel.
        if (sinceCancel.isValid() || dialog.progress->value() != 10000 || !connectedTo(peers.endpointPort()))
            return;
        progressAtCancel = dialog.progress->value();
        busyWhileStalled = dialog.cancelButton->isEnabled() && !dialog.notifyButton->isEnabled();
        sinceCancel.start();
        dialog.cancelButton->click();
    });
    watch.start();
    dialog.notifyClick();
    watch.stop();

    ASSERT_TRUE(sinceCancel.isValid()) << dialog.statusLabel->text().toStdString();
    EXPECT_LT(sinceCancel.elapsed(), 30000);  // the endpoint would have held it for 300 s
    EXPECT_EQ(progressAtCancel, 10000);
    EXPECT_EQ(dialog.progress->maximum(), kUrls);
    EXPECT_TRUE(busyWhileStalled);
    EXPECT_TRUE(dialog.notifyButton->isEnabled());
    EXPECT_FALSE(dialog.cancelButton->isEnabled());
    EXPECT_EQ(dialog.statusLabel->text(),
              "10000 accepted, 0 pending, 3 failed, 0 skipped; cancelled: the rest is sent next time.");
    const QStringList lines = dialog.results->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), kUrls);
    EXPECT_TRUE(lines.back().startsWith(QString::fromStdString(peers.site("p/10002")) + "\tfailed\t"));

    // Only the accepted batch counts as notified: the next notify sends the rest.
    HistoryStore history(ws.base().path());
    EXPECT_TRUE(history.lastAccepted(site.fullAddress(), peers.site("p/9999")).has_value());
    EXPECT_FALSE(history.lastAccepted(site.fullAddress(), peers.site("p/10000")).has_value());
}
