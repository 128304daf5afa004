// The real tables under the shared fixtures folder: every one reads to the
// end, and spot values match what Paradox shows for them.
#include "paradoxtestsupport.h"

#include "data/field.h"
#include "source/paradox/paradoxrecordset.h"
#include "source/paradox/paradoxtable.h"
#include "support/fixtures.h"

#include <algorithm>
#include <filesystem>

namespace tabulon {
namespace {

using test::fixturesDir;
using test::ReadRows;

std::string Fixture(const std::string &relative) { return (fixturesDir() / relative).string(); }

#define REQUIRE_FIXTURES()                                                                                             \
    if (fixturesDir().empty())                                                                                         \
    GTEST_SKIP() << "the shared Paradox fixtures are not present beside the project"

DateTime Civil(int y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return DateTime::fromCivil(y, m, d, h, mi, s, ms);
}

// Reads one table into rows of values (for the small tables only).
std::vector<std::vector<Value>> Rows(const std::string &relative) { return ReadRows(Fixture(relative)); }

TEST(ParadoxFixtures, EveryTableReadsCompletely)
{
    REQUIRE_FIXTURES();
    int tables = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(fixturesDir())) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (!entry.is_regular_file() || ext != ".db")
            continue;
        SCOPED_TRACE(entry.path().string());
        const bool membre = entry.path().filename() == "MEMBRE.DB";
        ParadoxRecordSet rs(entry.path().string());
        const int64_t expected = rs.recordCount();
        EXPECT_EQ(test::ReadAll(rs), expected);
        const ReadAccount &a = rs.account();
        EXPECT_FALSE(a.damaged()) << a.damage;
        EXPECT_EQ(a.rowsRead, expected);
        if (membre) {
            // Its .MB is missing: only its memos and graphics are NULL.
            EXPECT_GT(a.nullValues, 0);
            EXPECT_NE(a.nullFile.find("MEMBRE.MB"), std::string::npos) << a.nullFile;
            EXPECT_NE(a.nullFault.find("missing"), std::string::npos) << a.nullFault;
        } else {
            EXPECT_EQ(a.nullValues, 0) << a.nullFault;
        }
        ++tables;
    }
    EXPECT_GE(tables, 90);
}

TEST(ParadoxFixtures, HeadersOfEveryVersion)
{
    REQUIRE_FIXTURES();
    struct Case {
        const char *file;
        int version;
        bool keyed;
        int codePage;
        int64_t records;
    };
    for (const Case &c : {Case{"leonhad-paradoxdriver/areas/AREACODE.DB", 30, false, 437, 239},
                          Case{"leonhad-paradoxdriver/fields/date35.db", 35, false, 437, 3},
                          Case{"leonhad-paradoxdriver/areas/ZIPCODES.DB", 40, true, 437, 43185},
                          Case{"leonhad-paradoxdriver/fields/date5.db", 50, false, 850, 3},
                          Case{"leonhad-paradoxdriver/db/CUSTOMER.DB", 70, true, 1252, 20},
                          Case{"leonhad-paradoxdriver/db/ROMAN8.db", 40, false, 437, 1},
                          Case{"leonhad-paradoxdriver/db/GENERAL.DB", 50, true, 936, 3}}) {
        SCOPED_TRACE(c.file);
        paradox::ParadoxTable t(Fixture(c.file));
        EXPECT_EQ(t.version(), c.version);
        EXPECT_EQ(t.isKeyed(), c.keyed);
        EXPECT_EQ(t.codePage(), c.codePage);
        EXPECT_EQ(t.recordCount(), c.records);
    }
}

TEST(ParadoxFixtures, ZipCodesStreamAllRows)
{
    REQUIRE_FIXTURES();
    ParadoxRecordSet rs(Fixture("leonhad-paradoxdriver/areas/ZIPCODES.DB"));
    EXPECT_EQ(rs.recordCount(), 43185);
    ASSERT_EQ(rs.fields().size(), 3u);
    EXPECT_EQ(rs.fields()[2].name, "City");
    EXPECT_EQ(rs.fields()[2].type, AdoType::adVarWChar);
    EXPECT_EQ(rs.fields()[2].definedSize, 25);
    EXPECT_EQ(test::ReadAll(rs), 43185);
}

