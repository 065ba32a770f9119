#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

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
    EXPECT_EQ(captions, (QStringList{"IndexNow...", "Submission History..."}));

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
