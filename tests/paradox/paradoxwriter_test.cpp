// Tables written by ParadoxWriter read back value for value.
#include "paradoxtestsupport.h"

#include "source/paradox/paradoxrecordset.h"
#include "source/paradox/paradoxtable.h"
#include "support/paradoxtable.h"

#include <filesystem>

namespace tabulon {
namespace {

using test::ReadRows;
using test::ScratchFolder;

std::string Pattern(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = char('a' + (i * 7 + i / 26) % 26);
    return s;
}

const std::vector<ParadoxFieldDef> kAllTypes{{"Alpha", 'A', 20}, {"Date", 'D'},    {"Time", 'T'},   {"Stamp", '@'},
                                             {"Short", 'S'},     {"Long", 'I'},    {"Auto", '+'},   {"Number", 'N'},
                                             {"Money", '$'},     {"Flag", 'L'},    {"Bcd", '#', 4}, {"Memo", 'M', 20},
                                             {"Fmt", 'F', 10},   {"Bin", 'B', 15}, {"Pic", 'G'},    {"Ole", 'O'},
                                             {"Raw", 'Y', 6}};

TEST(ParadoxWriter, EveryTypeFilledBlankAndAtItsBounds)
{
    ScratchFolder dir;
    const std::string path = dir.file("AllTypes.db");
    const std::vector<Value> filled{Value::text("Zoë € „x“"),
                                    Value::dateTime(DateTime::fromCivil(1999, 12, 31)),
                                    Value::dateTime(DateTime{0, 45296789}),
                                    Value::dateTime(DateTime::fromCivil(2024, 2, 29, 23, 59, 59, 999)),
                                    Value::integer(-123),
                                    Value::integer(123456789),
                                    Value::integer(7),
                                    Value::real(0.1 + 0.2),
                                    Value::currency(-12345678),
                                    Value::boolean(true),
                                    Value::decimal("-12345.6789"),
                                    Value::text("a memo with \r\n line breaks"),
                                    Value::bytes(std::string("\x01\x02\0\x03", 4)),
                                    Value::bytes("binary"),
                                    Value::bytes("BM fake bitmap"),
                                    Value::bytes("ole object"),
                                    Value::bytes(std::string("\0\x01\0\0\0\x02", 6))};
    std::vector<Value> blank(kAllTypes.size(), Value::null());
    const std::vector<Value> bounds{Value::text(std::string(20, 'x') /* full width */),
                                    Value::dateTime(DateTime::fromCivil(1, 1, 1)),
                                    Value::dateTime(DateTime{0, 86399999}),
                                    Value::dateTime(DateTime::fromCivil(9999, 12, 31, 23, 59, 59, 999)),
                                    Value::integer(-32767),
                                    Value::integer(-2147483647),
                                    Value::integer(2147483647),
                                    Value::real(-1e300),
                                    Value::currency(922337203685477),
                                    Value::boolean(false),
                                    Value::decimal("9999999999999999999999999999.9999"),
                                    Value::text(Pattern(100000)),
                                    Value::bytes(std::string(5000, '\xff')),
                                    Value::bytes(Pattern(16)),
                                    Value::bytes(Pattern(3000000)),
                                    Value::bytes(Pattern(32)),
                                    Value::bytes(std::string(6, '\xee'))};
    test::writeParadoxTable(path, kAllTypes, {filled, blank, bounds});
    EXPECT_EQ(std::filesystem::file_size(dir.file("AllTypes.mb")) % 4096, 0u);
    paradox::ParadoxTable table(path);
    EXPECT_EQ(table.version(), 70);
    EXPECT_EQ(table.codePage(), 1252);
    EXPECT_FALSE(table.isKeyed());

    const auto rows = ReadRows(path);
    ASSERT_EQ(rows.size(), 3u);
    for (size_t j = 0; j < kAllTypes.size(); ++j) {
        SCOPED_TRACE(kAllTypes[j].name);
        EXPECT_EQ(rows[0][j], filled[j]);
        EXPECT_EQ(rows[2][j], bounds[j]);
        if (kAllTypes[j].type == '+')
            EXPECT_EQ(rows[1][j], Value::integer(8)); // a blank autoincrement is numbered
        else
            EXPECT_TRUE(rows[1][j].isNull());
    }
}

TEST(ParadoxWriter, ReportedFieldTypes)
{
    ScratchFolder dir;
    ParadoxWriter(dir.file("t.db"), kAllTypes).finish();
    ParadoxRecordSet rs(dir.file("t.db"));
    EXPECT_TRUE(rs.eof());
    EXPECT_TRUE(rs.bof());
    EXPECT_EQ(rs.recordCount(), 0);
    const std::vector<int> ado{202, 7, 7, 7, 2, 3, 3, 5, 6, 11, 131, 203, 205, 205, 205, 205, 128};
    ASSERT_EQ(rs.fields().size(), ado.size());
    for (size_t j = 0; j < ado.size(); ++j)
        EXPECT_EQ(rs.fields()[j].type, ado[j]) << rs.fields()[j].name;
    EXPECT_EQ(rs.fields()[10].precision, 32);
    EXPECT_EQ(rs.fields()[10].scale, 4);
    EXPECT_EQ(rs.fields()[10].definedSize, 17);
    EXPECT_EQ(rs.fields()[0].definedSize, 20);
    EXPECT_THROW(rs.moveNext(), Error);
}

TEST(ParadoxWriter, MemoSizesAcrossSharedAndSingleBlocks)
{
    ScratchFolder dir;
    const std::string path = dir.file("memos.DB");
    // In the record, around the 16-byte units of shared blocks, at the
    // shared/single border, past 64 KB, and enough to fill several shared blocks.
    std::vector<size_t> sizes{1, 10, 11, 15, 16, 17, 32, 255, 2047, 2048, 2049, 4096, 65536, 70001};
    for (int i = 0; i < 150; ++i)
        sizes.push_back(size_t(20 + i * 13));
    {
        ParadoxWriter w(path, {{"N", 'I'}, {"Memo", 'M', 20}, {"Blob", 'B', 10}});
        for (size_t i = 0; i < sizes.size(); ++i)
            w.addRow(
                {Value::integer(int64_t(i + 1)), Value::text(Pattern(sizes[i])), Value::bytes(Pattern(sizes[i] + 1))});
        w.finish();
    }
    ASSERT_TRUE(std::filesystem::exists(dir.file("memos.MB")));
    const auto rows = ReadRows(path);
    ASSERT_EQ(rows.size(), sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_EQ(rows[i][1], Value::text(Pattern(sizes[i]))) << sizes[i];
        EXPECT_EQ(rows[i][2], Value::bytes(Pattern(sizes[i] + 1))) << sizes[i];
    }
}

TEST(ParadoxWriter, CodePages)
{
    struct Case {
        int codePage;
        std::string text;
    };
    for (const Case &c :
         {Case{1252, "Ça coûte 5 € – „gut“"}, Case{850, "Größe ½ ÆØÅ"}, Case{437, "│ñ░ α²"}, Case{866, "Привет, мир"},
          Case{1251, "Съешь же ещё"}, Case{1250, "Příliš žluťoučký kůň"}, Case{852, "Łódź"}, Case{936, "中文测试"}}) {
        SCOPED_TRACE(c.codePage);
        ScratchFolder dir;
        const std::string path = dir.file("cp.db");
        const bool latin = c.codePage != 936 && c.codePage != 866 && c.codePage != 1251;
        test::writeParadoxTable(path, {{latin ? "Näme" : "Name", 'A', 40}, {"Memo", 'M', 12}},
                                {{Value::text(c.text), Value::text(c.text + c.text)}}, c.codePage);
        paradox::ParadoxTable t(path);
        EXPECT_EQ(t.codePage(), c.codePage);
        const auto rows = ReadRows(path);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0], Value::text(c.text));
        EXPECT_EQ(rows[0][1], Value::text(c.text + c.text));
        if (c.codePage != 936 && c.codePage != 866 && c.codePage != 1251) {
            EXPECT_EQ(t.fields()[0].name, "Näme");
        }
    }
}

