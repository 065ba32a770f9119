#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/pages/SubmitPage.h"
#include "widgets/BlinkLabel.h"
#include "widgets/LedLamp.h"
#include "widgets/LedNumber.h"

using namespace tolvan;
using namespace tolvan::app;
using namespace tolvan::test;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QStringList entries(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

}  // namespace

TEST(SubmitPage, StartsIdleWithEveryControlNamed)
{
    GuiWorkspace ws(false);
    SubmitPage page;
    for (const char* name : {"statusl", "beingsubmittedl", "currentenginel"})
        EXPECT_EQ(findWidget<QLabel>(&page, name)->text(), SubmitPage::kPlaceholder) << name;
    EXPECT_EQ(SubmitPage::kPlaceholder.size(), 50);
    EXPECT_EQ(findWidget<QLabel>(&page, "Label2")->text(), "Engines to Submit:");
    EXPECT_EQ(findWidget<QPushButton>(&page, "BitBtn1")->text(), "Submit!");
    EXPECT_TRUE(page.BitBtn1->isEnabled());
    for (const char* name : {"BitBtn2", "pausebtn", "skipbtn", "BitBtn14", "BitBtn13", "BitBtn3"})
        EXPECT_FALSE(findWidget<QPushButton>(&page, name)->isEnabled()) << name;
    for (const char* name : {"ledn1", "ledn2", "ledn3", "ledn4", "ledn5", "ledn6", "ledn7"})
        EXPECT_EQ(findWidget<widgets::LedNumber>(&page, name)->value(), 0) << name;
    EXPECT_FALSE(findWidget<widgets::LedLamp>(&page, "Led")->isOn());
    EXPECT_EQ(page.ListBox4->selectionMode(), QAbstractItemView::SingleSelection);

    // The page fits the window's client area below the tabs.
    EXPECT_LE(page.minimumSizeHint().width(), 601);
    EXPECT_LE(page.minimumSizeHint().height(), 380);
}

TEST(SubmitPage, EnteringThePageAddsTheCurrentSiteOnce)
{
    GuiWorkspace ws(false);
    SubmitPage page;
    page.addCurrentSite("http://www.b.example/");
    page.addCurrentSite("http://www.b.example/");
    page.addCurrentSite("http://");   // protocol only
    page.addCurrentSite("");
    page.addCurrentSite("https://");  // another protocol alone is an address here
    EXPECT_EQ(entries(page.ListBox4), (QStringList{"http://www.b.example/", "https://"}));
}

TEST(SubmitPage, AddKeepsTheListSortedAndComparesExactly)
{
    GuiWorkspace ws(false);
    SubmitPage page;
    for (const char* text : {"http://zeta.example", "HTTP://Alpha.example", "http://alpha.example", "",
                             "http://zeta.example", "http://Beta.example"}) {
        page.sitestosubmitcb->setEditText(text);
        page.siestosubmitaddb->click();
    }
    EXPECT_EQ(entries(page.ListBox4), (QStringList{"HTTP://Alpha.example", "http://alpha.example",
                                                   "http://Beta.example", "http://zeta.example"}));
    EXPECT_EQ(page.sitesToSubmit(), entries(page.ListBox4));

    // A loaded batch list is sorted but not de-duplicated.
    page.setSitesToSubmit({"http://b", "http://a", "http://b"});
    EXPECT_EQ(entries(page.ListBox4), (QStringList{"http://a", "http://b", "http://b"}));
}

TEST(SubmitPage, RemoveNeedsASelection)
{
    GuiWorkspace ws(false);
    SubmitPage page;
    page.setSitesToSubmit({"http://a", "http://b"});

    QString title;
    QTimer::singleShot(50, [&title] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            EXPECT_EQ(box->text(), "You must first select an entry.");
            box->accept();
        }
    });
    page.sitestosubmitRemoveb->click();
    EXPECT_EQ(title, "Attention!");
    EXPECT_EQ(page.ListBox4->count(), 2);

    page.ListBox4->setCurrentRow(1);
    page.sitestosubmitRemoveb->click();
    EXPECT_EQ(entries(page.ListBox4), QStringList{"http://a"});
}

TEST(SubmitPage, ChooserTakesTheSavedAddressesAndKeepsItsText)
{
    GuiWorkspace ws(false);
    SubmitPage page;
    page.sitestosubmitcb->addItem("old entry");
    page.sitestosubmitcb->setEditText("http://copied.example");
    page.sitestosubmitcbEnter();  // no saved addresses yet: nothing changes
    EXPECT_EQ(items(page.sitestosubmitcb), QStringList{"old entry"});

    ws.base().write("sites/tlxurls.tlx", "http://one.example\r\nhttp://two.example\r\n");
    page.setBaseDir(QString::fromStdString(ws.base().path()));
    page.sitestosubmitcbEnter();
    EXPECT_EQ(items(page.sitestosubmitcb), (QStringList{"http://one.example", "http://two.example"}));
    EXPECT_EQ(page.sitestosubmitcb->currentText(), "http://copied.example");

    // Receiving the focus refreshes the entries.
    ws.base().write("sites/tlxurls.tlx", "http://three.example\r\n");
    page.show();
    page.activateWindow();
    QApplication::setActiveWindow(&page);
    page.sitestosubmitcb->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(items(page.sitestosubmitcb), QStringList{"http://three.example"});
}