TEST(ParadoxFixtures, AllFieldTypesOfTypSammlung)
{
    REQUIRE_FIXTURES();
    ParadoxRecordSet rs(Fixture("steinm-pxlib/TypSammlung.DB"));
    const std::vector<std::pair<std::string, int>> expected{{"Alpha", 202},      {"Numerisch", 5},    {"Währung", 6},
                                                            {"Integer kurz", 2}, {"Integer lang", 3}, {"BCD", 131},
                                                            {"Datum", 7},        {"Zeit", 7},         {"Datum/Zeit", 7},
                                                            {"Memo", 203},       {"Logisch", 11},     {"Zähler", 3},
                                                            {"Binär", 205},      {"Bytes", 128}};
    ASSERT_EQ(rs.fields().size(), expected.size());
    for (size_t j = 0; j < expected.size(); ++j) {
        EXPECT_EQ(rs.fields()[j].name, expected[j].first);
        EXPECT_EQ(rs.fields()[j].type, expected[j].second) << expected[j].first;
    }
    EXPECT_EQ(rs.fields()[5].precision, 32);
    EXPECT_EQ(rs.fields()[5].scale, 6);
    EXPECT_EQ(rs.fields()[5].definedSize, 17);

    const auto rows = Rows("steinm-pxlib/TypSammlung.DB");
    ASSERT_EQ(rows.size(), 5u);
    const auto &r0 = rows[0];
    EXPECT_EQ(r0[0], Value::text("AAA Irgendein Text"));
    EXPECT_EQ(r0[1], Value::real(40));
    EXPECT_EQ(r0[2], Value::currency(400000));
    EXPECT_EQ(r0[3], Value::integer(40));
    EXPECT_EQ(r0[4], Value::integer(40));
    EXPECT_EQ(r0[5], Value::decimal("40.000000"));
    EXPECT_EQ(r0[6], Value::dateTime(Civil(1970, 1, 1)));
    EXPECT_EQ(r0[7], Value::dateTime(DateTime{0, 0}));
    EXPECT_EQ(r0[8], Value::dateTime(Civil(1970, 1, 1, 11)));
    EXPECT_TRUE(r0[9].isNull());
    EXPECT_EQ(r0[11], Value::integer(1));
    const auto &r2 = rows[2];
    EXPECT_EQ(r2[0], Value::text("Fünfter Datensatz"));
    EXPECT_EQ(r2[1], Value::real(1.34));
    EXPECT_EQ(r2[2], Value::currency(130020));
    EXPECT_EQ(r2[5], Value::decimal("13.123457"));
    EXPECT_EQ(r2[7], Value::dateTime(DateTime{0, 4212000}));
    // A timestamp before 0001-01-01 (Paradox accepts year 0) still reads.
    EXPECT_EQ(r2[8].kind(), Value::Kind::DateTime);
    EXPECT_EQ(r2[9].kind(), Value::Kind::Text);
    EXPECT_EQ(r2[9].str().rfind("Dies ist eine Memo im 'Fünften Datensat", 0), 0u) << r2[9].str();
    const auto &r4 = rows[4];
    EXPECT_EQ(r4[1], Value::real(-40));
    EXPECT_EQ(r4[2], Value::currency(-400000));
    EXPECT_EQ(r4[3], Value::integer(-40));
    EXPECT_EQ(r4[5], Value::decimal("-40.000000"));
    EXPECT_EQ(r4[10], Value::boolean(true));
    EXPECT_EQ(rows[1][10], Value::boolean(false));
    EXPECT_TRUE(rows[1][3].isNull());
}

