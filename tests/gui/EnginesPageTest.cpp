#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/dialogs/SimpleComboBox.h"
#include "app/pages/EnginesPage.h"
#include "app/pages/SubmitPage.h"
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

void select(QListWidget* list, const QStringList& names)
{
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setSelected(names.contains(list->item(i)->text()));
}

const QStringList kMajorSorted{"Alta Vista", "AOL NetFind", "Excite",     "HotBot", "Infoseek",
                               "Lycos",      "Tolvan Search", "Webcrawler", "Yahoo"};

// Both pages as the window links them.
struct Pages {
    EnginesPage engines;
    SubmitPage submit;
    Pages() { linkEngineLists(&engines, &submit); }
};

}  // namespace

TEST(EnginesPage, AvailableListSortsWithoutRegardToCaseAndKeepsDuplicates)
{
    GuiWorkspace ws(false);
    EnginesPage page;
    EXPECT_EQ(findWidget<QLabel>(&page, "label1")->text(), "Available Engines:");
    EXPECT_EQ(findWidget<QLabel>(&page, "Label3")->text(), "Engines to Submit");

    page.setAvailableEngines({"yahoo", "Excite", "alta vista", "Bravo"});
    EXPECT_EQ(entries(page.ListBox1), (QStringList{"alta vista", "Bravo", "Excite", "yahoo"}));
    // Custom engines go to their sorted place; one already in the index stands twice.
    page.addAvailableEngines({"Excite", "Yahoo", "apex"});
    EXPECT_EQ(entries(page.ListBox1),
              (QStringList{"alta vista", "apex", "Bravo", "Excite", "Excite", "yahoo", "Yahoo"}));
    page.showAvailableCount();
    EXPECT_EQ(page.label1->text(), "7 Search Engines Available");

    select(page.ListBox1, {"apex", "Bravo"});
    EXPECT_EQ(page.label1->text(), "2 of 7 items are selected");
}

