// The Page Builder page's Generate button: the two checks, the save dialog, the
// page written from the boxes, and what the user is told.
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "GuiTestSupport.h"
#include "app/pages/PageBuilderPage.h"

namespace fs = std::filesystem;
using namespace tolvan;
using namespace tolvan::app;
using namespace tolvan::test;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Answers the next file dialogs with `act` and records how they were set up.
class DialogDriver {
public:
    explicit DialogDriver(std::function<void(QFileDialog*)> act) : act_(std::move(act))
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            ++shown;
            title = dialog->windowTitle();
            suffix = dialog->defaultSuffix();
            filters = dialog->nameFilters();
            confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            directory = dialog->directory().absolutePath();
            if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                offeredName = name->text();
            act_(dialog);
        });
        timer_.start();
    }

    int shown = 0;
    QString title, suffix, directory, offeredName;
    QStringList filters;
    bool confirmsOverwrite = false;

private:
    std::function<void(QFileDialog*)> act_;
    QTimer timer_;
};

// Types the name into the dialog's line, as a user does, and accepts it;
// done() takes the line as it stands where accept() would wait for a listing.
std::function<void(QFileDialog*)> typeName(const QString& file)
{
    return [file](QFileDialog* dialog) {
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(file);
        QMetaObject::invokeMethod(dialog, "done", Q_ARG(int, QDialog::Accepted));
    };
}

QString createdMessage(const std::string& file)
{
    return QString::fromStdString("An HTML file named: " + file +
                                  " has been created.  Make sure this is in a directory with your web documents "
                                  "and add it to your site database for submission.");
}

void fillValidPage(PageBuilderPage& page)
{
    page.pbtitleedit->setText("Title");
    page.pburledit->setText("http://home.example/");
}

}  // namespace

TEST(PageBuilderGenerate, MissingTitleOrHomePageIsRefusedBeforeAnyDialog)
{
    GuiWorkspace ws(false);
    PageBuilderPage page;
    MessageBoxCatcher boxes;
    DialogDriver driver([](QFileDialog* d) { d->reject(); });

    page.BitBtn7->click();  // no title, home page untouched: the title is named first
    page.pbtitleedit->setText("Title");
    page.BitBtn7->click();
    EXPECT_EQ(boxes.texts(), (QStringList{"You Must Enter a Site Title.",
                                          "You Must Enter your home page, or a page this file will link to."}));
    EXPECT_EQ(driver.shown, 0);

    // An empty home-page box is accepted: the dialog comes up.
    boxes.clear();
    page.pburledit->clear();
    page.BitBtn7->click();
    EXPECT_EQ(driver.shown, 1);
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join('|').toStdString();
    EXPECT_TRUE(fs::is_empty(ws.base().path()));
}

TEST(PageBuilderGenerate, WritesThePageTheBoxesDescribeWhereChosen)
{
    GuiWorkspace ws;  // shipped hosts file: the program's home page at the foot
    PageBuilderPage page;
    page.setBaseDir(QString::fromStdString(ws.base().path()));
    MessageBoxCatcher boxes;
    // The boxes as in the hand-written forward_with_image case.
    page.TabSheet4Enter("Bright Lamps", {"lamp", "reading lamp", "bulb"}, "Reading lamps");
    page.pburledit->setText("http://lamps.example/shop/index.html");
    page.pnimage->setText("title.gif");
    page.forwardcheck->setChecked(true);

    fs::create_directory(ws.base().file("web"));
    const std::string file = ws.base().file("web/lamps.htm");
    {
        DialogDriver driver(typeName(QString::fromStdString(file)));
        page.BitBtn7->click();
        EXPECT_EQ(driver.shown, 1);
        EXPECT_EQ(driver.title, "Save Page to your Web Server");
        EXPECT_EQ(driver.offeredName, "siteindex.htm");
        EXPECT_EQ(driver.suffix, "HTM");
        ASSERT_EQ(driver.filters.size(), 1);
        EXPECT_TRUE(driver.filters.first().startsWith("HTML files (*.HTM *.HTML"))
            << driver.filters.first().toStdString();
        EXPECT_TRUE(driver.confirmsOverwrite);
    }
    EXPECT_EQ(ws.base().read("web/lamps.htm"), testData("pagebuilder/forward_with_image/expected.htm"));
    EXPECT_EQ(boxes.texts(), QStringList{createdMessage(file)});

    // Without forwarding the script goes and the plain link comes back; the
    // next dialog opens where the last page went, and replaces it when told to.
    boxes.clear();
    page.forwardcheck->setChecked(false);
    {
        DialogDriver driver(typeName(QString::fromStdString(file)));
        page.BitBtn7->click();
        EXPECT_EQ(driver.directory.toStdString(), fs::path(ws.base().file("web")).string());
    }
    const std::string written = ws.base().read("web/lamps.htm");
    EXPECT_EQ(written.find("<script"), std::string::npos);
    EXPECT_NE(written.find("\r\n<BR><BR>\r\n<font face=\"Arial\" color=\"#FFFFFF\"><B><CENTER><a "
                           "href=\"http://lamps.example/shop/index.html\">Click here</a> </font>\r\n"),
              std::string::npos);
    EXPECT_EQ(boxes.texts(), QStringList{createdMessage(file)});
}

TEST(PageBuilderGenerate, DefaultSuffixCancelAndWriteFailure)
{
    GuiWorkspace ws(false);
    PageBuilderPage page;
    fillValidPage(page);
    MessageBoxCatcher boxes;

    // A name typed without an extension gets the default one.
    {
        DialogDriver driver(typeName(QString::fromStdString(ws.base().file("doorway"))));
        page.BitBtn7->click();
    }
    EXPECT_TRUE(fs::exists(ws.base().file("doorway.HTM")));
    EXPECT_EQ(boxes.texts(), QStringList{createdMessage(ws.base().file("doorway.HTM"))});

    // Cancelled: nothing written, nothing said.
    boxes.clear();
    {
        DialogDriver driver([](QFileDialog* d) { d->reject(); });
        page.BitBtn7->click();
        EXPECT_EQ(driver.shown, 1);
    }
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join('|').toStdString();
    EXPECT_EQ(std::distance(fs::directory_iterator(ws.base().path()), fs::directory_iterator()), 1);

    // A file that cannot be written: the error, and no success message.
    const std::string bad = ws.base().file("no-such-dir/siteindex.htm");
    {
        DialogDriver driver(typeName(QString::fromStdString(bad)));
        page.BitBtn7->click();
    }
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts().first().contains(QString::fromStdString(bad))) << boxes.texts().first().toStdString();
    EXPECT_FALSE(boxes.texts().first().contains("has been created"));
    EXPECT_FALSE(fs::exists(bad));
}
