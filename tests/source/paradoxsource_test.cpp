#include "source/paradoxsource.h"

#include "../fs/tempfolder.h"
#include "common/error.h"
#include "common/fileexists.h"
#include "common/programfolder.h"
#include "fs/filelister.h"
#include "fs/foldercopy.h"
#include "support/fakehost.h"
#include "tools/paradoxwriter.h"

#include <gtest/gtest.h>

#include <QDir>

#include <map>

#include <sys/stat.h>

using namespace tabulon;
using tabulon::test::FakeHost;
using tabulon::test::TempFolder;

namespace {

const char *const kQuestionStart = "In some cases the software needs to use a folder without spaces.\r\n"
                                   "Is it OK to create the folder ";

class CopyDb : public ::testing::Test {
protected:
    TempFolder t;
    FakeHost host;
    std::string target;

    void SetUp() override
    {
        SetProgramDriveRoot(t.folder("drive"));
        target = t.path("drive/TestDB");
        t.folder("My Data");
        t.folder("My Data/sub");
        t.file("My Data/a.db", "a");
        t.file("My Data/sub/b.db", "b");
        host.fields[1] = t.path("My Data");
    }
    void TearDown() override { SetProgramDriveRoot("/"); }
};

} // namespace

TEST_F(CopyDb, NoSpaceAsksNothingAndChangesNothing)
{
    for (const std::string &folder :
         std::vector<std::string>{t.path("drive"), "  " + t.path("drive") + "  ", "", "   "}) {
        host.fields[1] = folder;
        CopyDB(host, false);
        CopyDB(host, true);
        EXPECT_EQ(host.fields[1], folder);
    }
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_FALSE(IsFolder(target));
}

TEST_F(CopyDb, QuestionNamesTargetAndWord)
{
    host.answers = {false, false};
    CopyDB(host, true);
    CopyDB(host, false);
    ASSERT_EQ(host.boxes.size(), 2u);
    EXPECT_EQ(host.boxes[0].text, kQuestionStart + target + " and put sample db files in it?");
    EXPECT_EQ(host.boxes[1].text, kQuestionStart + target + " and put Your db files in it?");
    EXPECT_EQ(host.boxes[0].kind, FakeHost::Box::Question);
    EXPECT_EQ(host.boxes[0].title, "");
    // No: nothing created, the field keeps the path with spaces.
    EXPECT_EQ(host.fields[1], t.path("My Data"));
    EXPECT_FALSE(IsFolder(target));
}

TEST_F(CopyDb, YesCopiesIntoTargetAndSwitchesTheField)
{
    CopyDB(host, false);
    EXPECT_EQ(host.questions().size(), 1u);
    EXPECT_TRUE(host.errors().empty()) << host.errors().front();
    EXPECT_EQ(host.fields[1], target);
    EXPECT_EQ(host.fieldChanges, std::vector<int>{1});
    EXPECT_EQ(t.read("drive/TestDB/a.db"), "a");
    EXPECT_EQ(t.read("drive/TestDB/sub/b.db"), "b");
}

// An earlier copy's tables would be converted with the chosen folder's.
TEST_F(CopyDb, AnEarlierCopysParadoxFilesGoFirstAndOnlyThey)
{
    t.folder("drive/TestDB");
    t.folder("drive/TestDB/old");
    t.folder("elsewhere");
    for (const char *file :
         {"a.db", "earlier.DB", "earlier.MB", "earlier.PX", "earlier.X02", "earlier.yg0", "earlier.VAL", "old/deep.db"})
        t.file(std::string("drive/TestDB/") + file, "old");
    for (const char *file : {"notes.txt", "sheet.xls", "data.xml"})
        t.file(std::string("drive/TestDB/") + file, "kept");
    t.file("elsewhere/far.db", "far");
    t.link(t.path("elsewhere"), "drive/TestDB/link");

    host.answers = {false};
    CopyDB(host, false);
    ASSERT_EQ(host.questions().size(), 1u);
    EXPECT_EQ(host.questions()[0], "In some cases the software needs to use a folder without spaces.\r\n"
                                   "Is it OK to delete the Paradox files (tables, memos, indexes; 8 in all) in the "
                                   "folder " +
                                       target +
                                       " and its sub-folders, keep its other files, and put Your db "
                                       "files in it?");
    EXPECT_EQ(t.read("drive/TestDB/earlier.DB"), "old") << "No deletes nothing";

    CopyDB(host, false);
    EXPECT_TRUE(host.errors().empty()) << host.errors().front();
    EXPECT_EQ(host.fields[1], target);
    EXPECT_EQ(ParadoxFilesIn(target), (std::vector<std::string>{target + "/a.db", target + "/sub/b.db"}));
    EXPECT_EQ(t.read("drive/TestDB/a.db"), "a");
    for (const char *file : {"notes.txt", "sheet.xls", "data.xml"})
        EXPECT_EQ(t.read(std::string("drive/TestDB/") + file), "kept");
    EXPECT_EQ(t.read("elsewhere/far.db"), "far");
}

