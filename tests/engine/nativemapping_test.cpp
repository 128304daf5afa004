// MySQL's own column types: the mapping per Paradox type, the literals,
// primary keys, and the pass that keeps a column as text when one of its
// values would not fit the native type.

#include "engine/run/batchexecutor.h"
#include "engine/sqlgen/nativescan.h"
#include "engine/sqlgen/rowstatement.h"
#include "engine/sqlgen/tabledefinition.h"
#include "source/paradox/paradoxrecordset.h"
#include "support/memoryrecordset.h"
#include "support/paradoxtable.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

using namespace tabulon;
using tabulon::test::MemoryRecordSet;

namespace {

struct Lines : DatatypeSink {
    std::vector<DatatypeLine> lines;
    void addDatatypeLine(DatatypeLine line) override { lines.push_back(std::move(line)); }
};

// Marks the first `keyFields` fields of a table the writer made as its key.
void MakeKeyed(const std::string &path, int keyFields)
{
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(4);
    f.put(0);
    f.seekp(0x23);
    f.put(char(keyFields));
    f.put(0);
}

// Every Paradox type once, in a keyed table written by our own writer.
class NativeTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("Every.db").toStdString();
        ParadoxWriter w(path, {{"Id", '+'},
                               {"Name", 'A', 12},
                               {"Born", 'D'},
                               {"At", 'T'},
                               {"Stamp", '@'},
                               {"Small", 'S'},
                               {"Big", 'I'},
                               {"Real", 'N'},
                               {"Price", '$'},
                               {"Yes", 'L'},
                               {"Exact", '#', 2},
                               {"Notes", 'M'},
                               {"Blob", 'B'},
                               {"Raw", 'Y', 4}});
        w.addRow({Value::integer(1), Value::text("Zoë Ångström"), Value::dateTime(DateTime::fromCivil(1994, 3, 14)),
                  Value::dateTime(DateTime::fromCivil(1899, 12, 30, 10, 15, 0, 7)),
                  Value::dateTime(DateTime::fromCivil(2001, 2, 3, 4, 5, 6, 789)), Value::integer(-7),
                  Value::integer(70000), Value::real(0.1), Value::currency(199955), Value::boolean(false),
                  Value::decimal("-12.34"), Value::text("it's"), Value::bytes(std::string("\0\x01", 2)),
                  Value::bytes("ab")});
        w.finish();
        MakeKeyed(path, 1);
    }
    QTemporaryDir dir;
    std::string path;
};

TEST_F(NativeTable, EveryTypeItsOwnColumnLiteralAndKey)
{
    ParadoxRecordSet rows(path);
    ASSERT_TRUE(rows.fields()[0].key);
    EXPECT_FALSE(rows.fields()[1].key);
    const NativeScan scan = ScanForNativeColumns(*std::make_unique<ParadoxRecordSet>(path));
    Lines sink;
    const TableDefinition def = BuildTableDefinition("Every", rows.fields(), &sink, &scan);
    EXPECT_EQ(def.createText,
              "CREATE TABLE `Every`(`Id` INT NOT NULL AUTO_INCREMENT,`Name` VARCHAR(12),`Born` DATE,`At` TIME(3),"
              "`Stamp` DATETIME(3),`Small` SMALLINT,`Big` INT,`Real` DOUBLE,`Price` DECIMAL(20,4),`Yes` BOOLEAN,"
              "`Exact` DECIMAL(32,2),`Notes` LONGTEXT,`Blob` LONGBLOB,`Raw` VARBINARY(4),PRIMARY KEY(`Id`)) "
              "DEFAULT CHARSET=utf8mb4;");
    ASSERT_EQ(sink.lines.size(), 14u);
    EXPECT_EQ(sink.lines[2].keyword, "Date");
    EXPECT_EQ(sink.lines[8].keyword, "Money");
    EXPECT_EQ(sink.lines[0].keyword, "Autoincrement");
    EXPECT_EQ(sink.lines[3].mysqlType, "TIME(3)");
    for (const DatatypeLine &line : sink.lines)
        EXPECT_EQ(line.note, "") << line.field;

    RowStatement builder("Every", def);
    std::string text;
    builder.build(rows, text);
    EXPECT_EQ(text, "INSERT INTO `Every` VALUES(1, 'Zoë Ångström', '1994-03-14', '10:15:00.007', "
                    "'2001-02-03 04:05:06.789', -7, 70000, 0.1, 19.9955, 0, -12.34, 'it''s', X'0001', X'61620000')");
    // The batching path joins such rows like any others.
    BatchExecutor::SingleRowInsert insert;
    EXPECT_TRUE(BatchExecutor::parseSingleRowInsert(text, insert));
}

