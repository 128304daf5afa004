#include "source/paradox/paradoxconnection.h"

#include "common/messagehost.h"
#include "fs/filelister.h"
#include "fs/subfolderwalk.h"
#include "source/paradox/paradoxrecordset.h"
#include "source/paradoxsource.h"

#include <cctype>
#include <vector>

namespace tabulon {
namespace {

std::string trimmed(const std::string &s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Folder walks for a table lookup report nothing: a sub-folder that cannot
// be read just holds no table.
class SilentHost : public MessageHost {
public:
    void showApplicationError(const std::string &) override {}
    bool askYesNo(const std::string &, const std::string &) override { return false; }
    void inform(const std::string &, const std::string &) override {}
};

std::string findIn(const std::string &folder, const std::string &wanted)
{
    for (const std::string &name : ListFiles(folder, "*.db")) {
        if (!name.empty() && name.front() != '~' && ParadoxTableName(name) == wanted)
            return folder + name;
    }
    return {};
}

class ParadoxConnection : public Connection {
public:
    explicit ParadoxConnection(std::string folder) : m_folder(std::move(folder)) {}

    void execute(const std::string &) override
    {
        throw DbError("The Paradox source is read-only: statements cannot be executed on it. "
                      "Only \"SELECT * FROM `table`\" can be opened.");
    }

    std::unique_ptr<RecordSet> openRecordSet(const std::string &source) override
    {
        if (!m_open)
            throw DbError("The connection to the Paradox folder \"" + m_folder + "\" is closed.", 0, true);
        const std::string table = ParadoxTableFromQuery(source);
        const std::string path = FindParadoxTableFile(m_folder, table);
        if (path.empty())
            throw DbError("The Paradox table \"" + table + "\" was not found in \"" + m_folder +
                          "\" or its sub-folders. Check that its .db file is there.");
        try {
            return std::make_unique<ParadoxRecordSet>(path);
        } catch (const DbError &) {
            throw;
        } catch (const Error &e) {
            throw DbError(e.what());
        }
    }

    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }

private:
    std::string m_folder;
    bool m_open = true;
};

} // namespace

std::string ParadoxTableFromQuery(const std::string &source)
{
    const std::string text = trimmed(source);
    auto bad = [&]() -> DbError {
        return DbError("The Paradox source only opens whole tables with \"SELECT * FROM `table`\"; it cannot run \"" +
                       source + "\".");
    };
    size_t i = 0;
    auto skipBlanks = [&](bool required) {
        const size_t start = i;
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (required && i == start)
            throw bad();
    };
    auto keyword = [&](const char *word) {
        const std::string w(word);
        if (lower(text.substr(i, w.size())) != lower(w))
            throw bad();
        i += w.size();
    };
    keyword("select");
    skipBlanks(true);
    keyword("*");
    skipBlanks(true);
    keyword("from");
    skipBlanks(true);
    if (i >= text.size() || text[i] != '`')
        throw bad();
    ++i;
    std::string name;
    for (;;) {
        if (i >= text.size())
            throw bad();
        if (text[i] == '`') {
            if (i + 1 < text.size() && text[i + 1] == '`') {
                name.push_back('`');
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        name.push_back(text[i++]);
    }
    if (i != text.size() || name.empty())
        throw bad();
    return name;
}

std::string FindParadoxTableFile(const std::string &folder, const std::string &table)
{
    const std::string wanted = ParadoxTableName(table);
    std::vector<std::string> folders{folder.empty() || folder.back() != '/' ? folder + "/" : folder};
    if (std::string hit = findIn(folders.front(), wanted); !hit.empty())
        return hit;
    SilentHost host;
    GetSubDirectories2016(host, folders, true);
    for (size_t k = 1; k < folders.size(); ++k) {
        if (std::string hit = findIn(folders[k], wanted); !hit.empty())
            return hit;
    }
    return {};
}

std::unique_ptr<Connection> OpenParadoxConnection(const std::string &connectionString, const ConnectionOptions &)
{
    std::string provider, dataSource, properties;
    bool haveSource = false;
    size_t start = 0;
    while (start <= connectionString.size()) {
        size_t end = connectionString.find(';', start);
        if (end == std::string::npos)
            end = connectionString.size();
        const std::string part = trimmed(connectionString.substr(start, end - start));
        start = end + 1;
        if (part.empty())
            continue;
        const size_t eq = part.find('=');
        if (eq == std::string::npos)
            throw DbError("Cannot open the Paradox folder: \"" + part + "\" in the connection string has no \"=\".");
        const std::string key = lower(trimmed(part.substr(0, eq)));
        const std::string value = trimmed(part.substr(eq + 1));
        if (key == "provider")
            provider = value;
        else if (key == "data source") {
            dataSource = value;
            haveSource = true;
        } else if (key == "extended properties")
            properties = value;
        else
            throw DbError("Cannot open the Paradox folder: the connection string has the unknown keyword \"" +
                          trimmed(part.substr(0, eq)) + "\".");
    }
    if (lower(provider) != "microsoft.jet.oledb.4.0")
        throw DbError("Cannot open the Paradox folder: the provider must be \"Microsoft.Jet.OLEDB.4.0\", not \"" +
                      provider + "\".");
    if (!properties.empty() && lower(properties) != "paradox 5.x")
        throw DbError("Cannot open the Paradox folder: the extended properties must be \"Paradox 5.x\", not \"" +
                      properties + "\".");
    if (!haveSource || dataSource.empty())
        throw DbError("Cannot open the Paradox folder: the connection string names no \"Data Source\" folder.");
    if (!IsFolder(dataSource))
        throw DbError("Cannot open the Paradox folder \"" + dataSource +
                      "\": it does not exist or is not a folder. Choose the folder that holds the .db files.");
    return std::make_unique<ParadoxConnection>(dataSource);
}

} // namespace tabulon