TEST(ParadoxFixtures, FieldTypeTables)
{
    REQUIRE_FIXTURES();
    auto bcd = Rows("leonhad-paradoxdriver/fields/bcd.db");
    ASSERT_EQ(bcd.size(), 3u);
    EXPECT_EQ(bcd[0][0], Value::decimal("1.23"));
    EXPECT_EQ(bcd[0][1], Value::decimal("1"));
    EXPECT_EQ(bcd[1][0], Value::decimal("-1.23"));
    EXPECT_EQ(bcd[1][1], Value::decimal("-1"));
    EXPECT_EQ(bcd[2][0], Value::decimal("0.00"));
    EXPECT_TRUE(bcd[2][1].isNull());
    // 32 decimals: digits past a double's precision are junk nibbles in the file.
    EXPECT_EQ(bcd[0][2].str().rfind("0.1229999999999999980", 0), 0u) << bcd[0][2].str();
    EXPECT_EQ(bcd[0][2].str().size(), 34u);

    auto dates = Rows("leonhad-paradoxdriver/fields/date7.db");
    ASSERT_EQ(dates.size(), 5u);
    EXPECT_EQ(dates[0][0], Value::dateTime(Civil(2018, 1, 1)));
    EXPECT_EQ(dates[1][0], Value::dateTime(Civil(2018, 2, 1)));
    EXPECT_EQ(dates[0][1], Value::dateTime(DateTime{0, 10 * 3600 * 1000}));
    EXPECT_EQ(dates[2][1], Value::dateTime(DateTime{0, (9 * 3600 + 25 * 60 + 25) * 1000}));
    EXPECT_TRUE(dates[3][0].isNull());
    EXPECT_TRUE(dates[4][1].isNull());
    for (const char *older : {"leonhad-paradoxdriver/fields/date35.db", "leonhad-paradoxdriver/fields/date4.db"})
        EXPECT_EQ(Rows(older)[0][0], Value::dateTime(Civil(2018, 1, 1))) << older;

    auto times = Rows("leonhad-paradoxdriver/fields/time.db");
    EXPECT_EQ(times[0][0], Value::dateTime(DateTime{0, 3601000}));
    EXPECT_TRUE(times[1][0].isNull());

    auto stamps = Rows("leonhad-paradoxdriver/fields/timestamp.db");
    EXPECT_TRUE(stamps[0][0].isNull());
    EXPECT_EQ(stamps[1][0], Value::dateTime(Civil(2020, 2, 1, 1, 0, 1)));

    auto logical = Rows("leonhad-paradoxdriver/fields/logical.db");
    ASSERT_EQ(logical.size(), 4u);
    EXPECT_EQ(logical[0][0], Value::boolean(true));
    EXPECT_EQ(logical[1][0], Value::boolean(false));

    auto longs = Rows("leonhad-paradoxdriver/fields/long.db");
    EXPECT_EQ(longs[1][1], Value::integer(2));
    EXPECT_TRUE(longs[2][1].isNull());

    auto bytes = Rows("leonhad-paradoxdriver/fields/bytes.db");
    ASSERT_EQ(bytes[0][0].kind(), Value::Kind::Bytes);
    EXPECT_EQ(bytes[0][0].str().size(), 255u); // full width, trailing zeros kept
    EXPECT_EQ(bytes[0][0].str().substr(0, 3), std::string("1\0002", 3));
}

TEST(ParadoxFixtures, MemosAndBlobs)
{
    REQUIRE_FIXTURES();
    auto memo = Rows("leonhad-paradoxdriver/fields/memo.db");
    ASSERT_EQ(memo.size(), 2u);
    EXPECT_EQ(memo[0][1].str().size(), 555u);
    EXPECT_EQ(memo[0][1].str().rfind("0123456789001234567890", 0), 0u);
    EXPECT_EQ(memo[1][1], Value::text("01234567890\n")); // short: kept in the record only

    auto graphics = Rows("leonhad-paradoxdriver/fields/graphic.db");
    ASSERT_EQ(graphics.size(), 3u);
    const std::vector<size_t> sizes{20078, 9618, 2074678};
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(graphics[i][1].kind(), Value::Kind::Bytes);
        EXPECT_EQ(graphics[i][1].str().size(), sizes[i]);
        EXPECT_EQ(graphics[i][1].str().substr(0, 2), "BM");
    }
    EXPECT_EQ(Rows("leonhad-paradoxdriver/fields/graphic240.db")[0][1].str().substr(0, 2), "BM");

    auto ole = Rows("leonhad-paradoxdriver/fields/ole.db");
    EXPECT_EQ(ole[0][1].str().size(), 365920u);
    EXPECT_NE(ole[0][1].str().find("Paradox Document"), std::string::npos);

    auto fmemo = Rows("leonhad-paradoxdriver/fields/fmemo.db");
    EXPECT_EQ(fmemo[0][1].kind(), Value::Kind::Bytes);
    EXPECT_EQ(fmemo[1][1].str().size(), 726u);

    // CUSTOMER keeps memos of 58 KB in its .MB: longer than a 64 KB-limited reader cuts.
    size_t longest = 0;
    for (const auto &row : Rows("leonhad-paradoxdriver/db/CUSTOMER.DB"))
        if (row[8].kind() == Value::Kind::Text)
            longest = std::max(longest, row[8].str().size());
    EXPECT_GT(longest, 56000u);

    auto products = Rows("delphi-pascal-archive-electro_store_system/Produtos.DB");
    EXPECT_EQ(products[0][4], Value::text("CAPACITOR DE ALUMÍNIO SÓLIDO 6,3 V 20 MF"));
    EXPECT_EQ(products[2][6].str().rfind("Temperatura de operação", 0), 0u);
    EXPECT_EQ(products[2][19].str().substr(0, 2), "BM");
    EXPECT_EQ(products[1][9], Value::real(0.4));
    EXPECT_EQ(Rows("leonhad-paradoxdriver/db/ORDERS.DB")[0][5], Value::currency(73200000));
}

