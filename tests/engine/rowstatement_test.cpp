#include "engine/sqlgen/rowstatement.h"

#include "support/memoryrecordset.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

Field field(std::string name, int type)
{
    Field f;
    f.name = std::move(name);
    f.type = type;
    return f;
}

// The statement for one row of a table with these fields.
std::string statement(const std::string &table, std::vector<Field> fields, std::vector<Value> row)
{
    const TableDefinition def = BuildTableDefinition(table, fields, nullptr);
    test::MemoryRecordSet rows(std::move(fields), {std::move(row)});
    RowStatement rs(table, def);
    std::string out = "left over from the row before";
    rs.build(rows, out);
    return out;
}

DateTime date(int y, int m, int d, int h = 0, int mi = 0, int s = 0) { return DateTime::fromCivil(y, m, d, h, mi, s); }

const std::vector<Field> kPeople = {field("Id", AdoType::adInteger), field("Name", AdoType::adVarWChar),
                                    field("Born", AdoType::adDate)};

TEST(RowStatement, WorkedExampleAndNullPositions)
{
    EXPECT_EQ(statement("People", kPeople,
                        {Value::integer(5), Value::text("O'Neil"), Value::dateTime(date(1990, 3, 4))}),
              "INSERT INTO `People` VALUES(5, 'O''Neil', '03/04/1990')");
    EXPECT_EQ(statement("People", kPeople, {Value::integer(5), Value::null(), Value::dateTime(date(1990, 3, 4))}),
              "INSERT INTO `People` VALUES(5,NULL, '03/04/1990')");
    EXPECT_EQ(statement("People", kPeople, {Value::null(), Value::text("a"), Value::dateTime(date(1990, 3, 4))}),
              "INSERT INTO `People` VALUES(NULL, 'a', '03/04/1990')");
    EXPECT_EQ(statement("People", kPeople, {Value::integer(1), Value::text("a"), Value::empty()}),
              "INSERT INTO `People` VALUES(1, 'a',NULL)");
    EXPECT_EQ(statement("People", kPeople, {Value::integer(1), Value::text(""), Value::null()}),
              "INSERT INTO `People` VALUES(1,NULL,NULL)");
}

TEST(RowStatement, AllNullWithoutNumericColumns)
{
    const std::vector<Field> texts = {field("a", AdoType::adVarWChar), field("b", AdoType::adDate),
                                      field("c", AdoType::adLongVarBinary)};
    EXPECT_EQ(statement("t", texts, {Value::null(), Value::text(""), Value::null()}),
              "INSERT INTO `t` VALUES(NULL,NULL,NULL)");
    EXPECT_EQ(statement("t", {}, {}), "INSERT INTO `t` VALUES()");
}

TEST(RowStatement, TextIsNeverReadAsDateOrNumber)
{
    // Both rule sets: a table with a numeric column and one without.
    for (bool withNumeric : {true, false}) {
        std::vector<Field> fields = {field("a", AdoType::adVarWChar), field("b", AdoType::adVarWChar)};
        std::vector<Value> row = {Value::text("12:30"), Value::text("1,234")};
        std::string expectedTail = "'12:30', '1,234'";
        if (withNumeric) {
            fields.push_back(field("n", AdoType::adDouble));
            row.push_back(Value::real(1234.5));
            expectedTail += ", 1234.5";
        }
        EXPECT_EQ(statement("t", fields, row), "INSERT INTO `t` VALUES(" + expectedTail + ")");
    }
}