// Addresses compare exactly: typed text that differs from a saved address only
// in letter case must not be completed into the saved one.
TEST(SubmitPage, ChooserKeepsTheLetterCaseTyped)
{
    GuiWorkspace ws(false);
    ws.base().write("sites/tlxurls.tlx", "http://old.example.net/\r\n");
    SubmitPage page;
    page.setBaseDir(QString::fromStdString(ws.base().path()));
    page.show();
    QApplication::setActiveWindow(&page);
    page.sitestosubmitcb->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(items(page.sitestosubmitcb), QStringList{"http://old.example.net/"});
    page.sitestosubmitcb->lineEdit()->clear();
    QTest::keyClicks(page.sitestosubmitcb->lineEdit(), "HTTP://OLD.example.net/");
    // Clicked with the mouse: the focus leaves the chooser first, which ends its editing.
    QTest::mouseClick(page.siestosubmitaddb, Qt::LeftButton);
    EXPECT_EQ(entries(page.ListBox4), QStringList{"HTTP://OLD.example.net/"});

    // Typing the saved address in its own case still completes to it.
    page.sitestosubmitcb->setFocus();
    page.sitestosubmitcb->lineEdit()->clear();
    QTest::keyClicks(page.sitestosubmitcb->lineEdit(), "http://old");
    EXPECT_EQ(page.sitestosubmitcb->currentText(), "http://old.example.net/");
}

TEST(SubmitPage, BatchButtonsCheckTheirPreconditions)
{
    GuiWorkspace ws(false);
    SubmitPage page;
    QSignalSpy loads(&page, &SubmitPage::loadBatchListRequested);
    QSignalSpy saves(&page, &SubmitPage::saveBatchListRequested);
    {
        MessageBoxCatcher boxes;
        page.BitBtn9->click();
        page.BitBtn10->click();
        EXPECT_EQ(boxes.texts(), (QStringList{"You cannot load a batch list until you save one.",
                                              "Before saving a batch list, you must add items."}));
    }
    EXPECT_EQ(loads.count(), 0);
    EXPECT_EQ(saves.count(), 0);

    ws.base().write("sites/tlxbatch.tlx", "one\r\n");
    page.setSitesToSubmit({"http://a"});
    page.BitBtn9->click();
    page.BitBtn10->click();
    EXPECT_EQ(loads.count(), 1);
    EXPECT_EQ(saves.count(), 1);
}

TEST(SubmitPage, EngineCopyAndCountAndSortedOutcomeLists)
{
    GuiWorkspace ws(false);
    SubmitPage page;
    page.setEngineCopy({"a", "b"});
    EXPECT_EQ(entries(page.ListBox3), (QStringList{"a", "b"}));
    page.Label2->setText("other");
    page.showEngineCount(2);
    EXPECT_EQ(page.Label2->text(), "Engines to Submit:");
    EXPECT_EQ(page.ledn1->value(), 2);

    for (const char* e : {"Yahoo", "Skipped: Lycos", "excite", "Timed Out: HotBot", "Alta Vista"})
        SubmitPage::insertSortedEntry(page.failedlist, e);
    EXPECT_EQ(entries(page.failedlist),
              (QStringList{"Alta Vista", "excite", "Skipped: Lycos", "Timed Out: HotBot", "Yahoo"}));

    page.beingsubmittedl->setText("http://a.very.long.example/path");
    page.beingsubmittedlMouseMove();
    EXPECT_EQ(page.beingsubmittedl->toolTip(), "http://a.very.long.example/path");
}

TEST(SubmitPage, RunStateLocksTheSiteListAndSwapsTheButtons)
{
    GuiWorkspace ws(false);
    SubmitPage page;
    page.copySiteToChooser("http://");  // protocol alone leaves the chooser as it is
    page.copySiteToChooser("");
    EXPECT_EQ(page.sitestosubmitcb->currentText(), "");
    page.copySiteToChooser("http://a.example");
    EXPECT_EQ(page.sitestosubmitcb->currentText(), "http://a.example");

    page.setRunning(true);
    for (QPushButton* b : {page.BitBtn1, page.BitBtn14, page.BitBtn13, page.BitBtn3, page.siestosubmitaddb,
                           page.sitestosubmitRemoveb, page.BitBtn9})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    for (QPushButton* b : {page.BitBtn2, page.pausebtn, page.skipbtn})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    page.addCurrentSite("http://a.example");  // entering the page mid-run changes nothing
    EXPECT_EQ(page.ListBox4->count(), 0);

    page.setRunning(false);
    EXPECT_TRUE(page.BitBtn14->isEnabled());  // reports describe the run that just ended
    EXPECT_FALSE(page.skipbtn->isEnabled());
    page.addCurrentSite("http://a.example");
    EXPECT_EQ(page.ListBox4->count(), 1);
}
