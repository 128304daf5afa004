// Damaged tables and memo files give clear errors naming the file; no
// read goes outside the file, nothing hangs.
#include "paradoxtestsupport.h"

#include "source/paradox/paradoxrecordset.h"
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

    struct Case { const char *what; std::function<void(std::string &)> spoil; const char *needle; };
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
        {"field names", [](std::string &b) { std::fill(b.begin() + 0x78 + 22 + 261, b.begin() + kHeader, 'x'); }, "field names"},
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
    const std::string path = WriteSample(dir, 105);  // the third block holds 5 records
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
    const std::string path = WriteSample(dir, 120);  // blocks of 50, 50 and 20 records
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
        {"blank middle block", [](std::string &b) { std::fill(b.begin() + kHeader + kBlock, b.begin() + kHeader + 2 * kBlock, 0); },
         50, 1, "data block 2 is blank"},
        {"impossible last offset", [](std::string &b) { Put16(b, kHeader + kBlock + 4, 0xFFFE); }, 70, 1, "gives -2"},
        {"skipped block's next not linked back",
         [](std::string &b) { Put16(b, kHeader + kBlock + 4, 0xFFFE); Put16(b, kHeader + 2 * kBlock + 2, 7); },
         50, 2, "gives -2"},
        {"wrong back link", [](std::string &b) { Put16(b, kHeader + 2 * kBlock + 2, 1); }, 120, 1, "names block 1 before it"},
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
