// How a run uses the saved profiles: which profile it sends for a site, which
// definition files it reads, and how it stamps the sites it has done.
#include "submit/SubmissionDriver.h"

#include <gtest/gtest.h>

#include "SubmitTestSupport.h"
#include "profiles/ProfileStore.h"
#include "storage/BigIniFile.h"
#include "submit/HttpTransport.h"
#include "util/Files.h"

using namespace tolvan;
using namespace tolvan::test;

namespace {

std::string definition(const std::string& action)
{
    return "[Fields]\r\nURL=url\r\nTITLE=title\r\n[SITE]\r\nACTION=" + action + "\r\nMETHOD=POST\r\n";
}

struct ProfileRun : ::testing::Test {
    TempDir base;
    RecordingView view;
    HttpTransport transport;
    SubmissionDriver driver{base.path(), view, transport};
    SiteProfile site;

    RunRequest request(std::vector<std::string> engines, std::vector<std::string> sites)
    {
        RunRequest r;
        r.sites = std::move(sites);
        r.engines = std::move(engines);
        r.timeoutSeconds = "5";
        return r;
    }
};

}  // namespace

// A reverse entry left by an older version names a profile that moved on to
// another address: that profile's data is not sent for this site, nor stamped.
TEST_F(ProfileRun, AProfileSavedForAnotherAddressIsNotSentForThisSite)
{
    EngineServer server("{}");
    base.write("data/E.tlx", definition(server.url("/e")));
    base.write("sites/tlxurlsrev.tlx", "[http://first.example/]\r\nprofile=Twin\r\n\r\n"
                                       "[http://second.example/]\r\nprofile=Twin\r\n\r\n");
    base.write("sites/tlxprofiles.tlx", "[Twin]\r\nFORWARD=http://\r\nURL=second.example/\r\nTITLE=Second\r\n\r\n");
    site.protocol = "http://";
    site.address = "working.example/";
    site.title = "Working";

    EXPECT_EQ(driver.run(request({"E"}, {"http://first.example/"}), site), RunEnd::Completed);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].find("second.example"), std::string::npos) << requests[0];
    EXPECT_EQ(requests[0].find("title=Second"), std::string::npos) << requests[0];
    EXPECT_EQ(base.read("sites/tlxprofiles.tlx").find("LASTRUN"), std::string::npos);
}

// "../" in an engine name (from the index, a list or the command line) never
// reads a definition outside data/.
TEST_F(ProfileRun, EngineNameLeavingDataIsAMissingDefinition)
{
    EngineServer server("{}");
    base.write("outside.tlx", definition(server.url("/stolen")));
    // data/ must exist for "data/../outside.tlx" to lead anywhere.
    base.write("data/E.tlx", definition(server.url("/e")));
    site.protocol = "http://";
    site.address = "mine.example/";
    EXPECT_EQ(driver.run(request({"../outside"}, {"http://mine.example/"}), site), RunEnd::Aborted);
    EXPECT_EQ(view.messages.back(), "Data file for ../outside missing.");
    EXPECT_TRUE(server.requests().empty());
}

// Every site done is stamped; the profiles file is rewritten once, at the end.
TEST_F(ProfileRun, StampsOfAllSitesLandWithOneRewriteAtTheRunsEnd)
{
    EngineServer server("{}");
    base.write("data/E.tlx", definition(server.url("/e")));
    const ProfileStore store(base.path());
    std::vector<std::string> names, addresses, sites;
    for (int i = 0; i < 3; ++i) {
        SiteProfile p;
        p.protocol = "http://";
        p.address = "s" + std::to_string(i) + ".example/";
        store.saveProfile("S" + std::to_string(i), p, names, addresses);
        sites.push_back(p.fullAddress());
    }
    // The report hook runs at each site end, just before that site's stamp.
    struct SiteEndView : RecordingView {
        std::string file;
        std::vector<FileIdentity> seen;
        void writeAutoReport(AutoReportKind) override { seen.push_back(fileIdentity(file)); }
    } ends;
    ends.file = store.profilesPath();
    SubmissionDriver counted(base.path(), ends, transport);
    RunRequest r = request({"E"}, sites);
    r.autoText = true;

    EXPECT_EQ(counted.run(r, site), RunEnd::Completed);
    ASSERT_EQ(ends.seen.size(), 3u);
    EXPECT_EQ(ends.seen[1], ends.seen[0]);  // the first site's stamp did not rewrite the file
    EXPECT_EQ(ends.seen[2], ends.seen[0]);
    const BigIniFile profiles(store.profilesPath());
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(profiles.ReadString("S" + std::to_string(i), "LASTRUN", ""), "") << i;
    EXPECT_FALSE(fileExists(store.pendingStampsPath()));
}
