#pragma once

#include "data/connection.h"
#include "support/memoryrecordset.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tabulon::test {

// A server in memory: records what it is sent, refuses what `refuse` says,
// answers the engine queries and tells its packet size.
class FaultyConnection : public Connection {
public:
    std::vector<std::string> executed; // every statement it accepted or refused
    std::vector<std::string> queries;
    std::function<bool(const std::string &)> refuse = [](const std::string &) { return false; };
    bool loseConnection = false;
    std::map<std::string, std::string> engines; // table name -> engine; absent: not found
    int64_t packet = 16777216;                  // 0: not known
    bool compound = false;                      // knows MariaDB's compound statements
    int compounds = 0;
    int trips = 0;           // statements and compounds sent
    int interruptAfter = -1; // a compound ends unseen after so many pieces
    std::string session;     // @tabulon_done_

    // Faults: the connection is lost at the loseAt-th call (1-based; every
    // call counts: statements, queries, start and finish); statements that
    // start with one of refusedVerbs are refused ("ROLLBACK", "COMMIT").
    int loseAt = 0;
    int calls = 0;
    std::set<std::string> refusedVerbs;
    // Local loads of one INT column, and what is committed: the tuples of
    // every stored row, in the order stored; rows of an open transaction
    // are held apart until COMMIT and dropped by ROLLBACK or a loss.
    bool loads = false;
    bool overlaps = false; // takes start() and finish()
    std::vector<std::string> stored;
    std::vector<std::string> uncommitted;
    bool inTransaction = false;
    StatementText inFlight;
    bool started = false;

    void execute(const std::string &statement) override
    {
        executed.push_back(statement);
        ++trips;
        call();
        for (const std::string &verb : refusedVerbs)
            if (statement.rfind(verb, 0) == 0)
                throw DbError("SQLException: refused " + verb, 1180);
        if (statement == "START TRANSACTION") {
            inTransaction = true;
        } else if (statement.rfind("COMMIT", 0) == 0) {
            stored.insert(stored.end(), uncommitted.begin(), uncommitted.end());
            uncommitted.clear();
            inTransaction = statement == "COMMIT AND CHAIN";
        } else if (statement == "ROLLBACK") {
            uncommitted.clear();
            inTransaction = false;
        } else if (refuse(statement)) {
            throw DbError("Duplicate entry", 1062);
        } else {
            store(tuplesOf(statement));
        }
    }
    bool start(StatementText &text) override
    {
        if (!overlaps)
            return false;
        call();
        inFlight = std::move(text);
        started = true;
        return true;
    }
    void finish(StatementCount &count, StatementText &text) override
    {
        if (!started)
            throw DbError("No statement was started.", 0, DbError::Kind::Misuse);
        started = false;
        text = std::move(inFlight);
        call();
        if (text.rows.empty()) {
            execute(text.sql);
            return;
        }
        // LOAD DATA: a refused row is a warning, and skipped.
        std::vector<std::string> rows;
        for (size_t at = 0, end; at < text.rows.size(); at = end + 1) {
            end = text.rows.find('\n', at);
            const std::string row = "(" + text.rows.substr(at, end - at) + ")";
            if (refuse("INSERT INTO `a` VALUES" + row))
                ++count.warnings;
            else
                rows.push_back(row);
        }
        count.affected = rows.size();
        store(rows);
    }
    bool autocommitting() const override { return loads && !inTransaction && !started; }

    void call()
    {
        if (++calls == loseAt)
            loseConnection = true;
        if (loseConnection) {
            uncommitted.clear();
            inTransaction = false;
            throw DbError("Lost connection to server during query", 2013, DbError::Kind::ConnectionLost);
        }
    }
    void store(const std::vector<std::string> &rows)
    {
        auto &to = inTransaction ? uncommitted : stored;
        to.insert(to.end(), rows.begin(), rows.end());
    }
    // "(1),(2)" of an insert; nothing for other statements.
    static std::vector<std::string> tuplesOf(const std::string &statement)
    {
        std::vector<std::string> tuples;
        if (statement.rfind("INSERT INTO", 0) != 0)
            return tuples;
        for (size_t at = statement.find(" VALUES") + 7; at < statement.size();) {
            const size_t end = statement.find(')', at);
            tuples.push_back(statement.substr(at, end + 1 - at));
            at = end + 2;
        }
        return tuples;
    }

    std::unique_ptr<RecordSet> openRecordSet(const std::string &source) override
    {
        queries.push_back(source);
        call();
        const std::vector<Field> f = {Field{"v", AdoType::adVarWChar}};
        if (source.rfind("SHOW FULL COLUMNS", 0) == 0) {
            std::vector<Field> columns;
            for (const char *name : {"Field", "Type", "Collation", "Null", "Key", "Default", "Extra"})
                columns.push_back(Field{name, AdoType::adVarWChar});
            std::vector<std::vector<Value>> rows;
            if (loads)
                rows.push_back({Value::text("x"), Value::text("int(11)"), Value::null(), Value::text("YES"),
                                Value::text(""), Value::null(), Value::text("")});
            return std::make_unique<MemoryRecordSet>(columns, rows);
        }
        if (source.rfind("BEGIN NOT ATOMIC", 0) == 0) {
            // A server without compound statements refuses them unread; one
            // with them runs the inserts in order up to the first refused.
            if (!compound)
                throw DbError("You have an error in your SQL syntax", 1064);
            ++compounds;
            ++trips;
            int done = 0;
            for (size_t at = source.find("INSERT INTO"); at != std::string::npos;
                 at = source.find("INSERT INTO", at + 1)) {
                const std::string insert = source.substr(at, source.find("; SET tabulon_done_", at) - at);
                if (done == interruptAfter) {
                    interruptAfter = -1;
                    throw DbError("Query execution was interrupted", 1317);
                }
                executed.push_back(insert);
                if (refuse(insert))
                    break;
                store(tuplesOf(insert));
                ++done;
                const size_t mark = source.find("@tabulon_done_ = '", at) + 18;
                session = source.substr(mark, source.find('\'', mark) - mark);
            }
            return std::make_unique<MemoryRecordSet>(
                f, std::vector<std::vector<Value>>{{Value::text(std::to_string(done))}});
        }
        if (source == "SELECT @tabulon_done_")
            return std::make_unique<MemoryRecordSet>(f, std::vector<std::vector<Value>>{{Value::text(session)}});
        const std::string marker = "TABLE_NAME = '";
        const auto at = source.find(marker);
        if (at == std::string::npos)
            throw DbError("unexpected query " + source);
        std::string name = source.substr(at + marker.size());
        name.pop_back(); // closing quote
        for (size_t q = name.find("''"); q != std::string::npos; q = name.find("''", q + 1))
            name.erase(q, 1);
        auto it = engines.find(name);
        if (it == engines.end())
            return std::make_unique<MemoryRecordSet>(f, std::vector<std::vector<Value>>{});
        return std::make_unique<MemoryRecordSet>(f, std::vector<std::vector<Value>>{{Value::text(it->second)}});
    }
    void close() override {}
    bool isOpen() const override { return true; }
    int64_t maxAllowedPacket() const override { return packet; }
};

} // namespace tabulon::test
