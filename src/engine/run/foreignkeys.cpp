#include "engine/run/foreignkeys.h"

#include "engine/sqlgen/rowstatement.h"

#include <QString>

namespace tabulon {
namespace {

constexpr int kOrphansShown = 10;

TableReport *ReportOf(RunReport *report, const std::string &table)
{
    if (report)
        for (TableReport &t : report->tables)
            if (t.table == table)
                return &t;
    return nullptr;
}

void LeaveOut(TableReport *child, const ForeignKeyPlan &key, const std::string &why)
{
    if (!child)
        return;
    child->schema.known = true;
    child->schema.leftOut.push_back("rule " + key.rule + " (" + why + ")");
    child->notes.push_back("Referential rule \"" + key.rule + "\" (table " + key.child + " to " + key.master +
                           ") is not carried over as a foreign key: " + why + ".");
}

} // namespace

void LeaveForeignKeyOut(RunReport &report, const ForeignKeyPlan &key, const std::string &why)
{
    LeaveOut(ReportOf(&report, key.child), key, why);
}

std::vector<Reference> DetachReferences(Connection &server, const std::string &table)
{
    std::string quoted;
    AppendLiteral(quoted, Value::text(table), false);
    quoted.resize(quoted.size() - 2);
    std::unique_ptr<RecordSet> rows;
    try {
        rows = server.openRecordSet(
            "SELECT rc.CONSTRAINT_NAME, rc.TABLE_NAME, rc.UPDATE_RULE, rc.DELETE_RULE, k.COLUMN_NAME, "
            "k.REFERENCED_COLUMN_NAME FROM information_schema.REFERENTIAL_CONSTRAINTS rc JOIN "
            "information_schema.KEY_COLUMN_USAGE k ON k.CONSTRAINT_SCHEMA = rc.CONSTRAINT_SCHEMA AND k.TABLE_NAME = "
            "rc.TABLE_NAME AND k.CONSTRAINT_NAME = rc.CONSTRAINT_NAME WHERE rc.CONSTRAINT_SCHEMA = DATABASE() AND "
            "rc.REFERENCED_TABLE_NAME = " +
            quoted + " AND rc.TABLE_NAME <> " + quoted +
            " ORDER BY rc.TABLE_NAME, rc.CONSTRAINT_NAME, k.ORDINAL_POSITION");
    } catch (const DbError &e) {
        // A server that does not tell keeps the old behaviour.
        if (!e.refused())
            throw;
        return {};
    }
    std::vector<Reference> out;
    for (; !rows->eof(); rows->moveNext()) {
        const std::string name = rows->value(0).toText(), child = rows->value(1).toText();
        if (out.empty() || out.back().name != name || out.back().child != child)
            out.push_back({name, child, rows->value(2).toText(), rows->value(3).toText(), {}, {}});
        out.back().fields.push_back(rows->value(4).toText());
        out.back().masterFields.push_back(rows->value(5).toText());
    }
    rows->close();
    std::vector<Reference> detached;
    for (Reference &r : out) {
        try {
            server.execute("ALTER TABLE " + QuoteName(r.child) + " DROP FOREIGN KEY " + QuoteName(r.name));
            detached.push_back(std::move(r));
        } catch (const DbError &e) {
            if (!e.refused())
                throw;
        }
    }
    return detached;
}

void ReattachReferences(Connection &server, const std::vector<Reference> &references, const std::string &table,
                        std::vector<std::string> &notes)
{
    for (const Reference &r : references) {
        ForeignKeyPlan key{r.name, r.name, r.child, r.fields, table, r.masterFields, false};
        std::string text = ForeignKeyStatement(key, r.child, table);
        // The rules as the server kept them ("CASCADE", "SET NULL", ...).
        text.resize(text.find(") ON UPDATE ") + 1);
        text += " ON UPDATE " + r.update + " ON DELETE " + r.remove + ";";
        try {
            server.execute(text);
        } catch (const DbError &e) {
            if (!e.refused())
                throw;
            notes.push_back("The foreign key " + QuoteName(r.name) + " of table " + r.child + " named the table " +
                            "replaced; it could not be put back onto the new one: " + e.what());
        }
    }
}

std::string FindTableName(const std::vector<std::string> &names, const std::string &name)
{
    for (const std::string &n : names)
        if (n == name)
            return n;
    const QString wanted = QString::fromStdString(name);
    for (const std::string &n : names)
        if (QString::fromStdString(n).compare(wanted, Qt::CaseInsensitive) == 0)
            return n;
    return {};
}

void AddForeignKeys(Connection &server, const std::vector<ForeignKeyPlan> &keys,
                    const std::vector<std::string> &onServer, RunReport &report)
{
    std::vector<std::string> placed;
    for (const TableReport &t : report.tables)
        if (t.outcome == TableReport::Outcome::Converted)
            placed.push_back(t.table);
    for (const ForeignKeyPlan &key : keys) {
        TableReport *child = ReportOf(&report, key.child);
        if (!child || child->outcome != TableReport::Outcome::Converted)
            continue;
        std::string master = FindTableName(placed, key.master);
        if (master.empty())
            master = FindTableName(onServer, key.master);
        if (master.empty()) {
            LeaveOut(child, key, "its master table " + key.master + " is not on the server");
            continue;
        }
        try {
            auto count = server.openRecordSet(OrphanQuery(key, key.child, master));
            const int64_t orphans = count->eof() ? 0 : std::stoll(count->value(0).toText());
            count->close();
            if (orphans > 0) {
                std::string shown;
                auto rows = server.openRecordSet(OrphanQuery(key, key.child, master, kOrphansShown));
                for (; !rows->eof(); rows->moveNext()) {
                    shown += shown.empty() ? "" : ", ";
                    shown += "(";
                    for (size_t k = 0; k < key.fields.size(); ++k)
                        shown += (k ? ", " : "") + rows->value(int(k)).toText();
                    shown += ")";
                }
                rows->close();
                LeaveOut(child, key,
                         GroupedNumber(orphans) + (orphans == 1 ? " row names" : " rows name") + " no row of " +
                             master + " (orphans" + (orphans > kOrphansShown ? ", the first 10" : "") + ": " + shown +
                             ")");
                continue;
            }
            // A key of this name the run moved onto a replaced master
            // (tables sent side by side) gives way to the one planned.
            std::string name;
            AppendLiteral(name, Value::text(key.name), false);
            name.resize(name.size() - 2);
            std::string childName;
            AppendLiteral(childName, Value::text(key.child), false);
            childName.resize(childName.size() - 2);
            auto existing = server.openRecordSet(
                "SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = DATABASE() "
                "AND CONSTRAINT_NAME = " +
                name + " AND TABLE_NAME = " + childName);
            const bool there = !existing->eof() && existing->value(0).toText() != "0";
            existing->close();
            if (there)
                server.execute("ALTER TABLE " + QuoteName(key.child) + " DROP FOREIGN KEY " + QuoteName(key.name));
            server.execute(ForeignKeyStatement(key, key.child, master));
            child->schema.known = true;
            ++child->schema.foreignKeys;
        } catch (const DbError &e) {
            if (!e.refused())
                throw;
            LeaveOut(child, key, std::string("the server refused it: ") + e.what());
        }
    }
}

std::vector<std::string> ForeignKeyStatements(const std::vector<ForeignKeyPlan> &keys,
                                              const std::vector<std::string> &tables, RunReport *report,
                                              std::vector<std::string> *leftOut)
{
    std::vector<std::string> out;
    for (const ForeignKeyPlan &key : keys) {
        TableReport *child = ReportOf(report, key.child);
        if (FindTableName(tables, key.child) != key.child)
            continue; // its table is not written either
        const std::string master = FindTableName(tables, key.master);
        if (master.empty()) {
            const std::string why = "its master table " + key.master + " is not among the tables converted";
            LeaveOut(child, key, why);
            if (leftOut)
                leftOut->push_back(key.child + ": rule " + key.rule + " (" + why + ")");
            continue;
        }
        out.push_back(ForeignKeyStatement(key, key.child, master));
        if (child) {
            child->schema.known = true;
            ++child->schema.foreignKeys;
        }
    }
    return out;
}

} // namespace tabulon
