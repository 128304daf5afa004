#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

// One fuzz input holds a table and its memo file: a 4-byte little-endian
// length, that many bytes of .db, and the rest as the .mb (none when empty).
namespace tabulon::fuzz {

inline std::string PackInput(const std::string &db, const std::string &mb)
{
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[size_t(i)] = char((db.size() >> (8 * i)) & 0xFF);
    return out + db + mb;
}

inline void UnpackInput(const uint8_t *data, size_t size, std::string &db, std::string &mb)
{
    if (size < 4) {
        db.assign(reinterpret_cast<const char *>(data), size);
        mb.clear();
        return;
    }
    size_t n = size_t(data[0]) | size_t(data[1]) << 8 | size_t(data[2]) << 16 | size_t(data[3]) << 24;
    n = std::min(n, size - 4);
    db.assign(reinterpret_cast<const char *>(data + 4), n);
    mb.assign(reinterpret_cast<const char *>(data + 4 + n), size - 4 - n);
}

// A scratch folder of this process's, in memory where it can be: on a disk
// every run waits for the kernel (20x slower). Removed at exit.
inline const std::filesystem::path &ScratchFolder()
{
    static const std::filesystem::path folder = [] {
        std::error_code ec;
        const auto base = std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                                        : std::filesystem::temp_directory_path();
        auto p = base / ("tabulon-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(p);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchFolder(), ignored);
        });
        return p;
    }();
    return folder;
}

inline void WriteFile(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

} // namespace tabulon::fuzz
