#include "engine/tabledefinition.h"

#include "common/eventpump.h"
#include "engine/adotypename.h"

#include <algorithm>
#include <cctype>

namespace tabulon {
namespace {

struct MappingRow {
    const char *keyword;
    const char *mysqlType;  // nullptr: DECIMAL with the field's precision and scale
    bool numeric;
    bool binary;
};

// Searched in this order; the first keyword found in the lower-cased type
// name decides. "adlongvarbinary" and "longvar" stand before "char" so that
// memos and blobs get the LONG types: TEXT and BLOB hold only 64 KB.
constexpr MappingRow kRows[] = {
    {"adlongvarbinary", "LONGBLOB", false, true},
    {"longvar", "LONGTEXT", false, false},
    {"char", "TEXT", false, false},
    {"decimal", nullptr, true, false},
    {"single", "FLOAT", true, false},
    {"int", "INT", true, false},
    {"numeric", nullptr, true, false},
    {"date", "TEXT", false, false},
    {"timestamp", "TEXT", false, false},
    // MySQL's FLOAT is single precision and would round the source's doubles.
    {"double", "DOUBLE", true, false},
};

// Bare DECIMAL is DECIMAL(10,0) and would drop every fraction.
std::string decimalType(const Field &field)
{
    if (field.precision <= 0)
        return "DECIMAL(65,30)";
    const int scale = std::clamp(field.scale, 0, 30);
    const int precision = std::clamp(field.precision, std::max(scale, 1), 65);
    return "DECIMAL(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
}

} // namespace

void AppendQuotedName(std::string &out, const std::string &name)
{
    out.push_back('`');
    for (char c : name) {
        if (c == '`')
            out.push_back('`');
        out.push_back(c);
    }
    out.push_back('`');
}

std::string QuoteName(const std::string &name)
{
    std::string out;
    out.reserve(name.size() + 2);
    AppendQuotedName(out, name);
    return out;
}

std::string DropStatement(const std::string &table)
{
    std::string out = "DROP TABLE ";
    AppendQuotedName(out, table);
    return out;
}

ColumnType MapColumnType(const Field &field)
{
    std::string name = AdoTypeName(field.type);
    for (char &c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const MappingRow &row : kRows) {
        if (name.find(row.keyword) == std::string::npos)
            continue;
        return {row.keyword, row.mysqlType ? std::string(row.mysqlType) : decimalType(field), row.numeric,
                row.binary};
    }
    return {"OTHER TYPES", "TEXT", false, false};
}

TableDefinition BuildTableDefinition(const std::string &table, const std::vector<Field> &fields,
                                     DatatypeSink *sink)
{
    TableDefinition def;
    def.createText = "CREATE TABLE ";
    AppendQuotedName(def.createText, table);
    def.createText.push_back('(');
    def.numeric.reserve(fields.size());
    def.binary.reserve(fields.size());
    for (size_t j = 0; j < fields.size(); ++j) {
        EventPump::yield();
        const Field &field = fields[j];
        ColumnType type = MapColumnType(field);
        AppendQuotedName(def.createText, field.name);
        def.createText.push_back(' ');
        def.createText += type.mysqlType;
        def.createText.push_back(',');
        def.numeric.push_back(type.numeric);
        def.binary.push_back(type.binary);
        if (type.numeric) {
            def.NumericColumns += std::to_string(j);
            def.NumericColumns += ", ";
        }
        if (sink)
            sink->addDatatypeLine({table, field.name, type.keyword, std::move(type.mysqlType)});
    }
    if (def.createText.back() == ',')
        def.createText.pop_back();
    def.createText += ");";
    return def;
}

} // namespace tabulon
