#include "engine/run/tableconversion.h"

#include "common/eventpump.h"
#include "engine/sqlgen/nativescan.h"
#include "engine/sqlgen/rowstatement.h"

#include <optional>

namespace tabulon {
namespace {

std::size_t SharedRowPrefix(const RowStatement &builder)
{
    // The prefix may include the "(" that opens the first value list; the
    // part shared by a multi-row insert stops before it.
    const std::string &prefix = builder.prefix();
    return !prefix.empty() && prefix.back() == '(' ? prefix.size() - 1 : prefix.size();
}

std::string Counted(int64_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::string NullValuesText(const std::string &table, const ReadAccount &a)
{
    return "Table " + table + ": " + Counted(a.nullValues, "memo or blob value", "memo or blob values") +
           " could not be read from \"" + a.nullFile + "\" and " + (a.nullValues == 1 ? "was" : "were") +
           " stored as NULL; the rest of " + (a.nullValues == 1 ? "its row" : "their rows") +
           " was stored. The first failure was in " + a.nullFault +
           ". Put an intact copy of the memo file beside the table (repair the table with Paradox or restore "
           "it from a backup) and convert the table again.";
}

std::string DamagedRowsText(const std::string &table, const ReadAccount &a)
{
    std::string text = "Table " + table + " is damaged: its header counts " + Counted(a.expectedRows, "row", "rows");
    if (a.rowsDiffer())
        text += ", but " + std::to_string(a.rowsRead) + (a.rowsRead == 1 ? " was" : " were");
    else
        text += " and all were";
    text += " read from \"" + a.file + "\".";
    if (a.damagedBlocks == 1)
        text += " Damage found: " + a.damage + ".";
    else if (a.damagedBlocks > 1)
        text += " Damage found in " + std::to_string(a.damagedBlocks) + " places; the first: " + a.damage + ".";
    text += " The rows that were read are stored. Repair the table with Paradox or restore it from a backup, "
            "then convert it again.";
    return text;
}

ReadAccount ConvertTable(GuardedProcedure &proc, TableWork &work, Connection *source, const std::string &table,
                         DatatypeSink *datatypes, int firstStep)
{
    const int s = firstStep;
    std::unique_ptr<RecordSet> rows;
    proc.step(s, [&] { work.setProgressCaption("Please wait.. Processing table " + work.tableLabel(table)); });
    const bool opened = proc.step(s + 2, [&] {
        if (!source)
            throw Error("The Paradox folder is not open, so table " + table + " cannot be read.");
        rows = source->openRecordSet("SELECT * FROM " + QuoteName(table));
    });
    if (!opened || !rows)
        return {};
    if (const ReadAccount &read = rows->account(); read.codePageOverridden()) {
        // Said before the rows go, so that a wrong choice is seen in time.
        const std::string used = "code page " + std::to_string(read.codePage) + ", not the " +
                                 std::to_string(read.headerCodePage) + " its header names";
        proc.step(s, [&] {
            work.setProgressCaption("Please wait.. Processing table " + work.tableLabel(table) + " (text in " + used +
                                    ")");
        });
        if (datatypes)
            proc.step(s + 2, [&] { datatypes->addDatatypeLine({table, "(text)", "CODE PAGE", used}); });
    }

    TableDefinition definition;
    std::optional<SchemaPlan> schema;
    if (proc.step(s + 4, [&] {
            // Native columns are chosen after a pass of their own over the
            // values, which also counts what the source's checks would refuse.
            std::optional<NativeScan> native;
            TableSchema rules;
            if (work.columnTypes() == ColumnTypes::Native) {
                rules = rows->schema();
                native = ScanForNativeColumns(*source->openRecordSet("SELECT * FROM " + QuoteName(table)), &rules);
            }
            definition = BuildTableDefinition(table, rows->fields(), datatypes, native ? &*native : nullptr);
            if (native && !rules.empty()) {
                schema = PlanSchema(table, rows->fields(), definition, rules, *native);
                ApplyColumnRules(definition, *schema);
                if (datatypes)
                    for (DatatypeLine &line : schema->lines)
                        datatypes->addDatatypeLine(std::move(line));
                schema->lines.clear();
            }
        })) {
        work.tableDefined(definition);
        proc.step(s + 6, [&] { work.statement(definition.createText, s + 6, 0, 0); });
        bool rowsEnded = true;
        if (!work.stopped() && proc.decide(s + 8, [&] { return !rows->eof() && !rows->bof(); })) {
            int64_t total = 0;
            int64_t r = 0;
            std::optional<RowStatement> builder;
            std::size_t rowPrefix = 0;
            proc.step(s + 10, [&] {
                total = rows->recordCount();
                builder.emplace(table, definition);
                rowPrefix = SharedRowPrefix(*builder);
            });
            std::string text;
            do {
                proc.step(s + 12, [] { EventPump::yield(); });
                proc.step(s + 14, [&] {
                    ++r;
                    work.setProgress(r, total);
                });
                const bool built = proc.step(s + 16, [&] {
                    if (!builder)
                        throw Error("The row statements of table " + table + " cannot be built.");
                    builder->build(*rows, text);
                });
                if (built)
                    proc.step(s + 18, [&] { work.statement(text, s + 18, rowPrefix, r); });
                if (work.stopped() || !proc.step(s + 20, [&] { rows->moveNext(); })) {
                    rowsEnded = false;
                    break;
                }
            } while (!rows->eof());
        }
        // Indexes built once over the loaded rows cost less than kept up per row.
        if (schema && rowsEnded && !work.stopped())
            proc.step(s + 6, [&] { work.tableSchema(table, *schema, s + 6); });
        // Told once per table, not per value or block; an empty table may
        // be one whose only block was lost.
        const ReadAccount &read = rows->account();
        if (read.nullValues > 0 && !work.stopped())
            proc.step(s + 16, [&] { throw Error(NullValuesText(table, read)); });
        if (read.damaged() && rowsEnded && !work.stopped())
            proc.step(s + 16, [&] { throw Error(DamagedRowsText(table, read)); });
    }
    ReadAccount account = rows->account();
    proc.step(s + 22, [&] { rows->close(); });
    static_assert(kConvertTableSteps == 12);
    return account;
}

} // namespace tabulon
