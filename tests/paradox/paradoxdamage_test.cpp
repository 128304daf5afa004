// Damaged tables and memo files give clear errors naming the file; no
// read goes outside the file, nothing hangs.
#include "paradoxtestsupport.h"

#include "source/paradox/paradoxrecordset.h"
#include "source/paradox/paradoxtable.h"
#include "tools/paradoxwriter.h"

#include <random>

namespace tabulon {
namespace {

using test::ReadWhole;
using test::ScratchFolder;
using test::WriteWhole;

constexpr size_t kHeader = 2048, kBlock = 1024;

// Three 1 KB blocks of 20-byte records, plus memos in the .mb.
std::string WriteSample(const ScratchFolder &dir, int rows = 120)
{
    const std::string path = dir.file("Sample.db");
    ParadoxWriter w(path, {{"Id", 'I'}, {"Name", 'A', 6}, {"Memo", 'M', 10}}, 1252, 1);
    for (int i = 0; i < rows; ++i)
        w.addRow({Value::integer(i), Value::text("n" + std::to_string(i)),
                  Value::text(std::string(size_t(i % 3 == 0 ? 3000 : 40), char('a' + i % 26)))});
    w.finish();
    return path;
}

void Put16(std::string &bytes, size_t at, unsigned v)
{
    bytes[at] = char(v & 0xFF);
    bytes[at + 1] = char(v >> 8);
}

// The error opening or reading the whole table, or the damage its reader
// counted (after the file's name), or "" when it reads whole.
std::string ReadError(const std::string &path)
{
    try {
        ParadoxRecordSet rs(path);
        test::ReadAll(rs);
        const ReadAccount &a = rs.account();
        if (a.damaged())
            return a.file + ": " + a.damage;
    } catch (const Error &e) {
        return e.what();
    }
    return {};
}

void ExpectDamage(const std::string &path, const std::string &needle)
{
    const std::string error = ReadError(path);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find(needle), std::string::npos) << error;
}

TEST(ParadoxDamage, StructuralDamageNamesFileAndFault)
{
    ScratchFolder dir;
    const std::string path = WriteSample(dir);
    const std::string good = ReadWhole(path);
    ASSERT_EQ(ReadError(path), "");
    ASSERT_GE(good.size(), kHeader + 3 * kBlock);

    struct Case {
        const char *what;
        std::function<void(std::string &)> spoil;
        const char *needle;
    };
    const std::vector<Case> cases{
        {"truncated inside a block", [](std::string &b) { b.resize(kHeader + kBlock + 100); }, "truncated"},
        {"truncated header", [](std::string &b) { b.resize(1000); }, "truncated"},
        {"too short", [](std::string &b) { b.resize(40); }, "too few"},
        {"cycle", [](std::string &b) { Put16(b, kHeader + kBlock, 1); }, "circle"},
        {"next block past the end", [](std::string &b) { Put16(b, kHeader, 999); }, "past the end"},
        {"first block past the end", [](std::string &b) { Put16(b, 0x0E, 500); }, "past the end"},
        {"block size", [](std::string &b) { b[5] = 7; }, "block size"},
        {"record size", [](std::string &b) { Put16(b, 0, 21); }, "its records have 21"},
        {"record size zero", [](std::string &b) { Put16(b, 0, 0); }, "record size"},
        {"field size", [](std::string &b) { b[0x78 + 1] = 9; }, "impossible size"},
        {"field type", [](std::string &b) { b[0x78] = 0x30; }, "unknown type"},
        {"field count", [](std::string &b) { Put16(b, 0x21, 3000); }, "do not fit"},
        {"no fields", [](std::string &b) { Put16(b, 0x21, 0); }, "fields"},
        {"too many records in a block", [](std::string &b) { Put16(b, kHeader + 4, 1020); }, "1020 as the offset"},
        {"header size", [](std::string &b) { Put16(b, 2, 60000); }, "longer than the file"},
        {"version", [](std::string &b) { b[0x39] = 40; }, "version"},
        {"field names", [](std::string &b) { std::fill(b.begin() + 0x78 + 22 + 261, b.begin() + kHeader, 'x'); },
         "field names"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        c.spoil(bytes);
        WriteWhole(path, bytes);
        ExpectDamage(path, c.needle);
    }
}

TEST(ParadoxDamage, LastBlockMayEndPastTheFile)
{
    ScratchFolder dir;
    const std::string path = WriteSample(dir, 105); // the third block holds 5 records
    std::string bytes = ReadWhole(path);
    bytes.resize(kHeader + 2 * kBlock + 6 + 5 * 20);
    WriteWhole(path, bytes);
    EXPECT_EQ(ReadError(path), "");
    bytes.resize(bytes.size() - 1);
    WriteWhole(path, bytes);
    ExpectDamage(path, "truncated");
}

TEST(ParadoxDamage, IndexFilesAreNoTables)
{
    ScratchFolder dir;
    const std::string path = WriteSample(dir);
    std::string bytes = ReadWhole(path);
    bytes[4] = 1;
    WriteWhole(path, bytes);
    ExpectDamage(path, "primary index");
    bytes[4] = 5;
    WriteWhole(path, bytes);
    ExpectDamage(path, "not a Paradox table");
}

// A value the .mb cannot give is NULL, counted with the first reason; the
// rest of its row reads.
TEST(ParadoxDamage, DamagedMemoFileCostsOnlyItsValues)
{
    ScratchFolder dir;
    const std::string path = WriteSample(dir, 30);
    const std::string mb = dir.file("Sample.mb");
    const std::string good = ReadWhole(mb);

    auto check = [&](const std::string &needle) {
        SCOPED_TRACE(needle);
        ParadoxRecordSet rs(path);
        int nulls = 0;
        for (; !rs.eof(); rs.moveNext()) {
            EXPECT_FALSE(rs.value(1).isNull());
            nulls += rs.value(2).isNull();
        }
        const ReadAccount &a = rs.account();
        EXPECT_EQ(a.rowsRead, 30);
        EXPECT_FALSE(a.damaged());
        EXPECT_EQ(a.nullValues, nulls);
        EXPECT_GT(nulls, 0);
        EXPECT_NE(a.nullFile.find("Sample."), std::string::npos) << a.nullFile;
        EXPECT_NE(a.nullFault.find("\"Memo\""), std::string::npos) << a.nullFault;
        EXPECT_NE(a.nullFault.find(needle), std::string::npos) << a.nullFault;
    };
    WriteWhole(mb, good.substr(0, 5000));
    check("past the end");
    std::string wrongType = good;
    for (size_t at = 4096; at < wrongType.size(); at += 4096)
        wrongType[at] = 4;
    WriteWhole(mb, wrongType);
    check("type 4");
    std::string wrongLength = good;
    for (size_t at = 4096; at < wrongLength.size(); at += 4096)
        wrongLength[at + 3] = char(wrongLength[at + 3] + 1), wrongLength[at + 12 + 1] = 0;
    WriteWhole(mb, wrongLength);
    check("holds");
    std::filesystem::remove(mb);
    check("missing");
    // Found without regard to case.
    WriteWhole(dir.file("SAMPLE.MB"), good);
    ParadoxRecordSet rs(path);
    EXPECT_EQ(test::ReadAll(rs), 30);
    EXPECT_EQ(rs.account().nullValues, 0);
}

// Damage in the data blocks never costs rows silently: a blank block is
// damage, not a row of NULLs; a block whose record count is impossible is
// skipped and the chain goes on only where the next block links back; a
// wrong back link is told, but its block is read.
TEST(ParadoxDamage, DamagedBlocksAreCountedNotLostSilently)
{
    ScratchFolder dir;
    const std::string path = WriteSample(dir, 120); // blocks of 50, 50 and 20 records
    const std::string good = ReadWhole(path);
    struct Case {
        const char *what;
        std::function<void(std::string &)> spoil;
        int64_t rows;
        int damagedBlocks;
        const char *needle;
    };
    const std::vector<Case> cases{
        {"blank first block", [](std::string &b) { std::fill(b.begin() + kHeader, b.begin() + kHeader + kBlock, 0); },
         0, 1, "data block 1 is blank"},
        {"blank middle block",
         [](std::string &b) { std::fill(b.begin() + kHeader + kBlock, b.begin() + kHeader + 2 * kBlock, 0); }, 50, 1,
         "data block 2 is blank"},
        {"impossible last offset", [](std::string &b) { Put16(b, kHeader + kBlock + 4, 0xFFFE); }, 70, 1, "gives -2"},
        {"skipped block's next not linked back",
         [](std::string &b) {
             Put16(b, kHeader + kBlock + 4, 0xFFFE);
             Put16(b, kHeader + 2 * kBlock + 2, 7);
         },
         50, 2, "gives -2"},
        {"wrong back link", [](std::string &b) { Put16(b, kHeader + 2 * kBlock + 2, 1); }, 120, 1,
         "names block 1 before it"},
        {"last offset cut short", [](std::string &b) { Put16(b, kHeader + 4, 0); }, 71, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        c.spoil(bytes);
        WriteWhole(path, bytes);
        ParadoxRecordSet rs(path);
        int64_t rows = 0;
        for (; !rs.eof(); rs.moveNext(), ++rows)
            EXPECT_FALSE(rs.value(0).isNull()) << "row " << rows;
        const ReadAccount &a = rs.account();
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(a.rowsRead, c.rows);
        EXPECT_EQ(a.expectedRows, 120);
        EXPECT_TRUE(a.damaged());
        EXPECT_EQ(a.file, path);
        EXPECT_NE(a.damage.find(c.needle), std::string::npos) << a.damage;
        EXPECT_EQ(a.damagedBlocks, c.damagedBlocks);
    }
}

// A blob pointer that names another place of the .mb is damage: the value
// is NULL and told, never another record's bytes. Records of a 10-byte Id
// leader memo: each memo's first 10 bytes are also in its record.
TEST(ParadoxDamage, MisdirectedMemoPointersAreDamage)
{
    ScratchFolder dir;
    const std::string path = dir.file("Memos.db");
    const int rows = 11;
    auto memo = [](int i) { return "memo " + std::string(1, char('a' + i)) + std::string(30, char('A' + i)); };
    {
        ParadoxWriter w(path, {{"Id", 'I'}, {"Memo", 'M', 20}}, 1252, 1);
        for (int i = 0; i < rows; ++i)
            w.addRow({Value::integer(i), Value::text(memo(i))});
        w.finish();
    }
    const std::string mb = dir.file("Memos.mb"), goodMb = ReadWhole(mb), goodDb = ReadWhole(path);
    // Row `bad` reads NULL with `needle` in the report; every other row reads whole.
    auto expectOnlyLost = [&](int bad, const std::string &needle) {
        ParadoxRecordSet rs(path);
        for (int i = 0; i < rows; ++i, rs.moveNext()) {
            EXPECT_EQ(rs.value(0).toText(), std::to_string(i));
            if (i == bad)
                EXPECT_TRUE(rs.value(1).isNull()) << i;
            else
                EXPECT_EQ(rs.value(1).str(), memo(i)) << i;
        }
        EXPECT_EQ(rs.account().nullValues, 1);
        EXPECT_NE(rs.account().nullFault.find(needle), std::string::npos) << rs.account().nullFault;
    };
    // One flipped byte in the start offset of each sub-block in turn.
    for (int i = 0; i < rows; ++i) {
        SCOPED_TRACE(i);
        std::string bytes = goodMb;
        bytes[4096 + 12 + size_t(i) * 5] ^= 0x02;
        WriteWhole(mb, bytes);
        expectOnlyLost(i, "first bytes in the record differ");
    }
    WriteWhole(mb, goodMb);
    // Record 7 carries record 3's leader and pointer.
    std::string bytes = goodDb;
    const size_t record = kHeader + 6, size = 4 + 20;
    std::copy_n(goodDb.begin() + long(record + 3 * size + 4), 20, bytes.begin() + long(record + 7 * size + 4));
    WriteWhole(path, bytes);
    expectOnlyLost(7, "an earlier record's value");

    // Reading a value again is no second claim.
    paradox::ParadoxTable table(path);
    Value v;
    ASSERT_TRUE(table.next());
    table.decode(1, v);
    table.decode(1, v);
    EXPECT_EQ(v.str(), memo(0));
    EXPECT_EQ(table.account().nullValues, 0);
}

// A Logical byte other than false (0x80), true (0x81) or blank (0) is damage.
TEST(ParadoxDamage, LogicalBytesOtherThanTrueOrFalse)
{
    ScratchFolder dir;
    const std::string path = dir.file("Flags.db");
    {
        ParadoxWriter w(path, {{"Id", 'I'}, {"Flag", 'L'}}, 1252, 1);
        for (int i = 0; i < 4; ++i)
            w.addRow({Value::integer(i), i == 3 ? Value::null() : Value::boolean(i != 1)});
        w.finish();
    }
    std::string bytes = ReadWhole(path);
    bytes[kHeader + 6 + 2 * 5 + 4] = 0x42;
    WriteWhole(path, bytes);
    const auto values = test::ReadRows(path);
    ASSERT_EQ(values.size(), 4u);
    EXPECT_TRUE(values[0][1].kind() == Value::Kind::Boolean && values[0][1].boolean());
    EXPECT_TRUE(values[1][1].kind() == Value::Kind::Boolean && !values[1][1].boolean());
    EXPECT_TRUE(values[2][1].isNull());
    EXPECT_TRUE(values[3][1].isNull());
    ExpectDamage(path, "field \"Flag\" of row 3 holds 0x42");
}

// Field names a damaged header leaves empty or repeated (as MySQL compares
// them) are made distinct by position and suffix, and told.
TEST(ParadoxDamage, EmptyOrRepeatedFieldNamesAreMadeDistinct)
{
    ScratchFolder dir;
    const std::string path = dir.file("Names.db");
    {
        ParadoxWriter w(
            path,
            {{"Id", 'I'}, {"ID", 'I'}, {" ", 'I'}, {"Müller", 'A', 9}, {"muller", 'I'}, {"Field3", 'I'}, {"", 'I'}},
            1252, 1);
        w.addRow({Value::integer(1), Value::integer(2), Value::integer(3), Value::text("Größe"), Value::integer(5),
                  Value::integer(6), Value::integer(7)});
        w.finish();
    }
    auto names = [](const RecordSet &rs) {
        std::vector<std::string> out;
        for (const Field &f : rs.fields())
            out.push_back(f.name);
        return out;
    };
    ParadoxRecordSet rs(path);
    EXPECT_EQ(names(rs),
              (std::vector<std::string>{"Id", "ID_2", "Field3", "Müller", "muller_2", "Field3_2", "Field7"}));
    EXPECT_EQ(rs.account().damagedBlocks, 5);
    EXPECT_EQ(rs.account().damage, "field 2 is named \"ID\" like an earlier field; it is named ID_2");
    // Read in another code page the names differ, and so does the count.
    ParadoxRecordSet cyrillic(path, 1251);
    EXPECT_EQ(names(cyrillic)[4], "muller");
    EXPECT_EQ(cyrillic.account().damagedBlocks, 4);
    EXPECT_EQ(test::ReadAll(cyrillic), 1);
}

// Random single-byte and truncation damage: any outcome but a crash, a hang
// or an out-of-bounds read (run under the sanitizers) is acceptable.
TEST(ParadoxDamage, RandomDamageNeverCrashes)
{
    ScratchFolder dir;
    const std::string path = WriteSample(dir, 60);
    const std::string good = ReadWhole(path);
    const std::string goodMb = ReadWhole(dir.file("Sample.mb"));
    std::mt19937 rng(12345);
    for (int round = 0; round < 400; ++round) {
        std::string bytes = good, mb = goodMb;
        std::string &target = round % 3 == 2 ? mb : bytes;
        const int flips = 1 + int(rng() % 8);
        for (int k = 0; k < flips; ++k) {
            const size_t at = round % 2 ? rng() % 0x200 : rng() % target.size();
            target[at] = char(rng());
        }
        if (round % 7 == 0)
            target.resize(rng() % target.size());
        WriteWhole(path, bytes);
        WriteWhole(dir.file("Sample.mb"), mb);
        try {
            ParadoxRecordSet rs(path);
            test::ReadAll(rs, [](int64_t, int, const Error &) {});
        } catch (const Error &e) {
            EXPECT_NE(std::string(e.what()).find("Sample"), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace tabulon
