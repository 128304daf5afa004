#include "source/paradox/paradoxschema.h"

#include "common/error.h"
#include "source/paradox/paradoxindexfile.h"
#include "source/paradox/paradoxtable.h"
#include "source/paradox/paradoxvalidity.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include <QString>

namespace tabulon::paradox {
namespace {

std::string Folded(const std::string &s) { return QString::fromStdString(s).toCaseFolded().toStdString(); }

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// ".X02", ".x0c", ".XG0": a secondary index file (its .Y companion is the
// index's own index, not needed here).
bool IsIndexExtension(const std::string &ext)
{
    return ext.size() == 4 && (ext[1] == 'x' || ext[1] == 'X') &&
           ((ext[2] == 'g' || ext[2] == 'G') ? IsHex(ext[3]) : IsHex(ext[2]) && IsHex(ext[3]));
}

} // namespace

TableSchema ReadParadoxSchema(const std::string &path, int codePage)
{
    TableSchema schema;
    namespace fs = std::filesystem;
    const fs::path table(path);
    const std::string stem = Folded(table.stem().string());
    std::vector<fs::path> indexFiles, validityFiles;
    std::vector<fs::path> neighbours;
    std::error_code ec;
    for (fs::directory_iterator it(table.parent_path().empty() ? fs::path(".") : table.parent_path(), ec), end;
         !ec && it != end; it.increment(ec)) {
        const fs::path &p = it->path();
        neighbours.push_back(p);
        if (Folded(p.stem().string()) != stem)
            continue;
        const std::string ext = p.extension().string();
        if (IsIndexExtension(ext))
            indexFiles.push_back(p);
        else if (Folded(ext) == ".val")
            validityFiles.push_back(p);
    }
    if (indexFiles.empty() && validityFiles.empty())
        return schema;
    std::sort(indexFiles.begin(), indexFiles.end());

    std::unique_ptr<ParadoxTable> own;
    try {
        own = std::make_unique<ParadoxTable>(path);
        own->useCodePage(codePage);
    } catch (const Error &e) {
        schema.notes.push_back(e.what());
        return schema;
    }
    for (const fs::path &p : indexFiles) {
        try {
            schema.indexes.push_back(ReadIndexFile(p.string(), *own));
        } catch (const Error &e) {
            schema.notes.push_back(std::string(e.what()) + " Its index is left out.");
        }
    }
    if (validityFiles.size() > 1)
        schema.notes.push_back("The table has " + std::to_string(validityFiles.size()) +
                               " validity files whose names differ only in case; only \"" +
                               validityFiles.front().string() + "\" is read.");
    if (validityFiles.empty())
        return schema;
    ValidityFile validity;
    try {
        validity = ReadValidityFile(validityFiles.front().string(), *own);
    } catch (const Error &e) {
        schema.notes.push_back(std::string(e.what()) + " Its checks and referential rules are left out.");
        return schema;
    }
    schema.checks = std::move(validity.checks);
    schema.notes.insert(schema.notes.end(), validity.notes.begin(), validity.notes.end());
    for (ValidityReference &ref : validity.references) {
        // Paradox keeps a master in the child's folder.
        const std::string want = Folded(ref.rule.masterTable);
        const auto master = std::find_if(neighbours.begin(), neighbours.end(), [&](const fs::path &p) {
            return Folded(p.stem().string()) == want && Folded(p.extension().string()) == ".db";
        });
        if (master == neighbours.end()) {
            schema.notes.push_back("Referential rule \"" + ref.rule.name + "\": its master table " +
                                   ref.rule.masterTable + " is not beside the table; the rule is left out.");
            continue;
        }
        try {
            const ParadoxTable masterTable(master->string());
            const auto &fields = masterTable.fields();
            for (int number : ref.masterFieldNumbers) {
                if (size_t(number) > fields.size())
                    throw Error("the master has no field " + std::to_string(number));
                ref.rule.masterFields.push_back(fields[size_t(number - 1)].name);
            }
        } catch (const Error &e) {
            schema.notes.push_back("Referential rule \"" + ref.rule.name + "\": its master table " +
                                   ref.rule.masterTable + " cannot be read (" + e.what() + "); the rule is left out.");
            continue;
        }
        ref.rule.masterTable = master->stem().string();
        schema.references.push_back(std::move(ref.rule));
    }
    return schema;
}

} // namespace tabulon::paradox
