// Every fixture table through the native mapping into the private MariaDB
// in its default strict mode: nothing refused, every value read back equal,
// keyed tables with their primary key.

#include "engine/run/batchexecutor.h"
#include "engine/run/connectionfactory.h"
#include "engine/run/tableconversion.h"
#include "engine/sqlgen/rowstatement.h"
#include "source/paradox/paradoxrecordset.h"
#include "support/fixtures.h"
#include "support/mariadbserver.h"
#include "support/paradoxsource.h"
#include "tools/paradoxwriter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace tabulon;
using tabulon::test::TestServer;

namespace {

using test::FileSource;

// Executes through the batching path, as a run does; failures by step.
struct ServerWork : TableWork, StepReporter {
    explicit ServerWork(Connection &target)
        : executor(target, false, [this](uint64_t tag, const DbError &e) {
              refused.push_back("step " + std::to_string(tag) + ": " + e.what());
              return true;
          })
    {
    }
    BatchExecutor executor;
    std::vector<std::string> refused;
    std::vector<std::string> other;
    GuardedProcedure proc{*this};
    void stepFailed(int number, const std::string &description) override
    {
        other.push_back("step " + std::to_string(number) + ": " + description);
    }
    void statement(const std::string &text, int step, std::size_t rowPrefix, int64_t) override
    {
        executor.execute(text, uint64_t(step), rowPrefix);
    }
    ColumnTypes columnTypes() const override { return ColumnTypes::Native; }
};

struct Sink : DatatypeSink {
    std::vector<DatatypeLine> lines;
    void addDatatypeLine(DatatypeLine line) override { lines.push_back(std::move(line)); }
};

std::string Unquoted(std::string literal)
{
    // "'...', " from the literal writers.
    return literal.substr(1, literal.size() - 4);
}

// "12.3400" and "12.34" alike, "-0" as "0".
std::string Number(std::string s)
{
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

// The text the server gives back for a source value: in a native column,
// or in a column kept as text (`type` empty), the original literal's text.
std::optional<std::string> Expected(const Value &v, const std::string &type)
{
    if (type.empty()) {
        std::string literal;
        AppendLiteral(literal, v, false, false);
        if (literal == "NULL, ")
            return std::nullopt;
        std::string text;
        const std::string quoted = Unquoted(literal);
        for (size_t i = 0; i < quoted.size(); ++i) {
            if ((quoted[i] == '\'' || quoted[i] == '\\') && i + 1 < quoted.size())
                ++i;
            text.push_back(quoted[i]);
        }
        return text;
    }
    switch (v.kind()) {
    case Value::Kind::Decimal: return Number(v.str());
    case Value::Kind::Empty:
    case Value::Kind::Null: return std::nullopt;
    case Value::Kind::Text:
        if (v.str().empty())
            return std::nullopt;
        return v.str();
    case Value::Kind::Boolean: return v.boolean() ? "1" : "0";
    case Value::Kind::Currency: {
        const int64_t u = v.currencyUnits();
        const uint64_t mag = u < 0 ? 0 - uint64_t(u) : uint64_t(u);
        char buf[40];
        std::snprintf(buf, sizeof buf, "%s%llu.%04llu", u < 0 ? "-" : "", (unsigned long long)(mag / 10000),
                      (unsigned long long)(mag % 10000));
        return buf;
    }
    case Value::Kind::DateTime: {
        std::string out;
        const NativeLiteral form = type == "DATE"      ? NativeLiteral::Date
                                   : type == "TIME(3)" ? NativeLiteral::Time
                                                       : NativeLiteral::DateTime;
        if (!AppendNativeDateLiteral(out, v.dateTime(), form))
            return "(does not fit)";
        return Unquoted(out);
    }
    default: return v.toText();
    }
}

bool Same(const std::optional<std::string> &server, const Value &v, const std::string &type)
{
    if (v.kind() == Value::Kind::Double && server && !type.empty())
        return std::strtod(server->c_str(), nullptr) == v.real();
    if (v.kind() == Value::Kind::Decimal && server && !type.empty())
        return Number(*server) == Number(v.str());
    if (v.kind() == Value::Kind::Bytes)
        return server && *server == v.str();
    return server == Expected(v, type);
}

TEST(NativeLoad, EveryFixtureTableLoadsStrictlyAndReadsBackEqual)
{
    TABULON_FIXTURES_OR_SKIP(dir);
    TestServer &server = TestServer::shared();
    ASSERT_NE(server.scalar("", "SELECT @@GLOBAL.sql_mode").value_or("").find("STRICT_TRANS_TABLES"),
              std::string::npos);
    const std::string db = server.createDatabase("native");
    auto target = OpenConnection(server.connectionString(db));

    // Beside the fixtures, a keyed table of our own with what they may
    // lack: Alpha at its full length in non-ASCII letters, milliseconds,
    // money to four places, blobs with every byte value.
    QTemporaryDir own;
    const std::string ownTable = own.filePath("Own.db").toStdString();
    {
        std::string bytes;
        for (int b = 0; b < 256; ++b)
            bytes.push_back(char(b));
        ParadoxWriter w(ownTable, {{"Code", 'A', 6},
                                   {"Name", 'A', 12},
                                   {"At", 'T'},
                                   {"Stamp", '@'},
                                   {"Price", '$'},
                                   {"Ok", 'L'},
                                   {"Exact", '#', 3},
                                   {"Pic", 'G'},
                                   {"Raw", 'Y', 3},
                                   {"Notes", 'M'}});
        w.addRow({Value::text("äbc"), Value::text("Zoë Ångström"),
                  Value::dateTime(DateTime::fromCivil(1899, 12, 30, 23, 59, 59, 999)),
                  Value::dateTime(DateTime::fromCivil(1000, 1, 1, 0, 0, 0, 1)), Value::currency(-22383055),
                  Value::boolean(true), Value::decimal("-0.125"), Value::bytes(bytes), Value::bytes("\x01\x02\x03"),
                  Value::text("line\nbreak 'quoted' back\\slash")});
        w.addRow({Value::text("ÄBC"), Value::text("éèêëÿüúùûçñß"),
                  Value::dateTime(DateTime::fromCivil(1899, 12, 30, 0, 0, 0, 1)),
                  Value::dateTime(DateTime::fromCivil(9999, 12, 31, 23, 59, 59, 999)), Value::currency(99332000),
                  Value::boolean(false), Value::decimal("12345.678"), Value::bytes(""), Value::null(), Value::null()});
        w.finish();
        std::fstream f(ownTable, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4);
        f.put(0); // keyed on its first field
        f.seekp(0x23);
        f.put(1);
    }
    std::vector<std::filesystem::path> files{ownTable};
    for (const auto &entry : std::filesystem::recursive_directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (entry.is_regular_file() && ext == ".db")
            files.push_back(entry.path());
    }

    int tables = 0, keyed = 0, keys = 0, values = 0;
    for (const auto &path : files) {
        const std::string file = path.string();
        const std::string table = "t" + std::to_string(++tables);
        SCOPED_TRACE(file);
        FileSource source(file);
        ServerWork work(*target);
        Sink sink;
        ConvertTable(work.proc, work, &source, table, &sink, 100);
        work.executor.flush();
        EXPECT_TRUE(work.refused.empty()) << work.refused.front();
        if (sink.lines.empty())
            continue; // a table the reader cannot open at all

        std::unique_ptr<ParadoxRecordSet> rows;
        rows = std::make_unique<ParadoxRecordSet>(file);
        const auto &fields = rows->fields();
        const bool isKeyed = !fields.empty() && fields[0].key;
        bool keyRefused = false;
        // The type the values were written for; empty for a column kept as text.
        std::vector<std::string> types;
        for (const DatatypeLine &line : sink.lines) {
            keyRefused |= line.note.find("no primary key") != std::string::npos;
            const bool text = line.note.find("kept as text") != std::string::npos;
            types.push_back(text ? std::string() : line.mysqlType);
            if (text)
                std::printf("%s: %s %s\n", file.c_str(), line.field.c_str(), line.note.c_str());
        }
        if (isKeyed && !keyRefused) {
            ++keyed;
            const auto n = server.scalar(db, "SELECT COUNT(*) FROM information_schema.TABLE_CONSTRAINTS WHERE "
                                             "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '" +
                                                 table + "' AND CONSTRAINT_TYPE = 'PRIMARY KEY'");
            keys += n == "1";
            EXPECT_EQ(n, "1") << "keyed table without its primary key";
        }

        // Source rows against the server's, both sorted: a key orders the
        // server's rows its own way.
        std::vector<TestServer::Row> back = server.query(db, "SELECT * FROM `" + table + "`");
        std::vector<std::vector<Value>> source_rows;
        while (!rows->eof()) {
            std::vector<Value> row;
            try {
                for (size_t j = 0; j < fields.size(); ++j)
                    row.push_back(rows->value(int(j)));
                source_rows.push_back(std::move(row));
            } catch (const Error &) {
            }
            try {
                rows->moveNext();
            } catch (const Error &) {
                break;
            }
        }
        EXPECT_EQ(back.size(), source_rows.size());
        if (back.size() != source_rows.size())
            continue;
        std::vector<std::pair<TestServer::Row, size_t>> expected;
        for (size_t r = 0; r < source_rows.size(); ++r) {
            TestServer::Row row;
            for (size_t j = 0; j < fields.size(); ++j) {
                const Value &v = source_rows[r][j];
                row.push_back(v.kind() == Value::Kind::Bytes ? std::optional(v.str()) : Expected(v, types[j]));
            }
            expected.emplace_back(std::move(row), r);
        }
        // Doubles are compared as numbers: sort by the server's text of the
        // other columns first, then check each pair.
        auto keyOf = [&](const TestServer::Row &row) {
            TestServer::Row k = row;
            for (size_t j = 0; j < fields.size(); ++j)
                if (fields[j].type == AdoType::adDouble || fields[j].type == AdoType::adNumeric)
                    k[j] = std::nullopt;
            return k;
        };
        std::sort(expected.begin(), expected.end(),
                  [&](const auto &a, const auto &b) { return keyOf(a.first) < keyOf(b.first); });
        std::sort(back.begin(), back.end(), [&](const auto &a, const auto &b) { return keyOf(a) < keyOf(b); });
        int wrong = 0;
        for (size_t r = 0; r < back.size() && wrong < 5; ++r)
            for (size_t j = 0; j < fields.size(); ++j) {
                const Value &v = source_rows[expected[r].second][j];
                ++values;
                if (!Same(back[r][j], v, types[j])) {
                    ++wrong;
                    ADD_FAILURE() << table << " field " << fields[j].name << " (" << sink.lines[j].mysqlType
                                  << "): source " << v.toText() << ", server " << back[r][j].value_or("NULL");
                }
            }
    }
    std::printf("native load: %d tables, %d values compared, %d of %d keyed tables with their primary key\n", tables,
                values, keys, keyed);
    EXPECT_GT(keys, 0);
}

} // namespace
