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

using tabulon::fuzz::ScratchFolder;
using tabulon::fuzz::WriteFile;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string db, mb;
    tabulon::fuzz::UnpackInput(data, size, db, mb);
    const auto dbPath = ScratchFolder() / "F.db";
    const auto mbPath = ScratchFolder() / "F.mb";
    WriteFile(dbPath, db);
    std::error_code ec;
    if (mb.empty())
        std::filesystem::remove(mbPath, ec);
    else
        WriteFile(mbPath, mb);
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
