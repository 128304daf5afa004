// What a table's indexes, checks and rules become in native mode, on one
// writer-made table: the create text, the index statement, what is left
// out and why.
#include "engine/sqlgen/nativescan.h"
#include "engine/sqlgen/schemastatements.h"
#include "source/paradox/paradoxrecordset.h"
#include "tools/paradoxwriter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace tabulon {
namespace {

TEST(SchemaStatements, ChecksIndexesAndKeysOfOneTable)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("T.db").toStdString();
    {
        ParadoxWriter w(path, {{"Code", 'A', 10}, {"Name", 'A', 20}, {"Qty", 'I'}, {"Day", 'D'}, {"Memo", 'M'}});
        w.addRow({Value::text("a"), Value::text("x"), Value::integer(5),
                  Value::dateTime(DateTime::fromCivil(2000, 1, 2)), Value::null()});
        w.addRow({Value::text("b"), Value::null(), Value::integer(50), Value::dateTime(DateTime::fromCivil(2001, 1, 2)),
                  Value::null()});
        w.finish();
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4);
        f.put(0); // keyed on Code
        f.seekp(0x23);
        f.put(1);
    }
    TableSchema schema;
    schema.checks.push_back({"Name", true, {}, {}, Value::text("it's"), "", ""});
    schema.checks.push_back({"Qty", false, Value::integer(0), Value::integer(10), {}, "", ""});
    schema.checks.push_back({"Day", false, Value::dateTime(DateTime::fromCivil(1990, 1, 1)), {}, {}, "##/##", ""});
    const std::string longName(70, 'n');
    schema.indexes = {{"", {"Name"}, {true}, true, false, ""},
                      {"ByCode", {"Code"}, {false}, false, false, ""},
                      {longName, {"Qty"}, {false}, false, false, ""},
                      {"ByMemo", {"Memo"}, {false}, false, false, ""}};
    schema.references.push_back({"r", {"Qty"}, "Other", {"Id"}, false});

    ParadoxRecordSet rows(path);
    ParadoxRecordSet scanned(path);
    const NativeScan scan = ScanForNativeColumns(scanned, &schema);
    TableDefinition def = BuildTableDefinition("T", rows.fields(), nullptr, &scan);
    const SchemaPlan plan = PlanSchema("T", rows.fields(), def, schema, scan);
    ApplyColumnRules(def, plan);

    // The default goes in although a row leaves Name blank; NOT NULL and the
    // range of Qty (50 is outside) do not.
    EXPECT_EQ(def.createText, "CREATE TABLE `T`(`Code` VARCHAR(10) COLLATE utf8mb4_bin NOT NULL,`Name` VARCHAR(20) "
                              "DEFAULT 'it''s',`Qty` INT,`Day` DATE,`Memo` LONGTEXT,PRIMARY KEY(`Code`),"
                              "CONSTRAINT `T_Day_range` CHECK (`Day` >= '1990-01-01')) DEFAULT CHARSET=utf8mb4;");
    EXPECT_EQ(IndexStatement("T", plan.indexClauses), "ALTER TABLE `T` ADD UNIQUE KEY `Name` (`Name` DESC), ADD KEY `" +
                                                          longName.substr(0, 55) + "_" +
                                                          ServerName(longName).substr(56) + "` (`Qty`);");
    EXPECT_EQ(ServerName(longName).size(), 64u);
    EXPECT_EQ(plan.checks, 2);
    const std::vector<std::string> leftOut{
        "required Name (1 row has no value in it)",
        "range of Qty (1 stored value lies outside it)",
        "picture \"##/##\" of Day (MySQL has no input masks)",
        "index ByCode (it has the fields of the primary key)",
        "index ByMemo (field Memo is kept as LONGTEXT)",
    };
    EXPECT_EQ(plan.leftOut, leftOut);
    ASSERT_EQ(plan.foreignKeys.size(), 1u);
    EXPECT_EQ(ForeignKeyStatement(plan.foreignKeys[0], "T", "OTHER"),
              "ALTER TABLE `T` ADD CONSTRAINT `T_r` FOREIGN KEY (`Qty`) REFERENCES `OTHER` (`Id`) ON UPDATE RESTRICT "
              "ON DELETE RESTRICT;");
    EXPECT_EQ(SchemaSummary(1, 2, 0, {"a (b)"}), "1 index, 2 checks, 0 foreign keys carried over; 1 rule not (a (b))");
}

} // namespace
} // namespace tabulon
