#include "fs/filelister.h"

#include "common/error.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <sys/stat.h>

using namespace tabulon;
using tabulon::test::TempFolder;

namespace {

std::vector<std::string> sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

TEST(ListFiles, MatchesWithoutRegardToCaseAndKeepsOnlyOpenableFiles)
{
    TempFolder t;
    for (const char *name : {"a.DB", "b.db", "c.Db", ".hidden.db", "d.dbx", "e.txt", "db", "f.db.old"})
        t.file(name);
    t.folder("x.db");                           // a folder is no table file
    t.link(t.path("x.db"), "linked-folder.db"); // nor is a link to one
    t.link(t.path("gone"), "dangling.db");
    ASSERT_EQ(::mkfifo(t.path("pipe.db").c_str(), 0644), 0);
    t.link(t.path("b.db"), "linked-file.db");

    const std::vector<std::string> expected{".hidden.db", "a.DB", "b.db", "c.Db", "linked-file.db"};
    EXPECT_EQ(sorted(ListFiles(t.root(), "*.db")), expected);
    EXPECT_EQ(sorted(ListFiles(t.root() + "/", "*.DB")), expected);
}

TEST(ListFiles, WildcardsAndUnicodeCase)
{
    TempFolder t;
    for (const char *name : {"ab.db", "abc.db", "Über.db", "xmidx.txt", "straße.DB"})
        t.file(name);
    EXPECT_EQ(ListFiles(t.root(), "a?.db"), std::vector<std::string>{"ab.db"});
    EXPECT_EQ(ListFiles(t.root(), "*mid*"), std::vector<std::string>{"xmidx.txt"});
    EXPECT_EQ(ListFiles(t.root(), "üBER.*"), std::vector<std::string>{"Über.db"});
    EXPECT_EQ(ListFiles(t.root(), "STRAßE.db"), std::vector<std::string>{"straße.DB"});
    EXPECT_EQ(ListFiles(t.root(), "*"), ListFiles(t.root(), "**"));
    EXPECT_EQ(ListFiles(t.root(), "*").size(), 5u);
}

TEST(ListFiles, ManyFilesInDirectoryOrder)
{
    TempFolder t;
    for (int i = 0; i < 130; ++i)
        t.file("t" + std::to_string(i) + ".db");
    const auto names = ListFiles(t.root(), "*.db");
    ASSERT_EQ(names.size(), 130u);
    std::vector<std::string> all = ListFiles(t.root(), "*");
    EXPECT_EQ(all, names); // not sorted: the order the folder yields
}

TEST(ListFiles, NothingToListIsAnEmptyResult)
{
    TempFolder t;
    t.file("only.txt");
    EXPECT_TRUE(ListFiles(t.root(), "*.db").empty());
    EXPECT_TRUE(ListFiles(t.path("missing"), "*.db").empty());
    EXPECT_TRUE(ListFiles(t.path("only.txt"), "*").empty());
    EXPECT_TRUE(ListFiles("", "*").empty());
}

TEST(ListFiles, UnreadableFolderThrowsWithPathAndReason)
{
    TempFolder t;
    const std::string locked = t.folder("locked");
    t.file("locked/a.db");
    ::chmod(locked.c_str(), 0);
    const int result = test::runUnprivileged([&] {
        try {
            ListFiles(locked, "*.db");
            return 1;
        } catch (const Error &e) {
            const std::string what = e.what();
            return what.find(locked) != std::string::npos && what.find("Permission denied") != std::string::npos ? 0
                                                                                                                 : 2;
        }
    });
    ::chmod(locked.c_str(), 0755);
    if (result == -1)
        GTEST_SKIP() << "running as root and could not switch to user nobody";
    EXPECT_EQ(result, 0);
}

TEST(FileTests, OpenableFileAndFolder)
{
    TempFolder t;
    const std::string file = t.file("f.db");
    const std::string folder = t.folder("d");
    EXPECT_TRUE(IsOpenableFile(file));
    EXPECT_FALSE(IsOpenableFile(folder));
    EXPECT_FALSE(IsOpenableFile(t.path("missing")));
    EXPECT_FALSE(IsOpenableFile(""));

    EXPECT_TRUE(IsFolder(folder));
    EXPECT_TRUE(IsFolder(folder + "/"));
    EXPECT_FALSE(IsFolder(file));
    EXPECT_FALSE(IsFolder(t.path("missing")));
    EXPECT_FALSE(IsFolder(""));
    EXPECT_FALSE(IsFolder(std::string(PATH_MAX + 10, 'a')));

    // No read access is asked for: a table the user may not read is still
    // one, and its conversion says why it cannot be read.
    ::chmod(file.c_str(), 0);
    const int result = test::runUnprivileged([&] { return IsOpenableFile(file) ? 0 : 1; });
    if (result == -1)
        GTEST_SKIP() << "running as root and could not switch to user nobody";
    EXPECT_EQ(result, 0) << "a file without read permission";
}

TEST(FileTests, UnsafeCharacters)
{
    for (const char *name : {"Data", "Müller", "日本", "a b-c_d.e", "😀", "~x"})
        EXPECT_FALSE(HasUnsafeChars(name)) << name;
    for (const char *name : {"a\x01", "tab\t", "what?", "del\x7f", "\xc2\x80", "\xc2\x9f", "\xff", "\xc3",
                             "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80"})
        EXPECT_TRUE(HasUnsafeChars(name)) << name;
    EXPECT_FALSE(HasUnsafeChars("\xc2\xa0")); // U+00A0 is past the C1 range
}