TEST(RowStatement, EscapesKeepTheTextAndTheLine)
{
    const std::vector<Field> f = {field("a", AdoType::adLongVarWChar)};
    EXPECT_EQ(statement("t", f, {Value::text("it's 'quoted'")}), "INSERT INTO `t` VALUES('it''s ''quoted''')");
    EXPECT_EQ(statement("t", f, {Value::text("C:\\dir\\")}), "INSERT INTO `t` VALUES('C:\\\\dir\\\\')");
    EXPECT_EQ(statement("t", f, {Value::text(std::string("a\0b", 3))}), "INSERT INTO `t` VALUES('a\\0b')");
    const std::string memo = statement("t", f, {Value::text("line 1\r\nline 2\nline 3\r")});
    EXPECT_EQ(memo, "INSERT INTO `t` VALUES('line 1\\r\\nline 2\\nline 3\\r')");
    EXPECT_EQ(memo.find_first_of("\r\n"), std::string::npos);
    // An attempt to break out of the quotes stays inside them.
    EXPECT_EQ(statement("t", f, {Value::text("\\'); DROP TABLE t; -- ")}),
              "INSERT INTO `t` VALUES('\\\\''); DROP TABLE t; -- ')");
    EXPECT_EQ(statement("t", f, {Value::text("M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80\t")}),
              "INSERT INTO `t` VALUES('M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80\t')");
}

TEST(RowStatement, BooleansByColumnKind)
{
    // Rule set A: the logical field itself is a text column.
    const std::vector<Field> f = {field("n", AdoType::adInteger), field("ok", AdoType::adBoolean)};
    EXPECT_EQ(statement("t", f, {Value::boolean(true), Value::boolean(false)}), "INSERT INTO `t` VALUES(1, 'False')");
    EXPECT_EQ(statement("t", f, {Value::boolean(false), Value::boolean(true)}), "INSERT INTO `t` VALUES(0, 'True')");
    // Rule set B.
    EXPECT_EQ(statement("t", {field("ok", AdoType::adBoolean)}, {Value::boolean(true)}),
              "INSERT INTO `t` VALUES('True')");
    // The texts "True"/"False" are text, not booleans.
    EXPECT_EQ(statement("t", f, {Value::text("True"), Value::text("False")}),
              "INSERT INTO `t` VALUES('True', 'False')");
}

TEST(RowStatement, DateLayouts)
{
    const std::vector<Field> f = {field("d", AdoType::adDate)};
    auto lit = [&](DateTime dt) { return statement("t", f, {Value::dateTime(dt)}); };
    EXPECT_EQ(lit(date(1990, 3, 4)), "INSERT INTO `t` VALUES('03/04/1990')");
    EXPECT_EQ(lit(date(2021, 12, 31, 23, 5, 9)), "INSERT INTO `t` VALUES('12/31/2021 23:05:09')");
    EXPECT_EQ(lit(date(2021, 1, 2, 0, 0, 1)), "INSERT INTO `t` VALUES('01/02/2021 00:00:01')");
    EXPECT_EQ(lit(date(1899, 12, 30, 12, 30)), "INSERT INTO `t` VALUES('12/30/1899 12:30:00')");
    EXPECT_EQ(lit(DateTime{}), "INSERT INTO `t` VALUES('12/30/1899 00:00:00')");
    EXPECT_EQ(lit(date(1, 1, 1)), "INSERT INTO `t` VALUES('01/01/0001')");
    EXPECT_EQ(lit(DateTime::fromCivil(2000, 6, 1, 8, 0, 0, 999)), "INSERT INTO `t` VALUES('06/01/2000 08:00:00')");
    // A date in a numeric column is still a quoted date, never arithmetic.
    EXPECT_EQ(statement("t", {field("n", AdoType::adInteger)}, {Value::dateTime(date(1990, 3, 4))}),
              "INSERT INTO `t` VALUES('03/04/1990')");
}

