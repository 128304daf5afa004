#pragma once

#include "data/value.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tabulon {

// One field of a table to write.
//   type: a Paradox field type letter:
//     'A' Alpha        size 1..255 (bytes in the table's code page)
//     'D' Date  'T' Time  '@' Timestamp          value: DateTime
//     'S' Short  'I' Long Integer  '+' Autoincrement   value: Integer
//     'N' Number                                  value: Double (or Integer)
//     '$' Money                                   value: Currency (or Double, Integer)
//     'L' Logical                                 value: Boolean
//     '#' BCD          size = decimal places 0..32  value: Decimal text "[-]digits[.digits]"
//     'M' Memo                                    value: Text (UTF-8)
//     'F' Formatted memo  'B' Binary  'G' Graphic  'O' OLE   value: Bytes
//     'Y' Bytes        size 1..255                value: Bytes (padded with zeros)
//   size: for memo and blob types the bytes the field takes in the record
//   (10..250; 10 by default): the first size-10 bytes of each value are
//   kept in the record, the rest in the .mb file. Ignored for fixed types.
struct ParadoxFieldDef {
    std::string name;
    char type = 'A';
    int size = 0;
};

// Writes a version 7 Paradox table (.db, non-keyed) and, when it has memo
// or blob fields, its .mb, one row at a time: only the current data block
// is held in memory, so tables of millions of rows are fine.
//
//     ParadoxWriter w(dir + "/People.db", {{"Name", 'A', 30}, {"Born", 'D'}, {"Notes", 'M', 20}});
//     w.addRow({Value::text("Zoë"), Value::dateTime(DateTime::fromCivil(1970, 5, 1)), Value::null()});
//     w.finish();
//
// Null and Empty values are written blank (all-zero bytes), which is how
// Paradox stores a missing value; an Autoincrement field left blank gets
// the next number. Text is UTF-8 and is stored in the table's code page.
// Every method throws Error (naming the file, field and row) when a value
// does not fit its field or the file cannot be written.
class ParadoxWriter {
public:
    ParadoxWriter(const std::string &dbPath, std::vector<ParadoxFieldDef> fields, int codePage = 1252,
                  int blockSizeKb = 4);
    // Finishes the table if finish() was not called; errors are then lost.
    ~ParadoxWriter();
    ParadoxWriter(const ParadoxWriter &) = delete;
    ParadoxWriter &operator=(const ParadoxWriter &) = delete;

    // One value per field, in field order.
    void addRow(const std::vector<Value> &row);
    // Writes the last block and the final header, closes the files.
    void finish();

    int64_t rowCount() const { return m_rows; }
    int recordSize() const { return m_recordSize; }

private:
    struct FieldLayout;
    class BlobWriter;

    [[noreturn]] void fail(const std::string &what) const;
    void encodeValue(const FieldLayout &f, const Value &v, unsigned char *out);
    void encodeBlob(const FieldLayout &f, const Value &v, unsigned char *out);
    void flushBlock(bool last);
    std::vector<unsigned char> header() const;

    std::string m_path;
    std::vector<FieldLayout> m_fields;
    int m_codePage;
    int m_blockSize;
    int m_recordSize = 0;
    int m_recordsPerBlock = 0;
    int m_headerSize = 0;
    std::FILE *m_file = nullptr;
    std::unique_ptr<BlobWriter> m_blobs;
    std::vector<unsigned char> m_block;
    int m_inBlock = 0;
    uint32_t m_blocks = 0;
    int64_t m_rows = 0;
    int32_t m_autoIncrement = 0;
    bool m_finished = false;
    std::string m_scratch;
};

} // namespace tabulon
