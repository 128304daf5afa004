#include "fs/subfolderwalk.h"

#include "common/error.h"
#include "common/eventpump.h"

#include "support/fakehost.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tabulon;
using tabulon::test::FakeHost;
using tabulon::test::TempFolder;

namespace {

class Walk : public ::testing::Test {
protected:
    TempFolder t;
    FakeHost host;
    std::string p; // the given folder, ending in "/"

    void SetUp() override { p = t.folder("P") + "/"; }

    std::vector<std::string> walk(bool recursive = true)
    {
        std::vector<std::string> list{p};
        GetSubDirectories2016(host, list, recursive);
        return list;
    }
    std::set<std::string> asSet(const std::vector<std::string> &v, std::size_t from, std::size_t to)
    {
        return {v.begin() + std::ptrdiff_t(from), v.begin() + std::ptrdiff_t(to)};
    }
};

} // namespace

TEST_F(Walk, BreadthFirstGroupedByParent)
{
    t.folder("P/A");
    t.folder("P/B");
    t.folder("P/A/A1");
    t.folder("P/A/A2");
    t.folder("P/B/B1");
    t.folder("P/B/B1/deep");
    t.file("P/file");
    t.folder("P/.hidden");

    const auto list = walk();
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(list[0], p);
    EXPECT_EQ(asSet(list, 1, 4), (std::set<std::string>{p + "A/", p + "B/", p + ".hidden/"}));
    // The second level follows the order of the first, parent by parent.
    const bool aFirst = std::find(list.begin(), list.end(), p + "A/") < std::find(list.begin(), list.end(), p + "B/");
    const std::set<std::string> aKids{p + "A/A1/", p + "A/A2/"};
    EXPECT_EQ(asSet(list, aFirst ? 4 : 5, aFirst ? 6 : 7), aKids);
    EXPECT_EQ(list[aFirst ? 6 : 4], p + "B/B1/");
    EXPECT_EQ(list[7], p + "B/B1/deep/");
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(Walk, NonRecursiveAddsOnlyTheFirstLevel)
{
    t.folder("P/A");
    t.folder("P/B");
    t.folder("P/A/A1");
    const auto list = walk(false);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], p);
    EXPECT_EQ(asSet(list, 1, 3), (std::set<std::string>{p + "A/", p + "B/"}));
}

TEST_F(Walk, EntriesThatAreNoFoldersStayAndAddNothing)
{
    t.folder("P/A");
    const std::string file = t.file("plain") + "/";
    const std::string missing = t.path("missing") + "/";
    const std::string tooLong = p + std::string(PATH_MAX, 'x') + "/";
    std::vector<std::string> list{file, missing, tooLong, p};
    GetSubDirectories2016(host, list, true);
    EXPECT_EQ(list, (std::vector<std::string>{file, missing, tooLong, p, p + "A/"}));
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(Walk, UnsafeNamesAreSkippedWithEverythingBelow)
{
    for (const std::string bad : {"ctl\x01", "ques?", "del\x7f", "c1\xc2\x85", "raw\xff"}) {
        t.folder("P/" + bad);
        t.folder("P/" + bad + "/child");
    }
    t.folder("P/Müller");
    EXPECT_EQ(walk(), (std::vector<std::string>{p, p + "Müller/"}));
}

TEST_F(Walk, LinksBackIntoTheTreeDoNotLoop)
{
    t.folder("P/A");
    t.folder("P/B");
    t.link(p, "P/A/up");           // to the given folder
    t.link(".", "P/A/self");       // to itself
    t.link("../A", "P/B/sibling"); // to a folder already listed
    t.link("A/up/A", "P/chain");   // through a link, to a listed folder
    t.link(t.path("nowhere"), "P/dangling");
    t.file("x");
    t.link(t.path("x"), "P/tofile");
    const auto list = walk();
    EXPECT_EQ(std::set<std::string>(list.begin(), list.end()), (std::set<std::string>{p, p + "A/", p + "B/"}));
    EXPECT_EQ(list.size(), 3u);
}

TEST_F(Walk, LinkToAFolderOutsideIsListedAndSearched)
{
    t.folder("Outside");
    t.folder("Outside/Inner");
    t.link(t.path("Outside"), "P/ext");
    EXPECT_EQ(walk(), (std::vector<std::string>{p, p + "ext/", p + "ext/Inner/"}));
}

TEST_F(Walk, UnreadableFoldersAreDropped)
{
    t.folder("P/A");
    t.folder("P/A/A1");
    const std::string locked = t.folder("P/Locked");
    t.folder("P/Locked/hidden");
    ::chmod(locked.c_str(), 0);
    const std::string given = t.folder("Given");
    ::chmod(given.c_str(), 0);

    const int result = test::runUnprivileged([&] {
        FakeHost quiet;
        std::vector<std::string> list{p};
        GetSubDirectories2016(quiet, list, true);
        if (list != std::vector<std::string>{p, p + "A/", p + "A/A1/"})
            return 1;
        // The given folder itself, between two others.
        list = {p + "A/A1/", given + "/", p + "A/"};
        GetSubDirectories2016(quiet, list, false);
        if (list != std::vector<std::string>{p + "A/A1/", p + "A/"})
            return 2;
        return quiet.boxes.empty() ? 0 : 3;
    });
    ::chmod(locked.c_str(), 0755);
    ::chmod(given.c_str(), 0755);
    if (result == -1)
        GTEST_SKIP() << "running as root and could not switch to user nobody";
    EXPECT_EQ(result, 0);
}

TEST_F(Walk, OnlyTheFirstEqualEntryIsRemoved)
{
    const std::string locked = t.folder("Locked") + "/";
    ::chmod(locked.c_str(), 0);
    const int result = test::runUnprivileged([&] {
        FakeHost quiet;
        std::vector<std::string> list{locked, p, locked};
        GetSubDirectories2016(quiet, list, false);
        // Both passes over the locked folder remove one copy each.
        return list == std::vector<std::string>{p} ? 0 : 1;
    });
    ::chmod(locked.c_str(), 0755);
    if (result == -1)
        GTEST_SKIP() << "running as root and could not switch to user nobody";
    EXPECT_EQ(result, 0);
}

TEST_F(Walk, OtherReadFailuresAreReportedAndTheWalkGoesOn)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' own memory checks need free file descriptors";
#endif
    t.folder("P/A");
    t.folder("P/B");
    // No descriptor left for opening a folder: not a permission problem, so
    // nothing is removed, but the user learns that folders went unread.
    const pid_t pid = ::fork();
    if (pid == 0) {
        FakeHost child;
        std::vector<std::string> list{p};
        const rlimit few{64, 64};
        ::setrlimit(RLIMIT_NOFILE, &few);
        while (::open("/dev/null", O_RDONLY) >= 0) {
        }
        GetSubDirectories2016(child, list, true);
        const auto errors = child.errors();
        const bool ok = list == std::vector<std::string>{p} && errors.size() == 1 &&
                        errors[0].find("\r\nin Hestwick2021/08/31.AddFolder.GetSubDirectories2016 "
                                       "at line 116\r\r") != std::string::npos &&
                        errors[0].find(p) != std::string::npos;
        for (const auto &e : errors)
            std::fprintf(stderr, "%s\n", e.c_str());
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(Walk, QuittingStopsTheWalkWithoutReports)
{
    t.folder("P/A");
    EventPump::requestQuit();
    EXPECT_THROW(walk(), Aborted);
    EventPump::reset();
    EXPECT_TRUE(host.boxes.empty());
}
