#include "ranking/RankCheck.h"
#include "settings/RegFile.h"
#include "settings/Settings.h"

#include "util/Errors.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace tolvan;
using tolvan::test::TempDir;

namespace {

const std::string kHead = "Windows Registry Editor Version 5.00\r\n\r\n"
                          "[HKEY_CURRENT_USER\\Software\\Brindle\\Tolvan\\init]\r\n";

}  // namespace

TEST(Settings, MissingFileGivesDefaultsWithTheMakersAddress)
{
    TempDir dir;
    const auto load = loadSettings(dir.file("none.reg"), "http://127.0.0.1:8080/");
    EXPECT_TRUE(load.messages.empty());
    const Settings& s = load.settings;
    EXPECT_EQ(s.oryxname, "Tolvan");
    EXPECT_EQ(s.oryxurl, "http://127.0.0.1:8080/");
    EXPECT_EQ(s.proxyport, "80");
    EXPECT_EQ(s.timeout, "60");
    EXPECT_EQ(s.emailfrom, "Tolvan by Quendel");
    EXPECT_EQ(s.emailsubj, "Tolvan Report");
    EXPECT_TRUE(s.firstTime);
    EXPECT_FALSE(s.proxycheck);
    EXPECT_EQ(loadSettings(dir.file("none.reg"), "").settings.oryxurl, "http://www.quendel.com/");
}

TEST(Settings, ReadingRulesForTextTickBoxesAndFirstTime)
{
    TempDir dir;
    dir.write("t.reg", kHead +
                           "\"OryxName\"=\"Acme Reports\"\r\n"
                           "\"Proxy\"=\"2\"\r\n"
                           "\"AutoMail\"=\"0x1\"\r\n"
                           "\"AutoHTML\"=\"1\"\r\n"
                           "\"AutoText\"=\"yes\"\r\n"
                           "\"pbforward\"=\" 1\"\r\n"
                           "\"WAVSubmission\"=\"0X01\"\r\n"
                           "\"WAVSiteRun\"=\"0x\"\r\n"
                           "\"HTTPTimeOut\"=\"45\"\r\n"
                           "\"EMAILFrom\"=\"\"\r\n"
                           "\"FirstTime\"=\"\"\r\n"
                           "\"SubmissionWAV\"=\"C:\\\\sounds\\\\say \\\"hi\\\".wav\"\r\n");
    const auto load = loadSettings(dir.file("t.reg"));
    EXPECT_TRUE(load.messages.empty());
    const Settings& s = load.settings;
    EXPECT_EQ(s.oryxname, "Acme Reports");  // written as OryxName, read as oryxname
    EXPECT_FALSE(s.proxycheck);             // 2 is neither ticked nor cleared
    EXPECT_TRUE(s.emailcheck);
    EXPECT_TRUE(s.htmlcheck);
    EXPECT_FALSE(s.textcheck);
    EXPECT_TRUE(s.forwardcheck);
    EXPECT_TRUE(s.subwavchk);
    EXPECT_FALSE(s.sitewavchk);  // "0x" alone is not a number
    EXPECT_EQ(s.timeout, "45");
    EXPECT_EQ(s.emailfrom, "");             // present but empty stays empty
    EXPECT_EQ(s.emailsubj, "Tolvan Report");  // missing gives the default
    EXPECT_TRUE(s.firstTime);               // empty reads as 1
    EXPECT_EQ(s.subwav, "C:\\sounds\\say \"hi\".wav");

    for (const auto& [text, expected] : {std::pair{"0", false}, {"7", true}, {"-1", true}, {"x", true}, {"0x0", false}}) {
        dir.write("f.reg", kHead + "\"FirstTime\"=\"" + text + "\"\r\n");
        EXPECT_EQ(loadSettings(dir.file("f.reg")).settings.firstTime, expected) << text;
    }
}

TEST(Settings, ValueOfAnotherTypeGivesMessageAndStartUpGoesOn)
{
    TempDir dir;
    dir.write("d.reg", kHead +
                           "\"Proxy\"=dword:00000001\r\n"
                           "\"oryxurl\"=hex(2):41,00,\\\r\n  42,00\r\n"
                           "\"SMTPServer\"=\"mail.local\"\r\n");
    const auto load = loadSettings(dir.file("d.reg"), "http://maker/");
    ASSERT_EQ(load.messages.size(), 2u);
    EXPECT_EQ(load.messages[0], "Invalid data type for 'oryxurl'");
    EXPECT_EQ(load.messages[1], "Invalid data type for 'Proxy'");
    EXPECT_EQ(load.settings.oryxurl, "http://maker/");
    EXPECT_FALSE(load.settings.proxycheck);
    EXPECT_EQ(load.settings.smtpserv, "mail.local");
}