TEST(ParadoxWriter, RefusesValuesThatDoNotFit)
{
    ScratchFolder dir;
    ParadoxWriter w(dir.file("t.db"), {{"Name", 'A', 5}, {"S", 'S'}, {"B", '#', 2}, {"Y", 'Y', 2}});
    auto refused = [&](std::vector<Value> row, const std::string &needle) {
        try {
            w.addRow(row);
            ADD_FAILURE() << "accepted: " << needle;
        } catch (const Error &e) {
            EXPECT_NE(std::string(e.what()).find(needle), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("t.db"), std::string::npos) << e.what();
        }
    };
    const Value n = Value::null();
    refused({Value::text("abcdef"), n, n, n}, "\"Name\"");
    refused({Value::text("€€€€€€"), n, n, n}, "bytes");
    refused({Value::text("Привет"), n, n, n}, "code page 1252");
    refused({n, Value::integer(40000), n, n}, "\"S\"");
    refused({n, Value::text("1"), n, n}, "not an integer");
    refused({n, n, Value::decimal("1.234"), n}, "decimal places");
    refused({n, n, Value::decimal("1e5"), n}, "not a decimal");
    refused({n, n, n, Value::bytes("abc")}, "\"Y\"");
    refused({n, n}, "2 values for 4 fields");
    w.addRow({Value::text("abcde"), Value::integer(-32767), Value::decimal("1.230"), Value::bytes("ab")});
    w.finish();
    EXPECT_EQ(ReadRows(dir.file("t.db"))[0][2], Value::decimal("1.23"));
}

TEST(ParadoxWriter, AMillionRowsStream)
{
    ScratchFolder dir;
    const std::string path = dir.file("big.db");
    const int64_t n = 1'000'000;
    {
        ParadoxWriter w(path, {{"Id", '+'}, {"Name", 'A', 12}, {"Amount", '$'}}, 1252, 16);
        std::vector<Value> row{Value::null(), Value::text(""), Value::null()};
        for (int64_t i = 0; i < n; ++i) {
            row[1].setText("row " + std::to_string(i));
            row[2].setCurrency(i * 5);
            w.addRow(row);
        }
        w.finish();
        EXPECT_EQ(w.rowCount(), n);
    }
    ParadoxRecordSet rs(path);
    EXPECT_EQ(rs.recordCount(), n);
    int64_t rows = 0;
    while (!rs.eof()) {
        if (rows % 99991 == 0 || rows == n - 1) {
            EXPECT_EQ(rs.value(0), Value::integer(rows + 1));
            EXPECT_EQ(rs.value(1), Value::text("row " + std::to_string(rows)));
            EXPECT_EQ(rs.value(2), Value::currency(rows * 5));
        }
        rs.moveNext();
        ++rows;
    }
    EXPECT_EQ(rows, n);
}

} // namespace
} // namespace tabulon
