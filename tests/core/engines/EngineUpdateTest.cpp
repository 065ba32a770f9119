#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <filesystem>
#include <map>

#include "ArchiveServer.h"
#include "TestSupport.h"
#include "engines/EngineUpdate.h"
#include "net/NetErrors.h"
#include "util/Files.h"
#include "util/ZipExtractor.h"

using namespace tolvan;
using namespace tolvan::test;
namespace fs = std::filesystem;

namespace {

const char* kArchive = "tolvan/engines/tleng.zip";

// Everything below a directory: file contents, and link targets as "-> target".
std::map<std::string, std::string> snapshot(const std::string& dir)
{
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = fs::relative(it->path(), dir).string();
        const auto st = it->symlink_status();
        if (fs::is_symlink(st))
            out[rel] = "-> " + fs::read_symlink(it->path()).string();
        else if (fs::is_directory(st))
            out[rel + "/"] = "";
        else
            out[rel] = readFile(it->path().string());
    }
    return out;
}

// What the dialog would show: every status text and message box.
class Recorder : public EngineUpdateObserver {
public:
    EngineUpdate* update = nullptr;
    std::vector<std::string> statuses;
    std::vector<std::string> messages;
    std::vector<UpdateBar> bars;
    std::function<void()> onChange;

    void updateChanged() override
    {
        if (statuses.empty() || statuses.back() != update->status())
            statuses.push_back(update->status());
        bars.push_back(update->bar());
        if (onChange)
            onChange();
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    bool sawStatus(const std::string& s) const
    {
        return std::find(statuses.begin(), statuses.end(), s) != statuses.end();
    }
};

class EngineUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char cwd[4096];
        ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
        oldCwd_ = cwd;
        recorder_.update = &update_;
    }
    // Runs before update_ is made, which reads the update host.
    bool prepareBase() const
    {
        base_.write("data/hosts.tlx", "[Maker]\r\nUpdate=" + server_.host() + "\r\n");
        base_.write("data/sites.tlx", "Old Engine\r\nKeep\r\n");
        base_.write("data/Old Engine.tlx", "[Engine]\r\nURL=old\r\n");
        base_.write("data/Keep.tlx", "[Engine]\r\nURL=keep\r\n");
        return true;
    }
    void TearDown() override { ASSERT_EQ(::chdir(oldCwd_.c_str()), 0); }

    std::string data() const { return base_.file("data"); }
    bool archiveLeft() const { return fs::exists(base_.file("tleng.zip")); }

    std::string oldCwd_;
    ArchiveServer server_;
    TempDir base_;
    Recorder recorder_;
    bool prepared_ = prepareBase();
    EngineUpdate update_{base_.path() + "/", EventPump::plain(), &recorder_};
};

TEST_F(EngineUpdateTest, GoodArchiveReplacesDefinitionsFlattensFoldersAndDeletesTheArchive)
{
    server_.putArchive(kArchive, R"([
        {"name": "sites.tlx", "data": "New Engine\r\nOld Engine\r\nKeep\r\n"},
        {"name": "Old Engine.tlx", "data": "[Engine]\r\nURL=new\r\n"},
        {"name": "engines/", "dir": true},
        {"name": "engines/New Engine.tlx", "data": "[Engine]\r\nURL=brand new\r\n"},
        {"name": "big.bin", "size": 200000}
    ])");
    const auto zipSize = static_cast<std::int64_t>(fs::file_size(server_.root().file(kArchive)));

    EXPECT_EQ(update_.updateAddress(), "http://" + server_.host() + "/tolvan/engines/tleng.zip");
    EXPECT_EQ(update_.start(), UpdateOutcome::Complete);

    EXPECT_EQ(server_.requests(), std::vector<std::string>{"GET /tolvan/engines/tleng.zip HTTP/1.0"});
    EXPECT_NE(server_.headers().find("User-Agent: Pellory's qznHTTP Component V1.0"), std::string::npos);

    // Replaced, added (without its folder), and left alone; no temporary files.
    const auto after = snapshot(data());
    EXPECT_EQ(after.at("sites.tlx"), "New Engine\r\nOld Engine\r\nKeep\r\n");
    EXPECT_EQ(after.at("Old Engine.tlx"), "[Engine]\r\nURL=new\r\n");
    EXPECT_EQ(after.at("New Engine.tlx"), "[Engine]\r\nURL=brand new\r\n");
    EXPECT_EQ(after.at("Keep.tlx"), "[Engine]\r\nURL=keep\r\n");
    EXPECT_EQ(after.at("big.bin").size(), 200000u);
    EXPECT_EQ(after.size(), 6u) << "only hosts.tlx besides the five files";
    EXPECT_FALSE(archiveLeft());

    EXPECT_EQ(update_.expectedLength(), zipSize);
    EXPECT_EQ(update_.percent(), 100);
    EXPECT_EQ(recorder_.messages, std::vector<std::string>{"Data File Update Complete"});
    EXPECT_TRUE(recorder_.sawStatus("Logging in to Quendel Server"));
    EXPECT_TRUE(recorder_.sawStatus("Received " + std::to_string(zipSize / 1024) + "K of " +
                                    std::to_string(zipSize / 1024) + "K"));
    EXPECT_TRUE(recorder_.sawStatus("Unzipping Data Files..."));
    EXPECT_TRUE(recorder_.sawStatus("Deleting Archive..."));
    EXPECT_EQ(update_.status(), "Data Update Complete");

    // The hidden log: connection, headers, the running byte count replacing the
    // last header line, the close.
    const auto& log = update_.log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.front(), "Connected: OK");
    EXPECT_EQ(log.back(), "Disconnected: OK");
    EXPECT_EQ(log[log.size() - 2], std::to_string(zipSize) + " bytes written");
    EXPECT_NE(std::find(log.begin(), log.end(), "Header: Content-Type:application/zip"), log.end());

    // The 200,000-byte file gets a bar of 200000 div 32768 = 6 steps, and the
    // bar never runs past its end.
    EXPECT_TRUE(std::any_of(recorder_.bars.begin(), recorder_.bars.end(),
                            [](const UpdateBar& b) { return b.minimum == 1 && b.maximum == 6 && b.position == 6; }));
    for (const UpdateBar& b : recorder_.bars)
        EXPECT_TRUE(b.position >= b.minimum && b.position <= b.maximum);

    // The extraction leaves the process in the data directory.
    EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(data()));
}

