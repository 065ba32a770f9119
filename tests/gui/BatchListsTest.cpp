// The batch-list dialogs and the Import and AutoRun window, offscreen, driven
// through their widgets.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "EngineServer.h"
#include "GuiTestSupport.h"
#include "ShellTestSupport.h"
#include "app/MainWindow.h"
#include "app/dialogs/BatchListDialogs.h"
#include "app/dialogs/ImportAutoRunWindow.h"
#include "app/dialogs/SimpleComboBox.h"
#include "app/pages/EnginesPage.h"
#include "app/pages/SiteDataPage.h"
#include "app/pages/SubmitPage.h"
#include "profiles/ProfileStore.h"
#include "util/Files.h"

using namespace tolvan;
using namespace tolvan::app;
using namespace tolvan::test;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QString base(const GuiWorkspace& ws) { return QString::fromStdString(ws.base().path()); }

QStringList entries(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void selectFiles(Tautobatch& window, const QStringList& names)
{
    for (int i = 0; i < window.files->count(); ++i)
        window.files->item(i)->setSelected(names.contains(window.files->item(i)->text()));
}

std::string importFile(const std::string& profile, const std::string& forward, const std::string& url)
{
    std::string text = "[Tolvan Profile]\r\n";
    if (!profile.empty())
        text += "PROFILE=" + profile + "\r\n";
    return text + "FORWARD=" + forward + "\r\nURL=" + url + "\r\nTITLE=Title of " + url + "\r\n";
}

// Hooks that record what the window asks of the main window.
struct FakeMain {
    SiteProfile working;
    QStringList sites;
    QStringList calls;
    Tautobatch* submittedBy = nullptr;

    AutoRunHooks hooks()
    {
        AutoRunHooks h;
        h.workingProfile = [this] { return working; };
        h.setWorkingProfile = [this](const SiteProfile& p) { working = p; };
        h.sitesToSubmit = [this] { return sites; };
        h.setSitesToSubmit = [this](const QStringList& s) { sites = s; };
        h.pressMajorEngines = [this] { calls << "major"; };
        h.pressSelectAllEngines = [this] { calls << "all"; };
        h.showSubmitPage = [this] { calls << "submit page"; };
        h.pressSubmit = [this](Tautobatch* w) {
            calls << "Submit!";
            submittedBy = w;
        };
        return h;
    }
};

}  // namespace

TEST(BatchListDialogs, SaveTwiceThenLoadThenDelete)
{
    GuiWorkspace ws(false);
    {
        Tsavebatch dialog(base(ws), {"http://a.example", "http://b.example"});
        EXPECT_EQ(dialog.windowTitle(), "Save Batch List");
        EXPECT_EQ(findWidget<QLabel>(&dialog, "Label1")->text(), "Please select a name for this batch list:");
        EXPECT_TRUE(findWidget<SimpleComboBox>(&dialog, "profiles")->items().isEmpty());
        dialog.profiles->setText("Shops");
        findWidget<QPushButton>(&dialog, "BitBtn1")->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    {
        Tsavebatch dialog(base(ws), {"https://c.example"});
        EXPECT_EQ(dialog.profiles->items(), QStringList{"Shops"});
        dialog.profiles->list()->setCurrentRow(0);  // picking the name fills the box
        dialog.BitBtn1->click();
    }
    {
        Tsavebatch dialog(base(ws), {"http://d.example"});
        dialog.profiles->setText("Other");
        dialog.BitBtn1->click();
    }
    EXPECT_EQ(ws.base().read("sites/tlxbatch.tlx"), "Shops\r\nOther\r\n");
    EXPECT_EQ(ws.base().read("sites/Shops.tlb"), "https://c.example\r\n");

    Tloadbatch dialog(base(ws));
    EXPECT_EQ(dialog.windowTitle(), "Load Batch List");
    EXPECT_EQ(dialog.Label1->text(), "Please select a batch list to load:");
    EXPECT_EQ(findWidget<SimpleComboBox>(&dialog, "toloadlist")->items(), (QStringList{"Shops", "Other"}));
    dialog.show();
    dialog.toloadlist->list()->setCurrentRow(0);
    findWidget<QPushButton>(&dialog, "deletesite")->click();  // at once, no question
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.toloadlist->items(), QStringList{"Other"});
    EXPECT_FALSE(fileExists(ws.base().file("sites/Shops.tlb")));
    EXPECT_EQ(ws.base().read("sites/tlxbatch.tlx"), "Other\r\n");

    // A double click on an entry loads it, as OK does.
    const auto found = dialog.toloadlist->list()->findItems("Other", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    emit dialog.toloadlist->list()->itemDoubleClicked(found.front());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.loadedSites(), QStringList{"http://d.example"});
}

