// The Search page's Check Site button: the chosen engine's search for the box's
// text goes to the browser (a fake one here that records its arguments).
#include <QButtonGroup>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "GuiTestSupport.h"
#include "app/pages/SearchPage.h"

namespace fs = std::filesystem;
using namespace tolvan::app;
using namespace tolvan::test;

namespace {

// A browser that records its arguments, one per line.
struct FakeBrowser {
    std::string log;

    explicit FakeBrowser(const GuiWorkspace& ws) : log(ws.base().file("browser.log"))
    {
        const std::string script = ws.base().file("browser.sh");
        std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\" >> '" << log << "'; done\n";
        fs::permissions(script, fs::perms::owner_all);
        qputenv("BROWSER", QByteArray::fromStdString(script));
    }
    ~FakeBrowser() { qunsetenv("BROWSER"); }

    // What the browser was given since the last call ("" when it never ran).
    std::string take(int waitMs = 3000)
    {
        for (int waited = 0; waited < waitMs && !fs::exists(log); waited += 10)
            QTest::qWait(10);
        QTest::qWait(50);
        std::ifstream in(log);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        fs::remove(log);
        return text;
    }
};

struct SearchFixture {
    GuiWorkspace ws;  // shipped data/hosts.tlx
    SearchPage page;
    FakeBrowser browser{ws};
    MessageBoxCatcher boxes;

    SearchFixture() { page.setBaseDir(QString::fromStdString(ws.base().path())); }

    std::string check(QRadioButton* engine, const QString& text, int waitMs = 3000)
    {
        engine->setChecked(true);
        page.search->setEditText(text);
        page.BitBtn11->click();
        return browser.take(waitMs);
    }
};

}  // namespace

TEST(SearchCheckPage, EachEngineOpensItsSearchForTheTypedText)
{
    SearchFixture f;
    const std::pair<QRadioButton*, std::string> expected[] = {
        {f.page.isradio, "http://search.infoseek.example/Titles?col=WW&qt=url%3Ablue+widgets&lk=ip-noframes"},
        {f.page.yahooradio, "http://search.yahoo.example/search?p=blue+widgets"},
        {f.page.avradio, "http://search.altavista.example/cgi-bin/query?pg=q&what=web&kl=XX&q=blue+widgets"},
        {f.page.lycosradio, "http://search.lycos.example/cgi-bin/pursuit?etemp=error_nojava&mtemp=nojava&adv=1"
                            "&cat=lycos&npl=matchmode%3Dand%26adv%3D1&query=blue+widgets"},
        {f.page.aolradio, "http://search.aolnetfind.example/search.gw?search=blue+widgets&lk=excite_netfind_us"},
        {f.page.exciteradio, "http://search.excite.example/search.gw?trace=a&search=blue+widgets"},
        {f.page.hbradio, "http://search.hotbot.example/hResult.html/?SM=MC&MT=blue+widgets&DV=7&RG=.com&DC=10"
                         "&DE=2&OPs=MDRTP&_v=2&DU=days&SW=web&search.x=20&search.y=9"},
        {f.page.wcradio, "http://search.webcrawler.example/cgi-bin/WebQuery?searchText=blue+widgets"},
    };
    for (const auto& [radio, address] : expected)
        EXPECT_EQ(f.check(radio, "blue widgets"), address + "\n") << radio->objectName().toStdString();

    // Text that would break the query apart stays one value; an empty box
    // still opens the search.
    EXPECT_EQ(f.check(f.page.yahooradio, "fish & chips #1"), "http://search.yahoo.example/search?p=fish+%26+chips+%231\n");
    EXPECT_EQ(f.check(f.page.yahooradio, ""), "http://search.yahoo.example/search?p=\n");
    EXPECT_TRUE(f.boxes.texts().isEmpty()) << f.boxes.texts().join('|').toStdString();
}

TEST(SearchCheckPage, SavedAddressChosenFromTheList)
{
    SearchFixture f;
    f.ws.base().write("sites/tlxurls.tlx", "http://a.example/\r\nhttp://b.example/shop/\r\n");
    f.page.TabSheet6Enter();
    f.page.search->setCurrentIndex(1);
    f.page.isradio->setChecked(true);
    f.page.BitBtn11->click();
    EXPECT_EQ(f.browser.take(),
              "http://search.infoseek.example/Titles?col=WW&qt=url%3Ahttp%3A%2F%2Fb.example%2Fshop%2F&lk=ip-noframes\n");
}

TEST(SearchCheckPage, NothingChosenOrNoHostOrNoBrowser)
{
    SearchFixture f;
    // No engine chosen: nothing happens at all.
    ASSERT_EQ(f.page.engineGroup->checkedButton(), nullptr);
    f.page.search->setEditText("widgets");
    f.page.BitBtn11->click();
    EXPECT_EQ(f.browser.take(300), "");
    EXPECT_TRUE(f.boxes.texts().isEmpty());

    // An engine the hosts file has no search host for: said, not opened.
    f.ws.base().write("data/hosts.tlx", "[Search]\r\nYahoo=search.yahoo.example\r\n");
    EXPECT_EQ(f.check(f.page.hbradio, "widgets", 300), "");
    ASSERT_EQ(f.boxes.texts().size(), 1);
    EXPECT_TRUE(f.boxes.texts().first().contains("HotBot")) << f.boxes.texts().first().toStdString();

    // No browser can be started.
    f.boxes.clear();
    const QByteArray path = qgetenv("PATH");
    qputenv("BROWSER", "/nonexistent/browser");
    qputenv("PATH", QByteArray::fromStdString(f.ws.base().path()));  // no xdg-open either
    f.page.yahooradio->setChecked(true);
    f.page.BitBtn11->click();
    qputenv("PATH", path);
    EXPECT_EQ(f.boxes.texts(), QStringList{"Couldn't launch default browser"});
}