TEST(ParadoxFixtures, EncryptedTablesAndMemo)
{
    REQUIRE_FIXTURES();
    auto plain = Rows("leonhad-paradoxdriver/encrypt/encrypted.db");
    ASSERT_EQ(plain.size(), 4u);
    EXPECT_EQ(plain[0][1], Value::text("Value 1"));
    EXPECT_EQ(plain[3][0], Value::integer(4));
    EXPECT_EQ(plain[3][1], Value::text("Last one"));

    auto old = Rows("leonhad-paradoxdriver/encrypt/encrypted35.db");
    ASSERT_EQ(old.size(), 2u);
    EXPECT_EQ(old[0][0], Value::real(1));
    EXPECT_EQ(old[1][1], Value::text("Test2"));

    auto memo = Rows("leonhad-paradoxdriver/encrypt/encryptedmemo.db");
    ASSERT_EQ(memo.size(), 2u);
    EXPECT_EQ(memo[0][0].str().rfind(" The PARADOX File Structure", 0), 0u);
    EXPECT_EQ(memo[0][0].str().size(), 55855u);
    EXPECT_GT(memo[1][0].str().size(), 400000u);
    // Decrypted text is text throughout: a wrong key stream shows as noise.
    for (const auto &row : memo) {
        const std::string &text = row[0].str();
        const auto plain = std::count_if(text.begin(), text.end(), [](char c) {
            return (c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n' || c == '\t';
        });
        EXPECT_GT(double(plain), 0.99 * double(text.size()));
    }
}

TEST(ParadoxFixtures, BlocksFollowTheChainNotTheFile)
{
    REQUIRE_FIXTURES();
    // PCL.DB chains 1, 2, 3, 4, 34, 5, ...: block 34 holds row 19.
    auto rows = Rows("teverett-paradoxReader/PCLDATA/PCL.DB");
    ASSERT_EQ(rows.size(), 161u);
    EXPECT_EQ(rows[19][3], Value::text("Copy/assign cur font as temp"));
    EXPECT_EQ(rows[20][3], Value::text("Delete Last Char. specified"));
}

TEST(ParadoxFixtures, NonAsciiFieldNamesAndMissingMemoFile)
{
    REQUIRE_FIXTURES();
    ParadoxRecordSet rs(Fixture("teverett-paradoxReader/MEMBRE.DB"));
    std::vector<std::string> names;
    for (const Field &f : rs.fields())
        names.push_back(f.name);
    EXPECT_NE(std::find(names.begin(), names.end(), "Marié"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "N° Licence"), names.end());
    const int memo = int(std::find(names.begin(), names.end(), "Memo") - names.begin());
    // Memos too long for the record are NULL; every other field reads.
    int rows = 0, nulls = 0;
    for (; !rs.eof(); rs.moveNext(), ++rows) {
        EXPECT_EQ(rs.value(0).kind(), Value::Kind::Integer);
        nulls += rs.value(memo).isNull();
    }
    EXPECT_EQ(rows, 6);
    EXPECT_GT(nulls, 0);
    EXPECT_NE(rs.account().nullFault.find("\"Memo\""), std::string::npos) << rs.account().nullFault;
}

} // namespace
} // namespace tabulon
