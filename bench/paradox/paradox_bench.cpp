// Reads and decodes every value of a generated 1,000,000-row, 8-column
// Paradox table and prints the rate.
#include "source/paradox/paradoxrecordset.h"
#include "tools/paradoxwriter.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>

using namespace tabulon;

int main(int argc, char **argv)
{
    const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 1'000'000;
    std::random_device rd;
    const auto dir = std::filesystem::temp_directory_path() / ("tabulon-paradox-bench-" + std::to_string(rd()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "Bench.db").string();
    {
        ParadoxWriter w(path,
                        {{"Id", '+'},
                         {"Name", 'A', 24},
                         {"City", 'A', 16},
                         {"Born", 'D'},
                         {"Amount", '$'},
                         {"Ratio", 'N'},
                         {"Count", 'S'},
                         {"Active", 'L'}},
                        1252, 32);
        std::vector<Value> row(8);
        for (int64_t i = 0; i < rows; ++i) {
            row[0].setNull();
            row[1].setText("Müller-Lüdenscheidt " + std::to_string(i % 1000));
            row[2].setText(i % 3 ? "Zürich" : "Genève");
            row[3].setDateTime(DateTime{20000 + i % 20000, 0});
            row[4].setCurrency(i * 37);
            row[5].setDouble(double(i) / 7.0);
            row[6].setInteger(i % 30000);
            row[7].setBoolean(i & 1);
            w.addRow(row);
        }
        w.finish();
    }
    const auto bytes = std::filesystem::file_size(path);

    double best = 1e9;
    int64_t checksum = 0;
    for (int pass = 0; pass < 3; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        ParadoxRecordSet rs(path);
        const int n = int(rs.fields().size());
        int64_t count = 0;
        while (!rs.eof()) {
            for (int j = 0; j < n; ++j) {
                const Value &v = rs.value(j);
                checksum += int64_t(v.kind()) + int64_t(v.str().size());
            }
            rs.moveNext();
            ++count;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, seconds);
        if (count != rows) {
            std::fprintf(stderr, "read %lld rows, expected %lld\n", (long long)count, (long long)rows);
            return 1;
        }
    }
    std::printf(
        "paradox read: %lld rows x 8 fields, %.1f MB, best of 3: %.3f s = %.0f rows/s, %.1f MB/s (checksum %lld)\n",
        (long long)rows, double(bytes) / 1e6, best, double(rows) / best, double(bytes) / 1e6 / best,
        (long long)checksum);
    std::filesystem::remove_all(dir);
    return 0;
}
