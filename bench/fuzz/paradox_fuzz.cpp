// Feeds arbitrary bytes to the Paradox reader as a .db and its .mb and
// reads every value. Errors are fine; crashes, hangs and bad reads are not.
#include "paradoxfuzzinput.h"

#include "common/error.h"
#include "source/paradox/paradoxrecordset.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

const std::filesystem::path &Folder()
{
    // Files in memory: on a disk every run waits for the kernel (20x slower).
    static const std::filesystem::path folder = [] {
        std::error_code ec;
        const auto base = std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                                        : std::filesystem::temp_directory_path();
        auto p = base / ("tabulon-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(p);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Folder(), ignored);
        });
        return p;
    }();
    return folder;
}

void Write(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string db, mb;
    tabulon::fuzz::UnpackInput(data, size, db, mb);
    const auto dbPath = Folder() / "F.db";
    const auto mbPath = Folder() / "F.mb";
    Write(dbPath, db);
    std::error_code ec;
    if (mb.empty())
        std::filesystem::remove(mbPath, ec);
    else
        Write(mbPath, mb);
    try {
        tabulon::ParadoxRecordSet rs(dbPath.string());
        const int n = int(rs.fields().size());
        size_t sink = 0;
        int64_t rows = 0;
        while (!rs.eof()) {
            for (int j = 0; j < n; ++j) {
                try {
                    sink += rs.value(j).str().size();
                } catch (const tabulon::Error &) {
                }
            }
            rs.moveNext();
            ++rows;
        }
        (void)sink;
        // What the reader lost must add up, and every count must come with
        // the words that tell it.
        const tabulon::ReadAccount &a = rs.account();
        if (a.rowsRead != rows || a.nullValues > rows * n || (a.damagedBlocks > 0 && a.damage.empty()) ||
            (a.nullValues > 0 && (a.nullFault.empty() || a.nullFile.empty())))
            std::abort();
    } catch (const tabulon::Error &) {
    }
    return 0;
}
