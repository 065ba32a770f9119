#include "util/Workspace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"

namespace fs = std::filesystem;
using tolvan::WorkspaceChoice;
using tolvan::test::TempDir;

TEST(WorkspaceTest, ChoosesNamedThenBaseDirectoryThenDefault)
{
    TempDir tmp;
    tmp.write("base/data/sites.tlx", "One\r\n");
    tmp.write("shipped/data/sites.tlx", "One\r\n");
    tmp.write("plain/notes.txt", "x");
    const std::string base = tmp.file("base"), fallback = tmp.file("ws");
    const std::string shipped = tmp.file("shipped/data");

    EXPECT_EQ(tolvan::chooseWorkspace(base, "", shipped, fallback).reason, WorkspaceChoice::Reason::CurrentDirectory);
    EXPECT_EQ(tolvan::chooseWorkspace(base, "", shipped, fallback).directory, base);
    const WorkspaceChoice plain = tolvan::chooseWorkspace(tmp.file("plain"), "", shipped, fallback);
    EXPECT_EQ(plain.reason, WorkspaceChoice::Reason::Default);
    EXPECT_EQ(plain.directory, fallback);
    // --workspace wins over a base directory.
    const WorkspaceChoice named = tolvan::chooseWorkspace(base, tmp.file("named/./x/.."), shipped, fallback);
    EXPECT_EQ(named.reason, WorkspaceChoice::Reason::Named);
    EXPECT_EQ(named.directory, tmp.file("named/"));
    // The directory the shipped data lives in (a source tree, share/tolvan) is not a workspace.
    EXPECT_EQ(tolvan::chooseWorkspace(tmp.file("shipped"), "", shipped, fallback).directory, fallback);
}

TEST(WorkspaceTest, BaseDirectoryAndDefaultLocation)
{
    TempDir tmp;
    tmp.write("a/data/categories.tlx", "x");  // engine index missing: still this base
    tmp.write("b/data/x.tlx", "x");
    fs::create_directories(tmp.file("b/sites"));
    tmp.write("c/data/readme.txt", "x");  // an unrelated data/ folder
    EXPECT_TRUE(tolvan::isBaseDirectory(tmp.file("a")));
    EXPECT_TRUE(tolvan::isBaseDirectory(tmp.file("b")));
    EXPECT_FALSE(tolvan::isBaseDirectory(tmp.file("c")));

    EXPECT_EQ(tolvan::defaultWorkspace("/xdg", "/home/u"), "/xdg/tolvan");
    EXPECT_EQ(tolvan::defaultWorkspace("relative", "/home/u"), "/home/u/.local/share/tolvan");
    EXPECT_EQ(tolvan::defaultWorkspace(nullptr, "/home/u"), "/home/u/.local/share/tolvan");
    EXPECT_EQ(tolvan::defaultWorkspace(nullptr, nullptr), "");
}

TEST(WorkspaceTest, PrepareCopiesShippedDataOnceAndNeverOverwrites)
{
    TempDir tmp;
    tmp.write("shipped/sites.tlx", "One\r\n");
    tmp.write("shipped/One.tlx", "[SITE]\r\n");
    const std::string ws = tmp.file("deep/ws");

    ASSERT_TRUE(tolvan::prepareWorkspace(ws, tmp.file("shipped")).ok());
    EXPECT_EQ(tmp.read("deep/ws/data/One.tlx"), "[SITE]\r\n");
    EXPECT_TRUE(fs::is_directory(ws + "/sites"));
    for (const auto& entry : fs::directory_iterator(ws))  // no temporary copy left behind
        EXPECT_TRUE(entry.path().filename() == "data" || entry.path().filename() == "sites") << entry.path();

    // The user's own changes survive the next start, even when the shipped data changed.
    tmp.write("deep/ws/data/sites.tlx", "Mine\r\n");
    fs::remove(ws + "/data/One.tlx");
    tmp.write("shipped/Two.tlx", "[SITE]\r\n");
    ASSERT_TRUE(tolvan::prepareWorkspace(ws, tmp.file("shipped")).ok());
    EXPECT_EQ(tmp.read("deep/ws/data/sites.tlx"), "Mine\r\n");
    EXPECT_FALSE(fs::exists(ws + "/data/One.tlx"));
    EXPECT_FALSE(fs::exists(ws + "/data/Two.tlx"));
}

TEST(WorkspaceTest, PrepareReportsWhatWentWrong)
{
    TempDir tmp;
    tmp.write("file", "x");
    const tolvan::Status inFile = tolvan::prepareWorkspace(tmp.file("file/ws"), tmp.file("shipped"));
    ASSERT_FALSE(inFile.ok());
    EXPECT_NE(inFile.error().message.find(tmp.file("file")), std::string::npos) << inFile.error().message;

    const tolvan::Status noData = tolvan::prepareWorkspace(tmp.file("ws"), tmp.file("missing"));
    ASSERT_FALSE(noData.ok());
    EXPECT_NE(noData.error().message.find("missing"), std::string::npos);
    EXPECT_FALSE(fs::exists(tmp.file("ws/data")));

    if (::geteuid() != 0) {  // root ignores permissions
        tmp.write("shipped/sites.tlx", "One\r\n");
        fs::create_directories(tmp.file("locked"));
        ::chmod(tmp.file("locked").c_str(), 0500);
        EXPECT_FALSE(tolvan::prepareWorkspace(tmp.file("locked"), tmp.file("shipped")).ok());
        EXPECT_FALSE(fs::exists(tmp.file("locked/data")));
        ::chmod(tmp.file("locked").c_str(), 0700);
    }
}
