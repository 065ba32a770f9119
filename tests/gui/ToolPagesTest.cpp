#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "app/pages/PageBuilderPage.h"
#include "app/pages/RankingPage.h"
#include "app/pages/SearchPage.h"
#include "widgets/DropDownComboBox.h"
#include "widgets/LedNumber.h"

using namespace tolvan;
using namespace tolvan::app;
using namespace tolvan::test;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

}  // namespace

TEST(PageBuilderPage, EnteringCopiesTitleAndSixteenKeywordsOnly)
{
    GuiWorkspace ws(false);
    PageBuilderPage page;
    EXPECT_EQ(findWidget<QLineEdit>(&page, "pburledit")->text(), "http://");
    EXPECT_FALSE(findWidget<QCheckBox>(&page, "forwardcheck")->isChecked());
    page.pburledit->setText("http://home.example");
    page.pnimage->setText("logo.gif");
    page.pbkey16edit->setText("edited");

    QStringList keys;
    for (int i = 1; i <= 18; ++i)
        keys << QString("k%1").arg(i);
    page.TabSheet4Enter("Title", keys, "About the site");
    EXPECT_EQ(page.pbtitleedit->text(), "Title");
    EXPECT_EQ(findWidget<QLineEdit>(&page, "pbkey1edit")->text(), "k1");
    EXPECT_EQ(findWidget<QLineEdit>(&page, "pbkey16edit")->text(), "k16");  // earlier edits overwritten
    EXPECT_EQ(page.pbdescedit->text(), "About the site");
    EXPECT_EQ(page.pburledit->text(), "http://home.example");
    EXPECT_EQ(page.pnimage->text(), "logo.gif");

    page.TabSheet4Enter("T", {"only"}, "");
    EXPECT_EQ(page.pbkey1edit->text(), "only");
    EXPECT_EQ(page.pbkey2edit->text(), "");
}

TEST(SearchAndRankingPages, SavedAddressesFillTheirListsAndKeepTheText)
{
    GuiWorkspace ws(false);
    const QString base = QString::fromStdString(ws.base().path());
    SearchPage search;
    RankingPage ranking;
    search.setBaseDir(base);
    ranking.setBaseDir(base);
    EXPECT_EQ(search.engineGroup->checkedButton(), nullptr);  // no engine chosen at first
    EXPECT_EQ(findWidget<QComboBox>(&ranking, "depthedit")->currentText(), "50");
    EXPECT_EQ(items(ranking.depthedit).size(), 10);

    search.search->addItem("kept");
    search.TabSheet6Enter();  // no saved addresses: entries stay
    EXPECT_EQ(items(search.search), QStringList{"kept"});

    ws.base().write("sites/tlxurls.tlx", "http://a.example\r\nhttp://b.example\r\n");
    search.search->setEditText("some keywords");
    search.TabSheet6Enter();
    EXPECT_EQ(items(search.search), (QStringList{"http://a.example", "http://b.example"}));
    EXPECT_EQ(search.search->currentText(), "some keywords");

    ranking.sitetorankedit->setEditText("www.a.example");
    ranking.sitetorankedit->showPopup();  // opening the list refreshes it
    ranking.sitetorankedit->hidePopup();
    EXPECT_EQ(items(ranking.sitetorankedit), (QStringList{"http://a.example", "http://b.example"}));
    EXPECT_EQ(ranking.sitetorankedit->currentText(), "www.a.example");
}

TEST(RankingPage, PanelsStartBlankAndDebugShowsTheRankBuffer)
{
    GuiWorkspace ws(false);
    RankingPage page;
    const auto panels = page.enginePanels();
    ASSERT_EQ(panels.size(), 8u);
    EXPECT_EQ(panels[0].check->text(), "Check Infoseek");
    EXPECT_EQ(panels[3].check->text(), "Check AOL Net Find");  // checking order, not screen order
    for (const auto& panel : panels) {
        EXPECT_FALSE(panel.check->isChecked());
        EXPECT_EQ(panel.digit->displayText(), "");  // zero shows blank
    }
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    EXPECT_FALSE(page.rankmemo->isVisible());
    // Out of sight, reached by its accelerator only.
    EXPECT_EQ(page.debugb->size(), QSize(0, 0));
    EXPECT_EQ(page.debugb->shortcut(), QKeySequence(Qt::ALT | Qt::Key_D));
    page.debugb->click();
    EXPECT_TRUE(page.rankmemo->isVisible());
}
