// tabulon-sql: writes the SQL that converts a folder of Paradox tables, for
// loading with the mariadb or mysql client.

#include "cli/console.h"
#include "cli/directrun.h"
#include "common/mainhost.h"
#include "common/text.h"
#include "data/connection.h"
#include "engine/run/foreignkeys.h"
#include "engine/run/listroutines.h"
#include "engine/run/runreport.h"
#include "engine/run/tableconversion.h"
#include "engine/sqlgen/insertbatch.h"
#include "engine/sqlgen/tabledefinition.h"
#include "fs/filelister.h"
#include "source/paradox/paradoxconnection.h"
#include "source/paradoxsource.h"

#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace tabulon {
namespace {

const char kUsage[] = "Usage: tabulon-sql [--drop] [--table NAME]... [--batch N|max] [--types text|native]\n"
                      "                   [--codepage CP]... FOLDER\n"
                      "       tabulon-sql --server HOST [--port N] --user NAME --database DB\n"
                      "                   [--password-file FILE] [--drop] [--types text|native]\n"
                      "                   [--codepage auto|N] [--jobs N] [--resume] [--report FILE]\n"
                      "                   [--ssl-mode MODE] [--ssl-ca FILE] [--ssl-cert FILE --ssl-key FILE] FOLDER\n"
                      "\n"
                      "Writes to standard output the SQL that converts the Paradox tables (*.db)\n"
                      "of FOLDER and its sub-folders into MySQL tables: for each table a CREATE\n"
                      "TABLE and its INSERT statements, one statement per line, each ended by\n"
                      "\";\". Tables come in the order the conversion run of the window uses (the\n"
                      "last table found first), with the same statements its SQL preview lists.\n"
                      "The first line, \\C utf8mb4, tells the mariadb or mysql client to read the\n"
                      "rest as UTF-8 whatever character set it was started with. Load it with,\n"
                      "for example:\n"
                      "\n"
                      "    tabulon-sql /data/paradox | mariadb -u USER -p DATABASE\n"
                      "\n"
                      "Options:\n"
                      "  --drop          write \"DROP TABLE IF EXISTS `t`\" before each CREATE TABLE\n"
                      "  --table NAME    convert only this table (repeatable; case is ignored)\n"
                      "  --batch N       up to N rows per INSERT statement (default 1); a statement\n"
                      "                  is also kept under 1 MiB, below the client's packet limit,\n"
                      "                  unless a single row is larger: standard error names it\n"
                      "  --types native  MySQL's own column types (DATE, TIME(3), DECIMAL, VARCHAR,\n"
                      "                  BOOLEAN ...) and primary keys for keyed tables; a column\n"
                      "                  with values such a type cannot hold stays text\n"
                      "  --types text    the original mapping: dates, times, money, logicals and\n"
                      "                  Alpha fields as TEXT, no keys (the default)\n"
                      "  --batch max     as many rows per INSERT as fit in 15 MiB, for a server and\n"
                      "                  client with the default 16 MiB max_allowed_packet (fewest\n"
                      "                  round trips to a far server); a row over 16 MiB is named\n"
                      "                  on standard error\n"
                      "  --codepage auto|N\n"
                      "                  read the text of every table that is not plain ASCII in\n"
                      "                  code page N (437, 850, 852, 865, 866, 1250-1254, 1257, 932,\n"
                      "                  936, 949, 950); auto (the default) keeps the code page a\n"
                      "                  table's header names unless its text plainly is in another\n"
                      "  --codepage TABLE=auto|N\n"
                      "                  the same for one table (repeatable; beats the global one)\n"
                      "  --help          show this text\n"
                      "\n"
                      "With --server, the tables go straight into that MySQL server's database, as\n"
                      "the window's direct run sends them (loads from memory, refused rows located,\n"
                      "each table replaced only when complete), and the run report is printed:\n"
                      "  --port N        the server's port (default 3306)\n"
                      "  --user NAME     the MySQL user\n"
                      "  --database DB   the database the tables go into\n"
                      "  --password-file FILE\n"
                      "                  the password is the file's first line; the environment\n"
                      "                  variable MYSQL_PWD beats it; with neither, it is asked for\n"
                      "                  on the terminal (never an argument: others could read it)\n"
                      "  --drop          replace tables the database has; without it they are left\n"
                      "                  alone and reported \"not overwritten\"\n"
                      "  --resume        go on with the tables a stopped or failed run left\n"
                      "  --count-only    check each table by its row count alone, not by a digest\n"
                      "                  of its values (faster on very large tables)\n"
                      "  --jobs N        convert up to N tables at once, each over a connection of\n"
                      "                  its own, the largest first (default 1)\n"
                      "  --report FILE   also write the run report to FILE; a name ending in .json\n"
                      "                  gets the same facts as JSON\n"
                      "  --ssl-mode MODE DISABLED, PREFERRED (encrypted whenever the server offers\n"
                      "                  it; the default), REQUIRED, VERIFY_CA or VERIFY_IDENTITY\n"
                      "  --ssl-ca FILE   the CA the server's certificate must be signed by\n"
                      "  --ssl-cert FILE, --ssl-key FILE\n"
                      "                  a client certificate and its key\n"
                      "SIGINT or SIGTERM stop the run after the statement in flight (a second one\n"
                      "ends it at once). Exit status: 0 every table converted and verified, 1 any\n"
                      "table cut short or whose values differ on the server, refused rows or\n"
                      "unreadable values, 2 a usage error or no\n"
                      "password, 3 the server could not be reached, 130/143 stopped by a signal.\n"
                      "\n"
                      "Errors name the table and the reason and go to standard error; the other\n"
                      "tables are still written. A table read only in part (damaged data blocks,\n"
                      "memo values given as NULL) is written as far as it could be read, and\n"
                      "standard error says what was lost. A row whose statement is over the\n"
                      "limit is still written. The exit status is 1 when any table failed, was\n"
                      "read only in part or has a row over the limit, 2 for a usage error. A table\n"
                      "read in another code page than its header names is told on standard error.\n";

constexpr std::size_t kBatchBytes = std::size_t(1) << 20;
// --batch max: the default max_allowed_packet (16 MiB) less the margin the
// direct mode keeps too.
constexpr std::size_t kMaxBatchBytes = (std::size_t(16) << 20) - (std::size_t(1) << 20);
constexpr std::size_t kOutputBuffer = std::size_t(1) << 20;
// The default max_allowed_packet of the MariaDB and MySQL server and client.
constexpr int64_t kDefaultPacket = int64_t(16) << 20;
// Rows over the limit named one by one per table; the rest are counted.
constexpr int64_t kLargeRowsNamed = 20;

// The main window's fields as the folder routines read them; their reports
// go to standard error.
class CliHost : public MainHost {
public:
    explicit CliHost(std::string folder) { m_fields[1] = std::move(folder); }
    void showApplicationError(const std::string &text) override
    {
        std::fprintf(stderr, "tabulon-sql: %s\n", text.c_str());
        m_failed = true;
    }
    bool askYesNo(const std::string &, const std::string &) override { return false; }
    void inform(const std::string &text, const std::string &) override
    {
        std::fprintf(stderr, "tabulon-sql: %s\n", text.c_str());
    }
    std::string fieldText(int n) const override { return n >= 1 && n <= 6 ? m_fields[n] : std::string(); }
    void setFieldText(int n, const std::string &text) override
    {
        if (n >= 1 && n <= 6)
            m_fields[n] = text;
    }
    bool failed() const { return m_failed; }

private:
    std::string m_fields[7];
    bool m_failed = false;
};

// Standard output through one large buffer.
class Output {
public:
    Output() { m_buffer.reserve(kOutputBuffer + kBatchBytes); }
    ~Output() { flush(); }
    std::string &buffer() { return m_buffer; }
    void maybeFlush()
    {
        if (m_buffer.size() >= kOutputBuffer)
            flush();
    }
    void flush()
    {
        if (!m_buffer.empty() && std::fwrite(m_buffer.data(), 1, m_buffer.size(), stdout) != m_buffer.size())
            m_writeFailed = true;
        m_buffer.clear();
    }
    bool finish()
    {
        flush();
        if (std::fflush(stdout) != 0)
            m_writeFailed = true;
        return !m_writeFailed;
    }

private:
    std::string m_buffer;
    bool m_writeFailed = false;
};

// Statements of one table to the output, rows joined into multi-row inserts
// when asked; failures to standard error.
class ExportWork : public TableWork, public StepReporter {
public:
    ExportWork(Output &out, const std::string &folder, std::size_t batch, std::size_t batchBytes)
        : m_out(out), m_folder(folder), m_batch(batch), m_batchBytes(batchBytes),
          m_rowLimit(batchBytes > kBatchBytes ? StatementTooLarge::largestFor(kDefaultPacket) : kBatchBytes)
    {
    }

