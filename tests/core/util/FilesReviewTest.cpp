#include "util/Errors.h"
#include "util/Files.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tolvan;
using tolvan::test::TempDir;

// A file the user made read-only is not replaced behind their back: the
// directory allows the rename, but the file itself refuses writing.
TEST(FilesReview, ReadOnlyFileIsNotReplaced)
{
    TempDir dir;
    const std::string path = dir.file("tlxprofiles.tlx");
    writeFileAtomic(path, "protected");
    ::chmod(path.c_str(), 0444);
    ::chmod(dir.path().c_str(), 0777);

    // Root may write any file, so the write runs as an unprivileged user that
    // owns neither the file nor the directory.
    const bool root = ::geteuid() == 0;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        try {
            writeFileAtomic(path, "replaced");
        } catch (const FileError&) {
            ::_exit(0);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::chmod(dir.path().c_str(), 0700);
    const int rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (rc == 2)
        GTEST_SKIP() << "running as root without the right to drop privileges";
    EXPECT_EQ(rc, 0) << "writing a read-only file should fail";
    EXPECT_EQ(readFile(path), "protected");
}
