#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QApplication>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/dialogs/EngineListDialogs.h"
#include "app/dialogs/SimpleComboBox.h"
#include "app/dialogs/SiteProfileDialogs.h"
#include "app/pages/SiteDataPage.h"
#include "profiles/ProfileStore.h"
#include "profiles/SiteProfile.h"
#include "util/Files.h"

using namespace tolvan;
using namespace tolvan::app;
using namespace tolvan::test;

namespace {

QString base(const GuiWorkspace& ws) { return QString::fromStdString(ws.base().path()); }

void doubleClickEntry(SimpleComboBox* box, const QString& text)
{
    const auto found = box->list()->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    emit box->list()->itemDoubleClicked(found.front());
}

// Answers the next modal dialog of type D once it is up.
template <typename D>
void whenDialogOpens(std::function<void(D*)> answer)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
        }
    });
    timer->start();
}

}  // namespace

TEST(EngineListDialogs, SaveThenLoadThenDelete)
{
    GuiWorkspace ws(false);
    {
        Tsaveeng dialog(base(ws), {"Alta Vista", "Yahoo"});
        EXPECT_EQ(dialog.windowTitle(), "Save Engine List");
        EXPECT_EQ(findWidget<QLabel>(&dialog, "Label1")->text(), "Enter a name for the engine list you wish to save:");
        EXPECT_TRUE(findWidget<SimpleComboBox>(&dialog, "savelist")->items().isEmpty());
        dialog.savelist->setText("Mine");
        dialog.BitBtn1->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(ws.base().read("sites/Mine.tlx"), "Alta Vista\r\nYahoo\r\n");
    EXPECT_EQ(ws.base().read("sites/englist.tlx"), "Mine\r\n");
    {
        Tsaveeng dialog(base(ws), {"Eule"});
        EXPECT_EQ(dialog.savelist->items(), QStringList{"Mine"});
        dialog.savelist->setText("Second");
        dialog.BitBtn1->click();
    }
    EXPECT_EQ(ws.base().read("sites/englist.tlx"), "Mine\r\nSecond\r\n");

    Tloadeng dialog(base(ws));
    EXPECT_EQ(dialog.windowTitle(), "Load Engine List");
    EXPECT_EQ(dialog.Label1->text(), "Please select an engine list to load:");
    EXPECT_EQ(findWidget<SimpleComboBox>(&dialog, "loadlist")->items(), (QStringList{"Mine", "Second"}));
    dialog.show();
    dialog.loadlist->list()->setCurrentRow(1);  // picking an entry fills the name
    EXPECT_EQ(dialog.loadlist->text(), "Second");
    dialog.loadlist->setText("Mine");
    findWidget<QPushButton>(&dialog, "deletelist")->click();
    EXPECT_TRUE(dialog.isVisible());  // Delete leaves the dialog open
    EXPECT_EQ(dialog.loadlist->items(), QStringList{"Second"});
    EXPECT_FALSE(fileExists(ws.base().file("sites/Mine.tlx")));
    EXPECT_EQ(ws.base().read("sites/englist.tlx"), "Second\r\n");

    dialog.loadlist->setText("Second");
    dialog.BitBtn1->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.loadedEngines(), QStringList{"Eule"});
}

TEST(EngineListDialogs, RefusedAndUnknownNames)
{
    GuiWorkspace ws(false);
    ws.base().write("sites/tlxprofiles.tlx", "[Home]\r\nURL=keep\r\n");
    MessageBoxCatcher boxes;

    Tsaveeng save(base(ws), {"Yahoo"});
    save.show();
    save.savelist->setText("TLXPROFILES");
    save.BitBtn1->click();
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(save.isVisible());  // the user may choose another name
    EXPECT_EQ(ws.base().read("sites/tlxprofiles.tlx"), "[Home]\r\nURL=keep\r\n");
    EXPECT_FALSE(fileExists(ws.base().file("sites/englist.tlx")));

    boxes.clear();
    Tloadeng load(base(ws));
    load.show();
    load.loadlist->setText("tlxprofiles");
    load.deletelist->click();
    EXPECT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(fileExists(ws.base().file("sites/tlxprofiles.tlx")));

    boxes.clear();
    load.loadlist->setText("Gone");
    load.BitBtn1->click();
    EXPECT_EQ(boxes.texts(), QStringList{"There is no engine list by that name"});
    EXPECT_FALSE(load.isVisible());
    EXPECT_FALSE(load.loadedEngines().has_value());

    // An empty name closes without a word.
    boxes.clear();
    Tloadeng empty(base(ws));
    empty.show();
    empty.BitBtn1->click();
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_FALSE(empty.isVisible());
}

