#pragma once

#include "target/mysqllogin.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tabulon {

// What a direct run has finished, kept in a small file beside the settings,
// so that the next Start on the same folder and database can go on where a
// stopped or failed run ended. A table cut short goes on after the rows it
// had settled: rows are settled in file order (stored or refused), so what
// its staging table holds is a prefix of the file, and the journal says how
// long. A file changed since (size or time) starts its table again.
class RunJournal {
public:
    struct Table {
        enum class State { Pending, Done, Cut };
        std::string name;
        std::string file;
        int64_t size = -1;
        int64_t modified = -1; // ms since the epoch
        State state = State::Pending;
        int64_t settledRows = 0; // Cut: rows 1..n were stored or refused
        int64_t storedRows = 0;  // Cut: what the staging table holds
        int64_t refusedRows = 0;
    };

    // An empty path keeps no journal.
    explicit RunJournal(std::string path) : m_path(std::move(path)) {}

    // Reads the last run's journal; true when it was for this folder and
    // login's server and database and left tables unfinished.
    bool load(const std::string &folder, const MySqlLogin &login);
    int finishedCount() const;
    int tableCount() const { return int(m_tables.size()); }
    // The last run's entry for this table and file, when the file is
    // unchanged since; null otherwise.
    const Table *unchanged(const std::string &name, const std::string &file) const;

    // A new run: every table pending, the files' sizes and times as now.
    void begin(const std::string &folder, const MySqlLogin &login, const std::vector<std::string> &names,
               const std::vector<std::string> &files);
    // Records what became of a table.
    void record(const Table &table);
    Table entry(const std::string &name) const;
    // Every table finished: the journal goes.
    void endIfFinished();

private:
    void write() const;

    std::string m_path;
    std::string m_folder, m_server, m_database;
    std::vector<Table> m_tables;
};

} // namespace tabulon