TEST_F(NativeTable, TextModeIsTheOriginalMapping)
{
    ParadoxRecordSet rows(path);
    const TableDefinition def = BuildTableDefinition("Every", rows.fields(), nullptr);
    EXPECT_EQ(def.createText.find("PRIMARY KEY"), std::string::npos);
    EXPECT_NE(def.createText.find("`Born` TEXT,`At` TEXT"), std::string::npos);
    RowStatement builder("Every", def);
    std::string text;
    builder.build(rows, text);
    EXPECT_NE(text.find("'03/14/1994', '12/30/1899 10:15:00'"), std::string::npos) << text;
}

// Values a native column cannot hold: that column, and only it, stays text,
// and the datatype view says why.
TEST(NativeFallback, DatesNaNAndLongAlphaKeepTheirColumnAsText)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("Odd.db").toStdString();
    test::writeParadoxTable(
        path, {{"Early", 'D'}, {"Late", 'D'}, {"Real", 'N'}, {"Fine", 'D'}, {"Name", 'A', 5}},
        {{Value::dateTime(DateTime::fromCivil(200, 1, 1)), Value::dateTime(DateTime::fromCivil(1999, 1, 1)),
          Value::real(1.5), Value::dateTime(DateTime::fromCivil(2000, 1, 1)), Value::text("abc")},
         {Value::dateTime(DateTime::fromCivil(1999, 1, 1)), Value::dateTime(DateTime::fromCivil(1999, 1, 1)),
          Value::real(2.5), Value::null(), Value::text("de")}});
    // The writer stops at year 9999 and at finite numbers; Paradox's day
    // count and doubles do not. Row 2's "Late" becomes 12000-06-01 and its
    // "Real" a NaN, in place.
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        unsigned char size[2];
        f.seekg(2);
        f.read(reinterpret_cast<char *>(size), 2);
        const uint32_t day = uint32_t(DateTime::fromCivil(12000, 6, 1).days + 693594) ^ 0x8000'0000u;
        const char bytes[4] = {char(day >> 24), char(day >> 16), char(day >> 8), char(day)};
        f.seekp(std::streamoff(size[0] | size[1] << 8) + 6 + 25 + 4);
        f.write(bytes, 4);
        const char nan[8] = {char(0xFF), char(0xF8), 0, 0, 0, 0, 0, 0};
        f.write(nan, 8);
    }
    ParadoxRecordSet scanned(path);
    NativeScan scan = ScanForNativeColumns(scanned);
    ASSERT_EQ(scan.fallback.size(), 5u);
    EXPECT_NE(scan.fallback[0].find("0200-01-01"), std::string::npos) << scan.fallback[0];
    EXPECT_NE(scan.fallback[1].find("12000-06-01"), std::string::npos) << scan.fallback[1];
    EXPECT_NE(scan.fallback[2].find("NaN"), std::string::npos) << scan.fallback[2];
    EXPECT_EQ(scan.fallback[3], "");
    EXPECT_EQ(scan.fallback[4], "");

    ParadoxRecordSet rows(path);
    Lines sink;
    const TableDefinition def = BuildTableDefinition("Odd", rows.fields(), &sink, &scan);
    EXPECT_EQ(def.createText, "CREATE TABLE `Odd`(`Early` TEXT,`Late` TEXT,`Real` TEXT,`Fine` DATE,`Name` VARCHAR(5)) "
                              "DEFAULT CHARSET=utf8mb4;");
    EXPECT_NE(sink.lines[0].note.find("kept as text"), std::string::npos);
    EXPECT_EQ(sink.lines[3].note, "");
    RowStatement builder("Odd", def);
    std::string text;
    builder.build(rows, text);
    EXPECT_EQ(text, "INSERT INTO `Odd` VALUES('01/01/0200', '01/01/1999', '1.5', '2000-01-01', 'abc')");
    rows.moveNext();
    builder.build(rows, text);
    EXPECT_EQ(text, "INSERT INTO `Odd` VALUES('01/01/1999', '06/01/12000', 'NaN',NULL, 'de')");

    // An Alpha value longer than its field (a decoder may give more
    // characters than bytes); its field size is counted in characters.
    MemoryRecordSet alpha({{"Name", AdoType::adVarWChar, 0, 0, 3, 'A'}}, {{Value::text("äöü")}, {Value::text("abcd")}});
    scan = ScanForNativeColumns(alpha);
    EXPECT_NE(scan.fallback[0].find("4 characters"), std::string::npos) << scan.fallback[0];
}