// Emptying the copy's folder would delete what is to be read.
TEST_F(CopyDb, AFolderInsideTheCopysFolderIsReadWhereItIs)
{
    host.fields[1] = t.folder("drive/TestDB");
    t.folder("drive/TestDB/my data");
    t.file("drive/TestDB/my data/a.db", "a");
    for (const std::string &inside : {target + "/my data", target + "/my data/"}) {
        host.fields[1] = inside;
        CopyDB(host, false);
        EXPECT_EQ(host.fields[1], inside);
    }
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(t.read("drive/TestDB/my data/a.db"), "a");
}

TEST_F(CopyDb, CreateFailureLeavesTheField)
{
    SetProgramDriveRoot(t.file("not-a-folder"));
    CopyDB(host, false);
    const auto errors = host.errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Could not create the folder " + t.path("not-a-folder/TestDB")), std::string::npos);
    EXPECT_NE(errors[0].find("\r\nin Quorvex2021/08/31.Paradox.CopyDB at line 116\r\r"), std::string::npos)
        << errors[0];
    EXPECT_EQ(host.fields[1], t.path("My Data"));
}

TEST_F(CopyDb, CopyFailureStillSwitchesTheField)
{
    t.folder("drive/TestDB");
    t.folder("drive/TestDB/a.db"); // a folder in the way of a file
    CopyDB(host, false);
    const auto errors = host.errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(t.path("My Data/a.db")), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("at line 120"), std::string::npos) << errors[0];
    EXPECT_EQ(host.fields[1], target);
}

TEST_F(CopyDb, UntrimmedTextIsWhatGetsCopied)
{
    // Inner and outer spaces: the question is asked, the copy uses the text
    // as typed, which names no folder.
    host.fields[1] = " " + t.path("My Data");
    CopyDB(host, false);
    EXPECT_EQ(host.questions().size(), 1u);
    const auto errors = host.errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("at line 120"), std::string::npos);
    EXPECT_EQ(host.fields[1], target);
}

