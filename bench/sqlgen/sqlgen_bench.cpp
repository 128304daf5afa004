// INSERT texts for synthetic rows of eight mixed columns: how fast the row
// statements are built, and what the batching executor adds on top. Then
// rows with a 4 KB picture and a 16-byte Bytes value, whose literals are
// made of hexadecimal digits.

#include "common/error.h"
#include "engine/run/batchexecutor.h"
#include "engine/sqlgen/rowstatement.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

using namespace tabulon;

// Counts heap allocations, to show that a warmed-up row costs none.
static size_t g_allocations = 0;
void *operator new(size_t n)
{
    ++g_allocations;
    if (void *p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, size_t) noexcept { std::free(p); }

namespace {

// A cursor over generated rows: it regenerates its one row in place, so
// moving on costs no allocation.
class GeneratedRows : public RecordSet {
public:
    const std::vector<Field> &fields() const override { return m_fields; }
    bool eof() const override { return m_row >= m_count; }
    bool bof() const override { return m_count == 0; }
    int64_t recordCount() const override { return m_count; }
    void moveNext() override
    {
        ++m_row;
        fill();
    }
    const Value &value(int field) override { return m_values[static_cast<size_t>(field)]; }

protected:
    GeneratedRows(int64_t count, size_t columns) : m_count(count), m_values(columns) {}
    virtual void fill() = 0;

    int64_t m_count;
    int64_t m_row = 0;
    std::vector<Field> m_fields;
    std::vector<Value> m_values;
};

// Eight mixed columns.
class SyntheticRows : public GeneratedRows {
public:
    explicit SyntheticRows(int64_t count) : GeneratedRows(count, 8)
    {
        const int types[8] = {AdoType::adInteger, AdoType::adVarWChar, AdoType::adDouble,  AdoType::adDate,
                              AdoType::adDate,    AdoType::adCurrency, AdoType::adBoolean, AdoType::adVarWChar};
        const char *names[8] = {"Id", "Name", "Amount", "Born", "Seen", "Paid", "Ok", "Note"};
        // The Paradox types behind them, for the native mapping.
        const char letters[8] = {'I', 'A', 'N', 'D', '@', '$', 'L', 'A'};
        const int sizes[8] = {4, 20, 8, 4, 8, 8, 1, 40};
        for (int j = 0; j < 8; ++j)
            m_fields.push_back(Field{names[j], types[j], 0, 0, sizes[j], letters[j]});
        fill();
    }

private:
    void fill() override
    {
        const int64_t r = m_row;
        m_values[0].setInteger(r);
        char name[20] = {'O', '\'', 'N', 'e', 'i', 'l', ' ', 'S', 'm', 'i',
                         't', 'h',  '-', '0', '0', '0', '0', '0', '0', '0'};
        for (int64_t k = r, i = 19; k > 0 && i >= 13; k /= 10, --i)
            name[i] = static_cast<char>('0' + k % 10);
        m_values[1].setText(std::string_view(name, sizeof name));
        m_values[2].setDouble(static_cast<double>(r) * 1.37 + 0.1);
        m_values[3].setDateTime(DateTime{30000 + r % 20000, 0});
        m_values[4].setDateTime(DateTime{40000 + r % 9000, static_cast<int32_t>(r * 7919 % 86'400'000)});
        m_values[5].setCurrency(r * 12345 % 100'000'000);
        m_values[6].setBoolean(r & 1);
        m_values[7].setNull();
    }
};

// An id, a LONGBLOB picture of 4 KB and a Bytes value of 16, changed in
// place per row.
class PictureRows : public GeneratedRows {
public:
    explicit PictureRows(int64_t count) : GeneratedRows(count, 3)
    {
        m_fields = {Field{"Id", AdoType::adInteger}, Field{"Pic", AdoType::adLongVarBinary},
                    Field{"Raw", AdoType::adBinary}};
        m_picture.resize(4096);
        m_raw.resize(16);
        fill();
    }

private:
    void fill() override
    {
        // The whole picture once, then a few bytes per row: the time is the
        // statement's, not the filling's.
        const size_t n = m_row == 0 ? m_picture.size() : 8;
        for (size_t i = 0; i < n; ++i)
            m_picture[i] = static_cast<char>(i * 31 + static_cast<size_t>(m_row));
        for (size_t i = 0; i < m_raw.size(); ++i)
            m_raw[i] = static_cast<char>(i + static_cast<size_t>(m_row));
        m_values[0].setInteger(m_row);
        m_values[1].setBytes(m_picture);
        m_values[2].setBytes(m_raw);
    }

    std::string m_picture, m_raw;
};

// Takes every statement and forgets it; every table is InnoDB.
class NullConnection : public Connection {
public:
    size_t statements = 0, bytes = 0;
    void execute(const std::string &s) override
    {
        ++statements;
        bytes += s.size();
    }
    std::unique_ptr<RecordSet> openRecordSet(const std::string &) override { throw DbError("not here"); }
    void close() override {}
    bool isOpen() const override { return true; }
};

// Answers the executor's two questions.
class AnswerRows : public RecordSet {
public:
    explicit AnswerRows(Value v) : m_value(std::move(v)) {}
    const std::vector<Field> &fields() const override { return m_fields; }
    bool eof() const override { return m_done; }
    bool bof() const override { return false; }
    int64_t recordCount() const override { return 1; }
    void moveNext() override { m_done = true; }
    const Value &value(int) override { return m_value; }

private:
    std::vector<Field> m_fields{Field{"v", AdoType::adVarWChar}};
    Value m_value;
    bool m_done = false;
};

class InnoDbConnection : public NullConnection {
public:
    std::unique_ptr<RecordSet> openRecordSet(const std::string &q) override
    {
        if (q.find("max_allowed_packet") != std::string::npos)
            return std::make_unique<AnswerRows>(Value::integer(16 << 20));
        return std::make_unique<AnswerRows>(Value::text("InnoDB"));
    }
};

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Built {
    double seconds = 0;
    size_t bytes = 0;
    size_t allocations = 0;
};

// Every row's statement, after one that warms the buffers up.
Built BuildAll(RowStatement &statement, RecordSet &rows, std::string &out)
{
    statement.build(rows, out);
    Built b;
    const size_t allocationsBefore = g_allocations;
    const auto start = std::chrono::steady_clock::now();
    for (; !rows.eof(); rows.moveNext()) {
        statement.build(rows, out);
        b.bytes += out.size();
    }
    b.seconds = seconds(start);
    b.allocations = g_allocations - allocationsBefore;
    return b;
}

} // namespace

int main(int argc, char **argv)
{
    const int64_t rowsWanted = argc > 1 ? std::atoll(argv[1]) : 2'000'000;
    SyntheticRows rows(rowsWanted);
    const TableDefinition def = BuildTableDefinition("People", rows.fields(), nullptr);
    RowStatement statement("People", def);
    std::string out;
    out.reserve(512);

    Built built = BuildAll(statement, rows, out);
    double t = built.seconds;
    size_t bytes = built.bytes;
    const size_t allocations = built.allocations;
    std::printf("row statements: %lld rows in %.3f s: %.0f rows/s, %.1f MB/s (%.1f bytes/row)\n",
                static_cast<long long>(rowsWanted), t, rowsWanted / t, bytes / t / 1e6,
                static_cast<double>(bytes) / static_cast<double>(rowsWanted));
    std::printf("allocations while building: %zu\n", allocations);
    std::printf("sample: %s\n", out.c_str());

    // The same rows through the native mapping: DATE, DATETIME(3),
    // DECIMAL and BOOLEAN literals instead of the original text forms.
    const double textRate = rowsWanted / t;
    SyntheticRows nativeRows(rowsWanted);
    const NativeScan noFallbacks;
    const TableDefinition nativeDef = BuildTableDefinition("People", nativeRows.fields(), nullptr, &noFallbacks);
    RowStatement nativeStatement("People", nativeDef);
    built = BuildAll(nativeStatement, nativeRows, out);
    t = built.seconds;
    bytes = built.bytes;
    std::printf("native row statements: %.0f rows/s, %.1f MB/s (%.1f bytes/row), %.0f%% of the text mapping's "
                "rate; allocations: %zu\n",
                rowsWanted / t, bytes / t / 1e6, static_cast<double>(bytes) / static_cast<double>(rowsWanted),
                100.0 * rowsWanted / t / textRate, built.allocations);
    std::printf("sample: %s\n", out.c_str());

    SyntheticRows again(rowsWanted);
    InnoDbConnection connection;
    BatchExecutor executor(connection, false, {});
    auto start = std::chrono::steady_clock::now();
    uint64_t tag = 0;
    // As a run: the executor is told the prefix the rows share ("(" excluded).
    const size_t rowPrefix = statement.prefix().size() - 1;
    size_t allocationsAtRow1000 = 0;
    for (; !again.eof(); again.moveNext()) {
        statement.build(again, out);
        executor.execute(out, ++tag, rowPrefix);
        if (tag == 1000)
            allocationsAtRow1000 = g_allocations;
    }
    executor.flush();
    t = seconds(start);
    std::printf("row statements + batching: %.0f rows/s, %.1f MB/s, %zu statements sent\n", rowsWanted / t,
                connection.bytes / t / 1e6, connection.statements);
    std::printf("allocations after the first batch: %zu\n", g_allocations - allocationsAtRow1000);

    const int64_t pictures = rowsWanted / 20;
    PictureRows picture(pictures);
    const TableDefinition pictureDef = BuildTableDefinition("Pictures", picture.fields(), nullptr);
    RowStatement pictureStatement("Pictures", pictureDef);
    built = BuildAll(pictureStatement, picture, out);
    t = built.seconds;
    bytes = built.bytes;
    std::printf("picture rows: %lld rows in %.3f s: %.0f rows/s, %.1f MB/s (%.1f bytes/row)\n",
                static_cast<long long>(pictures), t, pictures / t, bytes / t / 1e6,
                static_cast<double>(bytes) / static_cast<double>(pictures));
    std::printf("allocations while building: %zu\n", built.allocations);
    std::printf("sample: %.60s...%s\n", out.c_str(), out.c_str() + out.size() - 60);
    return 0;
}