// A key the server could not take (a blank key value) leaves the table
// without one, said once on the key's line; an autoincrement key with a value
// of 0 is written without AUTO_INCREMENT.
TEST(NativeKey, BlankKeyValueMeansNoPrimaryKey)
{
    std::vector<Field> fields = {{"Code", AdoType::adVarWChar, 0, 0, 4, 'A', true},
                                 {"Id", AdoType::adInteger, 0, 0, 4, 'I', false}};
    MemoryRecordSet blank(fields, {{Value::text("A"), Value::integer(1)}, {Value::null(), Value::integer(2)}});
    NativeScan scan = ScanForNativeColumns(blank);
    Lines sink;
    TableDefinition def = BuildTableDefinition("K", fields, &sink, &scan);
    EXPECT_EQ(def.createText.find("PRIMARY KEY"), std::string::npos);
    EXPECT_NE(sink.lines[0].note.find("blank in row 2"), std::string::npos) << sink.lines[0].note;

    // Two key fields: said once, beside the one it names; both marked as key.
    std::vector<Field> pair = {fields[0], {"Part", AdoType::adVarWChar, 0, 0, 4, 'A', true}, fields[1]};
    MemoryRecordSet blankPart(pair, {{Value::text("A"), Value::text("x"), Value::integer(1)},
                                     {Value::text("B"), Value::null(), Value::integer(2)}});
    scan = ScanForNativeColumns(blankPart);
    Lines two;
    BuildTableDefinition("P", pair, &two, &scan);
    ASSERT_EQ(two.lines.size(), 3u);
    EXPECT_EQ(two.lines[0].note, "");
    EXPECT_EQ(two.lines[1].note, "no primary key: key field \"Part\" is blank in row 2");
    EXPECT_EQ(two.lines[2].note, "");
    EXPECT_TRUE(two.lines[0].key && two.lines[1].key && !two.lines[2].key);

    MemoryRecordSet full(fields, {{Value::text("a"), Value::integer(1)}, {Value::text("A"), Value::integer(2)}});
    scan = ScanForNativeColumns(full);
    def = BuildTableDefinition("K", fields, nullptr, &scan);
    EXPECT_NE(def.createText.find("`Code` VARCHAR(4) COLLATE utf8mb4_bin NOT NULL,`Id` INT,PRIMARY KEY(`Code`)"),
              std::string::npos)
        << def.createText;

    MemoryRecordSet padded(fields, {{Value::text("a"), Value::integer(1)}, {Value::text("a "), Value::integer(2)}});
    scan = ScanForNativeColumns(padded);
    EXPECT_NE(scan.noKey.find("ends in a blank"), std::string::npos) << scan.noKey;

    std::vector<Field> counter = {{"N", AdoType::adInteger, 0, 0, 4, '+', true}};
    MemoryRecordSet zero(counter, {{Value::integer(0)}, {Value::integer(5)}});
    scan = ScanForNativeColumns(zero);
    def = BuildTableDefinition("C", counter, nullptr, &scan);
    EXPECT_EQ(def.createText, "CREATE TABLE `C`(`N` INT NOT NULL,PRIMARY KEY(`N`)) DEFAULT CHARSET=utf8mb4;");
}

// Many wide Alpha fields would pass the server's row size at four bytes a
// character: the widest become TEXT, with the reason.
TEST(NativeKey, TooWideRowTurnsWidestAlphaIntoText)
{
    std::vector<Field> fields;
    for (int i = 0; i < 90; ++i)
        fields.push_back({"F" + std::to_string(i), AdoType::adVarWChar, 0, 0, i == 5 ? 255 : 200, 'A'});
    Lines sink;
    const NativeScan scan;
    BuildTableDefinition("W", fields, &sink, &scan);
    EXPECT_EQ(sink.lines[5].mysqlType, "TEXT");
    EXPECT_NE(sink.lines[5].note.find("too wide"), std::string::npos);
    EXPECT_EQ(sink.lines[89].mysqlType, "VARCHAR(200)");
}

} // namespace
