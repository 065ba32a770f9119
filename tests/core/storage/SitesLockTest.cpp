#include "storage/SitesLock.h"

#include "engines/EngineLists.h"
#include "profiles/ProfileStore.h"
#include "storage/BigIniFile.h"
#include "util/Errors.h"
#include "util/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

using namespace tolvan;
using tolvan::test::TempDir;
using namespace std::chrono_literals;

namespace {

SiteProfile site(const std::string& address)
{
    SiteProfile p;
    p.protocol = "http://";
    p.address = address;
    p.title = "Title of " + address;
    return p;
}

// Runs `body` in `count` child processes at once; true when all exited with 0.
template <typename Body>
bool inChildren(int count, Body body)
{
    std::vector<pid_t> pids;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            int rc = 1;
            try {
                rc = body(i);
            } catch (...) {
                rc = 3;
            }
            ::_exit(rc);
        }
        pids.push_back(pid);
    }
    bool ok = true;
    for (const pid_t pid : pids) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return ok;
}

}  // namespace

// Two writers on one base directory: every profile saved, every stamp and every
// saved list of both survives, in the profiles file and in the indexes alike.
TEST(SitesLock, TwoProcessesHammeringTheSameFilesLoseNothing)
{
    TempDir dir;
    constexpr int kEach = 30;
    const ProfileStore store(dir.path());
    // Profiles the stamps go to, saved before the writers start.
    std::vector<std::string> names, addresses;
    for (int i = 0; i < kEach; ++i)
        store.saveProfile("Stamped " + std::to_string(i), site("stamped" + std::to_string(i) + ".example/"), names,
                          addresses);

    const bool ok = inChildren(2, [&](int who) {
        const ProfileStore mine(dir.path());
        const EngineListFiles lists(dir.path());
        for (int i = 0; i < kEach; ++i) {
            const std::string tag = std::to_string(who) + "-" + std::to_string(i);
            // Each save starts from the lists as this writer read them a moment ago.
            std::vector<std::string> n = mine.readNames(), a = mine.readAddresses();
            mine.saveProfile("P" + tag, site("site" + tag + ".example/"), n, a);
            if (who == 0)
                mine.stampLastRun("Stamped " + std::to_string(i), "Last Submission: stamped");
            else
                mine.queueLastRun("Stamped " + std::to_string(i), "Last Submission: queued");
            LineList listNames = lists.readNames();
            if (!lists.save("list" + tag, listNames, {"Engine"}).empty())
                return 4;
        }
        mine.applyPendingStamps();
        return 0;
    });
    ASSERT_TRUE(ok);

    const std::vector<std::string> storedNames = store.readNames();
    const std::set<std::string> nameSet(storedNames.begin(), storedNames.end());
    const std::vector<std::string> storedAddresses = store.readAddresses();
    const std::set<std::string> addressSet(storedAddresses.begin(), storedAddresses.end());
    const BigIniFile profiles(store.profilesPath());
    const LineList lists = EngineListFiles(dir.path()).readNames();
    const std::set<std::string> listSet(lists.begin(), lists.end());
    for (int who = 0; who < 2; ++who) {
        for (int i = 0; i < kEach; ++i) {
            const std::string tag = std::to_string(who) + "-" + std::to_string(i);
            EXPECT_TRUE(nameSet.count("P" + tag)) << tag;
            EXPECT_TRUE(addressSet.count("http://site" + tag + ".example/")) << tag;
            EXPECT_TRUE(profiles.SectionExists("P" + tag)) << tag;
            EXPECT_EQ(store.profileForAddress("http://site" + tag + ".example/"), "P" + tag);
            EXPECT_TRUE(listSet.count("list" + tag)) << tag;
        }
    }
    for (int i = 0; i < kEach; ++i)
        EXPECT_NE(profiles.ReadString("Stamped " + std::to_string(i), "LASTRUN", ""), "") << i;
    EXPECT_FALSE(fileExists(store.pendingStampsPath()));
}

// A writer that cannot get the lock says so and writes nothing.
TEST(SitesLock, WriterThatCannotGetTheLockWritesNothing)
{
    TempDir dir;
    const ProfileStore store(dir.path());
    std::vector<std::string> names, addresses;
    store.saveProfile("Kept", site("kept.example/"), names, addresses);
    const std::string before = dir.read("sites/tlxprofiles.tlx");

    // Another process holds the lock for longer than a writer waits.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(dir.file("sites/tolvan.lock").c_str(), O_RDWR | O_CREAT, 0666);
        ::flock(fd, LOCK_EX);
        (void)::write(ready[1], "x", 1);
        ::sleep(30);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);

    EXPECT_THROW(SitesLock(dir.path(), 200ms), TolvanError);
    try {
        store.saveProfile("Lost", site("lost.example/"), names, addresses);
        ADD_FAILURE() << "the save should have been refused";
    } catch (const TolvanError& e) {
        EXPECT_NE(std::string(e.what()).find("nothing was written"), std::string::npos) << e.what();
    }
    EXPECT_EQ(dir.read("sites/tlxprofiles.tlx"), before);
    EXPECT_EQ(dir.read("sites/tlxplist.tlx"), "Kept\r\n");

    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    // Nested operations of one process share the lock it holds.
    const SitesLock outer(dir.path(), 200ms);
    store.saveProfile("Later", site("later.example/"), names, addresses);
    EXPECT_TRUE(BigIniFile(store.profilesPath()).SectionExists("Later"));
}

// A one-section load reads what the whole file shows for that section, in the
// awkward cases too: duplicates, letter case, lone line ends, cut long lines.
TEST(BigIniFileSection, OneSectionLoadAgreesWithTheWholeFile)
{
    TempDir dir;
    const std::string text = "stray=before any header\r\n[Shop]\r\nkey=first\r\n[Other]\nkey=lf only\n\n[SHOP]\r\nkey=dup\r\n"
                             "[Long]\r\nkey=" + std::string(300, 'x') + "\r\n[Last]\rkey=cr only\r\x1A[After]\r\nkey=gone\r\n";
    dir.write("f.tlx", text);
    const BigIniFile whole(dir.file("f.tlx"));
    for (const std::string section : {"Shop", "shop", "Other", "Long", "Last", "After", "Missing", "stray"}) {
        const BigIniFile one = BigIniFile::loadSection(dir.file("f.tlx"), section);
        EXPECT_EQ(one.ReadString(section, "key", "default"), whole.ReadString(section, "key", "default")) << section;
        EXPECT_EQ(one.SectionExists(section), whole.SectionExists(section)) << section;
    }
    BigIniFile one = BigIniFile::loadSection(dir.file("f.tlx"), "Shop");
    one.WriteString("Shop", "key", "changed");
    EXPECT_THROW(one.UpdateFile(), std::logic_error);
    EXPECT_EQ(dir.read("f.tlx"), text);
}
