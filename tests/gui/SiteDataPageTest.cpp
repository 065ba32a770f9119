// The Site Data page: the working profile in and out of the controls, the
// description as displayed, and the page's three buttons with the profile
// dialogs behind them.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "GuiTestSupport.h"
#include "ShellTestSupport.h"
#include "app/MainWindow.h"
#include "app/dialogs/SimpleComboBox.h"
#include "app/dialogs/SiteProfileDialogs.h"
#include "app/pages/SiteDataPage.h"

using tolvan::SiteProfile;
using tolvan::app::SiteDataPage;
using tolvan::test::GuiWorkspace;
using tolvan::test::MessageBoxCatcher;

namespace {

// Answers the next modal dialog of type D with `answer`, once.
template <typename D>
void answerDialog(std::function<void(D*)> answer)
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

std::string joined(const std::vector<std::string>& lines)
{
    std::string out;
    for (const auto& l : lines)
        out += "[" + l + "]";
    return out;
}

}  // namespace

TEST(SiteDataPage, ControlsCarryTheirNamesHintsAndInitialTexts)
{
    SiteDataPage page;
    const char* edits[] = {"url2", "url", "title", "name", "email", "company", "address",
                           "city", "state", "zip", "country", "phone", "fax", "key1", "key18"};
    for (const char* name : edits)
        EXPECT_NO_THROW(tolvan::test::findWidget<QLineEdit>(&page, name)) << name;
    EXPECT_TRUE(page.url->isHidden());
    EXPECT_EQ(page.url1->count(), 2);
    EXPECT_EQ(page.url1->itemText(1), QStringLiteral("https://"));
    EXPECT_TRUE(page.url1->isEditable());
    EXPECT_TRUE(page.url1->currentText().isEmpty());
    EXPECT_EQ(page.category->currentText(), QStringLiteral("SELECT A CATEGORY "));
    EXPECT_EQ(page.lastruntext->text(), QStringLiteral("Last Submission: Unknown"));
    EXPECT_EQ(page.keyEdit(7), page.key7);
    EXPECT_EQ(page.key12->toolTip(), QStringLiteral("Enter a Keyword or phrase"));
    EXPECT_EQ(page.url2->toolTip(), QStringLiteral("Enter the web page you wish to submit.  Do not use http://"));
    EXPECT_EQ(page.cleardbb->text(), QStringLiteral("Clear All Fields"));
    EXPECT_EQ(page.loaddbb->toolTip(), QStringLiteral("Loads a saved website profile."));
}

TEST(SiteDataPage, ProfileRoundTripsThroughTheControls)
{
    SiteDataPage page;
    page.resize(600, 380);
    page.ensurePolished();
    page.layout()->activate();
    page.setCategories({"zeta", "Alpha", "beta"});
    EXPECT_EQ(page.category->itemText(0), QStringLiteral("Alpha"));
    EXPECT_EQ(page.category->itemText(1), QStringLiteral("beta"));

    SiteProfile p;
    p.protocol = "https://";
    p.address = "www.example.org/shop";
    p.title = "Shop";
    p.descriptionLines = {"One line from disk "};
    p.category = "Outside the list";
    p.keywords[0] = "k1";
    p.keywords[17] = "k18";
    p.name = "N";
    p.company = "C";
    p.city = "Ci";
    p.country = "Co";
    p.email = "e@x";
    p.street = "S 1";
    p.state = "ST";
    p.zip = "Z";
    p.phone = "P";
    p.fax = "F";
    p.lastRun = "Last Submission: 3/4/05";
    page.setProfile(p, false);
    EXPECT_EQ(page.lastruntext->text(), QStringLiteral("Last Submission: Unknown"));
    EXPECT_EQ(page.fullAddress(), QStringLiteral("https://www.example.org/shop"));
    page.setProfile(p, true);
    EXPECT_EQ(page.lastruntext->text(), QStringLiteral("Last Submission: 3/4/05"));

    const SiteProfile back = page.profile();
    EXPECT_EQ(back.fullAddress(), p.fullAddress());
    EXPECT_EQ(back.category, p.category);
    EXPECT_EQ(back.keywords, p.keywords);
    EXPECT_EQ(back.street, "S 1");
    EXPECT_EQ(back.fax, "F");
    EXPECT_EQ(joined(back.descriptionLines), "[One line from disk ]");
    // Stored again, the description gains one more trailing blank.
    EXPECT_EQ(back.descriptionText(), "One line from disk  ");
}