    void beginTable(const std::string &table)
    {
        m_table = table;
        m_failed = false;
        m_rowsWritten = 0;
        m_largeRows = 0;
        m_schema = {};
    }
    // Told after the table: how many of its rows were over the limit and
    // not named one by one.
    void endTable()
    {
        if (m_largeRows > kLargeRowsNamed)
            std::fprintf(stderr, "tabulon-sql: %s: table %s: %s more %s over the limit\n", m_folder.c_str(),
                         m_table.c_str(), GroupedNumber(m_largeRows - kLargeRowsNamed).c_str(),
                         m_largeRows - kLargeRowsNamed == 1 ? "row" : "rows");
    }
    int64_t rowsWritten() const { return m_rowsWritten; }
    bool tableFailed() const { return m_failed; }
    ColumnTypes columnTypes() const override { return types; }
    ColumnTypes types = ColumnTypes::Text;

    // A failing step: one line naming the table; the other tables go on.
    void stepFailed(int, const std::string &description) override
    {
        std::fprintf(stderr, "tabulon-sql: %s: table %s: %s\n", m_folder.c_str(), m_table.c_str(), description.c_str());
        m_failed = true;
    }
    const char *unknownError() const override { return "unknown error"; }

    void statement(const std::string &text, int, std::size_t rowPrefix, int64_t row) override
    {
        if (row > 0) {
            ++m_rowsWritten;
            // Batches keep under the limit; a single row cannot be split.
            if (text.size() > m_rowLimit)
                largeRow(row, text.size());
        }
        if (rowPrefix == 0 || m_batch <= 1) {
            endBatch();
            write(text);
            return;
        }
        if (!m_rows.fits(text, rowPrefix, m_batch, m_batchBytes))
            endBatch();
        m_rows.add(text, rowPrefix, 0);
    }

