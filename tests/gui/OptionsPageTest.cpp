// The Options page: settings in and out of the controls, the proxy fields, the
// sound browse dialogs; and the Help menu's browser hand-over.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "GuiTestSupport.h"
#include "ShellTestSupport.h"
#include "app/Browser.h"
#include "app/MainWindow.h"
#include "app/pages/OptionsPage.h"
#include "util/Errors.h"

namespace fs = std::filesystem;
using tolvan::app::OptionsPage;
using tolvan::test::GuiWorkspace;
using tolvan::test::MessageBoxCatcher;

namespace {

void answerFileDialog(const QString& file)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, file] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select a WAV Sound"));
        EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("WAV"));
        if (file.isEmpty()) {
            dialog->reject();
            return;
        }
        // Typed into the name line, as a user would; done() takes it as it
        // stands where accept() would wait for the directory listing.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(file);
        QMetaObject::invokeMethod(dialog, "done", Q_ARG(int, QDialog::Accepted));
    });
    timer->start();
}

// A browser that records its arguments, one per line.
std::string installFakeBrowser(const GuiWorkspace& ws)
{
    const std::string script = ws.base().file("browser.sh");
    const std::string log = ws.base().file("browser.log");
    std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '" << log << "'; done\n";
    fs::permissions(script, fs::perms::owner_all);
    qputenv("BROWSER", QByteArray::fromStdString(script));
    return log;
}

std::string waitForFile(const std::string& path)
{
    for (int i = 0; i < 300 && !fs::exists(path); ++i)
        QTest::qWait(10);
    QTest::qWait(50);
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(OptionsPage, SettingsRoundTripThroughTheControls)
{
    OptionsPage page;
    tolvan::Settings in = tolvan::defaultSettings();
    in.oryxname = "Name";
    in.proxycheck = true;
    in.proxyserver = "proxy.example";
    in.proxyport = "8080";
    in.timeout = "45";  // not among the items
    in.htmlcheck = true;
    in.smtpserv = "mail.example";
    in.failwavchk = true;
    in.completewav = "/sounds/done.wav";
    page.showSettings(in);
    EXPECT_TRUE(page.proxyserver->isEnabled());

    tolvan::Settings out;
    page.readSettings(out);
    EXPECT_EQ(out.oryxname, "Name");
    EXPECT_TRUE(out.proxycheck);
    EXPECT_EQ(out.proxyport, "8080");
    EXPECT_EQ(out.timeout, "45");
    EXPECT_TRUE(out.htmlcheck);
    EXPECT_FALSE(out.emailcheck);
    EXPECT_EQ(out.smtpserv, "mail.example");
    EXPECT_TRUE(out.failwavchk);
    EXPECT_EQ(out.completewav, "/sounds/done.wav");
    EXPECT_EQ(out.emailfrom, "Tolvan by Quendel");
}

TEST(OptionsPage, ProxyBoxGreysTheEditsAndEditsReachTheSubmissionClientOnly)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    MessageBoxCatcher boxes;
    tolvan::app::MainWindow w;
    OptionsPage* page = w.TabSheet5;
    EXPECT_FALSE(page->proxyport->isEnabled());
    page->proxycheck->click();
    EXPECT_TRUE(page->proxyserver->isEnabled());
    EXPECT_TRUE(page->proxyport->isEnabled());

    page->proxyserver->setText(QStringLiteral("p.example"));
    page->proxyport->setText(QStringLiteral("3128"));
    EXPECT_EQ(w.submissionClientProxy().server, QStringLiteral("p.example"));
    EXPECT_EQ(w.submissionClientProxy().port, 3128);
    EXPECT_EQ(w.rankingClientProxy().port, 80);

    boxes.clear();
    page->proxyport->setText(QStringLiteral("31x"));
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("'31x' is not a valid integer value")});
    EXPECT_EQ(w.submissionClientProxy().port, 3128);

    page->proxycheck->click();
    EXPECT_FALSE(page->proxyserver->isEnabled());
    EXPECT_EQ(page->proxyserver->text(), QStringLiteral("p.example"));
}

