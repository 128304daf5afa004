#include "common/guardedsteps.h"

#include "support/fakehost.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

TEST(ApplicationErrorText, ByteForByte)
{
    EXPECT_EQ(ApplicationErrorText("Disk full", ReportProject::Quorvex, "Form1.PushButton7_Click", 104),
              "Disk full\r\nin Quorvex2021/08/31.Form1.PushButton7_Click at line 104\r\r"
              "Please email screenshot of this message to support@korvanto.example");
    EXPECT_EQ(ApplicationErrorText("", ReportProject::Hestwick, "AddFolder.GetSubDirectories2016", 100),
              "\r\nin Hestwick2021/08/31.AddFolder.GetSubDirectories2016 at line 100\r\r"
              "Please email screenshot of this message to support@korvanto.example");
}

TEST(GuardedProcedure, FailingStepReportsAndCarriesOn)
{
    test::FakeHost host;
    GuardedProcedure proc(host, "Main.Convert");
    std::vector<int> ran;
    EXPECT_TRUE(proc.step(100, [&] { ran.push_back(100); }));
    EXPECT_FALSE(proc.step(102, [&] {
        ran.push_back(102);
        throw Error("Table 'px.t' doesn't exist");
    }));
    EXPECT_FALSE(proc.step(104, [&] { throw 42; }));
    EXPECT_TRUE(proc.step(106, [&] { ran.push_back(106); }));

    EXPECT_EQ(ran, (std::vector<int>{100, 102, 106}));
    ASSERT_EQ(host.errors().size(), 2u);
    EXPECT_EQ(host.errors()[0],
              ApplicationErrorText("Table 'px.t' doesn't exist", ReportProject::Quorvex, "Main.Convert", 102));
    EXPECT_EQ(host.errors()[1], ApplicationErrorText("Unknown error", ReportProject::Quorvex, "Main.Convert", 104));
    EXPECT_EQ(host.boxes[0].title, "Application Error");
}

TEST(GuardedProcedure, FailingDecisionContinuesIntoItsBranch)
{
    test::FakeHost host;
    GuardedProcedure proc(host, "Form1.Form_Load", ReportProject::Hestwick);
    EXPECT_TRUE(proc.decide(110, []() -> bool { throw Error("Permission denied"); }));
    EXPECT_FALSE(proc.decide(112, [] { return false; }));
    EXPECT_TRUE(proc.decide(114, [] { return true; }));
    ASSERT_EQ(host.errors().size(), 1u);
    EXPECT_EQ(host.errors()[0],
              ApplicationErrorText("Permission denied", ReportProject::Hestwick, "Form1.Form_Load", 110));
}

TEST(GuardedProcedure, AbortedPassesThroughWithoutReport)
{
    test::FakeHost host;
    GuardedProcedure proc(host, "Main.Convert");
    EXPECT_THROW(proc.step(100, [] { throw Aborted(); }), Aborted);
    EXPECT_THROW(proc.decide(102, []() -> bool { throw Aborted(); }), Aborted);
    EXPECT_TRUE(host.boxes.empty());
}

} // namespace
} // namespace tabulon