    // The indexes after the table's rows; the foreign keys wait for the end.
    void tableSchema(const std::string &table, const SchemaPlan &plan, int step) override
    {
        endBatch();
        TableWork::tableSchema(table, plan, step);
        for (ForeignKeyPlan key : plan.foreignKeys) {
            key.child = table;
            m_foreignKeys.push_back(std::move(key));
        }
        m_schema = {true, int(plan.indexClauses.size()), plan.checks, 0, plan.leftOut, {}};
    }
    // What the last table's schema came to; known false when it had none.
    const TableReport::Schema &tableSchema() const { return m_schema; }
    const std::vector<ForeignKeyPlan> &foreignKeys() const { return m_foreignKeys; }

    void endBatch()
    {
        if (m_rows.empty())
            return;
        write(m_rows.text());
        m_rows.clear();
    }

    // Written all the same: the user may raise the limit to load it.
    void largeRow(int64_t row, std::size_t size)
    {
        m_failed = true;
        if (++m_largeRows > kLargeRowsNamed)
            return;
        const int64_t needed = StatementTooLarge::limitFor(size);
        std::string text = "Row " + std::to_string(row) + " of table " + m_table + ": its statement is " +
                           GroupedNumber(int64_t(size)) + " bytes, ";
        if (size > StatementTooLarge::largestFor(kDefaultPacket))
            text += "more than the 16 MiB a server and a client take by default; raise max_allowed_packet to " +
                    std::to_string(needed) + " on the server (SET GLOBAL max_allowed_packet=" + std::to_string(needed) +
                    ") and the client (mariadb --max-allowed-packet=" + std::to_string(needed) + ") to load it";
        else
            text += "more than 1 MiB; a server or client whose max_allowed_packet is below " + std::to_string(needed) +
                    " refuses it";
        std::fprintf(stderr, "tabulon-sql: %s: %s\n", m_folder.c_str(), text.c_str());
    }