TEST(BatchListDialogs, RefusedNamesAndMissingListsChangeNothing)
{
    GuiWorkspace ws(false);
    ws.base().write("sites/tlxbatch.tlx", "Gone\r\n");
    MessageBoxCatcher boxes;

    Tsavebatch save(base(ws), {"http://a.example"});
    save.show();
    save.profiles->setText("../escape");
    save.BitBtn1->click();
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(save.isVisible());  // the user may choose another name
    EXPECT_EQ(ws.base().read("sites/tlxbatch.tlx"), "Gone\r\n");
    EXPECT_FALSE(fileExists(ws.base().file("escape.tlb")));
    save.reject();

    boxes.clear();
    Tloadbatch load(base(ws));
    load.show();
    load.toloadlist->setText("Gone");  // named in the index, but its file is missing
    load.BitBtn1->click();
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts().front().contains("Gone.tlb"));
    EXPECT_TRUE(load.isVisible());
    EXPECT_FALSE(load.loadedSites().has_value());
}

TEST(BatchListDialogs, SubmitPageButtonsOpenTheDialogs)
{
    GuiWorkspace ws(false);
    MessageBoxCatcher boxes;
    SubmitPage page;
    page.setBaseDir(base(ws));
    connectBatchListDialogs(&page);
    page.setSitesToSubmit({"http://z.example", "http://a.example"});

    // Save List: the dialog opens modally; type a name and press OK.
    QTimer::singleShot(50, [] {
        auto* dialog = qobject_cast<Tsavebatch*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->profiles->setText("Mine");
        dialog->BitBtn1->click();
    });
    page.BitBtn10->click();
    EXPECT_EQ(ws.base().read("sites/Mine.tlb"), "http://a.example\r\nhttp://z.example\r\n");

    // Load List replaces the list, even by one holding the same site twice.
    ws.base().write("sites/Mine.tlb", "http://b.example\r\nhttp://b.example\r\n");
    page.setSitesToSubmit({"http://old.example"});
    QTimer::singleShot(50, [] {
        auto* dialog = qobject_cast<Tloadbatch*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->toloadlist->setText("Mine");
        dialog->BitBtn1->click();
    });
    page.BitBtn9->click();
    EXPECT_EQ(page.sitesToSubmit(), (QStringList{"http://b.example", "http://b.example"}));
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST(ImportAutoRun, WindowShowsTheBatchDirectory)
{
    GuiWorkspace ws(false);
    ws.base().write("batch/b.txt", "");
    ws.base().write("batch/A.txt", "");
    FakeMain fake;
    Tautobatch window(base(ws), fake.hooks());
    EXPECT_EQ(window.windowTitle(), "Import and AutoRun");
    EXPECT_FALSE(window.isModal());
    EXPECT_EQ(findWidget<QLabel>(&window, "Label1")->text(), "Contents of Batch Directory:");
    auto* all = findWidget<QRadioButton>(&window, "allengines");
    auto* major = findWidget<QRadioButton>(&window, "majorengines");
    EXPECT_EQ(all->text(), "Submit to All Engines");
    EXPECT_EQ(all->toolTip(), "Submits selected items to ALL available engines");
    EXPECT_EQ(major->text(), "Submit to Major Engines Only");
    EXPECT_EQ(major->toolTip(), "Submits selected items to major engines");
    EXPECT_TRUE(major->isChecked());
    EXPECT_FALSE(all->isChecked());
    const struct {
        const char* name;
        const char* text;
        const char* hint;
    } buttons[] = {
        {"Button1", "Submit Selected", "Start the submission process for selected sites"},
        {"Button2", "Save Selected", "Save selected items as Tolvan profiles"},
        {"Button4", "Delete Selected", "Delete Selected Items"},
        {"Button3", "Cancel", "Close this window"},
    };
    for (const auto& b : buttons) {
        auto* button = findWidget<QPushButton>(&window, b.name);
        EXPECT_EQ(button->text(), b.text);
        EXPECT_EQ(button->toolTip(), b.hint);
    }
    auto* files = findWidget<QListWidget>(&window, "files");
    EXPECT_EQ(files->selectionMode(), QAbstractItemView::ExtendedSelection);

    // Showing the window reads the directory again.
    ws.base().write("batch/c.txt", "");
    window.show();
    EXPECT_EQ(entries(files), (QStringList{"A.txt", "b.txt", "c.txt"}));
    window.Button3->click();
    EXPECT_FALSE(window.isVisible());
}

TEST(ImportAutoRun, SaveSelectedImportsOnlyTheSelectedFiles)
{
    GuiWorkspace ws(false);
    ws.base().write("batch/1", importFile("One", "http://", "one.example"));
    ws.base().write("batch/2", importFile("Two", "https://", "two.example"));
    ws.base().write("batch/3", importFile("", "http://", "anon.example"));
    MessageBoxCatcher boxes;
    FakeMain fake;
    fake.working.lastRun = "Last Submission: 3/4/2026";
    Tautobatch window(base(ws), fake.hooks());
    window.show();
    selectFiles(window, {"1", "3"});
    window.Button2->click();

    EXPECT_EQ(boxes.texts(), QStringList{"Batch Diretcory profiles have been saved as Tolvan Profiles."});
    const ProfileStore store(ws.base().path());
    EXPECT_EQ(store.readNames(), std::vector<std::string>{"One"});
    EXPECT_EQ(store.loadProfile("One").title, "Title of one.example");
    // The Site Data fields hold the last selected file, even one not saved.
    EXPECT_EQ(fake.working.fullAddress(), "http://anon.example");
    EXPECT_EQ(fake.working.lastRun, "Last Submission: 3/4/2026");
    EXPECT_TRUE(fake.calls.isEmpty());
    EXPECT_TRUE(window.isVisible());
}

TEST(ImportAutoRun, SubmitSelectedAddsTheSitesPicksEnginesAndPressesSubmit)
{
    GuiWorkspace ws(false);
    ws.base().write("batch/a", importFile("Alpha", "http://", "alpha.example"));
    ws.base().write("batch/b", importFile("Beta", "https://", "beta.example"));
    MessageBoxCatcher boxes;
    FakeMain fake;
    fake.sites = {"http://alpha.example"};  // already listed: added again, unchecked
    Tautobatch window(base(ws), fake.hooks());
    window.show();
    selectFiles(window, {"a", "b"});
    window.Button1->click();

    EXPECT_EQ(ProfileStore(ws.base().path()).readNames(), (std::vector<std::string>{"Alpha", "Beta"}));
    EXPECT_EQ(fake.sites, (QStringList{"http://alpha.example", "http://alpha.example", "https://beta.example"}));
    EXPECT_EQ(fake.calls, (QStringList{"major", "submit page", "Submit!"}));
    EXPECT_EQ(fake.submittedBy, &window);
    EXPECT_TRUE(boxes.texts().isEmpty());  // no question of its own

    fake.calls.clear();
    window.allengines->setChecked(true);
    window.Button1->click();
    EXPECT_EQ(fake.calls, (QStringList{"all", "submit page", "Submit!"}));

    // While a run goes the files are still saved, but the run's lists stay.
    ws.base().write("batch/c", importFile("Gamma", "http://", "gamma.example"));
    AutoRunHooks busy = fake.hooks();
    busy.runGoing = [] { return true; };
    Tautobatch during(base(ws), busy);
    during.show();
    selectFiles(during, {"c"});
    fake.calls.clear();
    const QStringList before = fake.sites;
    during.Button1->click();
    EXPECT_TRUE(fake.calls.isEmpty());
    EXPECT_EQ(fake.sites, before);
    EXPECT_EQ(ProfileStore(ws.base().path()).readNames(), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    EXPECT_TRUE(during.isVisible());
}

TEST(ImportAutoRun, SubmitSelectedAddsNothingWhenTheLastFileHasNoProfileName)
{
    GuiWorkspace ws(false);
    ws.base().write("batch/a", importFile("Alpha", "http://", "alpha.example"));
    ws.base().write("batch/z", importFile("", "http://", "zulu.example"));
    FakeMain fake;
    fake.sites = {"http://kept.example"};
    Tautobatch window(base(ws), fake.hooks());
    window.show();
    selectFiles(window, {"a", "z"});
    window.Button1->click();
    EXPECT_EQ(fake.sites, QStringList{"http://kept.example"});
    EXPECT_EQ(fake.calls, (QStringList{"major", "submit page", "Submit!"}));
    EXPECT_EQ(ProfileStore(ws.base().path()).readNames(), std::vector<std::string>{"Alpha"});
}

TEST(ImportAutoRun, DeleteSelected)
{
    GuiWorkspace ws(false);
    ws.base().write("batch/a", "");
    ws.base().write("batch/b", "");
    ws.base().write("batch/c", "");
    MessageBoxCatcher boxes;
    FakeMain fake;
    Tautobatch window(base(ws), fake.hooks());
    window.show();

    window.Button4->click();  // nothing selected: nothing deleted, still the message
    EXPECT_EQ(boxes.texts(), QStringList{"Files Deleted"});
    EXPECT_EQ(entries(window.files), (QStringList{"a", "b", "c"}));

    boxes.clear();
    selectFiles(window, {"a", "c"});
    window.Button4->click();
    EXPECT_EQ(boxes.texts(), QStringList{"Files Deleted"});
    EXPECT_EQ(entries(window.files), QStringList{"b"});
    EXPECT_FALSE(fileExists(ws.base().file("batch/a")));
    EXPECT_TRUE(fileExists(ws.base().file("batch/b")));
}

// File names are bytes: one that is not UTF-8 and one holding "\\" are saved
// and deleted like any other; a file that cannot be handled is named, the
// others go on, and no success is claimed.
TEST(ImportAutoRun, FileNamesAreTheBytesTheyAreAndFailuresAreNamed)
{
    GuiWorkspace ws(false);
    const std::string latin = "caf\xE9";
    ws.base().write("batch/" + latin, importFile("Latin", "http://", "latin.example"));
    ws.base().write("batch/back\\slash", importFile("Slash", "http://", "slash.example"));
    MessageBoxCatcher boxes;
    FakeMain fake;
    Tautobatch window(base(ws), fake.hooks());
    window.show();
    ASSERT_EQ(window.files->count(), 2);
    window.files->selectAll();
    window.Button2->click();
    EXPECT_EQ(boxes.texts(), QStringList{"Batch Diretcory profiles have been saved as Tolvan Profiles."});
    auto names = [&] {
        std::vector<std::string> n = ProfileStore(ws.base().path()).readNames();
        std::sort(n.begin(), n.end());
        return n;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"Latin", "Slash"}));

    // A selected file gone from the directory: named, the other still saved.
    ws.base().write("batch/third", importFile("Third", "http://", "third.example"));
    window.hide();
    window.show();
    window.files->selectAll();
    ASSERT_EQ(std::remove(ws.base().file("batch/" + latin).c_str()), 0);
    boxes.clear();
    window.Button2->click();
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_NE(boxes.texts()[0].indexOf(QStringLiteral("caf\u00E9")), -1) << boxes.texts()[0].toStdString();
    EXPECT_EQ(boxes.texts()[0].indexOf(QStringLiteral("have been saved")), -1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Latin", "Slash", "Third"}));

    boxes.clear();
    window.files->selectAll();
    window.Button4->click();
    EXPECT_EQ(boxes.texts(), QStringList{"Files Deleted"});
    EXPECT_FALSE(fileExists(ws.base().file("batch/back\\slash")));
    EXPECT_EQ(window.files->count(), 0);
}

// In the real window: with nothing to submit the run stops at its message and
// the Import and AutoRun window stays open.
TEST(ImportAutoRun, MainWindowRunWithNothingToSubmit)
{
    GuiWorkspace ws;
    writeSettings(ws);
    ws.base().write("batch/z", importFile("", "http://", "zulu.example"));
    MainWindow main;
    main.show();
    MessageBoxCatcher boxes;
    QPointer<Tautobatch> window = openImportAutoRun(&main);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(entries(window->files), QStringList{"z"});
    selectFiles(*window, {"z"});
    window->Button1->click();
    EXPECT_EQ(main.PageControl1->currentWidget(), main.TabSheet3);
    EXPECT_EQ(main.TabSheet1->fullAddress(), "http://zulu.example");
    EXPECT_TRUE(main.TabSheet3->sitesToSubmit().isEmpty());
    EXPECT_FALSE(main.TabSheet2->enginesToSubmit().isEmpty());  // the major engines
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts().front().startsWith("You don't have any websites listed"));
    EXPECT_TRUE(window && window->isVisible());
    window->Button3->click();
    QTest::qWait(20);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);  // released when closed
}

