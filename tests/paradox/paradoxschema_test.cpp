// The indexes, checks and referential rules kept beside the fixture tables.
// What each file says is listed by hand (read from the bytes with a
// hexdump); every other table with companion files must read without a note.
#include "source/paradox/paradoxschema.h"
#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <QTemporaryDir>

namespace tabulon {
namespace {

using Names = std::vector<std::string>;

TableSchema Schema(const std::filesystem::path &dir, const std::string &relative)
{
    return paradox::ReadParadoxSchema((dir / relative).string(), 0);
}

std::string Joined(const std::vector<std::string> &notes)
{
    std::string s;
    for (const auto &n : notes)
        s += n + "\n";
    return s;
}

TEST(ParadoxSchema, IndexesOfTheFixtures)
{
    TABULON_FIXTURES_OR_SKIP(dir);
    // fk4.XG0 "reference": FK1 then FK, ascending, not unique, case-sensitive.
    TableSchema fk4 = Schema(dir, "leonhad-paradoxdriver/joins/fk4.db");
    ASSERT_EQ(fk4.indexes.size(), 1u) << Joined(fk4.notes);
    EXPECT_EQ(fk4.indexes[0].name, "reference");
    EXPECT_EQ(fk4.indexes[0].fields, (Names{"FK1", "FK"}));
    EXPECT_FALSE(fk4.indexes[0].unique || fk4.indexes[0].caseInsensitive);

    // indexed.xg0 "Descending" on Indexed (field number 0x8001), flags 0x11.
    TableSchema indexed = Schema(dir, "leonhad-paradoxdriver/joins/indexed.db");
    ASSERT_EQ(indexed.indexes.size(), 1u) << Joined(indexed.notes);
    EXPECT_EQ(indexed.indexes[0].name, "Descending");
    EXPECT_EQ(indexed.indexes[0].fields, Names{"Indexed"});
    EXPECT_EQ(indexed.indexes[0].descending, std::vector<bool>{true});
    EXPECT_TRUE(indexed.indexes[0].caseInsensitive);

    // C.X02 on A, C.X03 on B: single-field indexes have no name of their own.
    TableSchema c = Schema(dir, "leonhad-paradoxdriver/joins/C.DB");
    ASSERT_EQ(c.indexes.size(), 2u) << Joined(c.notes);
    EXPECT_EQ(c.indexes[0].fields, Names{"A"});
    EXPECT_EQ(c.indexes[1].fields, Names{"B"});
    EXPECT_EQ(c.indexes[0].name, "");

    // Clientes.XG1 "IndEstado": Estado, Cidade; case-insensitive (flag 0x01).
    TableSchema clientes = Schema(dir, "delphi-pascal-archive-electro_store_system/Clientes.DB");
    ASSERT_EQ(clientes.indexes.size(), 2u) << Joined(clientes.notes);
    EXPECT_EQ(clientes.indexes[1].name, "IndEstado");
    EXPECT_EQ(clientes.indexes[1].fields, (Names{"Estado", "Cidade"}));
    EXPECT_TRUE(clientes.indexes[1].caseInsensitive);

    // BDESDD.XG0 "RELDEST": five fields ahead of the two of the table's key.
    TableSchema bdesdd = Schema(dir, "delphi-pascal-archive-electro_store_system/BDESDD.DB");
    ASSERT_EQ(bdesdd.indexes.size(), 5u) << Joined(bdesdd.notes);
    EXPECT_EQ(bdesdd.indexes[1].name, "RELDEST");
    EXPECT_EQ(bdesdd.indexes[1].fields, (Names{"DESTOBJID", "DESTVERSION", "TYPEID", "SRCOBJID", "SRCVERSION"}));

    // case.x01 belongs to a table without a key: the record's place follows C.
    TableSchema unkeyed = Schema(dir, "leonhad-paradoxdriver/joins/case.db");
    ASSERT_EQ(unkeyed.indexes.size(), 1u) << Joined(unkeyed.notes);
    EXPECT_EQ(unkeyed.indexes[0].fields, Names{"C"});
}

TEST(ParadoxSchema, ChecksAndRulesOfTheFixtures)
{
    TABULON_FIXTURES_OR_SKIP(dir);
    // fk1: FK -> primary.ID, update cascades; fk2: the same, update prohibited.
    TableSchema fk1 = Schema(dir, "leonhad-paradoxdriver/joins/fk1.db");
    ASSERT_EQ(fk1.references.size(), 1u) << Joined(fk1.notes);
    EXPECT_EQ(fk1.references[0].name, "reference");
    EXPECT_EQ(fk1.references[0].fields, Names{"FK"});
    EXPECT_EQ(fk1.references[0].masterTable, "primary");
    EXPECT_EQ(fk1.references[0].masterFields, Names{"ID"});
    EXPECT_TRUE(fk1.references[0].cascadeUpdate);
    TableSchema fk2 = Schema(dir, "leonhad-paradoxdriver/joins/fk2.db");
    ASSERT_EQ(fk2.references.size(), 1u);
    EXPECT_FALSE(fk2.references[0].cascadeUpdate);

    // fk4: (FK1, FK) -> two.(ID1, ID2).
    TableSchema fk4 = Schema(dir, "leonhad-paradoxdriver/joins/fk4.db");
    ASSERT_EQ(fk4.references.size(), 1u) << Joined(fk4.notes);
    EXPECT_EQ(fk4.references[0].fields, (Names{"FK1", "FK"}));
    EXPECT_EQ(fk4.references[0].masterFields, (Names{"ID1", "ID2"}));

    // multiple: FK required, A with a picture; two rules to primary.
    TableSchema multiple = Schema(dir, "leonhad-paradoxdriver/joins/multiple.db");
    ASSERT_EQ(multiple.checks.size(), 2u) << Joined(multiple.notes);
    EXPECT_EQ(multiple.checks[0].field, "FK");
    EXPECT_TRUE(multiple.checks[0].required);
    EXPECT_EQ(multiple.checks[1].picture, "[(*3{#}) ]*3{#}-*4{#}");
    EXPECT_EQ(multiple.references.size(), 2u);

    // logical: BOOL required, default True; joinb: Id looks up joina.
    TableSchema logical = Schema(dir, "leonhad-paradoxdriver/fields/logical.db");
    ASSERT_EQ(logical.checks.size(), 1u) << Joined(logical.notes);
    EXPECT_EQ(logical.checks[0].defaultValue, Value::boolean(true));
    TableSchema joinb = Schema(dir, "leonhad-paradoxdriver/joins/joinb.db");
    ASSERT_EQ(joinb.checks.size(), 1u) << Joined(joinb.notes);
    EXPECT_EQ(joinb.checks[0].lookupTable, "joina.db");
}

TEST(ParadoxSchema, EveryCompanionFileOfTheFixturesReads)
{
    TABULON_FIXTURES_OR_SKIP(dir);
    int tables = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (ext != ".db")
            continue;
        const TableSchema schema = paradox::ReadParadoxSchema(entry.path().string(), 0);
        if (schema.empty())
            continue;
        ++tables;
        EXPECT_EQ(Joined(schema.notes), "") << entry.path();
    }
    EXPECT_GT(tables, 30);
}

// Damaged companion files, cut at every length and with bytes flipped: a
// note each time, never a crash or a read outside the file.
TEST(ParadoxSchema, DamagedCompanionFilesAreNotes)
{
    TABULON_FIXTURES_OR_SKIP(dir);
    QTemporaryDir tmp;
    const std::filesystem::path joins = dir / "leonhad-paradoxdriver/joins";
    const std::filesystem::path to(tmp.path().toStdString());
    for (const char *name : {"fk4.db", "two.db"})
        std::filesystem::copy_file(joins / name, to / name);
    auto read = [](const std::filesystem::path &p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string val = read(joins / "fk4.val"), index = read(joins / "fk4.XG0");
    auto write = [](const std::filesystem::path &p, const std::string &bytes) {
        std::ofstream(p, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    };
    int notes = 0;
    for (size_t n = 0; n < std::max(val.size(), size_t(0x400)); n += 7) {
        write(to / "fk4.val", val.substr(0, n));
        write(to / "fk4.XG0", index.substr(0, n));
        const TableSchema schema = paradox::ReadParadoxSchema((to / "fk4.db").string(), 0);
        notes += int(schema.notes.size());
    }
    EXPECT_GT(notes, 100);
    for (size_t at = 0; at < val.size(); at += 3) {
        std::string v = val, x = index;
        v[at] = char(~v[at]);
        x[at % 0x200] = char(0xFF);
        write(to / "fk4.val", v);
        write(to / "fk4.XG0", x);
        paradox::ReadParadoxSchema((to / "fk4.db").string(), 0);
    }
    // Another version of the validity file is told as such.
    std::string other = val;
    other[1] = 3;
    write(to / "fk4.val", other);
    const TableSchema schema = paradox::ReadParadoxSchema((to / "fk4.db").string(), 0);
    ASSERT_FALSE(schema.notes.empty());
    EXPECT_NE(schema.notes.back().find("version 3"), std::string::npos) << schema.notes.back();
}

} // namespace
} // namespace tabulon
