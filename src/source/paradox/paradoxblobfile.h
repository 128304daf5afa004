#pragma once

#include "source/paradox/readonlyfile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

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
    // modification number) refers to into `out`. Returns false when the file
    // is missing or the value cannot be read from it; then, when `why` is
    // given, says why there (a clause without the file's name). Asked for
    // the first failure only, a table with a missing file costs nothing per
    // value. Throws Error only when the file cannot be read at all (I/O).
    bool read(const unsigned char *pointer, std::string &out, std::string *why);

    // Marks the place named by the first four bytes (offset and index) of a
    // pointer read() accepted as taken; false when an earlier value took it.
    bool claim(uint32_t where);

    // The .mb file, or where it was looked for when it is missing.
    std::string path() const;

private:
    bool open(std::string *why);
    bool readRange(uint64_t offset, size_t n, std::string &out, std::string *why);

    std::string m_dbPath;
    std::string m_path;
    uint32_t m_key;
    bool m_tried = false;
    std::string m_openError;
    std::unique_ptr<ReadOnlyFile> m_file;
    std::string m_scratch;
    std::string m_head;
    // One bit per place: 64 sub-blocks and the whole of each 4 KB block;
    // places off that grid only come from damaged pointers.
    std::vector<bool> m_taken;
    std::unordered_set<uint32_t> m_takenOffGrid;
};

} // namespace tabulon::paradox
