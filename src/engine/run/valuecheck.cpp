#include "engine/run/valuecheck.h"

#include "common/eventpump.h"
#include "engine/sqlgen/tabledefinition.h"

#include <cstdlib>
#include <exception>

namespace tabulon {
namespace {

// A SUM's exact text; NULL (no rows) is 0.
std::string sumText(RecordSet &rows, int j)
{
    const std::string text = rows.value(j).toText();
    return text.empty() ? "0" : text;
}

std::string differingColumns(Connection &connection, const TableDigest &digest,
                             const std::vector<mysql::DigestColumn> &columns, const std::string &name)
{
    auto sums = connection.openRecordSet(mysql::ColumnDigestsQuery(name, columns));
    std::string list;
    int count = 0;
    for (std::size_t k = 0; k < columns.size() && !sums->eof(); ++k) {
        if (sumText(*sums, int(k)) == std::to_string(digest.columnSums()[k]))
            continue;
        list += (list.empty() ? "" : ", ") + QuoteName(columns[k].name);
        ++count;
    }
    return count == 0 ? std::string() : (count == 1 ? " in column " : " in columns ") + list;
}

// Walks both sides' row digests in order; a digest more often on one side
// is a row that side holds and the other does not.
void oneSidedRows(Connection &connection, TableDigest &digest, const std::vector<mysql::DigestColumn> &columns,
                  const std::string &name, const std::string &table, TableReport &report)
{
    const std::vector<uint64_t> sent = digest.sortedRowDigests();
    if (sent.empty() && digest.rows() > 0)
        return;
    auto held = connection.openRecordSet(mysql::RowDigestsQuery(name, columns));
    std::size_t i = 0, shown = 0;
    const auto show = [&](const std::string &note) {
        if (shown++ < kOneSidedRowsShown)
            report.notes.push_back(note);
    };
    while ((i < sent.size() || !held->eof()) && shown < kOneSidedRowsShown) {
        EventPump::yield();
        const uint64_t server = held->eof() ? UINT64_MAX : std::strtoull(held->value(0).toText().c_str(), nullptr, 10);
        const uint64_t ours = i < sent.size() ? sent[i] >> 32 : UINT64_MAX;
        if (ours == server) {
            ++i;
            held->moveNext();
        } else if (ours < server) {
            show("Row " + GroupedNumber(int64_t(sent[i] & 0xFFFFFFFFu)) + " of table " + table +
                 " is not on the server as it was sent.");
            ++i;
        } else {
            show("The server holds a row of table " + table + " that matches no row sent (row digest " +
                 std::to_string(server) + ").");
            held->moveNext();
        }
    }
}

} // namespace

bool CheckTableValues(Connection &connection, TableDigest &digest, const std::vector<mysql::DigestColumn> &columns,
                      const std::string &name, const std::string &table, TableReport &report)
{
    if (!digest.active())
        return false;
    try {
        auto total = connection.openRecordSet(mysql::TableDigestQuery(name, columns));
        if (total->eof())
            return false;
        report.serverRows = std::stoll(sumText(*total, 0));
        // A count that differs says enough.
        if (*report.serverRows != report.rowsStored)
            return true;
        const bool same = *report.serverRows == digest.rows() && sumText(*total, 1) == std::to_string(digest.rowSum());
        total->close();
        report.values = same ? TableReport::Values::Same : TableReport::Values::Differ;
        if (same)
            return true;
        const std::string differ = differingColumns(connection, digest, columns, name);
        // The usual causes first: the user must find which one is theirs.
        report.notes.push_back("Values differ" + differ +
                               ": the server holds other values than were sent (a server mode or trigger that "
                               "changes values, a character set that cannot hold the text, or a relay that "
                               "altered the data).");
        oneSidedRows(connection, digest, columns, name, table, report);
        return true;
    } catch (const std::exception &e) {
        if (report.values != TableReport::Values::Unchecked)
            return true;
        report.serverRows.reset();
        report.notes.push_back(std::string("The values on the server could not be checked: ") + e.what());
        return false;
    }
}

} // namespace tabulon
