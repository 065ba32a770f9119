// Temporary files of interrupted writes, links planted at report names, and
// the names that become engine definition paths.
#include "util/FileNames.h"
#include "util/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace tolvan;
using tolvan::test::TempDir;

namespace {

std::vector<std::string> names(const std::string& dir)
{
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

pid_t deadPid()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

}  // namespace

TEST(FileSafety, TemporariesAreRecognisableAndStaleOnesAreSweptLiveOnesKept)
{
    TempDir dir;
    const std::string dead = ".tolvan-tmp-" + std::to_string(deadPid()) + "-a1B2c3";
    const std::string live = ".tolvan-tmp-" + std::to_string(::getppid()) + "-d4E5f6";
    const std::string ancient = ".tolvan-tmp-" + std::to_string(::getppid()) + "-g7H8i9";
    const std::string lookalike = ".tolvan-tmp-1-abcdef.tlx";  // a list name, not a temporary
    for (const auto& name : {dead, live, ancient, lookalike, std::string("keep.tlx")})
        dir.write("reports/" + name, "x");
    const struct utimbuf old {1000000000, 1000000000};
    ASSERT_EQ(::utime(dir.file("reports/" + ancient).c_str(), &old), 0);

    writeFileAtomic(dir.file("reports/new.txt"), "report");
    EXPECT_EQ(names(dir.file("reports")), (std::vector<std::string>{lookalike, live, "keep.tlx", "new.txt"}));

    // A write that fails leaves none of its own behind either.
    ::chmod(dir.file("reports").c_str(), 0555);
    if (::geteuid() != 0) {
        EXPECT_ANY_THROW(writeFileAtomic(dir.file("reports/new.txt"), "again"));
    }
    ::chmod(dir.file("reports").c_str(), 0755);
    EXPECT_EQ(names(dir.file("reports")).size(), 4u);
}

TEST(FileSafety, ReportNamedFromUserTextReplacesAPlantedLinkInsteadOfFollowingIt)
{
    TempDir dir;
    dir.write("outside/secret.txt", "precious");
    ensureDirectory(dir.file("reports"));
    ASSERT_EQ(::symlink(dir.file("outside/secret.txt").c_str(), dir.file("reports/My Site.txt").c_str()), 0);

    writeFileAtomic(dir.file("reports/My Site.txt"), "report", LinkHandling::Replace);
    EXPECT_EQ(dir.read("outside/secret.txt"), "precious");
    struct stat st {};
    ASSERT_EQ(::lstat(dir.file("reports/My Site.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(dir.read("reports/My Site.txt"), "report");
}

TEST(FileSafety, EngineNamesStayPlainFileNamesOfData)
{
    for (const std::string bad : {"../secret", "..", ".", "a/b", "a\\b", "", "sites", "HOSTS", "tab\there"})
        EXPECT_NE(checkEngineName(bad), "") << bad;
    for (const std::string good : {"AltaVista", "Open Directory", "x.y", "..hidden"})
        EXPECT_EQ(checkEngineName(good), "") << good;
}
