#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabulon::paradox {

// A file opened for reading only, read at explicit offsets. A source file is
// never opened for writing, so a conversion cannot alter it. One
// implementation per platform: readonlyfile_posix.cpp, readonlyfile_win.cpp.
class ReadOnlyFile {
public:
    // Throws Error naming the file and the system's reason.
    explicit ReadOnlyFile(const std::string &path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    const std::string &path() const { return m_path; }
    uint64_t size() const { return m_size; }
    // Reads up to `n` bytes at `offset`; returns how many there were (fewer
    // only at the end of the file). Throws Error when the read fails.
    size_t readAt(uint64_t offset, void *buffer, size_t n) const;

private:
    std::string m_path;
    std::intptr_t m_handle = -1; // a descriptor, or a Windows HANDLE
    uint64_t m_size = 0;
};

} // namespace tabulon::paradox
