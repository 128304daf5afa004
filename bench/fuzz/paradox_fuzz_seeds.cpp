// Writes the fuzzer's seed corpus into a folder: small tables of every field
// type from ParadoxWriter, and each fixture table (with its .mb) when the
// fixtures folder is given; beside it, in FOLDER-schema, each fixture table
// with each of its validity and index files for paradox_schema_fuzz.
#include "paradoxfuzzinput.h"

#include "tools/paradoxwriter.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace tabulon;

namespace {

std::string ReadWhole(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteWhole(const fs::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// Seeds stay small so that mutations reach every part of them.
constexpr size_t kMaxSeed = 200'000;

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER [FIXTURES_FOLDER]\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    fs::create_directories(out);
    const fs::path scratch = out / ".scratch";
    fs::create_directories(scratch);
    int seeds = 0;

    const std::vector<ParadoxFieldDef> all{{"A", 'A', 12}, {"D", 'D'},     {"T", 'T'}, {"@", '@'},     {"S", 'S'},
                                           {"I", 'I'},     {"+", '+'},     {"N", 'N'}, {"$", '$'},     {"L", 'L'},
                                           {"#", '#', 3},  {"M", 'M', 14}, {"F", 'F'}, {"B", 'B', 12}, {"G", 'G'},
                                           {"O", 'O'},     {"Y", 'Y', 4}};
    for (int variant = 0; variant < 4; ++variant) {
        const fs::path db = scratch / "w.db";
        {
            ParadoxWriter w(db.string(), all, variant == 3 ? 866 : 1252, variant == 2 ? 2 : 1);
            for (int i = 0; i < 3 + variant * 20; ++i) {
                if (i % 5 == 4) {
                    w.addRow(std::vector<Value>(all.size(), Value::null()));
                    continue;
                }
                w.addRow({Value::text("row " + std::to_string(i)), Value::dateTime(DateTime{40000 + i, 0}),
                          Value::dateTime(DateTime{0, i * 1000}), Value::dateTime(DateTime{40000 + i, i * 1000}),
                          Value::integer(-i), Value::integer(i * 1000), Value::null(), Value::real(i / 3.0),
                          Value::currency(i * 125), Value::boolean(i & 1),
                          Value::decimal("-" + std::to_string(i) + ".125"),
                          Value::text(std::string(size_t(i * 37 % 3000), 'm')),
                          Value::bytes(std::string(size_t(i * 11), 'f')), Value::bytes("b"),
                          Value::bytes(std::string(size_t(20 + i), 'g')), Value::bytes("ole"), Value::bytes("yyyy")});
            }
            w.finish();
        }
        const fs::path mb = scratch / "w.mb";
        WriteWhole(out / ("writer-" + std::to_string(variant)), fuzz::PackInput(ReadWhole(db), ReadWhole(mb)));
        ++seeds;
    }

    if (argc > 2 && fs::is_directory(argv[2])) {
        for (const auto &entry : fs::recursive_directory_iterator(argv[2])) {
            if (!entry.is_regular_file() || Lower(entry.path().extension().string()) != ".db")
                continue;
            std::string db = ReadWhole(entry.path());
            std::string mb;
            for (const auto &other : fs::directory_iterator(entry.path().parent_path())) {
                if (Lower(other.path().filename().string()) == Lower(entry.path().stem().string()) + ".mb")
                    mb = ReadWhole(other.path());
            }
            if (db.size() > kMaxSeed)
                continue;
            if (db.size() + mb.size() > kMaxSeed)
                mb.resize(kMaxSeed - db.size());
            WriteWhole(out / ("fixture-" + std::to_string(seeds)), fuzz::PackInput(db, mb));
            ++seeds;
            // For the companion-file target: the table with each of its .VAL
            // and index files, in a corpus of its own.
            for (const auto &other : fs::directory_iterator(entry.path().parent_path())) {
                const std::string ext = Lower(other.path().extension().string());
                if (Lower(other.path().stem().string()) != Lower(entry.path().stem().string()) ||
                    !(ext == ".val" || (ext.size() == 4 && ext[1] == 'x')))
                    continue;
                fs::create_directories(out.string() + "-schema");
                WriteWhole(fs::path(out.string() + "-schema") / ("fixture-" + std::to_string(seeds)),
                           fuzz::PackInput(db, ReadWhole(other.path())));
                ++seeds;
            }
        }
    }
    fs::remove_all(scratch);
    std::printf("%d seeds in %s\n", seeds, out.string().c_str());
    return 0;
}