    void write(const std::string &text)
    {
        std::string &buffer = m_out.buffer();
        buffer += text;
        if (text.empty() || text.back() != ';')
            buffer.push_back(';');
        buffer.push_back('\n');
        m_out.maybeFlush();
    }

private:
    Output &m_out;
    const std::string &m_folder;
    std::size_t m_batch;
    std::size_t m_batchBytes;
    // A row statement over it breaks the promise of the chosen --batch.
    std::size_t m_rowLimit;
    int64_t m_largeRows = 0;
    std::string m_table;
    bool m_failed = false;
    InsertBatch m_rows;
    int64_t m_rowsWritten = 0;
    TableReport::Schema m_schema;
    std::vector<ForeignKeyPlan> m_foreignKeys;
};

struct Options {
    bool drop = false;
    std::vector<std::string> tables;
    std::size_t batch = 1;
    ColumnTypes types = ColumnTypes::Text;
    std::size_t batchBytes = kBatchBytes;
    std::string folder;
    CodePageChoice codePages;
};

int Usage(const char *problem)
{
    std::fprintf(stderr, "tabulon-sql: %s\n\n%s", problem, kUsage);
    return 2;
}

int Run(int argc, char **argv)
{
    Options options;
    DirectRun direct;
    bool folderSeen = false;
    bool toServer = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--server" || arg == "--port" || arg == "--user" || arg == "--database" ||
                   arg == "--password-file" || arg == "--report" || arg == "--ssl-mode" || arg == "--ssl-ca" ||
                   arg == "--ssl-cert" || arg == "--ssl-key") {
            if (i + 1 >= argc)
                return Usage((arg + " needs a value").c_str());
            const std::string value = argv[++i];
            MySqlLogin &login = direct.options.login;
            if (arg == "--server") {
                login.server = value;
                toServer = true;
            } else if (arg == "--port") {
                login.port = value;
            } else if (arg == "--user") {
                login.user = value;
            } else if (arg == "--database") {
                login.database = value;
            } else if (arg == "--ssl-mode") {
                login.sslMode = AsciiUpper(value);
            } else if (arg == "--ssl-ca") {
                login.sslCa = value;
            } else if (arg == "--ssl-cert") {
                login.sslCert = value;
            } else if (arg == "--ssl-key") {
                login.sslKey = value;
            } else if (arg == "--password-file") {
                direct.passwordFile = value;
            } else {
                direct.reportFile = value;
            }
        } else if (arg == "--jobs") {
            if (i + 1 >= argc)
                return Usage("--jobs needs a number of tables to convert at once");
            const std::string value = argv[++i];
            char *end = nullptr;
            errno = 0;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || errno != 0 || n < 1 || n > 64)
                return Usage(("--jobs needs a whole number from 1 to 64, not \"" + value + "\"").c_str());
            direct.options.jobs = int(n);
        } else if (arg == "--resume") {
            direct.resume = true;
        } else if (arg == "--count-only") {
            direct.options.verifyValues = false;
        } else if (arg == "--drop") {
            options.drop = true;
        } else if (arg == "--types") {
            if (i + 1 >= argc)
                return Usage("--types needs a value: text or native");
            const std::string value = argv[++i];
            if (value == "text")
                options.types = ColumnTypes::Text;
            else if (value == "native")
                options.types = ColumnTypes::Native;
            else
                return Usage(("--types takes text or native, not \"" + value + "\"").c_str());
        } else if (arg == "--codepage") {
            if (i + 1 >= argc)
                return Usage("--codepage needs a value");
            const std::string value = argv[++i];
            const std::size_t eq = value.rfind('=');
            try {
                if (eq == std::string::npos) {
                    options.codePages.all = ParseCodePageChoice(value);
                } else {
                    if (eq == 0)
                        return Usage(("--codepage " + value + " names no table before \"=\"").c_str());
                    options.codePages.tables[value.substr(0, eq)] = ParseCodePageChoice(value.substr(eq + 1));
                }
            } catch (const std::exception &e) {
                return Usage(("--codepage: " + std::string(e.what())).c_str());
            }
        } else if (arg == "--table" || arg == "--batch") {
            if (i + 1 >= argc)
                return Usage((arg + " needs a value").c_str());
            const std::string value = argv[++i];
            if (arg == "--table") {
                options.tables.push_back(value);
            } else if (value == "max") {
                options.batch = SIZE_MAX;
                options.batchBytes = kMaxBatchBytes;
            } else {
                char *end = nullptr;
                errno = 0;
                const unsigned long long n = std::strtoull(value.c_str(), &end, 10);
                if (value.empty() || *end != '\0' || errno != 0 || n == 0 || value[0] == '-')
                    return Usage(
                        ("--batch needs a whole number of rows of at least 1 or \"max\", not \"" + value + "\"")
                            .c_str());
                options.batch = static_cast<std::size_t>(n);
            }
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
            return Usage(("unknown option " + arg).c_str());
        } else {
            if (arg == "--") {
                if (i + 1 >= argc)
                    break;
                ++i;
            }
            if (folderSeen)
                return Usage("give exactly one FOLDER");
            options.folder = argv[i];
            folderSeen = true;
        }
    }
    if (!folderSeen || options.folder.empty())
        return Usage("no FOLDER given");
    if (toServer) {
        if (!options.tables.empty() || options.batch != 1 || !options.codePages.tables.empty())
            return Usage("--table, --batch and --codepage TABLE=N are for writing SQL, not with --server");
        if (direct.options.login.user.empty() || direct.options.login.database.empty())
            return Usage("--server needs --user and --database");
        direct.folder = options.folder;
        direct.drop = options.drop;
        direct.options.columnTypes = options.types;
        direct.options.codePage = options.codePages.all == 0 ? std::string("Auto")
                                                             : std::to_string(options.codePages.all);
        return RunDirect(std::move(direct));
    }
    if (direct.resume || !direct.reportFile.empty() || !direct.passwordFile.empty() || direct.options.jobs != 1 ||
        !direct.options.verifyValues)
        return Usage("--resume, --report, --jobs, --count-only and --password-file need --server");

    if (!IsFolder(options.folder)) {
        std::fprintf(stderr, "tabulon-sql: folder %s does not exist or is not a folder\n", options.folder.c_str());
        return 1;
    }

    CliHost host(options.folder);
    std::vector<ParadoxTableFile> tables;
    try {
        tables = FindParadoxTables(host, options.folder);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tabulon-sql: %s: cannot list the tables: %s\n", options.folder.c_str(), e.what());
        return 1;
    }
    bool failed = host.failed();
    if (tables.empty()) {
        std::fprintf(stderr, "tabulon-sql: %s: no Paradox tables (*.db) found\n", options.folder.c_str());
        return 1;
    }

    std::vector<bool> wantedSeen(options.tables.size(), false);
    auto wanted = [&](const std::string &table) {
        if (options.tables.empty())
            return true;
        bool hit = false;
        for (std::size_t k = 0; k < options.tables.size(); ++k)
            if (LowerCase(options.tables[k]) == LowerCase(table))
                hit = wantedSeen[k] = true;
        return hit;
    };

    // A misspelt table would silently be read in the detected code page.
    for (const auto &[name, number] : options.codePages.tables) {
        bool found = false;
        for (const ParadoxTableFile &t : tables)
            found = found || LowerCase(t.name) == LowerCase(name);
        if (!found) {
            std::fprintf(stderr, "tabulon-sql: %s: --codepage names no table named %s\n", options.folder.c_str(),
                         name.c_str());
            return 1;
        }
    }

    std::unique_ptr<Connection> source;
    try {
        source = OpenParadoxConnection(ParadoxConnectionString(options.folder), {3, 30, 15}, tables, options.codePages);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tabulon-sql: %s: cannot open the folder: %s\n", options.folder.c_str(), e.what());
        return 1;
    }

    Output out;
    // SET NAMES alone is not enough: the client splits statements by its own
    // character set, and in gbk or big5 the last byte of a UTF-8 character
    // followed by a quote reads as one character, so the quote is lost and
    // a name or a text can end a statement. The client's own command
    // switches both the client and the session.
    out.buffer() += "\\C utf8mb4\n";
    ExportWork work(out, options.folder, options.batch, options.batchBytes);
    GuardedProcedure proc(work);
    RunReport report;
    report.previewMode = true;
    work.types = options.types;
    for (std::size_t i = tables.size(); i-- > 0;) {
        const std::string &t = tables[i].name;
        if (!wanted(t))
            continue;
        work.beginTable(t);
        if (options.drop)
            work.statement(DropStatement(t, true), 0, 0, 0);
        const ReadAccount read = ConvertTable(proc, work, source.get(), t, nullptr, 100);
        if (read.codePageOverridden())
            std::fprintf(stderr, "tabulon-sql: %s: code page %d read for table %s; its header names %d\n",
                         options.folder.c_str(), read.codePage, t.c_str(), read.headerCodePage);
        work.endBatch();
        work.endTable();
        failed = failed || work.tableFailed();
        TableReport &entry = report.tables.emplace_back();
        entry.table = t;
        entry.file = tables[i].path;
        entry.outcome = TableReport::Outcome::Listed;
        entry.expectedRows = read.expectedRows;
        entry.rowsRead = read.rowsRead;
        entry.rowsStored = work.rowsWritten();
        entry.valuesNulled = read.nullValues;
        entry.schema = work.tableSchema();
    }
    // The foreign keys at the very end, once every table they join is there.
    std::vector<std::string> exported;
    for (const TableReport &t : report.tables)
        exported.push_back(t.table);
    for (const std::string &text : ForeignKeyStatements(work.foreignKeys(), exported, &report))
        work.write(text);
    source->close();
    // What was written, table by table, so a short table stands out.
    int64_t total = 0;
    for (const TableReport &t : report.tables) {
        total += t.rowsStored;
        std::string line = t.table + ": " + GroupedNumber(t.rowsStored) + (t.rowsStored == 1 ? " row" : " rows") +
                           " written";
        if (t.expectedRows >= 0 && t.expectedRows != t.rowsStored)
            line += " (the table's header counts " + GroupedNumber(t.expectedRows) + ")";
        if (t.valuesNulled > 0)
            line += ", " + GroupedNumber(t.valuesNulled) + " unreadable values as NULL";
        if (t.schema.known)
            line += "; " + SchemaSummary(t.schema.indexes, t.schema.checks, t.schema.foreignKeys, t.schema.leftOut);
        std::fprintf(stderr, "tabulon-sql: %s\n", line.c_str());
    }
    std::fprintf(stderr, "tabulon-sql: total: %s %s, %s %s written\n",
                 GroupedNumber(int64_t(report.tables.size())).c_str(), report.tables.size() == 1 ? "table" : "tables",
                 GroupedNumber(total).c_str(), total == 1 ? "row" : "rows");
    for (std::size_t k = 0; k < options.tables.size(); ++k) {
        if (!wantedSeen[k]) {
            std::fprintf(stderr, "tabulon-sql: %s: no table named %s\n", options.folder.c_str(),
                         options.tables[k].c_str());
            failed = true;
        }
    }
    if (!out.finish()) {
        std::fprintf(stderr, "tabulon-sql: cannot write to standard output: %s\n", std::strerror(errno));
        return 1;
    }
    return failed ? 1 : 0;
}

} // namespace
} // namespace tabulon

int main(int argc, char **argv)
{
    // The locale says what the bytes of a file name mean; numbers keep the
    // C locale's form.
    std::setlocale(LC_CTYPE, "");
    tabulon::native::PrepareStandardStreams();
    std::vector<std::string> arguments = tabulon::native::Arguments(argc, argv);
    std::vector<char *> pointers;
    for (std::string &argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return tabulon::Run(int(arguments.size()), pointers.data());
}
