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

// The error opening or reading the whole table, or "" when it reads.
std::string ReadError(const std::string &path)
{
    try {
        ParadoxRecordSet rs(path);
        test::ReadAll(rs);
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
        {"too many records in a block", [](std::string &b) { Put16(b, kHeader + 4, 1020); }, "more than fit"},
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

TEST(ParadoxDamage, DamagedMemoFileFailsOnlyItsValues)
{
    ScratchFolder dir;
    const std::string path = WriteSample(dir, 30);
    const std::string mb = dir.file("Sample.mb");
    const std::string good = ReadWhole(mb);

    auto check = [&](const std::string &needle) {
        ParadoxRecordSet rs(path);
        int failures = 0;
        test::ReadAll(rs, [&](int64_t row, int field, const Error &e) {
            ++failures;
            EXPECT_EQ(field, 2) << "row " << row;
            EXPECT_NE(std::string(e.what()).find("\"Memo\""), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(needle), std::string::npos) << e.what();
        });
        EXPECT_GT(failures, 0) << needle;
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
    check("Sample.MB");
    // Found without regard to case.
    WriteWhole(dir.file("SAMPLE.MB"), good);
    ParadoxRecordSet rs(path);
    EXPECT_EQ(test::ReadAll(rs), 30);
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
