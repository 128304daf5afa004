#include "engine/run/runreport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tabulon;

TEST(RunReport, NamesWithControlCharactersStayOnTheirLine)
{
    RunReport report;
    TableReport &t = report.tables.emplace_back();
    t.table = "A_B";
    t.file = "/data/a\nb\t\x01\xff.db";
    t.outcome = TableReport::Outcome::Converted;
    t.notes.push_back("Table A_B is damaged: read from \"/data/a\nb.db\".");
    t.addRefused("Duplicate entry 'x\ry' for key 'PRIMARY'", "INSERT INTO `A_B` VALUES('x\\ry');");

    const std::string text = report.details();
    // Header, one table line, blank, heading, note, refusal and its statement.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7) << text;
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("/data/a\\nb\\t\\x01\\xFF.db\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  Table A_B is damaged: read from \"/data/a\\nb.db\".\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  Refused: Duplicate entry 'x\\ry' for key 'PRIMARY'\n"
                        "    INSERT INTO `A_B` VALUES('x\\ry');\n"),
              std::string::npos)
        << text;
}

// A refused row with a picture in it must not fill the box and the file:
// its first 2 KB stay, cut at a character's start, with the full length.
TEST(RunReport, ARefusedStatementKeepsTwoKilobytesAndItsLength)
{
    TableReport t;
    const std::string prefix = "INSERT INTO `P` VALUES(1, '";
    // The 2,048th byte is the second of an "é".
    const std::string head = prefix + std::string(2047 - prefix.size(), 'x');
    t.addRefused("Data too long", head + "\xC3\xA9" + std::string(300000, 'y') + "')");
    ASSERT_EQ(t.refused.size(), 1u);
    EXPECT_EQ(t.refused[0].statement, head + " ... (the statement is 302,051 bytes; its first 2,047 are shown)");
}
