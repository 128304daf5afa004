// The "Text" column mapping must write every fixture table exactly as it
// always has: digests of today's create and row statements, per table.

#include "common/error.h"
#include "engine/sqlgen/rowstatement.h"
#include "engine/sqlgen/tabledefinition.h"
#include "source/paradox/paradoxrecordset.h"
#include "support/fixtures.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

using namespace tabulon;

namespace {

// SHA-256 of the create text and every row statement, one per line; a row
// that cannot be read counts as the word "unreadable".
std::string TextDigest(const std::filesystem::path &file)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    try {
        // The header's code page, as before detection existed: the mapping
        // is what is compared here.
        ParadoxRecordSet rows(file.string(), ParadoxRecordSet::kHeaderCodePage);
        const std::string table = file.stem().string();
        const TableDefinition def = BuildTableDefinition(table, rows.fields(), nullptr);
        hash.addData(QByteArrayView(def.createText.data(), qsizetype(def.createText.size())));
        RowStatement builder(table, def);
        std::string text;
        while (!rows.eof()) {
            try {
                builder.build(rows, text);
            } catch (const std::exception &) {
                text = "unreadable";
            }
            hash.addData(QByteArrayView("\n", 1));
            hash.addData(QByteArrayView(text.data(), qsizetype(text.size())));
            try {
                rows.moveNext();
            } catch (const std::exception &) {
                break;
            }
        }
    } catch (const std::exception &) {
        return "unopenable";
    }
    return hash.result().toHex().toStdString();
}

TEST(TextMapping, EveryFixtureTableIsWrittenAsBefore)
{
    TABULON_FIXTURES_OR_SKIP(dir);
    std::map<std::string, std::string> expected;
    std::ifstream in(TABULON_TEXT_DIGESTS);
    for (std::string name, digest; in >> name >> digest;)
        expected[name] = digest;

    std::map<std::string, std::string> actual;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (entry.is_regular_file() && ext == ".db")
            actual[entry.path().lexically_relative(dir).generic_string()] = TextDigest(entry.path());
    }
    if (std::getenv("TABULON_WRITE_DIGESTS")) {
        std::ofstream out(TABULON_TEXT_DIGESTS);
        for (const auto &[name, digest] : actual)
            out << name << ' ' << digest << '\n';
        GTEST_SKIP() << "digests written";
    }
    ASSERT_EQ(actual.size(), expected.size()) << "the fixture tables changed; compare " TABULON_TEXT_DIGESTS;
    for (const auto &[name, digest] : actual)
        EXPECT_EQ(digest, expected[name]) << name;
}

} // namespace
