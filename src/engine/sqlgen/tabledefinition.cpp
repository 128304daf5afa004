#include "engine/sqlgen/tabledefinition.h"

#include "common/eventpump.h"
#include "common/text.h"
#include "engine/sqlgen/adotypename.h"

#include <algorithm>

namespace tabulon {
namespace {

struct MappingRow {
    const char *keyword;
    const char *mysqlType; // nullptr: DECIMAL with the field's precision and scale
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

struct NativeType {
    std::string mysqlType;
    bool numeric = false;
    bool binary = false;
    NativeLiteral temporal = NativeLiteral::None;
    int rowBytes = 12;    // what the column costs of the server's 65,535-byte row
    int inlineBytes = 20; // what it costs of an InnoDB page's half (a long value goes off the page)
};

// MySQL's own type for a Paradox field; an empty type for a field of
// unknown origin, which keeps the original mapping.
NativeType nativeType(const Field &field)
{
    const int n = field.definedSize;
    switch (field.sourceType) {
    case 'A':
        if (n <= 0)
            break;
        // Up to 255 bytes InnoDB keeps a value on the row's own page.
        return {"VARCHAR(" + std::to_string(n) + ")", false, false, NativeLiteral::None, 4 * n + (4 * n > 255 ? 2 : 1),
                4 * n > 255 ? 40 : 4 * n + 1};
    case 'M': return {"LONGTEXT"};
    case 'S': return {"SMALLINT", true, false, NativeLiteral::None, 2, 2};
    case 'I':
    case '+': return {"INT", true, false, NativeLiteral::None, 4, 4};
    case 'N': return {"DOUBLE", true, false, NativeLiteral::None, 8, 8};
    case '$': return {"DECIMAL(20,4)", true, false, NativeLiteral::None, 10, 10};
    case '#': return {decimalType(field), true, false, NativeLiteral::None, 16, 16};
    case 'L': return {"BOOLEAN", true, false, NativeLiteral::None, 1, 1};
    case 'D': return {"DATE", false, false, NativeLiteral::Date, 3, 3};
    case 'T': return {"TIME(3)", false, false, NativeLiteral::Time, 5, 5};
    case '@': return {"DATETIME(3)", false, false, NativeLiteral::DateTime, 7, 7};
    case 'B':
    case 'F':
    case 'O':
    case 'G': return {"LONGBLOB", false, true};
    case 'Y':
        if (n <= 0)
            break;
        return {"VARBINARY(" + std::to_string(n) + ")", false, true, NativeLiteral::None, n + 1, n > 255 ? 40 : n + 1};
    default: break;
    }
    return {};
}

// The server refuses a table whose columns could take more than this many
// bytes in a row (BLOB and TEXT columns count only their pointers), and
// InnoDB one whose values kept on the row's page could fill half a page.
constexpr int kRowBytesLimit = 65'535 - 1'000;
constexpr int kInlineBytesLimit = 8'126 - 200;

} // namespace

const char *SourceTypeWords(char sourceType)
{
    switch (sourceType) {
    case 'A': return "Alpha";
    case 'D': return "Date";
    case 'S': return "Short";
    case 'I': return "Long Integer";
    case '$': return "Money";
    case 'N': return "Number";
    case 'L': return "Logical";
    case 'M': return "Memo";
    case 'B': return "Binary";
    case 'F': return "Formatted Memo";
    case 'O': return "OLE";
    case 'G': return "Graphic";
    case 'T': return "Time";
    case '@': return "Timestamp";
    case '+': return "Autoincrement";
    case '#': return "BCD";
    case 'Y': return "Bytes";
    default: return nullptr;
    }
}


std::string DropStatement(const std::string &table, bool ifExists)
{
    std::string out = ifExists ? "DROP TABLE IF EXISTS " : "DROP TABLE ";
    AppendQuotedName(out, table);
    return out;
}

ColumnType MapColumnType(const Field &field)
{
    const std::string name = AsciiLower(AdoTypeName(field.type));
    for (const MappingRow &row : kRows) {
        if (name.find(row.keyword) == std::string::npos)
            continue;
        return {row.keyword, row.mysqlType ? std::string(row.mysqlType) : decimalType(field), row.numeric, row.binary};
    }
    return {"OTHER TYPES", "TEXT", false, false};
}

namespace {

// "1, 4, " for numeric columns at 1 and 4.
std::string NumericColumnsText(const std::vector<bool> &numeric)
{
    std::string text;
    for (size_t j = 0; j < numeric.size(); ++j)
        if (numeric[j])
            text += std::to_string(j) + ", ";
    return text;
}

TableDefinition buildNative(const std::string &table, const std::vector<Field> &fields, DatatypeSink *sink,
                            const NativeScan &scan)
{
    const size_t count = fields.size();
    std::vector<NativeType> types(count);
    std::vector<std::string> notes(count);
    std::vector<size_t> keys;
    for (size_t j = 0; j < count; ++j) {
        const Field &field = fields[j];
        if (field.key)
            keys.push_back(j);
        const std::string *why = j < scan.fallback.size() && !scan.fallback[j].empty() ? &scan.fallback[j] : nullptr;
        if (!why)
            types[j] = nativeType(field);
        if (types[j].mysqlType.empty()) {
            // The text form of the original mapping; a value that is no
            // number (NaN) must not meet a numeric column either.
            ColumnType text = MapColumnType(field);
            if (why && text.numeric)
                text.mysqlType = "TEXT";
            types[j] = {std::move(text.mysqlType), why ? false : text.numeric, text.binary};
            if (why)
                notes[j] = "kept as text: " + *why;
        }
    }

    // A key needs every key field present in every row and of a type an
    // index can take whole.
    std::string noKey = scan.noKey;
    size_t noKeyField = scan.noKeyField;
    for (size_t j : keys) {
        if (!noKey.empty())
            break;
        const std::string &t = types[j].mysqlType;
        if (t == "TEXT" || t.rfind("LONG", 0) == 0) {
            noKey = "no primary key: key field \"" + fields[j].name + "\" is kept as " + t;
            noKeyField = j;
        }
    }
    // Told once, beside the field it names, not on every key field.
    if (!keys.empty() && (noKeyField >= count || !fields[noKeyField].key))
        noKeyField = keys.front();
    const bool primaryKey = !keys.empty() && noKey.empty();

    // Alpha fields are counted at four bytes a character; when the row
    // would pass a limit, the widest of them become TEXT.
    int rowBytes = 0, inlineBytes = 0;
    for (const NativeType &t : types) {
        rowBytes += t.rowBytes;
        inlineBytes += t.inlineBytes;
    }
    while (rowBytes > kRowBytesLimit || inlineBytes > kInlineBytesLimit) {
        const bool byRow = rowBytes > kRowBytesLimit;
        auto cost = [&](size_t j) { return byRow ? types[j].rowBytes : types[j].inlineBytes; };
        size_t widest = count;
        for (size_t j = 0; j < count; ++j)
            if (fields[j].sourceType == 'A' && types[j].mysqlType.rfind("VARCHAR", 0) == 0 &&
                !(primaryKey && fields[j].key) && (widest == count || cost(j) > cost(widest)))
                widest = j;
        if (widest == count)
            break;
        rowBytes -= types[widest].rowBytes - 12;
        inlineBytes -= types[widest].inlineBytes - 20;
        types[widest] = {"TEXT", false, false, NativeLiteral::None, 12, 20};
        notes[widest] = "TEXT, not VARCHAR: the table's Alpha fields together are too wide for a MySQL row";
    }

    TableDefinition def;
    def.createText = "CREATE TABLE ";
    AppendQuotedName(def.createText, table);
    def.createText.push_back('(');
    def.numeric.reserve(count);
    def.binary.reserve(count);
    def.temporal.reserve(count);
    const bool autoIncrement = primaryKey && keys.size() == 1 && fields[keys[0]].sourceType == '+' &&
                               scan.keyCanContinue;
    for (size_t j = 0; j < count; ++j) {
        EventPump::yield();
        const Field &field = fields[j];
        NativeType &type = types[j];
        AppendQuotedName(def.createText, field.name);
        def.createText.push_back(' ');
        def.createText += type.mysqlType;
        // Keys that differ only in case are two keys to Paradox and must
        // stay two on the server.
        if (primaryKey && field.key && field.sourceType == 'A')
            def.createText += " COLLATE utf8mb4_bin";
        if (primaryKey && field.key)
            def.createText += " NOT NULL";
        if (autoIncrement && field.key)
            def.createText += " AUTO_INCREMENT";
        def.columnEnd.push_back(def.createText.size());
        def.columnType.push_back(type.mysqlType);
        def.primaryKeyColumn.push_back(primaryKey && field.key);
        def.createText.push_back(',');
        def.numeric.push_back(type.numeric);
        def.binary.push_back(type.binary);
        def.temporal.push_back(type.temporal);
        def.names.push_back(field.name);
        def.types.push_back(type.mysqlType);
        if (sink) {
            const char *words = SourceTypeWords(field.sourceType);
            std::string note = std::move(notes[j]);
            if (j == noKeyField && !primaryKey && !noKey.empty())
                note += (note.empty() ? "" : "; ") + noKey;
            sink->addDatatypeLine({table, field.name, words ? words : MapColumnType(field).keyword,
                                   std::move(type.mysqlType), std::move(note), field.key});
        }
    }
    if (primaryKey) {
        def.createText += "PRIMARY KEY(";
        for (size_t j : keys) {
            AppendQuotedName(def.createText, fields[j].name);
            def.createText.push_back(',');
        }
        def.createText.back() = ')';
    }
    if (def.createText.back() == ',')
        def.createText.pop_back();
    def.constraintsAt = def.createText.size();
    def.createText += ") DEFAULT CHARSET=utf8mb4;";
    def.NumericColumns = NumericColumnsText(def.numeric);
    return def;
}

} // namespace

TableDefinition BuildTableDefinition(const std::string &table, const std::vector<Field> &fields, DatatypeSink *sink,
                                     const NativeScan *native)
{
    if (native)
        return buildNative(table, fields, sink, *native);
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
        def.names.push_back(field.name);
        def.types.push_back(type.mysqlType);
        if (sink)
            sink->addDatatypeLine({table, field.name, type.keyword, std::move(type.mysqlType), {}, field.key});
    }
    if (def.createText.back() == ',')
        def.createText.pop_back();
    def.createText += ");";
    def.NumericColumns = NumericColumnsText(def.numeric);
    return def;
}

} // namespace tabulon
