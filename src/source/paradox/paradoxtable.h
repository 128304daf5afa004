#pragma once

#include "data/field.h"
#include "data/recordset.h"
#include "data/value.h"
#include "source/paradox/paradoxblobfile.h"
#include "source/paradox/readonlyfile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tabulon::paradox {

class CodePage;

// Field type bytes of the table header.
enum FieldType : uint8_t {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Money = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FormattedMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoIncrement = 0x16,
    Bcd = 0x17,
    Bytes = 0x18
};

struct ParadoxField {
    std::string name; // UTF-8
    uint8_t type = 0;
    int size = 0;     // bytes in the record
    int decimals = 0; // BCD only
    int offset = 0;   // within the record
};

// One Paradox table file (.db), read-only. Streams its records in the order
// of the chain of data blocks (key order for a keyed table), one block in
// memory at a time. A damaged header is an Error naming the file; damage in
// the data blocks ends or skips part of the chain and is counted in
// account(), as are memo and blob values that cannot be read. Nothing is
// ever read from outside what was read from the file.
class ParadoxTable {
public:
    // Opens the table and checks its header. Throws Error.
    explicit ParadoxTable(const std::string &path);
    ~ParadoxTable();

    const std::string &path() const { return m_file.path(); }
    // 30, 35, 40, 50 or 70.
    int version() const { return m_version; }
    // The code page text and field names are read in; the header's until
    // useCodePage().
    int codePage() const;
    int headerCodePage() const { return m_account.headerCodePage; }
    void useCodePage(int number);
    // From the current position on (a fresh table reads them all): the raw
    // bytes of Alpha and Memo values and field names that hold a byte above
    // 127, each ended by '\n', until `limit` bytes are collected or
    // `scanLimit` bytes of text were looked at.
    std::string textSample(size_t limit, size_t scanLimit);
    bool isKeyed() const { return m_keyed; }
    // The first keyFieldCount() fields form the key of a keyed table.
    int keyFieldCount() const { return m_keyFields; }
    bool isEncrypted() const { return m_key != 0; }
    int blockSize() const { return m_blockSize; }
    int recordSize() const { return m_recordSize; }
    // The header's count, known before any record is read.
    int64_t recordCount() const { return m_recordCount; }
    const std::vector<ParadoxField> &fields() const { return m_fields; }
    // The fields as the data-access layer reports them (ADO types).
    std::vector<Field> adoFields() const;

    // Moves to the next record; false after the last. Throws Error only
    // when the file cannot be read (I/O).
    bool next();
    const unsigned char *record() const { return m_record; }
    // Decodes field `j` of the current record into `v`, reusing its buffer.
    // Throws Error when the record's bytes are no valid value of the type.
    // A memo or blob value that cannot be read from the .mb (missing or
    // damaged) is NULL, counted in account().
    void decode(int j, Value &v);
    // The same for bytes in the form of field `j` kept elsewhere (a
    // validity file's minimum, maximum or default).
    void decodeAt(int j, const unsigned char *bytes, Value &v);

    const ReadAccount &account() const { return m_account; }

private:
    [[noreturn]] void damaged(const std::string &what) const;
    template <class Text> void noteDamage(Text &&text);
    void readHeader();
    void nameFieldsApart();
    void loadBlock(uint32_t number);
    void decodeBlob(const ParadoxField &f, const unsigned char *p, Value &v);
    bool claimBlob(int field, uint32_t where);

    ReadOnlyFile m_file;
    int m_version = 0;
    bool m_keyed = false;
    int m_keyFields = 0;
    uint32_t m_key = 0;
    int m_recordSize = 0;
    int m_headerSize = 0;
    int m_blockSize = 0;
    int64_t m_recordCount = 0;
    uint32_t m_firstBlock = 0;
    uint32_t m_blocksInFile = 0;
    const CodePage *m_codePage = nullptr;
    std::vector<ParadoxField> m_fields;
    std::vector<std::string> m_rawNames;
    int m_nameFaults = 0;
    std::string m_nameFault;

    std::vector<unsigned char> m_block;
    std::vector<bool> m_visited;
    uint32_t m_currentBlock = 0;
    uint32_t m_nextBlock = 0;
    // Set after a damaged block: its next pointer is followed only when the
    // block it names links back to it.
    bool m_verifyLink = false;
    int m_recordsInBlock = 0;
    int m_recordIndex = 0;
    const unsigned char *m_record = nullptr;
    bool m_started = false;

    ParadoxBlobFile m_blobs;
    std::string m_blobData;
    int64_t m_claimRow = -1;
    std::vector<std::pair<int, uint32_t>> m_rowClaims;
    ReadAccount m_account;
};

} // namespace tabulon::paradox
