#pragma once

#include "source/paradox/readonlyfile.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tabulon::paradox {

// The .mb file beside a table: memo and blob values too long for the record.
// Opened on first use; a missing or damaged file fails only the values that
// need it.
class ParadoxBlobFile {
public:
    // `dbPath` is the table file; the .mb is looked for beside it without
    // regard to case. `key` is the table's encryption key, 0 when none.
    ParadoxBlobFile(std::string dbPath, uint32_t key);

    // Reads the value a record's 10-byte pointer (offset and index, length,
    // modification number) refers to into `out`. Throws Error naming the .mb
    // and what is wrong; `field` names the field in that text.
    void read(const unsigned char *pointer, std::string &out, const std::string &field);

private:
    void open(const std::string &field);
    void readRange(uint64_t offset, size_t n, std::string &out, const std::string &field);
    [[noreturn]] void fail(const std::string &field, const std::string &what) const;

    std::string m_dbPath;
    std::string m_path;
    uint32_t m_key;
    bool m_tried = false;
    std::string m_openError;
    std::unique_ptr<ReadOnlyFile> m_file;
    std::string m_scratch;
};

} // namespace tabulon::paradox