TEST(SiteProfileDialogs, SaveLoadAndDelete)
{
    GuiWorkspace ws(false);
    SiteProfile working;
    working.protocol = "http://";
    working.address = "www.home.example/";
    working.title = "Home page";
    working.descriptionLines = {"Nice", "site"};
    {
        Tsitesave dialog(base(ws), working);
        EXPECT_EQ(dialog.windowTitle(), "Save Site Profile");
        EXPECT_EQ(dialog.Label1->text(), "Enter a name for this site profile");
        EXPECT_TRUE(findWidget<QListWidget>(&dialog, "webtext")->isHidden());
        findWidget<SimpleComboBox>(&dialog, "profiles")->setText("Home");
        dialog.BitBtn1->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    working.address = "www.other.example/";
    working.title = "Other";
    {
        Tsitesave dialog(base(ws), working);
        EXPECT_EQ(dialog.profiles->items(), QStringList{"Home"});
        EXPECT_EQ(dialog.webtext->count(), 1);
        dialog.profiles->setText("Other");
        dialog.BitBtn1->click();
    }
    const ProfileStore store(ws.base().path());
    EXPECT_EQ(store.readNames(), (std::vector<std::string>{"Home", "Other"}));
    EXPECT_EQ(store.readAddresses(),
              (std::vector<std::string>{"http://www.home.example/", "http://www.other.example/"}));

    // Driven as the run drives it: never shown, name set, OK pressed.
    SiteProfile loaded;
    {
        Tsiteload dialog(base(ws), loaded);
        bool announced = false;
        QObject::connect(&dialog, &Tsiteload::profileLoaded, [&] { announced = true; });
        dialog.toloadlist->setText("Home");
        dialog.BitBtn1Click();
        EXPECT_TRUE(announced);
    }
    EXPECT_EQ(loaded.title, "Home page");
    EXPECT_EQ(loaded.fullAddress(), "http://www.home.example/");

    Tsiteload dialog(base(ws), loaded);
    EXPECT_EQ(dialog.windowTitle(), "Load Site Profile");
    EXPECT_EQ(dialog.Label1->text(), "Please select a site to load:");
    EXPECT_EQ(dialog.toloadlist->items(), (QStringList{"Home", "Other"}));
    EXPECT_EQ(findWidget<QListWidget>(&dialog, "urls")->count(), 2);
    dialog.show();
    dialog.toloadlist->setText("Home");
    findWidget<QPushButton>(&dialog, "deletesite")->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.toloadlist->items(), QStringList{"Other"});
    EXPECT_EQ(dialog.urls->count(), 1);
    EXPECT_EQ(store.readNames(), std::vector<std::string>{"Other"});
    EXPECT_EQ(store.profileForAddress("http://www.home.example/"), "");

    // A double click on an entry is OK.
    doubleClickEntry(dialog.toloadlist, "Other");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(loaded.title, "Other");
}

TEST(SiteProfileDialogs, SiteDataPageButtonsOpenThem)
{
    GuiWorkspace ws(false);
    SiteDataPage page;
    page.setBaseDir(base(ws));
    connectSiteProfileDialogs(&page);
    SiteProfile site;
    site.protocol = "http://";
    site.address = "www.page.example/";
    site.title = "From the page";
    page.setProfile(site, false);

    whenDialogOpens<Tsitesave>([](Tsitesave* d) {
        d->profiles->setText("Paged");
        d->BitBtn1->click();
    });
    page.savedbb->click();
    EXPECT_EQ(ProfileStore(ws.base().path()).loadProfile("Paged").title, "From the page");

    site.title = "Changed";
    page.setProfile(site, false);
    whenDialogOpens<Tsiteload>([](Tsiteload* d) {
        d->toloadlist->setText("Paged");
        d->BitBtn1->click();
    });
    page.loaddbb->click();
    EXPECT_EQ(page.profile().title, "From the page");
}
