#include "submit/ErrorLog.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "SubmitTestSupport.h"
#include "submit/HttpTransport.h"
#include "submit/SubmissionDriver.h"
#include "util/Errors.h"

using namespace tolvan;
using namespace tolvan::test;

namespace {

bool hasControlByte(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
}

}  // namespace

// A status line holding CR, tab and an escape sequence must neither forge
// records in error.log nor add columns or terminal commands to the output.
TEST(ErrorLogText, ControlCharactersFromTheServerNeverReachTheLogOrTheOutput)
{
    TempDir base;
    EngineServer server(R"({"/loud": {"status": 500, "reason": "Bad\rForged: x\tcol\u001b[31m\u007f"}})");
    base.write("data/Loud.tlx", "[Fields]\r\nURL=url\r\n[SITE]\r\nACTION=" + server.url("/loud") +
                                    "\r\nMETHOD=POST\r\nURL=http://www.engine.example/\r\n");
    RecordingView view;
    HttpTransport transport;
    SubmissionDriver driver(base.path(), view, transport);
    view.run = &driver.state();
    ErrorLog(base.path()).clear();
    SiteProfile site;
    site.protocol = "http://";
    site.address = "www.mysite.example/";
    RunRequest request;
    request.sites = {"http://www.mysite.example/"};
    request.engines = {"Loud"};
    request.timeoutSeconds = "5";

    EXPECT_EQ(driver.run(request, site), RunEnd::Completed);
    ASSERT_EQ(view.details.size(), 1u);
    EXPECT_FALSE(hasControlByte(view.details[0])) << view.details[0];
    EXPECT_NE(view.details[0].find("Bad Forged: x col [31m"), std::string::npos) << view.details[0];

    const std::string text = base.read("error.log");
    const LineList lines = ErrorLog(base.path()).lines();
    ASSERT_EQ(lines.size(), 6u) << text;
    EXPECT_EQ(lines[2].rfind("Error   : ", 0), 0u);
    EXPECT_NE(lines[2].find("Site Name: Loud"), std::string::npos);
    for (const auto& line : lines)
        EXPECT_FALSE(hasControlByte(line)) << line;
}

// The log stays open between records; a log replaced by Clear Error Log or
// deleted in between must not swallow the records that follow.
TEST(ErrorLogFile, RecordsFollowTheLogThroughClearAndDeletion)
{
    TempDir base;
    const ErrorLog log(base.path());
    log.appendSkipped("Before");  // no log yet: nothing is created
    EXPECT_FALSE(log.exists());

    ErrorLog(base.path()).clear();
    log.appendSkipped("One");
    ErrorLog(base.path()).clear();  // another object replaces the file
    log.appendTimedOut("Two");
    EXPECT_EQ(base.read("error.log"), std::string("Tolvan Error Log...\r\n") +
                                          "=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-\r\n"
                                          "Engine Timed Out: Two\r\n");
    ASSERT_EQ(::unlink(log.path().c_str()), 0);
    log.appendSkipped("Three");
    EXPECT_FALSE(log.exists());

    // A folder of that name is no log either.
    ASSERT_EQ(::mkdir(log.path().c_str(), 0777), 0);
    EXPECT_NO_THROW(log.appendSkipped("Four"));
}

// A disk that takes only part of a record: the part is cut off again, the
// error is reported, and the next record that fits starts on a clean line.
TEST(ErrorLogFile, ARecordTheDiskCannotTakeWholeLeavesNothingBehind)
{
    TempDir base;
    ErrorLog(base.path()).clear();
    const std::string before = base.read("error.log");

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The file-size limit stands in for a full disk: it admits 40 more bytes.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{static_cast<rlim_t>(before.size() + 40), static_cast<rlim_t>(before.size() + 40)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const ErrorLog log(base.path());
        int code = 0;
        try {
            log.appendFailure("151: 404 Not Found", "Engine", "http://www.engine.example/", "POST",
                              "http://www.engine.example/add");
            code = 1;  // reported as written
        } catch (const FileError&) {
        }
        try {
            log.appendSkipped("E");  // 60 + 24 bytes: still too long
            code = code ? code : 2;
        } catch (const FileError&) {
        }
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a cut record was reported as written";
    EXPECT_EQ(base.read("error.log"), before);

    const ErrorLog log(base.path());
    log.appendSkipped("Next");
    EXPECT_EQ(ErrorLog(base.path()).lines().size(), 3u);
}