TEST(RowStatement, NumbersInNumericAndTextColumns)
{
    const std::vector<Field> f = {field("d", AdoType::adDouble), field("c", AdoType::adCurrency),
                                  field("b", AdoType::adNumeric), field("i", AdoType::adBigInt)};
    EXPECT_EQ(statement("t", f,
                        {Value::real(0.1 + 0.2), Value::currency(12345000), Value::decimal("-0012.3400"),
                         Value::integer(-9007199254740993)}),
              "INSERT INTO `t` VALUES(0.30000000000000004, '1234.5', -12.34, -9007199254740993)");
    EXPECT_EQ(statement("t", f,
                        {Value::real(1e15), Value::currency(-2500), Value::decimal("0.000"), Value::integer(0)}),
              "INSERT INTO `t` VALUES(1E+15, '-0.25', 0, 0)");
    EXPECT_EQ(statement("t", f, {Value::real(1.5e-5), Value::null(), Value::null(), Value::null()}),
              "INSERT INTO `t` VALUES(1.5E-05,NULL,NULL,NULL)");
    // No finite number: quoted, so the server names the column it refuses.
    EXPECT_EQ(statement("t", {field("d", AdoType::adDouble)}, {Value::real(std::numeric_limits<double>::infinity())}),
              "INSERT INTO `t` VALUES('Infinity')");
    // A damaged decimal text goes quoted and escaped, never bare.
    EXPECT_EQ(statement("t", {field("b", AdoType::adNumeric)}, {Value::decimal("1); DROP TABLE t; -- '")}),
              "INSERT INTO `t` VALUES('1); DROP TABLE t; -- ''')");
    // A text in a numeric column keeps its own characters, quoted.
    EXPECT_EQ(statement("t", {field("i", AdoType::adInteger)}, {Value::text("1,5")}), "INSERT INTO `t` VALUES('1,5')");
}

// LONGBLOB values go as bytes (X'...'); Bytes values in a TEXT column stay
// their hexadecimal text, so an empty one is the empty text and NULL.
TEST(RowStatement, BytesAndNames)
{
    const std::vector<Field> f = {field("g", AdoType::adLongVarBinary), field("y", AdoType::adBinary),
                                  field("n", AdoType::adInteger)};
    EXPECT_EQ(statement("a`b", f, {Value::bytes(std::string("\x00'\\\xff", 4)), Value::bytes("AB"), Value::integer(1)}),
              "INSERT INTO `a``b` VALUES(X'00275CFF', '4142', 1)");
    EXPECT_EQ(statement("t", f, {Value::bytes(""), Value::bytes(""), Value::null()}),
              "INSERT INTO `t` VALUES(X'',NULL,NULL)");
    EXPECT_EQ(statement("t", f, {Value::null(), Value::bytes("\x01"), Value::integer(2)}),
              "INSERT INTO `t` VALUES(NULL, '01', 2)");
    // Text in a LONGBLOB column (a source that has no bytes for it) is its text.
    EXPECT_EQ(statement("t", {field("g", AdoType::adLongVarBinary)}, {Value::text("it's")}),
              "INSERT INTO `t` VALUES('it''s')");
}

TEST(RowStatement, ReusedAcrossRows)
{
    const TableDefinition def = BuildTableDefinition("People", kPeople, nullptr);
    test::MemoryRecordSet rows(kPeople, {{Value::integer(1), Value::text("a"), Value::null()},
                                         {Value::null(), Value::text("bb"), Value::dateTime(date(2000, 1, 2))}});
    RowStatement rs("People", def);
    EXPECT_EQ(rs.prefix(), "INSERT INTO `People` VALUES(");
    std::string out;
    rs.build(rows, out);
    EXPECT_EQ(out, "INSERT INTO `People` VALUES(1, 'a',NULL)");
    rows.moveNext();
    rs.build(rows, out);
    EXPECT_EQ(out, "INSERT INTO `People` VALUES(NULL, 'bb', '01/02/2000')");
}

TEST(RowStatement, NumericColumnsByPosition)
{
    // Logical values go as 1 and 0 in the columns marked numeric, as words elsewhere.
    TableDefinition def;
    def.numeric = {false, true, false, false, true};
    std::vector<Field> f(5, field("x", AdoType::adVarWChar));
    test::MemoryRecordSet rows(f, {{Value::boolean(true), Value::boolean(true), Value::boolean(false),
                                    Value::boolean(true), Value::boolean(false)}});
    RowStatement rs("t", def);
    std::string out;
    rs.build(rows, out);
    EXPECT_EQ(out, "INSERT INTO `t` VALUES('True', 1, 'False', 'True', 0)");
}

} // namespace
} // namespace tabulon
