#include "engine/sqlgen/schemastatements.h"

#include "engine/sqlgen/rowstatement.h"

#include <QCryptographicHash>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tabulon {
namespace {

constexpr size_t kNameLimit = 64;
// InnoDB's longest index key, in bytes.
constexpr int kKeyBytesLimit = 3072;
// The prefix of a TEXT column in a non-unique index (191 characters of
// four bytes fit the oldest row formats too).
constexpr int kTextPrefix = 191;

std::string Folded(const std::string &s) { return QString::fromStdString(s).toCaseFolded().toStdString(); }

size_t Characters(const std::string &s)
{
    size_t n = 0;
    for (char c : s)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string Plural(int n, const char *one, const char *many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

double AsDouble(const Value &v)
{
    switch (v.kind()) {
    case Value::Kind::Integer: return double(v.integer());
    case Value::Kind::Currency: return double(v.currencyUnits()) / 10000.0;
    case Value::Kind::Double: return v.real();
    case Value::Kind::Decimal: return std::strtod(v.str().c_str(), nullptr);
    case Value::Kind::Boolean: return v.boolean() ? 1 : 0;
    default: return 0;
    }
}

// The literal a DEFAULT or CHECK takes for field j, as its rows are written;
// empty when there is none.
std::string Literal(const Value &v, const TableDefinition &def, size_t j)
{
    std::string out;
    const NativeLiteral form = j < def.temporal.size() ? def.temporal[j] : NativeLiteral::None;
    if (form != NativeLiteral::None) {
        if (v.kind() != Value::Kind::DateTime || !AppendNativeDateLiteral(out, v.dateTime(), form))
            return {};
    } else {
        AppendLiteral(out, v, def.numeric[j], def.binary[j]);
    }
    // The writers end each literal as for a list of values.
    if (out.size() >= 2 && out.compare(out.size() - 2, 2, ", ") == 0)
        out.resize(out.size() - 2);
    return out;
}

bool IsLong(const std::string &type) { return type == "TEXT" || type.rfind("LONG", 0) == 0; }

// Bytes an index takes of a column, 4 a character for text.
int KeyBytes(const std::string &type)
{
    const auto open = type.find('(');
    const int n = open == std::string::npos ? 8 : std::atoi(type.c_str() + open + 1);
    if (type.rfind("VARCHAR", 0) == 0)
        return 4 * n + 2;
    if (type.rfind("VARBINARY", 0) == 0)
        return n + 2;
    if (IsLong(type))
        return 4 * kTextPrefix + 2;
    return 17;
}

} // namespace

std::string ServerName(const std::string &name)
{
    if (Characters(name) <= kNameLimit)
        return name;
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(name), QCryptographicHash::Sha1).toHex();
    // 55 characters, then "_" and 8 digits.
    size_t cut = 0;
    for (size_t chars = 0; cut < name.size() && chars < 55; ++chars) {
        ++cut;
        while (cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            ++cut;
    }
    return name.substr(0, cut) + "_" + hash.left(8).toStdString();
}

int CompareForCheck(const Value &a, const Value &b, bool &ok)
{
    ok = true;
    if (a.kind() == Value::Kind::DateTime && b.kind() == Value::Kind::DateTime) {
        const DateTime x = a.dateTime(), y = b.dateTime();
        if (x.days != y.days)
            return x.days < y.days ? -1 : 1;
        return x.msOfDay < y.msOfDay ? -1 : x.msOfDay > y.msOfDay ? 1 : 0;
    }
    if ((a.isNumber() || a.kind() == Value::Kind::Boolean) && (b.isNumber() || b.kind() == Value::Kind::Boolean)) {
        const double x = AsDouble(a), y = AsDouble(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    ok = false;
    return 0;
}

bool RangeCheckable(const Value &bound) { return bound.isNumber() || bound.kind() == Value::Kind::DateTime; }

SchemaPlan PlanSchema(const std::string &table, const std::vector<Field> &fields, const TableDefinition &def,
                      const TableSchema &schema, const NativeScan &scan)
{
    SchemaPlan plan;
    plan.columnSuffix.resize(fields.size());
    auto fieldIndex = [&](const std::string &name) {
        for (size_t j = 0; j < fields.size(); ++j)
            if (fields[j].name == name)
                return j;
        return fields.size();
    };
    auto line = [&](std::string field, const char *keyword, std::string text, std::string note = {}) {
        plan.lines.push_back({table, std::move(field), keyword, std::move(text), std::move(note)});
    };
    auto leaveOut = [&](const std::string &what, const std::string &why) {
        plan.leftOut.push_back(what + " (" + why + ")");
        plan.notes.push_back(what + " is not carried over: " + why + ".");
        line("(" + what + ")", "LEFT OUT", "", why);
    };

    // Checks: DEFAULT and NOT NULL on the column, a range as a named CHECK.
    for (const SchemaCheck &check : schema.checks) {
        const size_t j = fieldIndex(check.field);
        if (j >= fields.size())
            continue;
        const std::string column = QuoteName(check.field);
        const std::string &type = j < def.columnType.size() ? def.columnType[j] : std::string();
        bool carried = false;
        std::string shown;
        if (!check.defaultValue.isEmpty()) {
            std::string literal = Literal(check.defaultValue, def, j);
            if (literal.empty() || def.binary[j]) {
                leaveOut("default of " + check.field, "its value has no form the column takes");
            } else {
                if (IsLong(type))
                    literal = "(" + literal + ")"; // TEXT takes an expression default only
                plan.columnSuffix[j] += " DEFAULT " + literal;
                shown += "DEFAULT " + literal;
                carried = true;
            }
        }
        if (check.required && !(j < def.primaryKeyColumn.size() && def.primaryKeyColumn[j])) {
            const int64_t nulls = j < scan.nulls.size() ? scan.nulls[j] : 0;
            if (nulls > 0) {
                leaveOut("required " + check.field,
                         Plural(int(std::min<int64_t>(nulls, 1 << 30)), "row has", "rows have") + " no value in it");
            } else {
                plan.columnSuffix[j] += " NOT NULL";
                shown += std::string(shown.empty() ? "" : " ") + "NOT NULL";
                carried = true;
            }
        }
        const bool hasMin = !check.minimum.isEmpty(), hasMax = !check.maximum.isEmpty();
        if (hasMin || hasMax) {
            const int64_t outside = j < scan.outOfRange.size() ? scan.outOfRange[j] : 0;
            const std::string min = hasMin ? Literal(check.minimum, def, j) : std::string();
            const std::string max = hasMax ? Literal(check.maximum, def, j) : std::string();
            if ((hasMin && !RangeCheckable(check.minimum)) || (hasMax && !RangeCheckable(check.maximum)) ||
                (hasMin && min.empty()) || (hasMax && max.empty()) ||
                (!def.numeric[j] && def.temporal[j] == NativeLiteral::None)) {
                leaveOut("range of " + check.field, "the server orders text by its own collation, not Paradox's");
            } else if (outside > 0) {
                leaveOut("range of " + check.field,
                         Plural(int(std::min<int64_t>(outside, 1 << 30)), "stored value lies", "stored values lie") +
                             " outside it");
            } else {
                std::string condition;
                if (hasMin)
                    condition = column + " >= " + min;
                if (hasMax)
                    condition += (condition.empty() ? "" : " AND ") + column + " <= " + max;
                const std::string name = ServerName(table + "_" + check.field + "_range");
                plan.constraints.push_back("CONSTRAINT " + QuoteName(name) + " CHECK (" + condition + ")");
                shown += std::string(shown.empty() ? "" : " ") + "CHECK (" + condition + ")";
                carried = true;
            }
        }
        if (!check.picture.empty())
            leaveOut("picture \"" + check.picture + "\" of " + check.field, "MySQL has no input masks");
        if (!check.lookupTable.empty())
            leaveOut("lookup of " + check.field + " in " + check.lookupTable,
                     "MySQL has no lookup rule; a foreign key would need the looked-up field to be a key");
        if (carried) {
            ++plan.checks;
            line(check.field, "CHECK", shown);
        }
    }

    // Secondary indexes, after the rows.
    std::vector<std::string> taken{"primary"};
    for (const SchemaIndex &index : schema.indexes) {
        const std::string label = index.name.empty() ? "index on " + index.fields.front() : "index " + index.name;
        std::string columns;
        int bytes = 0;
        std::string why;
        std::vector<size_t> keyColumns;
        for (size_t j = 0; j < def.primaryKeyColumn.size(); ++j)
            if (def.primaryKeyColumn[j])
                keyColumns.push_back(j);
        bool sameAsKey = index.fields.size() == keyColumns.size();
        std::vector<std::string> notes;
        for (size_t k = 0; k < index.fields.size() && why.empty(); ++k) {
            const size_t j = fieldIndex(index.fields[k]);
            if (j >= fields.size()) {
                why = "the table has no field " + index.fields[k];
                break;
            }
            sameAsKey = sameAsKey && keyColumns[k] == j && !index.descending[k];
            const std::string &type = def.columnType[j];
            if (type == "LONGBLOB" || type == "LONGTEXT")
                why = "field " + index.fields[k] + " is kept as " + type;
            else if (IsLong(type) && index.unique)
                why = "field " + index.fields[k] + " is kept as TEXT, of which a unique key could see a part only";
            bytes += KeyBytes(type);
            if (!columns.empty())
                columns += ", ";
            columns += QuoteName(index.fields[k]);
            if (IsLong(type))
                columns += "(" + std::to_string(kTextPrefix) + ")";
            if (index.descending[k])
                columns += " DESC";
            if (fields[j].sourceType == 'A') {
                const bool binary = j < def.primaryKeyColumn.size() && def.primaryKeyColumn[j];
                if (index.caseInsensitive && binary)
                    notes.push_back("compares " + index.fields[k] +
                                    " with regard to case, as the primary key needs its column to");
                else if (!index.caseInsensitive && !binary && index.unique)
                    notes.push_back("compares " + index.fields[k] + " without regard to case, as its column does");
            }
        }
        if (why.empty() && bytes > kKeyBytesLimit)
            why = "its fields together are wider than the " + std::to_string(kKeyBytesLimit) + " bytes of a MySQL key";
        if (why.empty() && sameAsKey)
            why = "it has the fields of the primary key";
        if (!why.empty()) {
            leaveOut(label, why);
            continue;
        }
        std::string name = index.name.empty() ? index.fields.front() : index.name;
        if (Characters(name) > kNameLimit) {
            notes.push_back("its name is longer than 64 characters and is shortened");
            name = ServerName(name);
        }
        for (int n = 2; std::find(taken.begin(), taken.end(), Folded(name)) != taken.end(); ++n)
            name = ServerName((index.name.empty() ? index.fields.front() : index.name) + "_" + std::to_string(n));
        taken.push_back(Folded(name));
        const std::string clause = std::string(index.unique ? "ADD UNIQUE KEY " : "ADD KEY ") + QuoteName(name) + " (" +
                                   columns + ")";
        plan.indexClauses.push_back(clause);
        std::string note;
        for (const std::string &n : notes)
            note += (note.empty() ? "" : "; ") + n;
        if (!note.empty())
            plan.notes.push_back(label + ": " + note + ".");
        line("(" + label + ")", "INDEX", clause.substr(4), note);
    }

    // Referential rules: foreign keys once every table is loaded.
    for (const SchemaReference &ref : schema.references) {
        std::string why;
        for (const std::string &f : ref.fields) {
            const size_t j = fieldIndex(f);
            if (j >= fields.size())
                why = "the table has no field " + f;
            else if (IsLong(def.columnType[j]) || def.columnType[j] == "LONGBLOB")
                why = "field " + f + " is kept as " + def.columnType[j] + ", which a foreign key cannot take";
        }
        const std::string label = "rule " + ref.name;
        if (!why.empty()) {
            leaveOut(label, why);
            continue;
        }
        ForeignKeyPlan key{
            ref.name,         ServerName(table + "_" + ref.name), table, ref.fields, ref.masterTable, ref.masterFields,
            ref.cascadeUpdate};
        std::string shown = "FOREIGN KEY (";
        for (size_t k = 0; k < ref.fields.size(); ++k)
            shown += (k ? ", " : "") + QuoteName(ref.fields[k]);
        shown += ") REFERENCES " + QuoteName(ref.masterTable) + " (";
        for (size_t k = 0; k < ref.masterFields.size(); ++k)
            shown += (k ? ", " : "") + QuoteName(ref.masterFields[k]);
        shown += std::string(") ON UPDATE ") + (ref.cascadeUpdate ? "CASCADE" : "RESTRICT") + " ON DELETE RESTRICT";
        line("(" + label + ")", "FOREIGN KEY", shown);
        plan.foreignKeys.push_back(std::move(key));
    }
    for (const std::string &note : schema.notes) {
        plan.leftOut.push_back("a file or rule that could not be read");
        plan.notes.push_back(note);
        line("(companion files)", "NOT READ", "", note);
    }
    return plan;
}

void ApplyColumnRules(TableDefinition &def, const SchemaPlan &plan)
{
    if (def.columnEnd.size() != plan.columnSuffix.size())
        return;
    std::string constraints;
    for (const std::string &c : plan.constraints)
        constraints += "," + c;
    if (!constraints.empty())
        def.createText.insert(def.constraintsAt, constraints);
    for (size_t j = plan.columnSuffix.size(); j-- > 0;)
        if (!plan.columnSuffix[j].empty())
            def.createText.insert(def.columnEnd[j], plan.columnSuffix[j]);
}

std::string IndexStatement(const std::string &table, const std::vector<std::string> &clauses)
{
    if (clauses.empty())
        return {};
    std::string out = "ALTER TABLE ";
    AppendQuotedName(out, table);
    for (size_t k = 0; k < clauses.size(); ++k)
        out += (k ? ", " : " ") + clauses[k];
    out += ";";
    return out;
}

std::string ForeignKeyStatement(const ForeignKeyPlan &key, const std::string &child, const std::string &master)
{
    std::string out = "ALTER TABLE " + QuoteName(child) + " ADD CONSTRAINT " + QuoteName(key.name) + " FOREIGN KEY (";
    for (size_t k = 0; k < key.fields.size(); ++k)
        out += (k ? ", " : "") + QuoteName(key.fields[k]);
    out += ") REFERENCES " + QuoteName(master) + " (";
    for (size_t k = 0; k < key.masterFields.size(); ++k)
        out += (k ? ", " : "") + QuoteName(key.masterFields[k]);
    out += std::string(") ON UPDATE ") + (key.cascadeUpdate ? "CASCADE" : "RESTRICT") + " ON DELETE RESTRICT;";
    return out;
}

std::string OrphanQuery(const ForeignKeyPlan &key, const std::string &child, const std::string &master, int limit)
{
    std::string columns, set, match;
    for (size_t k = 0; k < key.fields.size(); ++k) {
        const std::string c = "c." + QuoteName(key.fields[k]);
        columns += (k ? ", " : "") + c;
        set += (k ? " AND " : "") + c + " IS NOT NULL";
        match += (k ? " AND " : "") + std::string("m.") + QuoteName(key.masterFields[k]) + " = " + c;
    }
    std::string out = "SELECT " + (limit > 0 ? columns : std::string("COUNT(*)")) + " FROM " + QuoteName(child) +
                      " c WHERE " + set + " AND NOT EXISTS (SELECT 1 FROM " + QuoteName(master) + " m WHERE " + match +
                      ")";
    if (limit > 0)
        out += " LIMIT " + std::to_string(limit);
    return out;
}

std::string SchemaSummary(int indexes, int checks, int foreignKeys, const std::vector<std::string> &leftOut)
{
    std::string text = Plural(indexes, "index", "indexes") + ", " + Plural(checks, "check", "checks") + ", " +
                       Plural(foreignKeys, "foreign key", "foreign keys") + " carried over";
    if (!leftOut.empty()) {
        text += "; " + Plural(int(leftOut.size()), "rule", "rules") + " not (";
        for (size_t k = 0; k < leftOut.size(); ++k)
            text += (k ? "; " : "") + leftOut[k];
        text += ")";
    }
    return text;
}

} // namespace tabulon