TEST(ParadoxTables, NamesAreUpperCaseWithoutDb)
{
    EXPECT_EQ(ParadoxTableName("Customer.db"), "CUSTOMER");
    EXPECT_EQ(ParadoxTableName("orders.DB"), "ORDERS");
    EXPECT_EQ(ParadoxTableName("a.db.db"), "A");
    EXPECT_EQ(ParadoxTableName("MY.DB.OLD.DB"), "MY.OLD");
    EXPECT_EQ(ParadoxTableName("A.D.DBB"), "A.DB");
    EXPECT_EQ(ParadoxTableName("müller.db"), "MÜLLER");
    // Names go into SQL text on one line, as UTF-8.
    EXPECT_EQ(ParadoxTableName("x\xff.db"), "X\uFFFD");
    EXPECT_EQ(ParadoxTableName("a\nb\x7f.db"), "A_B_");
    EXPECT_EQ(ParadoxConnectionString("/data/p x"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/p x;Extended Properties=Paradox 5.x;");
    EXPECT_EQ(ParadoxConnectionString("/data/x "),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source={/data/x };Extended Properties=Paradox 5.x;");
    EXPECT_EQ(ParadoxConnectionString("/a;b}"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source={/a;b}}};Extended Properties=Paradox 5.x;");
}

TEST(ParadoxTables, FileNameThatIsNotUtf8IsDecodedInTheTablesCodePage)
{
    // The tests run in the C locale, which says nothing about file names.
    TempFolder t;
    const std::string name = "X\xbf.db";
    ParadoxWriter(t.path(name), {{"A", 'A', 4}}, 437).finish();
    EXPECT_EQ(FileNameText(name, t.path(name)), "X┐.db");
    t.file("Y\xbf.db", "no table");
    EXPECT_EQ(FileNameText("Y\xbf.db", t.path("Y\xbf.db")), "Y\uFFFD.db");
    EXPECT_EQ(FileNameText("Zoë.db", t.path("Zoë.db")), "Zoë.db");
}

TEST(ParadoxTables, PresenceAndDiscovery)
{
    TempFolder t;
    FakeHost host;
    std::vector<std::string> list{"stale"};

    host.fields[1] = "";
    EXPECT_FALSE(FolderHasDbFiles(host));
    ListParadoxTables(host, list);
    EXPECT_TRUE(list.empty());

    host.fields[1] = t.path("missing");
    EXPECT_FALSE(FolderHasDbFiles(host));

    // Only a lock-style file: no table.
    host.fields[1] = t.folder("tilde");
    t.file("tilde/~abc.db");
    EXPECT_FALSE(FolderHasDbFiles(host));
    EXPECT_NE(FolderTablesProblem(host).find("holds no Paradox tables"), std::string::npos);
    ListParadoxTables(host, list);
    EXPECT_TRUE(list.empty());

    // Tables only below: the run reads them, so the folder is not empty.
    host.fields[1] = t.folder("below");
    t.folder("below/sub");
    t.file("below/sub/Parts.db");
    EXPECT_TRUE(FolderHasDbFiles(host));
    ListParadoxTables(host, list);
    EXPECT_EQ(list, std::vector<std::string>{"PARTS"});

    // One name in several folders: the top folder's file keeps it, a later
    // one takes its sub-folder path, then a number; each keeps its file. A
    // trailing "/" changes nothing.
    host.fields[1] = t.folder("twice");
    t.folder("twice/sub");
    t.folder("twice/sub/deep");
    t.file("twice/Stock.Db");
    t.file("twice/SUB_STOCK.db");
    t.file("twice/sub/stock.db");
    t.file("twice/sub/deep/STOCK.DB");
    t.file("twice/notes.txt");
    const std::map<std::string, std::string> expected{{"STOCK", t.path("twice/Stock.Db")},
                                                      {"SUB_STOCK", t.path("twice/SUB_STOCK.db")},
                                                      {"SUB_STOCK_2", t.path("twice/sub/stock.db")},
                                                      {"SUB_DEEP_STOCK", t.path("twice/sub/deep/STOCK.DB")}};
    for (const char *suffix : {"", "/"}) {
        host.fields[1] = t.path("twice") + suffix;
        std::vector<std::string> files;
        ListParadoxTables(host, list, &files);
        ASSERT_EQ(list.size(), 4u);
        ASSERT_EQ(files.size(), 4u);
        std::map<std::string, std::string> got;
        for (size_t i = 0; i < list.size(); ++i)
            got[list[i]] = files[i];
        EXPECT_EQ(got, expected);
        EXPECT_EQ(files[3], t.path("twice/sub/deep/STOCK.DB")); // the walk's order
    }
    EXPECT_TRUE(host.boxes.empty());
}

// Not the file system's directory order: the same folder lists alike
// everywhere, and so gives every table the same name.
TEST(ParadoxTables, NameOrderTopFolderFirstThenEachSubFolderDepthFirst)
{
    TempFolder t;
    FakeHost host;
    host.fields[1] = t.folder("p");
    for (const char *folder : {"p/Zeta", "p/db", "p/beta", "p/areas", "p/areas/Inner"})
        t.folder(folder);
    for (const char *file : {"p/c.DB", "p/A.db", "p/b.db", "p/Zeta/v.db", "p/db/AREACODE.DB", "p/beta/w.db",
                             "p/areas/Inner/y.db", "p/areas/AREACODE.DB", "p/areas/x.db"})
        t.file(file);
    std::vector<std::string> list, files;
    ListParadoxTables(host, list, &files);
    EXPECT_EQ(list, (std::vector<std::string>{"A", "B", "C", "AREACODE", "X", "Y", "W", "DB_AREACODE", "V"}));
    ASSERT_EQ(files.size(), list.size());
    EXPECT_EQ(files[3], t.path("p/areas/AREACODE.DB"));
}

TEST(ParadoxTables, UnreadableFolderPropagates)
{
    TempFolder t;
    const std::string locked = t.folder("locked");
    t.file("locked/a.db");
    ::chmod(locked.c_str(), 0);
    const int result = test::runUnprivileged([&] {
        FakeHost host;
        host.fields[1] = locked;
        if (FolderHasDbFiles(host) || FolderTablesProblem(host).find("could not be read") == std::string::npos)
            return 1;
        // The walk drops the unreadable folder itself, so nothing is listed.
        std::vector<std::string> list;
        ListParadoxTables(host, list);
        return list.empty() && host.boxes.empty() ? 0 : 2;
    });
    ::chmod(locked.c_str(), 0755);
    if (result == -1)
        GTEST_SKIP() << "running as root and could not switch to user nobody";
    EXPECT_EQ(result, 0);
}

TEST(PathHelpers, FileNameDriveRootAndExistence)
{
    EXPECT_EQ(FileNameFromPath("/a/b/c.db"), "c.db");
    EXPECT_EQ(FileNameFromPath("c.db"), "c.db");
    EXPECT_EQ(FileNameFromPath("/a/b/"), "");
    EXPECT_EQ(FileNameFromPath(""), "");

    // The copy of a folder with spaces goes where the user may write.
    EXPECT_EQ(ProgramDriveRoot(), QDir::homePath().toStdString() + (QDir::homePath() == "/" ? "" : "/"));
    SetProgramDriveRoot("/tmp/x");
    EXPECT_EQ(ProgramDriveRoot(), "/tmp/x/");
    SetProgramDriveRoot("/");
    EXPECT_FALSE(ProgramFolder().empty());
    EXPECT_NE(ProgramFolder().back(), '/');

    TempFolder t;
    EXPECT_TRUE(FileExists(t.file("f")));
    EXPECT_TRUE(FileExists(t.root()));
    EXPECT_FALSE(FileExists(t.path("missing")));
    EXPECT_FALSE(FileExists(""));
}