TEST(EnginesPage, MoveSelectedAddsOnceAndCopiesToTheSubmitPage)
{
    GuiWorkspace ws(false);
    Pages p;
    p.engines.setAvailableEngines({"Lycos", "Excite", "HotBot", "alpha"});
    p.submit.ledn1->setValue(42);

    select(p.engines.ListBox1, {"Lycos", "alpha"});
    p.engines.Button1->click();
    select(p.engines.ListBox1, {"Lycos", "Excite"});
    p.engines.Button1->click();  // Lycos again: still one entry

    EXPECT_EQ(entries(p.engines.ListBox2), (QStringList{"alpha", "Excite", "Lycos"}));
    EXPECT_EQ(entries(p.submit.ListBox3), entries(p.engines.ListBox2));
    EXPECT_EQ(p.engines.Label3->text(), "3 Engines to be submitted");
    EXPECT_EQ(p.engines.ListBox1->selectedItems().size(), 2);  // the selection stays
    EXPECT_EQ(p.submit.ledn1->value(), 42);                    // moving does not touch the count panel

    // A double click in the available list moves too (the item under the mouse is selected).
    p.engines.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&p.engines));
    select(p.engines.ListBox1, {});
    const QRect rect = p.engines.ListBox1->visualItemRect(p.engines.ListBox1->item(2));  // HotBot
    QTest::mouseClick(p.engines.ListBox1->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(p.engines.ListBox1->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_TRUE(entries(p.engines.ListBox2).contains("HotBot"));
}

TEST(EnginesPage, MajorEnginesStandBesideDifferentlySpelledIndexNames)
{
    GuiWorkspace ws(false);
    Pages p;
    QSignalSpy pageRequests(&p.engines, &EnginesPage::submitPageRequested);
    p.engines.setAvailableEngines({"Yahoo", "yahoo", "Other"});
    p.engines.ListBox2->addItem("stale");  // replaced, not kept
    p.submit.Label2->setText("Cannot Auto-Mail");

    p.engines.BitBtn5->click();
    EXPECT_EQ(entries(p.engines.ListBox2), kMajorSorted);
    EXPECT_EQ(entries(p.submit.ListBox3), kMajorSorted);
    EXPECT_EQ(p.submit.ledn1->value(), 9);
    EXPECT_EQ(p.submit.Label2->text(), "Engines to Submit:");
    EXPECT_EQ(p.engines.Label3->text(), "9 Engines to be submitted");
    EXPECT_EQ(pageRequests.count(), 0);

    select(p.engines.ListBox1, {"Yahoo"});
    p.engines.Button1->click();
    EXPECT_EQ(p.engines.ListBox2->count(), 9);
    select(p.engines.ListBox1, {"yahoo"});
    p.engines.Button1->click();
    EXPECT_EQ(p.engines.ListBox2->count(), 10);
    EXPECT_EQ(entries(p.engines.ListBox2).filter("ahoo"), (QStringList{"Yahoo", "yahoo"}));
}

TEST(EnginesPage, SelectAllTakesEveryAvailableEngineAndAsksForTheSubmitPage)
{
    GuiWorkspace ws(false);
    Pages p;
    QSignalSpy pageRequests(&p.engines, &EnginesPage::submitPageRequested);
    p.engines.setAvailableEngines({"b", "A", "c"});
    p.engines.addAvailableEngines({"A"});
    p.engines.Button2->click();
    EXPECT_EQ(entries(p.engines.ListBox2), (QStringList{"A", "A", "b", "c"}));
    EXPECT_EQ(entries(p.submit.ListBox3), entries(p.engines.ListBox2));
    EXPECT_EQ(p.submit.ledn1->value(), 4);
    EXPECT_EQ(p.engines.Label3->text(), "4 Engines to be submitted");
    EXPECT_EQ(pageRequests.count(), 1);
}

TEST(EnginesPage, ClearAllAndDoubleClickRemoval)
{
    GuiWorkspace ws(false);
    Pages p;
    p.engines.BitBtn5->click();

    // Double click removes the current entry and rebuilds the copy and the label.
    p.engines.ListBox2->setCurrentRow(0);
    p.engines.ListBox2DblClick();
    EXPECT_EQ(p.engines.ListBox2->count(), 8);
    EXPECT_FALSE(entries(p.engines.ListBox2).contains("Alta Vista"));
    EXPECT_EQ(entries(p.submit.ListBox3), entries(p.engines.ListBox2));
    EXPECT_EQ(p.engines.Label3->text(), "8 Engines to be submitted");
    EXPECT_EQ(p.submit.ledn1->value(), 9);  // the panel waits for the next page change

    // Through the mouse as well.
    p.engines.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&p.engines));
    const QRect rect = p.engines.ListBox2->visualItemRect(p.engines.ListBox2->item(0));
    QTest::mouseClick(p.engines.ListBox2->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(p.engines.ListBox2->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(p.engines.ListBox2->count(), 7);

    p.engines.Button3->click();
    EXPECT_EQ(p.engines.ListBox2->count(), 0);
    EXPECT_EQ(p.submit.ListBox3->count(), 0);
    EXPECT_EQ(p.engines.Label3->text(), "7 Engines to be submitted");
    EXPECT_EQ(p.submit.ledn1->value(), 9);

    // Nothing left to remove: no change, no crash.
    p.engines.ListBox2DblClick();
    EXPECT_EQ(p.engines.ListBox2->count(), 0);
}

TEST(EnginesPage, EngineListButtonsCheckTheirPreconditions)
{
    GuiWorkspace ws(false);
    Pages p;
    MessageBoxCatcher boxes;
    p.engines.TransparentButton4->click();
    p.engines.TransparentButton3->click();
    EXPECT_EQ(boxes.texts(),
              (QStringList{"You must select engines and move them to the engines to submit list before saving.  "
                           "Whichever engines are in the Engines to Submit list will be saved.",
                           "You cannot load an Engine List until you save one."}));
}

TEST(EnginesPage, LoadingAListReplacesTheEnginesButNotTheCountPanel)
{
    GuiWorkspace ws(false);
    ws.base().write("sites/englist.tlx", "Mine\r\n");
    ws.base().write("sites/Mine.tlx", "zeta\r\nAlpha\r\n");
    Pages p;
    p.engines.BitBtn5->click();
    // Answer the load dialog: pick "Mine" and press OK.
    QTimer::singleShot(50, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        findWidget<SimpleComboBox>(dialog, "loadlist")->setText("Mine");
        findWidget<QPushButton>(dialog, "BitBtn1")->click();
    });
    p.engines.TransparentButton3->click();
    EXPECT_EQ(entries(p.engines.ListBox2), (QStringList{"Alpha", "zeta"}));
    EXPECT_EQ(entries(p.submit.ListBox3), (QStringList{"Alpha", "zeta"}));
    EXPECT_EQ(p.engines.Label3->text(), "2 Engines to be submitted");
    EXPECT_EQ(p.submit.ledn1->value(), 9);
}

TEST(EnginesPage, ListsStayFixedDuringARun)
{
    GuiWorkspace ws(false);
    Pages p;
    p.engines.setAvailableEngines({"a", "b"});
    p.engines.BitBtn5->click();
    p.engines.setRunning(true);
    for (QPushButton* b : {p.engines.Button1, p.engines.Button2, p.engines.BitBtn5, p.engines.Button3,
                           p.engines.TransparentButton3})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    p.engines.ListBox1->item(0)->setSelected(true);
    p.engines.ListBox1DblClick();
    p.engines.ListBox2->setCurrentRow(0);
    p.engines.ListBox2DblClick();
    EXPECT_EQ(entries(p.engines.ListBox2), kMajorSorted);
    p.engines.setRunning(false);
    p.engines.ListBox2DblClick();
    EXPECT_EQ(p.engines.ListBox2->count(), 8);
}