// In the real window against a loopback engine: two imported sites are saved,
// listed and submitted; the Import and AutoRun window goes as the run starts.
TEST(ImportAutoRun, MainWindowRunSubmitsTheImportedSites)
{
    GuiWorkspace ws;
    writeSettings(ws);
    EngineServer server("{}");
    {
        std::string custom = ws.base().read("data/custeng.tlx");
        while (!custom.empty() && (custom.back() == '\n' || custom.back() == '\r'))
            custom.pop_back();
        ws.base().write("data/custeng.tlx", custom + "\r\nLoop Engine\r\n");
        ws.base().write("data/Loop Engine.tlx", "[Fields]\r\nURL=url\r\nTITLE=title\r\n[SITE]\r\nACTION="
                                                    + server.url("/add") + "\r\nMETHOD=POST\r\n");
    }
    ws.base().write("batch/a", importFile("Alpha", "http://", "alpha.example/"));
    ws.base().write("batch/b", importFile("Beta", "http://", "beta.example/"));
    MainWindow main;
    main.show();
    MessageBoxCatcher boxes;

    // Stand-in for the major engines: only the loopback engine, so nothing
    // leaves this machine.
    AutoRunHooks hooks = autoRunHooks(&main);
    hooks.pressMajorEngines = [&main] {
        EnginesPage* engines = main.TabSheet2;
        for (int i = 0; i < engines->ListBox1->count(); ++i)
            engines->ListBox1->item(i)->setSelected(engines->ListBox1->item(i)->text() == "Loop Engine");
        engines->Button1->click();
    };
    QPointer<Tautobatch> window = new Tautobatch(base(ws), hooks, &main);
    window->show();
    selectFiles(*window, {"a", "b"});
    ASSERT_EQ(main.TabSheet2->enginesToSubmit(), QStringList{});
    bool releasedDuringRun = false;
    QObject::connect(window, &QObject::destroyed, [&] { releasedDuringRun = true; });
    window->Button1->click();  // returns when the run is over

    // Closed at the start, released only once the handler that pressed Submit!
    // is done (its buttons must outlive the click).
    EXPECT_FALSE(releasedDuringRun);
    EXPECT_FALSE(window && window->isVisible());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
    EXPECT_EQ(main.TabSheet2->enginesToSubmit(), QStringList{"Loop Engine"});
    EXPECT_EQ(main.TabSheet3->sitesToSubmit(), (QStringList{"http://alpha.example/", "http://beta.example/"}));
    ASSERT_FALSE(boxes.texts().isEmpty());
    EXPECT_EQ(boxes.texts().front(), "Make sure you have an internet connection established and then hit OK");
    const std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    // Each site went with its own saved profile.
    EXPECT_NE(requests[0].find("title=Title+of+alpha.example%2F"), std::string::npos) << requests[0];
    EXPECT_NE(requests[1].find("title=Title+of+beta.example%2F"), std::string::npos) << requests[1];
}