TEST(SiteDataPage, DescriptionIsReadAsDisplayedAndLimitedTo256Characters)
{
    tolvan::test::GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    MessageBoxCatcher boxes;
    tolvan::app::MainWindow w;
    SiteDataPage* page = w.TabSheet1;

    page->desc->setPlainText(QStringLiteral("one\ntwo"));
    EXPECT_EQ(page->profile().descriptionText(), "one two ");
    page->desc->setPlainText(QStringLiteral("trailing break\n"));
    EXPECT_EQ(joined(page->profile().descriptionLines), "[trailing break]");
    page->desc->clear();
    EXPECT_TRUE(page->profile().descriptionLines.empty());

    // A long paragraph wraps into several displayed lines; joined again they
    // give the words back with one blank between them.
    QStringList words;
    for (int i = 0; i < 30; ++i)
        words << QStringLiteral("word%1").arg(i);
    page->desc->setPlainText(words.join(QLatin1Char(' ')));
    auto lines = page->profile().descriptionLines;
    EXPECT_GT(lines.size(), 2u);
    EXPECT_EQ(page->profile().descriptionText(), (words.join(QLatin1Char(' ')) + QLatin1Char(' ')).toStdString());
    // Same lines whether or not the page is on screen.
    w.show();
    EXPECT_EQ(page->profile().descriptionLines, lines);
    w.PageControl1->setCurrentIndex(6);
    EXPECT_EQ(page->profile().descriptionLines, lines);

    page->desc->setPlainText(QString(250, QLatin1Char('a')));
    page->desc->moveCursor(QTextCursor::End);
    page->desc->insertPlainText(QString(20, QLatin1Char('b')));
    EXPECT_EQ(page->desc->toPlainText(), QString(250, QLatin1Char('a')) + QString(6, QLatin1Char('b')));
    w.close();
}

TEST(SiteDataPage, ClearAllFieldsEmptiesEverythingButTheLastRun)
{
    SiteDataPage page;
    SiteProfile p;
    p.protocol = "http://";
    p.address = "a.example";
    p.title = "t";
    p.descriptionLines = {"d"};
    p.category = "Arts";
    p.keywords[5] = "k";
    p.phone = "1";
    p.lastRun = "Last Submission: 1/1/01";
    page.setProfile(p, true);
    page.cleardbb->click();

    EXPECT_TRUE(page.url1->currentText().isEmpty());
    EXPECT_TRUE(page.url2->text().isEmpty());
    EXPECT_TRUE(page.url->text().isEmpty());
    EXPECT_TRUE(page.title->text().isEmpty());
    EXPECT_TRUE(page.desc->toPlainText().isEmpty());
    EXPECT_EQ(page.category->currentText(), QStringLiteral("SELECT A CATEGORY"));
    EXPECT_TRUE(page.key6->text().isEmpty());
    EXPECT_TRUE(page.phone->text().isEmpty());
    EXPECT_EQ(page.lastruntext->text(), QStringLiteral("Last Submission: 1/1/01"));
}

TEST(SiteDataPage, SaveAndLoadRequestsCheckFirstThenUseTheDialogs)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    MessageBoxCatcher boxes;
    tolvan::app::MainWindow w;
    SiteDataPage* page = w.TabSheet1;
    boxes.clear();

    page->savedbb->click();
    page->loaddbb->click();
    EXPECT_EQ(boxes.texts(), (QStringList{QStringLiteral("You must at least have a web site entered to save."),
                                          QStringLiteral("You cannot load a site profile until you save one.")}));

    page->url1->setEditText(QStringLiteral("http://"));
    page->url2->setText(QStringLiteral("www.saved.example"));
    page->title->setText(QStringLiteral("Saved"));
    answerDialog<tolvan::app::Tsitesave>([](tolvan::app::Tsitesave* d) {
        d->profiles->setText(QStringLiteral("Mine"));
        d->BitBtn1->click();
    });
    page->savedbb->click();
    EXPECT_EQ(page->url->text(), QStringLiteral("http://www.saved.example"));
    EXPECT_EQ(ws.base().read("sites/tlxplist.tlx"), "Mine\r\n");
    EXPECT_EQ(ws.base().read("sites/tlxurls.tlx"), "http://www.saved.example\r\n");

    page->cleardbb->click();
    answerDialog<tolvan::app::Tsiteload>([](tolvan::app::Tsiteload* d) {
        d->toloadlist->setText(QStringLiteral("Mine"));
        d->BitBtn1->click();
    });
    page->loaddbb->click();
    EXPECT_EQ(page->title->text(), QStringLiteral("Saved"));
    EXPECT_EQ(page->url->text(), QStringLiteral("http://www.saved.example"));
    EXPECT_EQ(page->lastruntext->text(), QStringLiteral("Last Submission: Unknown"));
    EXPECT_EQ(boxes.texts().size(), 2);
}
