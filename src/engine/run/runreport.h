#pragma once

#include "engine/sqlgen/schemastatements.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tabulon {

// What became of one source table in a run: enough for the user to trust
// the load without checking by hand, or to find what still needs doing.
struct TableReport {
    enum class Outcome {
        NotReached, // the run ended before this table
        Declined,   // "No" to the overwrite question
        Converted,  // direct mode: every row was sent
        Incomplete, // cut short (lost connection, Stop, closed window)
        Listed,     // preview mode: statements listed, not (yet) executed
        Executed,   // preview mode: the user executed the table's statements
        Skipped,    // preview mode: "Skip Table / Do Not Execute SQL"
    };
    struct Refused {
        std::string message;
        std::string statement;
    };
    static constexpr std::size_t kRefusedKept = 100;
    // Bytes of each refused statement kept for the report.
    static constexpr std::size_t kStatementKept = 2048;

    std::string table;
    std::string file;
    Outcome outcome = Outcome::NotReached;
    int64_t expectedRows = -1; // the table header's record count, -1 unknown
    int64_t rowsRead = 0;
    int64_t rowsStored = 0; // accepted by the server (direct) or listed (preview)
    int64_t rowsRefused = 0;
    int64_t valuesNulled = 0;          // memo or blob values that could not be read
    std::vector<Refused> refused;      // the first kRefusedKept refused rows
    std::optional<int64_t> serverRows; // SELECT COUNT(*) after the table
    // The server's digest of the values it holds against the run's own.
    enum class Values { Unchecked, Same, Differ };
    Values values = Values::Unchecked;
    std::vector<std::string> notes; // read damage, size limits, ...
    double seconds = 0;
    // Native mode: what of the source's indexes, checks and rules reached the server.
    struct Schema {
        bool known = false;
        int indexes = 0;
        int checks = 0;
        int foreignKeys = 0;
        std::vector<std::string> leftOut; // "picture of Phone (MySQL has no input masks)"
        std::vector<ForeignKeyPlan> keys; // to be added once every table of the run is in place
    } schema;

    void addRefused(const std::string &message, const std::string &statement);
    // The server's count agrees with the rows the run stored, and its
    // values with those sent when they were checked.
    bool verified() const { return serverRows && *serverRows == rowsStored && values != Values::Differ; }
    std::string outcomeText() const;
    // One line as the table ends: "ORDERS: converted, verified; 205,000 rows
    // stored, 3 refused, 2.10 s".
    std::string finishedLine() const;
};

struct RunReport {
    bool previewMode = false;
    bool stopped = false; // the user stopped the run before its end
    // What the run was, for a report read later: "When", "Tabulon",
    // "Server", "Database", "User", "Folder", "Mode", each with its value.
    std::vector<std::pair<std::string, std::string>> header;
    std::vector<TableReport> tables;

    // One line: tables, rows read, stored, refused, values set to NULL, and
    // what was declined, incomplete or not reached.
    std::string summary() const;
    // One line per table, then the refused rows and notes of each table.
    std::string details() const;
    // The header, one "Key:  value" line each.
    std::string headerText() const;
    // Summary and details, as "Save Report..." writes them.
    std::string text() const;
    bool empty() const { return tables.empty(); }
};

// Thousands grouped with ",": 48,529.
std::string GroupedNumber(int64_t value);

} // namespace tabulon