TEST_F(EngineUpdateTest, HostileEntriesAreRefusedAndNothingIsWrittenOutsideData)
{
    TempDir outside;
    outside.write("victim.tlx", "precious");
    // A link already in data/ must be replaced itself, not followed.
    fs::create_symlink(outside.file("victim.tlx"), data() + "/Linked.tlx");
    const std::string absolute = outside.file("absolute.tlx");
    server_.putArchive(kArchive, "[" +
                                     std::string(R"({"name": "../escape.tlx", "data": "x"},)"
                                                 R"({"name": "sub/../../up.tlx", "data": "x"},)"
                                                 R"({"name": "C:\\win.tlx", "data": "x"},)"
                                                 R"({"name": "link.tlx", "symlink": ")") +
                                     outside.file("victim.tlx") + R"("},)" + R"({"name": )" + jsonString(absolute) +
                                     R"(, "data": "x"},)" +
                                     R"({"name": "Linked.tlx", "data": "from the archive"},)"
                                     R"({"name": "Good.tlx", "data": "good"}])");

    EXPECT_EQ(update_.start(), UpdateOutcome::Complete);

    EXPECT_EQ(snapshot(outside.path()), (std::map<std::string, std::string>{{"victim.tlx", "precious"}}));
    const auto baseFiles = snapshot(base_.path());
    EXPECT_EQ(baseFiles.count("escape.tlx"), 0u);
    EXPECT_EQ(baseFiles.count("up.tlx"), 0u);
    const auto after = snapshot(data());
    EXPECT_EQ(after.at("Good.tlx"), "good");
    EXPECT_EQ(after.at("Linked.tlx"), "from the archive");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(data() + "/Linked.tlx")));
    EXPECT_EQ(after.count("link.tlx"), 0u);
    EXPECT_EQ(after.count("escape.tlx"), 0u);
    EXPECT_EQ(after.count("absolute.tlx"), 0u);
    EXPECT_EQ(after.count("win.tlx"), 0u);

    // Each refusal is reported as an error; the update still completes.
    const std::vector<std::string> expected = {
        "Error Msg from DLL: Skipped ../escape.tlx: unsafe path",
        "Error Msg from DLL: Skipped sub/../../up.tlx: unsafe path",
        "Error Msg from DLL: Skipped C:\\win.tlx: unsafe path",
        "Error Msg from DLL: Skipped link.tlx: not a plain file",
        "Error Msg from DLL: Skipped " + absolute + ": unsafe path",
        "Data File Update Complete",
    };
    EXPECT_EQ(recorder_.messages, expected);
    EXPECT_FALSE(archiveLeft());
}

