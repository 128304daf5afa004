// Feeds arbitrary bytes to the readers of the files beside a table: the
// input's table as F.db, its second part as F.VAL and as F.XG0. Notes are
// fine; crashes, hangs and bad reads are not.
#include "paradoxfuzzinput.h"

#include "source/paradox/paradoxschema.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

const std::filesystem::path &Folder()
{
    static const std::filesystem::path folder = [] {
        std::error_code ec;
        const auto base = std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                                        : std::filesystem::temp_directory_path();
        auto p = base / ("tabulon-schema-fuzz-" + std::to_string(getpid()));
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
    std::string db, companion;
    tabulon::fuzz::UnpackInput(data, size, db, companion);
    Write(Folder() / "F.db", db);
    Write(Folder() / "F.VAL", companion);
    Write(Folder() / "F.XG0", companion);
    const tabulon::TableSchema schema = tabulon::paradox::ReadParadoxSchema((Folder() / "F.db").string(), 0);
    volatile size_t sink = schema.notes.size() + schema.indexes.size() + schema.checks.size();
    (void)sink;
    return 0;
}
