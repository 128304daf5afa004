#include "engine/tableconversion.h"

#include "common/eventpump.h"
#include "engine/rowstatement.h"

#include <algorithm>
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

} // namespace

void ConvertTable(TableWork &work, Connection *source, const std::string &table,
                  DatatypeSink *datatypes, int firstStep)
{
    const int s = firstStep;
    std::unique_ptr<RecordSet> rows;
    work.step(s, [&] { work.setProgressCaption("Please wait.. Processing table " + table); });
    const bool opened = work.step(s + 2, [&] {
        if (!source)
            throw Error("The Paradox folder is not open, so table " + table + " cannot be read.");
        rows = source->openRecordSet("SELECT * FROM " + QuoteName(table));
    });
    if (!opened || !rows)
        return;

    TableDefinition definition;
    if (work.step(s + 4, [&] { definition = BuildTableDefinition(table, rows->fields(), datatypes); })) {
        work.step(s + 6, [&] { work.statement(definition.createText, s + 6, 0, 0); });
        if (!work.stopped() && work.decide(s + 8, [&] { return !rows->eof() && !rows->bof(); })) {
            int64_t total = 0;
            int64_t r = 0;
            std::optional<RowStatement> builder;
            std::size_t rowPrefix = 0;
            work.step(s + 10, [&] {
                total = rows->recordCount();
                builder.emplace(table, definition);
                rowPrefix = SharedRowPrefix(*builder);
            });
            std::string text;
            do {
                work.step(s + 12, [] { EventPump::yield(); });
                work.step(s + 14, [&] {
                    ++r;
                    // A count that undershoots the rows read must not push the bar past its end.
                    work.setProgress(std::min(100.0, double(r + 1) / double(total + 1) * 100.0));
                });
                const bool built = work.step(s + 16, [&] {
                    if (!builder)
                        throw Error("The row statements of table " + table + " cannot be built.");
                    builder->build(*rows, text);
                });
                if (built)
                    work.step(s + 18, [&] { work.statement(text, s + 18, rowPrefix, r); });
                if (work.stopped())
                    break;
                if (!work.step(s + 20, [&] { rows->moveNext(); }))
                    break;
            } while (!rows->eof());
        }
    }
    work.step(s + 22, [&] { rows->close(); });
    static_assert(kConvertTableSteps == 12);
}

} // namespace tabulon
