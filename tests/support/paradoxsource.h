#pragma once

#include "data/connection.h"
#include "source/paradox/paradoxrecordset.h"
#include "tools/paradoxwriter.h"

#include <memory>
#include <string>
#include <vector>

namespace tabulon::test {

// The source: one Paradox file under whatever name it is asked for.
class FileSource : public Connection {
public:
    explicit FileSource(std::string path) : m_path(std::move(path)) {}
    void execute(const std::string &) override { throw DbError("read-only"); }
    std::unique_ptr<RecordSet> openRecordSet(const std::string &) override
    {
        return std::make_unique<ParadoxRecordSet>(m_path);
    }
    void close() override {}
    bool isOpen() const override { return true; }

private:
    std::string m_path;
};

// One field of every Paradox type, for the tables that must carry them all.
inline std::vector<ParadoxFieldDef> EveryFieldType()
{
    return {{"Auto", '+'},      {"Name", 'A', 40},  {"Born", 'D'},    {"Stamp", '@'}, {"Clock", 'T'},
            {"Small", 'S'},     {"Big", 'I'},       {"Price", 'N'},   {"Cash", '$'},  {"Ok", 'L'},
            {"Amount", '#', 2}, {"Notes", 'M', 20}, {"Pic", 'B', 10}, {"Raw", 'Y', 4}};
}

} // namespace tabulon::test
