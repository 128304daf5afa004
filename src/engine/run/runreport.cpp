#include "engine/run/runreport.h"

#include "engine/sqlgen/schemastatements.h"

#include "common/nametext.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace tabulon {
namespace {

std::string plural(int64_t n, const char *one, const char *many)
{
    return GroupedNumber(n) + " " + (n == 1 ? one : many);
}

std::string seconds(double s)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, s < 10 ? "%.2f s" : "%.0f s", s);
    return buffer;
}

// Column widths count characters, not bytes: names may be non-ASCII.
std::size_t displayWidth(const std::string &text)
{
    return std::size_t(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void pad(std::string &out, const std::string &cell, std::size_t width, bool right)
{
    const std::size_t fill = width > displayWidth(cell) ? width - displayWidth(cell) : 0;
    if (right)
        out.append(fill, ' ');
    out += cell;
    if (!right)
        out.append(fill, ' ');
}

} // namespace

std::string GroupedNumber(int64_t value)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    for (int at = int(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(std::size_t(at), ",");
    return value < 0 ? "-" + digits : digits;
}

void TableReport::addRefused(const std::string &message, const std::string &statement)
{
    ++rowsRefused;
    if (refused.size() >= kRefusedKept)
        return;
    if (statement.size() <= kStatementKept) {
        refused.push_back({message, statement});
        return;
    }
    // A refused row with a picture in it must not fill the report: its
    // start names the table and the first values.
    std::size_t cut = kStatementKept;
    while (cut > 0 && (static_cast<unsigned char>(statement[cut]) & 0xC0) == 0x80)
        --cut;
    refused.push_back({message, statement.substr(0, cut) + " ... (the statement is " +
                                    GroupedNumber(int64_t(statement.size())) + " bytes; its first " +
                                    GroupedNumber(int64_t(cut)) + " are shown)"});
}

std::string TableReport::outcomeText() const
{
    std::string text;
    switch (outcome) {
    case Outcome::NotReached: return "not reached";
    case Outcome::Declined: return "not overwritten";
    case Outcome::Skipped: return "skipped in the preview";
    case Outcome::Listed: return "listed, not executed";
    case Outcome::Executed: text = "executed"; break;
    case Outcome::Converted: text = "converted"; break;
    case Outcome::Incomplete: text = "INCOMPLETE"; break;
    }
    if (serverRows && *serverRows != rowsStored)
        text += ", server holds " + GroupedNumber(*serverRows) + " rows";
    else if (values == Values::Differ)
        text += ", VALUES DIFFER";
    else if (serverRows)
        text += values == Values::Same ? ", verified (values)" : ", verified (count)";
    if (rowsRefused > 0 || valuesNulled > 0 || (expectedRows >= 0 && expectedRows != rowsRead))
        text += ", see below";
    return text;
}

std::string TableReport::finishedLine() const
{
    std::string text = EscapedName(table) + ": " + outcomeText();
    if (outcome == Outcome::NotReached || outcome == Outcome::Declined)
        return text;
    text += "; " + plural(rowsStored, "row", "rows") + " stored";
    if (rowsRefused > 0)
        text += ", " + GroupedNumber(rowsRefused) + " refused";
    if (valuesNulled > 0)
        text += ", " + plural(valuesNulled, "unreadable value", "unreadable values");
    return text + ", " + tabulon::seconds(this->seconds);
}

std::string RunReport::summary() const
{
    int64_t read = 0, stored = 0, refused = 0, nulled = 0;
    int declined = 0, skipped = 0, notReached = 0, incomplete = 0, unverified = 0, listed = 0, differ = 0;
    for (const TableReport &t : tables) {
        read += t.rowsRead;
        stored += t.rowsStored;
        refused += t.rowsRefused;
        nulled += t.valuesNulled;
        using O = TableReport::Outcome;
        declined += t.outcome == O::Declined;
        skipped += t.outcome == O::Skipped;
        notReached += t.outcome == O::NotReached;
        incomplete += t.outcome == O::Incomplete;
        listed += t.outcome == O::Listed;
        unverified += t.serverRows && *t.serverRows != t.rowsStored;
        differ += t.values == TableReport::Values::Differ;
    }
    std::string text = std::string(stopped ? "Stopped by the user. " : "") +
                       plural(int64_t(tables.size()), "table", "tables") + ": " + plural(read, "row", "rows") +
                       " read, " + GroupedNumber(stored) + (previewMode ? " listed" : " stored");
    if (refused)
        text += ", " + GroupedNumber(refused) + " refused by the server";
    if (nulled)
        text += ", " + plural(nulled, "unreadable value", "unreadable values") + " set to NULL";
    text += ".";
    const std::array<std::pair<int, const char *>, 7> counts{{
        {incomplete, "INCOMPLETE"},
        {unverified, "with a different row count on the server"},
        {differ, "with values on the server that differ from those sent"},
        {notReached, "not reached"},
        {declined, "not overwritten"},
        {skipped, "skipped in the preview"},
        {listed, "listed but not executed"},
    }};
    for (const auto &[n, what] : counts)
        if (n)
            text += " " + plural(n, "table", "tables") + " " + what + ".";
    return text;
}

std::string RunReport::details() const
{
    const std::array<const char *, 8> heads{"Table",   "Result",      "Rows read", "Stored",
                                            "Refused", "NULL values", "Time",      "File"};
    std::vector<std::array<std::string, 8>> rows;
    for (const TableReport &t : tables) {
        const std::string read = t.expectedRows >= 0 && t.expectedRows != t.rowsRead
                                     ? GroupedNumber(t.rowsRead) + " of " + GroupedNumber(t.expectedRows)
                                     : GroupedNumber(t.rowsRead);
        // A line break in a file name would split the report's lines.
        rows.push_back({EscapedName(t.table), t.outcomeText(), read, GroupedNumber(t.rowsStored),
                        GroupedNumber(t.rowsRefused), GroupedNumber(t.valuesNulled), seconds(t.seconds),
                        EscapedName(t.file)});
    }
    std::array<std::size_t, 8> width{};
    for (std::size_t c = 0; c < width.size(); ++c) {
        width[c] = displayWidth(heads[c]);
        for (const auto &row : rows)
            width[c] = std::max(width[c], displayWidth(row[c]));
    }
    auto line = [&](const auto &cells) {
        std::string out;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (c)
                out += "  ";
            // The last column needs no padding; numbers align right.
            if (c + 1 == cells.size())
                out += cells[c];
            else
                pad(out, cells[c], width[c], c >= 2 && c <= 6);
        }
        return out + "\n";
    };
    std::string out = headerText();
    if (!out.empty())
        out += "\n";
    out += line(heads);
    for (const auto &row : rows)
        out += line(row);

    for (const TableReport &t : tables) {
        if (t.notes.empty() && t.refused.empty() && !t.schema.known)
            continue;
        out += "\n" + EscapedName(t.table) + ":\n";
        if (t.schema.known)
            out += "  " +
                   EscapedName(
                       SchemaSummary(t.schema.indexes, t.schema.checks, t.schema.foreignKeys, t.schema.leftOut)) +
                   "\n";
        // Notes and the server's messages quote names and values.
        for (const std::string &note : t.notes)
            out += "  " + EscapedName(note) + "\n";
        for (const TableReport::Refused &r : t.refused)
            out += "  Refused: " + EscapedName(r.message) + "\n    " + r.statement + "\n";
        if (t.rowsRefused > int64_t(t.refused.size()))
            out += "  ... and " +
                   plural(t.rowsRefused - int64_t(t.refused.size()), "more refused row", "more refused rows") + ".\n";
    }
    return out;
}

std::string RunReport::text() const { return summary() + "\n\n" + details(); }

std::string RunReport::headerText() const
{
    std::size_t width = 0;
    for (const auto &[key, value] : header)
        width = std::max(width, displayWidth(key));
    std::string out;
    for (const auto &[key, value] : header) {
        out += key + ":";
        out.append(width + 2 - displayWidth(key), ' ');
        out += EscapedName(value) + "\n";
    }
    return out;
}

} // namespace tabulon
