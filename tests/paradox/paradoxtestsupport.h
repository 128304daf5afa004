#pragma once

#include "common/error.h"
#include "data/recordset.h"
#include "source/paradox/paradoxrecordset.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace tabulon::test {

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path() /
                 ("tabulon-paradox-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path &path() const { return m_path; }
    std::string file(const std::string &name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Every value of a table file, row by row.
inline std::vector<std::vector<Value>> ReadRows(const std::string &path)
{
    ParadoxRecordSet rs(path);
    std::vector<std::vector<Value>> rows;
    while (!rs.eof()) {
        std::vector<Value> row;
        for (int j = 0; j < int(rs.fields().size()); ++j)
            row.push_back(rs.value(j));
        rows.push_back(std::move(row));
        rs.moveNext();
    }
    return rows;
}

inline std::string ReadWhole(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteWhole(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// Reads every value of every row; returns the number of rows. Per-value
// errors go to `onValueError` (or fail the test when none is given).
inline int64_t ReadAll(RecordSet &rs, const std::function<void(int64_t, int, const Error &)> &onValueError = {})
{
    int64_t rows = 0;
    const int n = int(rs.fields().size());
    while (!rs.eof()) {
        for (int j = 0; j < n; ++j) {
            try {
                rs.value(j);
            } catch (const Error &e) {
                if (onValueError)
                    onValueError(rows, j, e);
                else
                    ADD_FAILURE() << "row " << rows << " field " << j << ": " << e.what();
            }
        }
        rs.moveNext();
        ++rows;
    }
    return rows;
}

} // namespace tabulon::test