TEST(Settings, SaveWritesEveryValueInOrderWithFirstTimeZero)
{
    TempDir dir;
    Settings s = defaultSettings("http://maker/");
    s.proxycheck = true;
    s.proxyserver = "proxy.local";
    s.htmlcheck = true;
    s.failwavchk = true;
    s.failwav = "C:\\x\\\"f\".wav";
    const std::string path = dir.file("cfg/Brindle/Tolvan.reg");
    saveSettings(path, s);
    EXPECT_EQ(dir.read("cfg/Brindle/Tolvan.reg"),
              kHead +
                  "\"OryxName\"=\"Tolvan\"\r\n"
                  "\"OryxURL\"=\"http://maker/\"\r\n"
                  "\"Proxy\"=\"1\"\r\n"
                  "\"ProxyServer\"=\"proxy.local\"\r\n"
                  "\"ProxyPort\"=\"80\"\r\n"
                  "\"HTTPTimeOut\"=\"60\"\r\n"
                  "\"FirstTime\"=\"0\"\r\n"
                  "\"AutoMail\"=\"0\"\r\n"
                  "\"AutoHTML\"=\"1\"\r\n"
                  "\"AutoText\"=\"0\"\r\n"
                  "\"PBForward\"=\"0\"\r\n"
                  "\"SMTPServer\"=\"\"\r\n"
                  "\"EMAILaddr\"=\"\"\r\n"
                  "\"EMAILFrom\"=\"Tolvan by Quendel\"\r\n"
                  "\"EMAILSubject\"=\"Tolvan Report\"\r\n"
                  "\"WAVSubmission\"=\"0\"\r\n"
                  "\"WAVSiteRun\"=\"0\"\r\n"
                  "\"WAVComplete\"=\"0\"\r\n"
                  "\"WAVFailure\"=\"1\"\r\n"
                  "\"SubmissionWAV\"=\"\"\r\n"
                  "\"SiteRunWAV\"=\"\"\r\n"
                  "\"CompleteWAV\"=\"\"\r\n"
                  "\"FailureWAV\"=\"C:\\\\x\\\\\\\"f\\\".wav\"\r\n"
                  "\r\n");
    const auto back = loadSettings(path);
    EXPECT_TRUE(back.messages.empty());
    EXPECT_FALSE(back.settings.firstTime);
    EXPECT_EQ(back.settings.failwav, s.failwav);
    EXPECT_TRUE(back.settings.proxycheck);
    EXPECT_EQ(back.settings.proxyserver, "proxy.local");
}

TEST(Settings, SaveKeepsOtherKeysAndValuesAndReplacesWrongTypes)
{
    TempDir dir;
    dir.write("k.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                       "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                       "\"Keep\"=\"me\"\r\n"
                       "@=\"default\"\r\n\r\n"
                       "[hkey_current_user\\software\\brindle\\tolvan\\INIT]\r\n"
                       "\"Proxy\"=\"2\"\r\n"
                       "\"Blob\"=hex:01,02,\\\r\n  03\r\n"
                       "\"AutoMail\"=dword:00000001\r\n"
                       "; a comment line\r\n");
    Settings s = loadSettings(dir.file("k.reg")).settings;
    saveSettings(dir.file("k.reg"), s);
    const std::string text = dir.read("k.reg");
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Keep\"=\"me\"\r\n@=\"default\"\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"Blob\"=hex:01,02,\\\r\n  03\r\n"), std::string::npos);
    EXPECT_NE(text.find("; a comment line\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Proxy\"=\"0\"\r\n"), std::string::npos);    // 2 was unticked, written as 0
    EXPECT_NE(text.find("\"AutoMail\"=\"0\"\r\n"), std::string::npos); // the dword became text
    EXPECT_EQ(text.find("dword"), std::string::npos);
    EXPECT_EQ(text.find("Software\\Brindle\\Tolvan\\init]"), std::string::npos);  // one key, its spelling kept
    EXPECT_TRUE(loadSettings(dir.file("k.reg")).messages.empty());
}

// Lines before the first key stay with every line a value there goes on over,
// and a dangling "\" there never swallows the key that follows on a rewrite.
TEST(Settings, ValuesBeforeAnyKeyKeepTheirContinuationLines)
{
    for (const std::string& tail : {std::string("  03\r\n"), std::string()}) {
        const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n"
                                 "\"Hex\"=hex:01,02,\\\r\n" + tail;
        RegFile reg = RegFile::parse(text);
        reg.setText("HKEY_CURRENT_USER\\Software\\Fuzz", "Name", "value");
        const std::string written = reg.serialize();
        EXPECT_NE(written.find("\"Hex\"=hex:01,02,\\\r\n" + tail), std::string::npos) << written;
        const RegFile::Lookup found = RegFile::parse(written).value("HKEY_CURRENT_USER\\Software\\Fuzz", "name");
        EXPECT_TRUE(found.found && found.text == "value") << written;
    }
}

