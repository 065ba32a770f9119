// The Text and HTML report buttons' save dialogs and messages, driven offscreen.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "GuiTestSupport.h"
#include "app/ReportActions.h"
#include "profiles/SiteProfile.h"
#include "reporting/HtmlReport.h"
#include "reporting/TextReport.h"
#include "submit/SubmissionRun.h"

namespace fs = std::filesystem;
using namespace tolvan;
using tolvan::test::GuiWorkspace;
using tolvan::test::MessageBoxCatcher;

namespace {

const QString kNote = QString::fromLatin1(kMultiSiteNote);

// Answers the next save dialog: `act` is called with the dialog each time it is
// the active modal window (again after a nested box was answered), together
// with how many times it was seen before.
class DialogDriver {
public:
    explicit DialogDriver(std::function<void(QFileDialog*, int)> act) : act_(std::move(act))
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                seen = dialog;
                title = dialog->windowTitle();
                suffix = dialog->defaultSuffix();
                filters = dialog->nameFilters();
                confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
                act_(dialog, visits_++);
            }
        });
        timer_.start();
    }

    QFileDialog* seen = nullptr;
    QString title, suffix;
    QStringList filters;
    bool confirmsOverwrite = false;

private:
    std::function<void(QFileDialog*, int)> act_;
    QTimer timer_;
    int visits_ = 0;
};

struct Fixture {
    GuiWorkspace workspace{false};
    SiteProfile site;
    SubmissionRun run;
    ReportSettings settings;

    Fixture()
    {
        site.protocol = "http://";
        site.address = "www.acme.example/";
        site.title = "Acme";
        run.startTime = "10:00:00";
        run.completedTime = "10:05:00";
        run.successList = {"Beacon"};
        run.failedList = {"Skipped: Pathway"};
        run.autoReport = true;  // left set by an automatic report of the run
        settings.urlOnReports = "http://www.tolvan.example/";
    }
    std::string path(const char* name) const { return workspace.base().file(name); }
};

void chooseFile(QFileDialog* dialog, const QString& file)
{
    dialog->selectFile(file);
    // The dialog takes a selection over from its directory model later; typing
    // the name into its line, as a user does, is what accept() reads at once.
    if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setText(file);
    QMetaObject::invokeMethod(dialog, "accept");  // as the Save button does
}

}  // namespace

TEST(ReportButtons, CancelledDialogWritesAndShowsNothing)
{
    Fixture f;
    MessageBoxCatcher boxes;
    QWidget parent;
    {
        DialogDriver driver([](QFileDialog* d, int) { d->reject(); });
        EXPECT_FALSE(app::BitBtn13Click(&parent, f.run, f.site, f.settings, 3));
        EXPECT_NE(driver.seen, nullptr);
    }
    {
        DialogDriver driver([](QFileDialog* d, int) { d->reject(); });
        EXPECT_FALSE(app::BitBtn14Click(&parent, f.run, f.site, f.settings, 3));
        EXPECT_NE(driver.seen, nullptr);
    }
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join('|').toStdString();
    EXPECT_TRUE(fs::is_empty(f.workspace.base().path()));
    EXPECT_FALSE(f.run.autoReport);  // cleared before the dialog
}

TEST(ReportButtons, TextButtonSavesWhereChosenAndConfirms)
{
    Fixture f;
    MessageBoxCatcher boxes;
    QWidget parent;
    const QString file = QString::fromStdString(f.path("mine.txt"));
    DialogDriver driver([&](QFileDialog* d, int) { chooseFile(d, file); });

    EXPECT_TRUE(app::BitBtn13Click(&parent, f.run, f.site, f.settings, 1));

    EXPECT_EQ(driver.title, "Save Tolvan Report as TEXT");
    EXPECT_EQ(driver.suffix, "TXT");
    ASSERT_EQ(driver.filters.size(), 1);
    EXPECT_TRUE(driver.filters.first().startsWith("Text files (*.TXT"));
    EXPECT_TRUE(driver.confirmsOverwrite);
    // One site: the saved message only, no multi-site note.
    EXPECT_EQ(boxes.texts(), QStringList{"Your Text report has been saved"});
    EXPECT_EQ(f.workspace.base().read("mine.txt"), textReport(makeReportData(f.site, f.run, f.settings)));
    EXPECT_FALSE(fs::exists(f.path("reports")));  // by hand nothing goes to reports/
}

TEST(ReportButtons, HtmlButtonOffersReportHtmAndAddsTheMultiSiteNote)
{
    Fixture f;
    MessageBoxCatcher boxes;
    QWidget parent;
    QString offered;
    DialogDriver driver([&](QFileDialog* d, int) {
        offered = d->selectedFiles().value(0);
        // Keep the offered name, in the throwaway base directory.
        chooseFile(d, QString::fromStdString(f.path("")) + QFileInfo(offered).fileName());
    });

    EXPECT_TRUE(app::BitBtn14Click(&parent, f.run, f.site, f.settings, 3));

    EXPECT_EQ(QFileInfo(offered).fileName(), "report.htm");
    EXPECT_EQ(driver.title, "Save Tolvan Report as HTML");
    EXPECT_EQ(driver.suffix, "HTM");
    ASSERT_EQ(driver.filters.size(), 1);
    EXPECT_TRUE(driver.filters.first().startsWith("HTML files (*.HTM *.HTML"));
    EXPECT_EQ(boxes.texts(), (QStringList{"Your HTML report has been saved", kNote}));
    EXPECT_EQ(f.workspace.base().read("report.htm"), htmlReport(makeReportData(f.site, f.run, f.settings)));
}

TEST(ReportButtons, ExistingFileIsKeptWhenTheUserDeclinesToReplaceIt)
{
    Fixture f;
    f.workspace.base().write("report.txt", "keep me");
    MessageBoxCatcher boxes;  // answers the replace question with its default, No
    QWidget parent;
    const QString file = QString::fromStdString(f.path("report.txt"));
    DialogDriver driver([&](QFileDialog* d, int visit) {
        if (visit == 0)
            chooseFile(d, file);
        else
            d->reject();  // still open after "No": give up
    });

    EXPECT_FALSE(app::BitBtn13Click(&parent, f.run, f.site, f.settings, 2));

    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts().first().contains("already exists")) << boxes.texts().first().toStdString();
    EXPECT_EQ(f.workspace.base().read("report.txt"), "keep me");
}

TEST(ReportButtons, WriteErrorIsShownWithoutSavedMessageOrNote)
{
    Fixture f;
    MessageBoxCatcher boxes;
    QWidget parent;
    const std::string sub = f.path("gone");
    fs::create_directory(sub);
    const QString file = QString::fromStdString(sub + "/report.htm");
    DialogDriver driver([&](QFileDialog* d, int) {
        d->selectFile(file);
        fs::remove(sub);  // the folder vanishes between choosing and writing
        QMetaObject::invokeMethod(d, "done", Q_ARG(int, QDialog::Accepted));
    });

    EXPECT_FALSE(app::BitBtn14Click(&parent, f.run, f.site, f.settings, 3));

    ASSERT_EQ(boxes.texts().size(), 1) << boxes.texts().join('|').toStdString();
    EXPECT_TRUE(boxes.texts().first().contains("gone/report.htm")) << boxes.texts().first().toStdString();
    EXPECT_FALSE(fs::exists(sub));
}
