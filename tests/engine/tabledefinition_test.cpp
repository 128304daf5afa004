#include "engine/sqlgen/tabledefinition.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

struct RecordingSink : DatatypeSink {
    std::vector<DatatypeLine> lines;
    void addDatatypeLine(DatatypeLine line) override { lines.push_back(std::move(line)); }
};

Field field(std::string name, int type, int precision = 0, int scale = 0)
{
    Field f;
    f.name = std::move(name);
    f.type = type;
    f.precision = precision;
    f.scale = scale;
    return f;
}

struct Expected {
    int code;
    const char *keyword;
    const char *type;
    bool numeric;
};

// Every code with a name, so a reordered or mistyped keyword shows up.
TEST(ColumnType, EveryNamedCodeInMappingOrder)
{
    const Expected rows[] = {
        {205, "adlongvarbinary", "LONGBLOB", false},
        {201, "longvar", "LONGTEXT", false},
        {203, "longvar", "LONGTEXT", false},
        {129, "char", "TEXT", false},
        {130, "char", "TEXT", false},
        {200, "char", "TEXT", false},
        {202, "char", "TEXT", false},
        {14, "decimal", "DECIMAL(65,30)", true},
        {4, "single", "FLOAT", true},
        {2, "int", "INT", true},
        {3, "int", "INT", true},
        {16, "int", "INT", true},
        {17, "int", "INT", true},
        {18, "int", "INT", true},
        {19, "int", "INT", true},
        {20, "int", "INT", true},
        {21, "int", "INT", true},
        {131, "numeric", "DECIMAL(65,30)", true},
        {139, "numeric", "DECIMAL(65,30)", true},
        {7, "date", "TEXT", false},
        {133, "date", "TEXT", false},
        {135, "timestamp", "TEXT", false},
        {5, "double", "DOUBLE", true},
        {0, "OTHER TYPES", "TEXT", false},
        {6, "OTHER TYPES", "TEXT", false},
        {8, "OTHER TYPES", "TEXT", false},
        {9, "OTHER TYPES", "TEXT", false},
        {10, "OTHER TYPES", "TEXT", false},
        {11, "OTHER TYPES", "TEXT", false},
        {12, "OTHER TYPES", "TEXT", false},
        {13, "OTHER TYPES", "TEXT", false},
        {64, "OTHER TYPES", "TEXT", false},
        {72, "OTHER TYPES", "TEXT", false},
        {128, "OTHER TYPES", "TEXT", false},
        {132, "OTHER TYPES", "TEXT", false},
        {134, "OTHER TYPES", "TEXT", false},
        {136, "OTHER TYPES", "TEXT", false},
        {138, "OTHER TYPES", "TEXT", false},
        {204, "OTHER TYPES", "TEXT", false},
        {1, "OTHER TYPES", "TEXT", false},
        {137, "OTHER TYPES", "TEXT", false},
        {-1, "OTHER TYPES", "TEXT", false},
    };
    for (const Expected &e : rows) {
        const ColumnType t = MapColumnType(field("f", e.code));
        EXPECT_STREQ(t.keyword, e.keyword) << e.code;
        EXPECT_EQ(t.mysqlType, e.type) << e.code;
        EXPECT_EQ(t.numeric, e.numeric) << e.code;
    }
}

TEST(ColumnType, DecimalPrecisionAndScale)
{
    EXPECT_EQ(MapColumnType(field("b", AdoType::adNumeric, 32, 2)).mysqlType, "DECIMAL(32,2)");
    EXPECT_EQ(MapColumnType(field("b", AdoType::adNumeric, 32, 32)).mysqlType, "DECIMAL(32,30)");
    EXPECT_EQ(MapColumnType(field("b", AdoType::adDecimal, 10, 0)).mysqlType, "DECIMAL(10,0)");
    EXPECT_EQ(MapColumnType(field("b", AdoType::adDecimal, 5, 8)).mysqlType, "DECIMAL(8,8)");
    EXPECT_EQ(MapColumnType(field("b", AdoType::adDecimal, 99, 4)).mysqlType, "DECIMAL(65,4)");
    EXPECT_EQ(MapColumnType(field("b", AdoType::adDecimal, 12, -3)).mysqlType, "DECIMAL(12,0)");
    EXPECT_EQ(MapColumnType(field("b", AdoType::adNumeric, 0, 4)).mysqlType, "DECIMAL(65,30)");
}

TEST(TableDefinition, CreateTextNumericColumnsAndViewLines)
{
    RecordingSink sink;
    const std::vector<Field> fields = {
        field("Name", AdoType::adVarWChar),     field("Id", AdoType::adInteger),
        field("Born", AdoType::adDate),         field("Paid", AdoType::adCurrency),
        field("Amount", AdoType::adDouble),     field("Memo text", AdoType::adLongVarWChar),
        field("Ok", AdoType::adBoolean),        field("Bcd", AdoType::adNumeric, 32, 2),
        field("Pic", AdoType::adLongVarBinary), field("Raw", AdoType::adBinary),
    };
    const TableDefinition def = BuildTableDefinition("People", fields, &sink);
    EXPECT_EQ(def.createText, "CREATE TABLE `People`(`Name` TEXT,`Id` INT,`Born` TEXT,`Paid` TEXT,`Amount` DOUBLE,"
                              "`Memo text` LONGTEXT,`Ok` TEXT,`Bcd` DECIMAL(32,2),`Pic` LONGBLOB,`Raw` TEXT);");
    EXPECT_EQ(def.NumericColumns, "1, 4, 7, ");
    EXPECT_EQ(def.numeric, (std::vector<bool>{false, true, false, false, true, false, false, true, false, false}));
    EXPECT_EQ(def.binary, (std::vector<bool>{false, false, false, false, false, false, false, false, true, false}));
    ASSERT_EQ(sink.lines.size(), fields.size());
    EXPECT_EQ(sink.lines[0].table, "People");
    EXPECT_EQ(sink.lines[5].field, "Memo text");
    EXPECT_EQ(sink.lines[5].keyword, "longvar");
    EXPECT_EQ(sink.lines[5].mysqlType, "LONGTEXT");
    EXPECT_EQ(sink.lines[6].keyword, "OTHER TYPES");
    EXPECT_EQ(sink.lines[7].mysqlType, "DECIMAL(32,2)");
}

TEST(TableDefinition, NoNumericFieldsAndOddNames)
{
    const TableDefinition def = BuildTableDefinition(
        "a`b", {field("x`y", AdoType::adChar), field("", AdoType::adBinary)}, nullptr);
    EXPECT_EQ(def.createText, "CREATE TABLE `a``b`(`x``y` TEXT,`` TEXT);");
    EXPECT_EQ(def.NumericColumns, "");
    EXPECT_EQ(DropStatement("Order Lines"), "DROP TABLE `Order Lines`");
    EXPECT_EQ(DropStatement("x`; DROP DATABASE d; --"), "DROP TABLE `x``; DROP DATABASE d; --`");
    EXPECT_EQ(QuoteName("``"), "``````");
}

TEST(TableDefinition, NumericPositionsOneAndFour)
{
    const TableDefinition def = BuildTableDefinition("t",
                                                     {field("a", AdoType::adChar), field("b", AdoType::adSmallInt),
                                                      field("c", AdoType::adDate), field("d", AdoType::adBoolean),
                                                      field("e", AdoType::adSingle)},
                                                     nullptr);
    EXPECT_EQ(def.NumericColumns, "1, 4, ");
}

} // namespace
} // namespace tabulon