TEST(Settings, Utf16ExportsAreReadAndFailedSaveLeavesTheOldFile)
{
    TempDir dir;
    const std::string utf8 = kHead + "\"EMAILFrom\"=\"J\xC3\xBCrgen\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string(kHead + "\"EMAILFrom\"=\"J\xFCrgen\"\r\n")) {
        utf16 += c;
        utf16 += '\0';
    }
    dir.write("u.reg", utf16);
    EXPECT_EQ(loadSettings(dir.file("u.reg")).settings.emailfrom, "J\xC3\xBCrgen");

    dir.write("blocker", "old");
    EXPECT_THROW(saveSettings(dir.file("blocker/Tolvan.reg"), Settings{}), FileError);
    EXPECT_EQ(dir.read("blocker"), "old");
}

TEST(Settings, DefaultPathFollowsXdgConfigHome)
{
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = oldXdg ? oldXdg : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
    EXPECT_EQ(defaultSettingsPath(), "/tmp/xdg-test/Brindle/Tolvan.reg");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(defaultSettingsPath(), "/home/someone/.config/Brindle/Tolvan.reg");
    if (oldXdg)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
}

TEST(ProxyPort, WholeNumbersInRangeOnly)
{
    EXPECT_EQ(tolvan::proxyPortNumber(" 8080 "), 8080);
    EXPECT_EQ(tolvan::proxyPortNumber("0x50"), 80);
    EXPECT_EQ(tolvan::proxyPortNumber("$1F90"), 8080);
    // A port never wraps: 70000 is refused, not taken as 4464.
    EXPECT_THROW(tolvan::proxyPortNumber("70000"), tolvan::TolvanError);
    EXPECT_THROW(tolvan::proxyPortNumber("-1"), tolvan::TolvanError);
    EXPECT_THROW(tolvan::proxyPortNumber("eighty"), tolvan::ConvertError);
    EXPECT_THROW(tolvan::proxyPortNumber(""), tolvan::ConvertError);
    EXPECT_THROW(tolvan::proxyPortNumber("99999999999999999999"), tolvan::ConvertError);
}

TEST(Settings, MailSecurityAndUserAreWrittenOnceSetAndNeverThePassword)
{
    TempDir dir;
    const std::string path = dir.file("Tolvan.reg");
    Settings s = defaultSettings();
    saveSettings(path, s);
    EXPECT_EQ(dir.read("Tolvan.reg").find("SMTPSecurity"), std::string::npos);
    EXPECT_EQ(dir.read("Tolvan.reg").find("SMTPUser"), std::string::npos);

    s.smtpsecurity = "STARTTLS";
    s.smtpuser = "me@example.org";
    saveSettings(path, s);
    auto back = loadSettings(path).settings;
    EXPECT_EQ(back.smtpsecurity, "STARTTLS");
    EXPECT_EQ(back.smtpuser, "me@example.org");

    // Back to the defaults: the keys stay and say so.
    s.smtpsecurity = "None";
    s.smtpuser.clear();
    saveSettings(path, s);
    back = loadSettings(path).settings;
    EXPECT_EQ(back.smtpsecurity, "None");
    EXPECT_EQ(back.smtpuser, "");
}

TEST(Settings, RankPauseIsWrittenOnlyOnceChangedAndReadAsARange)
{
    TempDir dir;
    const std::string path = dir.file("Tolvan.reg");
    saveSettings(path, defaultSettings());
    const std::string untouched = dir.read("Tolvan.reg");
    EXPECT_EQ(untouched.find("RankPause"), std::string::npos) << "an old settings file stays as it was";

    Settings s = defaultSettings();
    s.rankpause = "3-8";
    saveSettings(path, s);
    EXPECT_EQ(loadSettings(path).settings.rankpause, "3-8");

    int low = 0, high = 0;
    EXPECT_TRUE(parseRankPause("3-8", low, high));
    EXPECT_EQ(low, 3000);
    EXPECT_EQ(high, 8000);
    EXPECT_TRUE(parseRankPause(" 4 ", low, high));
    EXPECT_EQ(low, high);
    for (const char* bad : {"", "-", "5-2", "two", "1.5", "-3", "2-"})
        EXPECT_FALSE(parseRankPause(bad, low, high)) << bad;
}