TEST_F(EngineUpdateTest, ArchiveOfOnlyRefusedEntriesReplacesNothingAndDoesNotClaimSuccess)
{
    server_.putArchive(kArchive, R"([{"name": "../sites.tlx", "data": "evil"}, {"name": "folder/", "dir": true}])");
    const auto before = snapshot(data());
    EXPECT_EQ(update_.start(), UpdateOutcome::ExtractionFailed);
    EXPECT_EQ(snapshot(data()), before);
    EXPECT_EQ(recorder_.messages, (std::vector<std::string>{"Error Msg from DLL: Skipped ../sites.tlx: unsafe path",
                                                            "Error Msg from DLL: No valid zip entries found"}));
    EXPECT_EQ(update_.status(), "Data Update Failed - the data files were not changed");
    EXPECT_FALSE(archiveLeft());
}

TEST_F(EngineUpdateTest, FailedDownloadsLeaveDataAsItWasAndReportTheError)
{
    const auto before = snapshot(data());
    server_.putArchive(kArchive, R"([{"name": "sites.tlx", "data": "replaced\r\n"},
                                     {"name": "big.bin", "size": 100000}])");

    // Not found: the client's error, and the error page is not kept.
    server_.setBehaviour(R"({"status": 404})");
    try {
        update_.start();
        ADD_FAILURE() << "a 404 must fail";
    } catch (const HttpError& e) {
        EXPECT_STREQ(e.what(), "151: 404 Not Found");
    }
    EXPECT_EQ(snapshot(data()), before);
    EXPECT_FALSE(archiveLeft());
    EXPECT_FALSE(recorder_.sawStatus("Unzipping Data Files..."));

    // Cut short with the length announced: the download itself fails.
    server_.setBehaviour(R"({"cut": 50000})");
    try {
        update_.start();
        ADD_FAILURE() << "a short download must fail";
    } catch (const TolvanError& e) {
        EXPECT_NE(std::string(e.what()).find("50000 of"), std::string::npos) << e.what();
    }
    EXPECT_EQ(snapshot(data()), before);
    EXPECT_FALSE(archiveLeft());

    // Cut short without a length: the archive is found unusable.
    server_.setBehaviour(R"({"cut": 50000, "length": false})");
    recorder_.messages.clear();
    EXPECT_EQ(update_.start(), UpdateOutcome::ExtractionFailed);
    EXPECT_EQ(recorder_.messages, std::vector<std::string>{"Error Msg from DLL: No valid zip entries found"});
    EXPECT_EQ(snapshot(data()), before);
    EXPECT_FALSE(archiveLeft());

    // A web page instead of an archive.
    server_.setBehaviour(R"({"body": "<html>Service moved</html>"})");
    recorder_.messages.clear();
    EXPECT_EQ(update_.start(), UpdateOutcome::ExtractionFailed);
    EXPECT_EQ(recorder_.messages, std::vector<std::string>{"Error Msg from DLL: No valid zip entries found"});
    EXPECT_EQ(snapshot(data()), before);

    // No server at all.
    update_.setUpdateAddress("http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/tolvan/engines/tleng.zip");
    EXPECT_THROW(update_.start(), HttpError);
    EXPECT_EQ(snapshot(data()), before);
    EXPECT_FALSE(archiveLeft());
}

TEST_F(EngineUpdateTest, DamagedEntryLaterInTheArchiveReplacesNoFileAtAll)
{
    // The first entries are fine; the last one fails its check. None may be
    // put in place, or data/ would hold half an update.
    server_.putArchive(kArchive, R"([{"name": "sites.tlx", "data": "replaced\r\n"},
                                     {"name": "Keep.tlx", "data": "replaced"},
                                     {"name": "Broken.tlx", "data": "some engine data", "stored": true,
                                      "corrupt": true}])");
    const auto before = snapshot(data());
    EXPECT_EQ(update_.start(), UpdateOutcome::ExtractionFailed);
    EXPECT_EQ(snapshot(data()), before);
    ASSERT_EQ(recorder_.messages.size(), 1u);
    EXPECT_EQ(recorder_.messages[0].rfind("Error Msg from DLL: Error reading Broken.tlx: ", 0), 0u)
        << recorder_.messages[0];
    EXPECT_FALSE(archiveLeft());
}

