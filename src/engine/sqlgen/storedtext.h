#pragma once

#include <string>
#include <string_view>

namespace tabulon {

// How the server gives a column's value back as text, as CONCAT() and
// QUOTE() see it: the written text itself (text, bytes, dates and times in
// their native literals), or a number in the column type's own form.
enum class StoredForm : unsigned char { AsWritten, Integer, Double, Decimal, Unknown };

struct StoredColumn {
    StoredForm form = StoredForm::AsWritten;
    int scale = 0; // DECIMAL(p,scale)
};

// For a column type as the table definition writes it: "DECIMAL(20,4)",
// "VARCHAR(30)", "DOUBLE". Unknown for a type whose text is not known (FLOAT).
StoredColumn StoredColumnOf(std::string_view mysqlType);

// A DOUBLE's text as the server writes it: the shortest digits that read
// back as the same double, "1e15" and "1.5e-16" beyond 15 places.
void AppendStoredDouble(std::string &out, double value);
// Decimal text "[-]digits[.digits]" as DECIMAL(p,scale) keeps it: rounded
// half away from zero, `scale` places; false for any other text.
bool AppendStoredDecimal(std::string &out, std::string_view digits, int scale);

// Reads the literal at tuple[i] (NULL, 'text', X'hex' or a number, as the
// row statements write them), moves i past it and appends what QUOTE()
// gives for the value the column stores: NULL, or the text in quotes with
// \, ', NUL and Ctrl-Z escaped. False when no literal stands there.
bool AppendQuotedStored(std::string &out, std::string_view tuple, std::size_t &i, StoredColumn column);

} // namespace tabulon