TEST(OptionsPage, PortNumbersFollowTheConversionRules)
{
    EXPECT_EQ(OptionsPage::portNumber(QStringLiteral("80")), 80);
    EXPECT_EQ(OptionsPage::portNumber(QStringLiteral(" 8080")), 8080);
    EXPECT_EQ(OptionsPage::portNumber(QStringLiteral("0x50")), 80);
    EXPECT_THROW(OptionsPage::portNumber(QString()), tolvan::ConvertError);
    EXPECT_THROW(OptionsPage::portNumber(QStringLiteral("eighty")), tolvan::ConvertError);
    EXPECT_THROW(OptionsPage::portNumber(QStringLiteral("70000")), tolvan::TolvanError);
}

TEST(OptionsPage, SoundBrowseSetsThePathOrLeavesItOnCancel)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    ws.base().write("bell.WAV", "RIFF");
    OptionsPage page;
    page.subwav->setText(QStringLiteral("old"));
    answerFileDialog(QString());
    page.BitBtn12->click();
    EXPECT_EQ(page.subwav->text(), QStringLiteral("old"));

    answerFileDialog(QString::fromStdString(ws.base().file("bell.WAV")));
    page.TransparentButton2->click();
    EXPECT_EQ(page.sitewav->text(), QString::fromStdString(ws.base().file("bell.WAV")));
}

TEST(HelpMenu, GuideAndHomePagesOpenInTheBrowserAsOneArgument)
{
    GuiWorkspace ws;
    tolvan::test::writeSettings(ws);
    MessageBoxCatcher boxes;
    const std::string log = installFakeBrowser(ws);
    const QByteArray cache = QByteArray::fromStdString(ws.config().file("cache"));
    qputenv("XDG_CACHE_HOME", cache);
    tolvan::app::MainWindow w;

    w.Help2Click();
    std::string args = waitForFile(log);
    const std::string guide = ws.config().file("cache") + "/tolvan/help/index.html";
    EXPECT_EQ(args, "file://" + guide + "\n");
    std::ifstream in(guide);
    const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* section : {"Site Data", "Engines", "Submit", "Page Builder", "Search", "Ranking", "Options"})
        EXPECT_NE(html.find(section), std::string::npos) << section;

    fs::remove(log);
    w.TolvanHomePage1Click();
    EXPECT_EQ(waitForFile(log), "http://www.quendel.example/tolvan/\n");

    fs::remove(ws.base().file("data/hosts.tlx"));
    boxes.clear();
    w.QuendelHomePage1Click();
    EXPECT_EQ(boxes.texts().size(), 1);
    qunsetenv("BROWSER");
    qunsetenv("XDG_CACHE_HOME");
}

TEST(HelpMenu, BrowserListIsTriedInOrderAndTheAddressStaysOneArgument)
{
    GuiWorkspace ws;
    const std::string log = installFakeBrowser(ws);
    const std::string script = ws.base().file("browser.sh");
    // A missing command first, then ours with the address placed by %s.
    qputenv("BROWSER", QByteArray::fromStdString("/nonexistent/browser:" + script + " --new-tab %s"));
    const QString address = QStringLiteral("http://host.example/a b?q=1&r=\"2\"");
    EXPECT_TRUE(tolvan::app::openInBrowser(address));
    EXPECT_EQ(waitForFile(log), "--new-tab\n" + address.toStdString() + "\n");

    const QByteArray path = qgetenv("PATH");
    qputenv("BROWSER", "/nonexistent/browser");
    qputenv("PATH", QByteArray::fromStdString(ws.base().path()));  // no xdg-open either
    EXPECT_FALSE(tolvan::app::openInBrowser(address));
    qputenv("PATH", path);
    qunsetenv("BROWSER");
}
