#include "engine/run/runreportjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tabulon {
namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }

// "Rows read" becomes "rows read": keys a script can spell.
QString Key(const std::string &label) { return Q(label).toLower().replace(' ', '_'); }

QJsonValue Verification(const TableReport &t)
{
    if (!t.serverRows)
        return QJsonValue::Null;
    // "values": rows and values checked; "rows": the count alone.
    if (*t.serverRows != t.rowsStored)
        return QStringLiteral("differs");
    switch (t.values) {
    case TableReport::Values::Same: return QStringLiteral("values");
    case TableReport::Values::Differ: return QStringLiteral("values differ");
    default: return QStringLiteral("rows");
    }
}

QJsonObject TableJson(const TableReport &t)
{
    QJsonObject table{
        {"table", Q(t.table)},
        {"target", Q(t.table)},
        {"file", Q(t.file)},
        {"result", Q(t.outcomeText())},
        {"rows_read", double(t.rowsRead)},
        {"header_count", t.expectedRows >= 0 ? QJsonValue(double(t.expectedRows)) : QJsonValue::Null},
        {"stored", double(t.rowsStored)},
        {"refused", double(t.rowsRefused)},
        {"null_values", double(t.valuesNulled)},
        {"server_rows", t.serverRows ? QJsonValue(double(*t.serverRows)) : QJsonValue::Null},
        {"verification", Verification(t)},
        {"seconds", t.seconds},
    };
    QJsonArray notes;
    for (const std::string &note : t.notes)
        notes.append(Q(note));
    table["notes"] = notes;
    QJsonArray refused;
    for (const TableReport::Refused &r : t.refused)
        refused.append(QJsonObject{{"message", Q(r.message)}, {"statement", Q(r.statement)}});
    table["refused_rows"] = refused;
    return table;
}

} // namespace

std::string RunReportJson(const RunReport &report, const std::vector<std::pair<std::string, std::string>> &options,
                          const std::string &ended)
{
    QJsonObject run;
    for (const auto &[label, value] : report.header)
        run[Key(label)] = Q(value);
    // The header's "When" is when the run started.
    if (run.contains("when"))
        run["start"] = run.take("when");
    run["end"] = Q(ended);
    run["stopped"] = report.stopped;
    run["summary"] = Q(report.summary());
    QJsonObject asked;
    for (const auto &[name, value] : options)
        asked[Q(name)] = Q(value);
    run["options"] = asked;
    QJsonArray tables;
    for (const TableReport &t : report.tables)
        tables.append(TableJson(t));
    return QJsonDocument(QJsonObject{{"run", run}, {"tables", tables}}).toJson(QJsonDocument::Indented).toStdString();
}

} // namespace tabulon