TEST_F(EngineUpdateTest, DownloadWithoutUsableLengthKeepsTheLargestExpectedLength)
{
    server_.putArchive(kArchive, R"([{"name": "big.bin", "size": 60000}])");
    const auto zipSize = fs::file_size(server_.root().file(kArchive));
    for (const char* behaviour : {R"({"length": false})", R"({"length": "abc"})"}) {
        server_.setBehaviour(behaviour);
        recorder_.statuses.clear();
        EXPECT_EQ(update_.start(), UpdateOutcome::Complete) << behaviour;
        EXPECT_EQ(update_.expectedLength(), 2147483647) << behaviour;
        EXPECT_EQ(update_.percent(), 0) << behaviour;
        EXPECT_TRUE(recorder_.sawStatus("Received " + std::to_string(zipSize / 1024) + "K of 2097151K")) << behaviour;
    }
    // A length of 0 followed by a body: no division by zero, no percentage past 100.
    server_.setBehaviour(R"({"length": "0"})");
    EXPECT_EQ(update_.start(), UpdateOutcome::Complete);
    EXPECT_EQ(update_.percent(), 0);
}

TEST_F(EngineUpdateTest, CancelDuringTheDownloadAndStartWhileRunning)
{
    server_.putArchive(kArchive, R"([{"name": "sites.tlx", "data": "replaced\r\n"},
                                     {"name": "big.bin", "size": 300000, "stored": true}])");
    const auto before = snapshot(data());
    bool reentered = false;
    recorder_.onChange = [&] {
        if (update_.log().empty() || update_.log().back().find(" bytes written") == std::string::npos)
            return;
        if (!reentered) {
            reentered = true;
            EXPECT_EQ(update_.start(), UpdateOutcome::Busy);
            EXPECT_EQ(update_.extractStep(), UpdateOutcome::Busy);
        }
        update_.cancel();
    };
    EXPECT_EQ(update_.start(), UpdateOutcome::Cancelled);
    EXPECT_TRUE(reentered);
    EXPECT_EQ(snapshot(data()), before);
    EXPECT_FALSE(archiveLeft());
    EXPECT_TRUE(recorder_.messages.empty());

    // Cancelled while the files are being read: stops before anything is replaced.
    recorder_.onChange = [&] {
        if (update_.zip().busy())
            update_.cancel();
    };
    EXPECT_EQ(update_.start(), UpdateOutcome::Cancelled);
    EXPECT_EQ(snapshot(data()), before);
    EXPECT_FALSE(archiveLeft());
}

TEST_F(EngineUpdateTest, ExtractionStepWithoutADownloadDoesNothing)
{
    const auto before = snapshot(base_.path());
    EXPECT_EQ(update_.extractStep(), UpdateOutcome::NoArchive);
    EXPECT_EQ(snapshot(base_.path()), before);
    EXPECT_TRUE(recorder_.messages.empty());
    EXPECT_EQ(update_.status(), "Status:");
}

TEST(ZipEntryNames, FlattenedOrRefused)
{
    struct Case {
        const char* entry;
        const char* name;
        bool unsafe;
    };
    const Case cases[] = {
        {"Lycos.tlx", "Lycos.tlx", false},
        {"engines/sub/Alta Vista.tlx", "Alta Vista.tlx", false},
        {"engines\\Excite.tlx", "Excite.tlx", false},
        {"engines/", "", false},
        {"...tlx", "...tlx", false},
        {"../x.tlx", "", true},
        {"a/../../x.tlx", "", true},
        {"a\\..\\x.tlx", "", true},
        {"/etc/passwd", "", true},
        {"\\x.tlx", "", true},
        {"C:x.tlx", "", true},
        {"a/..", "", true},
        {"line\nbreak.tlx", "", true},
        {"", "", true},
    };
    for (const Case& c : cases) {
        bool unsafe = false;
        EXPECT_EQ(flatEntryName(c.entry, &unsafe), c.name) << c.entry;
        EXPECT_EQ(unsafe, c.unsafe) << c.entry;
    }
}

TEST(ZipExtractorTest, MissingExtractionDirectoryIsCreatedAndLaterDuplicateNameWins)
{
    TempDir dir;
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    makeZip(dir.file("a.zip"), R"([{"name": "one/x.tlx", "data": "first"}, {"name": "two/x.tlx", "data": "second"}])");
    ZipExtractor zip;
    zip.setChangeDirectory(false);
    zip.setZipFilename(dir.file("a.zip"));
    zip.setExtrBaseDir(dir.file("data"));
    std::vector<std::pair<int, std::string>> messages;
    zip.OnMessage = [&](int code, const std::string& text) { messages.emplace_back(code, text); };
    EXPECT_EQ(zip.Extract(), 2);
    EXPECT_FALSE(zip.failed());
    EXPECT_EQ(dir.read("data/x.tlx"), "second");
    EXPECT_EQ(messages, (std::vector<std::pair<int, std::string>>{{0, "Extracted x.tlx"}, {0, "Extracted x.tlx"}}));
    EXPECT_EQ(fs::current_path().string(), std::string(cwd));
}

