#include "engine/run/foreignkeys.h"

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
