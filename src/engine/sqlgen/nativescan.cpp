#include "engine/sqlgen/nativescan.h"

#include "common/error.h"
#include "common/eventpump.h"
#include "engine/sqlgen/rowstatement.h"
#include "engine/sqlgen/schemastatements.h"

#include <cmath>
#include <cstdio>

namespace tabulon {
namespace {

// UTF-8 characters, counted by their lead bytes.
size_t characters(const std::string &s)
{
    size_t n = 0;
    for (char c : s)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string dateText(DateTime dt)
{
    int y, m, d;
    dt.toCivil(y, m, d);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%04d-%02d-%02d", y < 0 ? "-" : "", y < 0 ? -y : y, m, d);
    return buf;
}

NativeLiteral dateForm(char sourceType)
{
    switch (sourceType) {
    case 'D': return NativeLiteral::Date;
    case 'T': return NativeLiteral::Time;
    case '@': return NativeLiteral::DateTime;
    default: return NativeLiteral::None;
    }
}

} // namespace

NativeScan ScanForNativeColumns(RecordSet &rows, const TableSchema *schema)
{
    const std::vector<Field> &fields = rows.fields();
    NativeScan scan;
    scan.fallback.resize(fields.size());
    scan.nulls.resize(fields.size());
    scan.outOfRange.resize(fields.size());
    std::vector<const SchemaCheck *> checks(fields.size());
    if (schema)
        for (const SchemaCheck &c : schema->checks)
            for (size_t j = 0; j < fields.size(); ++j)
                if (fields[j].name == c.field && (c.required || RangeCheckable(c.minimum) || RangeCheckable(c.maximum)))
                    checks[j] = &c;
    // Only the fields a value can push out of their native type are read.
    std::vector<int> watched;
    for (size_t j = 0; j < fields.size(); ++j) {
        const char t = fields[j].sourceType;
        if (fields[j].key || t == 'A' || t == 'N' || dateForm(t) != NativeLiteral::None || checks[j])
            watched.push_back(static_cast<int>(j));
    }
    if (watched.empty())
        return scan;

    for (int64_t row = 1; !rows.eof(); ++row) {
        EventPump::yield();
        for (int j : watched) {
            std::string &why = scan.fallback[size_t(j)];
            const Field &field = fields[size_t(j)];
            const SchemaCheck *check = checks[size_t(j)];
            if (!why.empty() && !field.key && !check)
                continue;
            const Value *value = nullptr;
            try {
                value = &rows.value(j);
            } catch (const Error &) {
                continue;
            }
            if (check) {
                bool ok = true;
                if (value->isNull() || value->isEmpty())
                    scan.nulls[size_t(j)] += check->required;
                else if ((RangeCheckable(check->minimum) && CompareForCheck(*value, check->minimum, ok) < 0 && ok) ||
                         (RangeCheckable(check->maximum) && CompareForCheck(*value, check->maximum, ok) > 0 && ok))
                    ++scan.outOfRange[size_t(j)];
            }
            if (value->isNull() || value->isEmpty()) {
                if (field.key && scan.noKey.empty()) {
                    scan.noKey = "no primary key: key field \"" + field.name + "\" is blank in row " +
                                 std::to_string(row);
                    scan.noKeyField = size_t(j);
                }
                continue;
            }
            if (!why.empty())
                continue;
            const auto where = [row] { return " (row " + std::to_string(row) + ")"; };
            switch (value->kind()) {
            case Value::Kind::Text:
                // MySQL compares "a" and "a " as one value: such a key
                // could refuse a row as a duplicate.
                if (field.key && scan.noKey.empty() && !value->str().empty() && value->str().back() == ' ') {
                    scan.noKey = "no primary key: a value of key field \"" + field.name +
                                 "\" ends in a blank, which MySQL does not tell apart (row " + std::to_string(row) +
                                 ")";
                    scan.noKeyField = size_t(j);
                }
                if (field.sourceType == 'A' && field.definedSize > 0 &&
                    characters(value->str()) > size_t(field.definedSize))
                    why = "a value of " + std::to_string(characters(value->str())) +
                          " characters is longer than the field's " + std::to_string(field.definedSize) + where();
                break;
            case Value::Kind::Double:
                if (!std::isfinite(value->real()))
                    why = std::string("the value ") + value->toText() + " is no number a DOUBLE column holds" + where();
                break;
            case Value::Kind::Integer:
                if (field.key && value->integer() <= 0)
                    scan.keyCanContinue = false;
                break;
            case Value::Kind::DateTime: {
                const NativeLiteral form = dateForm(field.sourceType);
                if (form == NativeLiteral::None || NativeDateFits(value->dateTime(), form))
                    break;
                if (form == NativeLiteral::Time)
                    why = "a time outside one day" + where();
                else
                    why = "the date " + dateText(value->dateTime()) + " is outside the years 1000 to 9999" + where();
                break;
            }
            default: break;
            }
        }
        try {
            rows.moveNext();
        } catch (const Error &) {
            break;
        }
    }
    return scan;
}

} // namespace tabulon