TEST_F(EngineUpdateTest, AFileThatCannotBePutInPlaceRestoresEveryFileAndIsReported)
{
    // data/Zeta.tlx is a folder: the archive's Zeta.tlx cannot replace it, and
    // by then Keep.tlx and sites.tlx have been put in place.
    base_.write("data/Zeta.tlx/inside", "x");
    server_.putArchive(kArchive, R"([{"name": "Keep.tlx", "data": "replaced"},
                                     {"name": "sites.tlx", "data": "Brand New\r\n"},
                                     {"name": "Brand New.tlx", "data": "[Engine]\r\n"},
                                     {"name": "Zeta.tlx", "data": "zeta"}])");
    const auto before = snapshot(data());
    EXPECT_EQ(update_.start(), UpdateOutcome::ExtractionFailed);
    EXPECT_EQ(snapshot(data()), before);
    EXPECT_EQ(recorder_.messages,
              std::vector<std::string>{
                  "Error Msg from DLL: Error writing Zeta.tlx: Is a directory. The data files were left as they were."});
    EXPECT_EQ(update_.status(), "Data Update Failed - the data files were not changed");
    EXPECT_FALSE(archiveLeft());
}

TEST_F(EngineUpdateTest, NamesDifferingOnlyInCaseAreOneFileAndRankEntriesGoToTheirFolder)
{
    base_.write("data/.tolvan-update-stale/5", "left by a killed update");
    server_.putArchive(kArchive, R"([{"name": "KEEP.TLX", "data": "keep, new"},
                                     {"name": "engines/new.tlx", "data": "first"},
                                     {"name": "engines/NEW.tlx", "data": "second"},
                                     {"name": "rank/engines.tlx", "data": "rank list"},
                                     {"name": "tleng/Rank/Search.tlx", "data": "rank format"}])");
    EXPECT_EQ(update_.start(), UpdateOutcome::Complete);
    const auto after = snapshot(data());
    const std::map<std::string, std::string> expected = {
        {"hosts.tlx", after.at("hosts.tlx")},
        {"sites.tlx", "Old Engine\r\nKeep\r\n"},
        {"Old Engine.tlx", "[Engine]\r\nURL=old\r\n"},
        {"Keep.tlx", "keep, new"},
        {"new.tlx", "second"},
        {"rank/", ""},
        {"rank/engines.tlx", "rank list"},
        {"rank/Search.tlx", "rank format"},
    };
    EXPECT_EQ(after, expected);
}

TEST_F(EngineUpdateTest, ADownloadPastTheSizeLimitIsStoppedAndChangesNothing)
{
    server_.putArchive(kArchive, R"([{"name": "sites.tlx", "data": "replaced\r\n"},
                                     {"name": "big.bin", "size": 400000, "stored": true}])");
    update_.setMaxDownloadBytes(1 << 18);
    const auto before = snapshot(data());
    for (const char* behaviour : {"{}", R"({"length": false})"}) {
        server_.setBehaviour(behaviour);
        try {
            update_.start();
            ADD_FAILURE() << "an oversized download must fail: " << behaviour;
        } catch (const TolvanError& e) {
            EXPECT_NE(std::string(e.what()).find("larger than"), std::string::npos) << e.what();
        }
        EXPECT_EQ(snapshot(data()), before) << behaviour;
        EXPECT_FALSE(archiveLeft()) << behaviour;
    }
}

// A disk that fills up while the files are being written: nothing of the
// update may be in place, and the extraction must not count as done.
TEST(ZipExtractorTest, ADiskThatFillsUpLeavesTheDirectoryAsItWas)
{
    TempDir dir;
    dir.write("data/sites.tlx", "Old\r\n");
    dir.write("data/Keep.tlx", "keep");
    makeZip(dir.file("a.zip"), R"([{"name": "sites.tlx", "data": "New\r\n"},
                                   {"name": "Keep.tlx", "data": "replaced"},
                                   {"name": "big.bin", "size": 300000, "stored": true}])");
    const auto before = snapshot(dir.file("data"));

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The file-size limit stands in for a full disk.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100000, 100000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ZipExtractor zip;
        zip.setChangeDirectory(false);
        zip.setZipFilename(dir.file("a.zip"));
        zip.setExtrBaseDir(dir.file("data"));
        int errors = 0;
        zip.OnMessage = [&](int code, const std::string&) { errors += code > 0; };
        const int written = zip.Extract();
        ::_exit(written == 0 && zip.failed() && errors == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a failed extraction was reported as done";
    EXPECT_EQ(snapshot(dir.file("data")), before);
}

}  // namespace
