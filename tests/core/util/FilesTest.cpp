#include "util/Errors.h"
#include "util/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace tolvan;
using tolvan::test::TempDir;

namespace {

std::vector<std::string> entries(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(d);
    }
    return names;
}

// Runs `body` in a child process and returns its exit status (-1 when it died).
template <typename Body>
int inChild(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(Files, AtomicWriteReplacesContentAndKeepsMode)
{
    TempDir dir;
    const std::string path = dir.file("a.tlx");
    writeFileAtomic(path, "first");
    EXPECT_EQ(readFile(path), "first");
    ::chmod(path.c_str(), 0640);
    writeFileAtomic(path, "second\r\n");
    EXPECT_EQ(readFile(path), "second\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"a.tlx"});
}

TEST(Files, FailedWriteIntoMissingDirectoryNamesFileAndReason)
{
    TempDir dir;
    dir.write("plainfile", "x");
    // A parent that is a regular file stops everyone, root included.
    const std::string path = dir.file("plainfile/profile.tlx");
    try {
        writeFileAtomic(path, "data");
        FAIL() << "write should have failed";
    } catch (const FileError& e) {
        EXPECT_EQ(e.fileName(), path);
        EXPECT_NE(std::string(e.what()).find("Not a directory"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    }
    EXPECT_THROW(readFile(dir.file("missing")), FileError);
    EXPECT_THROW(appendToFile(dir.file("missing"), "x"), FileError);  // appends never create
}

TEST(Files, WriteIntoReadOnlyDirectoryLeavesOldFile)
{
    TempDir dir;
    const std::string sub = dir.file("ro");
    ensureDirectory(sub);
    writeFileAtomic(sub + "/p.tlx", "old content");
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(sub.c_str(), 0555);
    ::chmod((sub + "/p.tlx").c_str(), 0644);

    // Root ignores directory permissions, so the write then runs as an
    // unprivileged user in a child process.
    const bool root = ::geteuid() == 0;
    const int rc = inChild([&] {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 2;
        try {
            writeFileAtomic(sub + "/p.tlx", "new content");
        } catch (const FileError&) {
            return 0;
        }
        return 1;
    });
    if (rc == 2)
        GTEST_SKIP() << "running as root without the right to drop privileges";
    EXPECT_EQ(rc, 0) << "the write should have failed";
    EXPECT_EQ(readFile(sub + "/p.tlx"), "old content");
    EXPECT_EQ(entries(sub), std::vector<std::string>{"p.tlx"});
}

TEST(Files, WriteOntoFullDeviceLeavesOldFileAndNoTemporary)
{
    TempDir dir;
    const std::string path = dir.file("tlxprofiles.tlx");
    writeFileAtomic(path, "old content");
    // A file size limit makes write() fail with EFBIG, as a full disk would fail it.
    const int rc = inChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 2;
        try {
            writeFileAtomic(path, std::string(100000, 'x'));
        } catch (const FileError& e) {
            return std::string(e.what()).find("too large") != std::string::npos ? 0 : 3;
        }
        return 1;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(readFile(path), "old content");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"tlxprofiles.tlx"});
}

TEST(Files, DirectoriesAndPaths)
{
    TempDir dir;
    ensureDirectory(dir.file("a/b/c"));
    EXPECT_TRUE(directoryExists(dir.file("a/b/c")));
    EXPECT_FALSE(fileExists(dir.file("a/b/c")));
    dir.write("f", "");
    EXPECT_THROW(ensureDirectory(dir.file("f/g")), FileError);

    EXPECT_EQ(joinPath("/base/", "\\sites\\last.tlx"), "/base/sites/last.tlx");
    EXPECT_EQ(joinPath("/base", "data/sites.tlx"), "/base/data/sites.tlx");
    EXPECT_EQ(joinPath("", "data\\x.tlx"), "data/x.tlx");

    const std::string log = dir.file("error.log");
    dir.write("error.log", "one\r\n");
    appendToFile(log, "two\r\n");
    EXPECT_EQ(readFile(log), "one\r\ntwo\r\n");
}

TEST(Files, AtomicWriteThroughASymlinkReplacesTheFileItPointsTo)
{
    TempDir dir;
    ensureDirectory(dir.file("real"));
    writeFileAtomic(dir.file("real/Tolvan.reg"), "old");
    ASSERT_EQ(::symlink(dir.file("real/Tolvan.reg").c_str(), dir.file("link.reg").c_str()), 0);
    writeFileAtomic(dir.file("link.reg"), "new");
    struct stat st {};
    ASSERT_EQ(::lstat(dir.file("link.reg").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(dir.file("real/Tolvan.reg")), "new");
    EXPECT_EQ(entries(dir.file("real")), std::vector<std::string>{"Tolvan.reg"});
}
