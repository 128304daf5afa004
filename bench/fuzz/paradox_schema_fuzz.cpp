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

using tabulon::fuzz::ScratchFolder;
using tabulon::fuzz::WriteFile;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string db, companion;
    tabulon::fuzz::UnpackInput(data, size, db, companion);
    WriteFile(ScratchFolder() / "F.db", db);
    WriteFile(ScratchFolder() / "F.VAL", companion);
    WriteFile(ScratchFolder() / "F.XG0", companion);
    const tabulon::TableSchema schema = tabulon::paradox::ReadParadoxSchema((ScratchFolder() / "F.db").string(), 0);
    volatile size_t sink = schema.notes.size() + schema.indexes.size() + schema.checks.size();
    (void)sink;
    return 0;
}
