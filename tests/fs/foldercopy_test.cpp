#include "fs/foldercopy.h"

#include "common/error.h"
#include "fs/filelister.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

using namespace tabulon;
using tabulon::test::TempFolder;

TEST(CopyFolderContents, MergesEveryDepthIntoTheTarget)
{
    TempFolder t;
    t.folder("src");
    t.folder("src/sub");
    t.folder("src/sub/deeper");
    t.file("src/a.db", "new a");
    t.file("src/.hidden.db", "h");
    t.file("src/sub/b.db", "b");
    t.file("src/sub/deeper/c.db", "c");
    t.folder("dst");
    t.folder("dst/sub");
    t.file("dst/a.db", "old a");
    t.file("dst/keep.db", "kept");
    t.file("dst/sub/other", "o");

    CopyFolderContents(t.path("src"), t.path("dst"));

    EXPECT_EQ(t.read("dst/a.db"), "new a");
    EXPECT_EQ(t.read("dst/.hidden.db"), "h");
    EXPECT_EQ(t.read("dst/sub/b.db"), "b");
    EXPECT_EQ(t.read("dst/sub/deeper/c.db"), "c");
    EXPECT_EQ(t.read("dst/keep.db"), "kept");
    EXPECT_EQ(t.read("dst/sub/other"), "o");
    EXPECT_FALSE(IsFolder(t.path("dst/src")));
}

TEST(CopyFolderContents, LinksAndNestingDoNotCopyForever)
{
    TempFolder t;
    t.folder("src");
    t.folder("src/a");
    t.file("src/a/x.db", "x");
    t.link(t.path("src"), "src/a/up");
    t.link(t.path("nowhere"), "src/dangling.db");
    t.folder("src/TestDB"); // the target inside the source

    CopyFolderContents(t.path("src") + "/", t.path("src/TestDB"));
    EXPECT_EQ(t.read("src/TestDB/a/x.db"), "x");
    EXPECT_FALSE(IsFolder(t.path("src/TestDB/TestDB")));
    EXPECT_FALSE(IsFolder(t.path("src/TestDB/a/up")));

    // The source being the target: nothing to do, nothing lost.
    CopyFolderContents(t.path("src/TestDB"), t.path("src/a/up/TestDB"));
    EXPECT_EQ(t.read("src/TestDB/a/x.db"), "x");
}

TEST(CopyFolderContents, FailureNamesThePathAndKeepsWhatWasCopied)
{
    TempFolder t;
    t.folder("src");
    t.file("src/clash", "file");
    t.folder("dst");
    t.folder("dst/clash"); // a folder where the source has a file

    try {
        CopyFolderContents(t.path("src"), t.path("dst"));
        FAIL() << "a file cannot overwrite a folder";
    } catch (const Error &e) {
        EXPECT_NE(std::string(e.what()).find(t.path("src/clash")), std::string::npos) << e.what();
    }
    EXPECT_THROW(CopyFolderContents(t.path("missing"), t.path("dst")), Error);
    EXPECT_THROW(CopyFolderContents(t.path("src"), t.path("missing")), Error);
}
