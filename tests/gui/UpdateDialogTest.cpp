#include "app/dialogs/UpdateDialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "ArchiveServer.h"
#include "GuiTestSupport.h"
#include "app/pages/EnginesPage.h"
#include "widgets/LedNumber.h"

using namespace tolvan;
using namespace tolvan::app;
using namespace tolvan::test;
namespace fs = std::filesystem;

namespace {

const char* kArchive = "tolvan/engines/tleng.zip";

QStringList available(const EnginesPage& page)
{
    QStringList out;
    for (int i = 0; i < page.ListBox1->count(); ++i)
        out << page.ListBox1->item(i)->text();
    return out;
}

// Runs `inside` on the update dialog once it is shown modally.
void whenDialogShows(std::function<void(UpdateDialog*)> inside)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, inside] {
        if (auto* d = qobject_cast<UpdateDialog*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            inside(d);
        }
    });
    poll->start();
}

class UpdateDialogTest : public ::testing::Test {
protected:
    UpdateDialogTest()
    {
        ws_.base().write("data/hosts.tlx", "[Maker]\r\nUpdate=" + server_.host() + "\r\n");
        ws_.base().write("data/sites.tlx", "Old B\r\nOld A\r\n");
        ws_.base().write("data/custeng.tlx", "My Own Engine\r\n");
        page_.setAvailableEngines({"Old B", "Old A", "My Own Engine"});
    }
    std::string base() const { return ws_.base().path() + "/"; }

    ArchiveServer server_;
    GuiWorkspace ws_{false};
    EnginesPage page_;
};

TEST_F(UpdateDialogTest, ShowsItsControls)
{
    UpdateDialog d(nullptr, base());
    d.show();
    EXPECT_EQ(d.windowTitle(), "Update Data Files");
    EXPECT_EQ(findWidget<QPushButton>(&d, "Button1")->text(), "Start Update");
    EXPECT_EQ(findWidget<QLabel>(&d, "Label4")->text(), "Status:");
    EXPECT_EQ(findWidget<QLabel>(&d, "Label3")->text(), "% Complete");
    auto* bar = findWidget<QProgressBar>(&d, "bar");
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    auto* percent = findWidget<widgets::LedNumber>(&d, "percent");
    EXPECT_TRUE(percent->isVisible());
    EXPECT_EQ(percent->displayText(), "");
    EXPECT_EQ(findWidget<QLineEdit>(&d, "tDiskfile")->text().toStdString(), base() + "tleng.zip");
    EXPECT_EQ(findWidget<QLineEdit>(&d, "tURL")->text().toStdString(),
              "http://" + server_.host() + "/tolvan/engines/tleng.zip");
    for (const char* hidden : {"tURL", "tDiskfile", "lTrack", "Button2"})
        EXPECT_FALSE(findWidget<QWidget>(&d, hidden)->isVisible()) << hidden;
    EXPECT_EQ(findWidget<QPushButton>(&d, "Button2")->text(), "unzip");
}

TEST_F(UpdateDialogTest, UpdateReplacesTheDataClosesAndReloadsTheAvailableEngines)
{
    server_.putArchive(kArchive, R"([{"name": "data/sites.tlx", "data": "New C\r\nNew A\r\nNew B\r\n"},
                                     {"name": "New A.tlx", "data": "[Engine]\r\n"},
                                     {"name": "big.bin", "size": 100000}])");
    MessageBoxCatcher boxes;
    bool ran = false;
    whenDialogShows([&](UpdateDialog* d) {
        ran = true;
        d->Button1->click();
        // Still there until the modal loop returns: what it showed last.
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(d->result(), QDialog::Accepted);
        EXPECT_EQ(d->Label4->text(), "Data Update Complete");
        EXPECT_EQ(d->percent->value(), 100);
        EXPECT_GE(d->lTrack->count(), 3);
        EXPECT_EQ(d->lTrack->item(0)->text(), "Connected: OK");
        EXPECT_EQ(d->lTrack->item(d->lTrack->count() - 1)->text(), "Disconnected: OK");
    });
    UpdatebtnClick(nullptr, base(), &page_);

    ASSERT_TRUE(ran);
    EXPECT_EQ(boxes.texts(), QStringList{"Data File Update Complete"});
    EXPECT_EQ(ws_.base().read("data/sites.tlx"), "New C\r\nNew A\r\nNew B\r\n");
    EXPECT_EQ(ws_.base().read("data/New A.tlx"), "[Engine]\r\n");
    EXPECT_FALSE(fs::exists(ws_.base().file("tleng.zip")));
    // The index, sorted, with the custom engines as at start-up.
    EXPECT_EQ(available(page_), (QStringList{"My Own Engine", "New A", "New B", "New C"}));
    EXPECT_EQ(page_.label1->text(), "4 Search Engines Available");
}

TEST_F(UpdateDialogTest, FailedDownloadShowsTheErrorAndLeavesTheDialogOpen)
{
    server_.setBehaviour(R"({"status": 404})");
    MessageBoxCatcher boxes;
    whenDialogShows([&](UpdateDialog* d) {
        d->Button1->click();
        EXPECT_TRUE(d->isVisible());
        EXPECT_TRUE(d->Button1->isEnabled());
        EXPECT_EQ(boxes.texts(), QStringList{"151: 404 Not Found"});
        // The hidden extraction step without a download does nothing.
        d->Button2->click();
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(boxes.texts().size(), 1);
        d->reject();
    });
    ws_.base().write("data/sites.tlx", "Old B\r\nOld A\r\nOld C\r\n");  // reloaded whatever happened
    UpdatebtnClick(nullptr, base(), &page_);

    EXPECT_EQ(ws_.base().read("data/sites.tlx"), "Old B\r\nOld A\r\nOld C\r\n");
    EXPECT_FALSE(fs::exists(ws_.base().file("tleng.zip")));
    EXPECT_EQ(available(page_), (QStringList{"My Own Engine", "Old A", "Old B", "Old C"}));
    EXPECT_EQ(page_.label1->text(), "4 Search Engines Available");
}

TEST_F(UpdateDialogTest, ClosingTheWindowDuringTheDownloadAbandonsIt)
{
    server_.putArchive(kArchive, R"([{"name": "sites.tlx", "data": "Replaced\r\n"},
                                     {"name": "big.bin", "size": 400000, "stored": true}])");
    server_.setBehaviour(R"({"pause": 0.05})");
    MessageBoxCatcher boxes;
    QTimer closer;
    UpdateDialog* shown = nullptr;
    whenDialogShows([&](UpdateDialog* d) {
        shown = d;
        // Close as soon as the first piece has arrived; the window stays live
        // during the download, so this runs in the middle of it.
        closer.setInterval(0);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (shown && shown->lTrack->count() > 0 &&
                shown->lTrack->item(shown->lTrack->count() - 1)->text().endsWith(" bytes written")) {
                closer.stop();
                EXPECT_GT(shown->percent->value(), 0);
                EXPECT_TRUE(shown->Label4->text().startsWith("Received "));
                EXPECT_FALSE(shown->Button1->isEnabled());
                shown->close();
            }
        });
        closer.start();
        d->Button1->click();
    });
    UpdatebtnClick(nullptr, base(), &page_);

    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join("|").toStdString();
    EXPECT_EQ(ws_.base().read("data/sites.tlx"), "Old B\r\nOld A\r\n");
    EXPECT_FALSE(fs::exists(ws_.base().file("tleng.zip")));
    EXPECT_EQ(available(page_), (QStringList{"My Own Engine", "Old A", "Old B"}));
}

}  // namespace
