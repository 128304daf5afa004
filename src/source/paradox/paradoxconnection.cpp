#include "source/paradox/paradoxconnection.h"

#include "common/error.h"
#include "common/messagehost.h"
#include "common/text.h"
#include "fs/filelister.h"
#include "source/paradox/paradoxrecordset.h"
#include "target/odbcstring.h"

#include <unordered_map>

namespace tabulon {
namespace {

// Blanks around a keyword's value; a folder is taken as written.
constexpr std::string_view kBlanks = " \t\r\n";

class ParadoxConnection : public Connection {
public:
    ParadoxConnection(std::string folder, std::vector<ParadoxTableFile> tables, CodePageChoice codePages)
        : m_folder(std::move(folder)), m_codePages(std::move(codePages))
    {
        for (ParadoxTableFile &t : tables) {
            m_byFoldedName.emplace(CaseFolded(t.name), t.path);
            m_byName.emplace(std::move(t.name), std::move(t.path));
        }
    }

    void execute(const std::string &) override
    {
        throw DbError("The Paradox source is read-only: statements cannot be executed on it. "
                      "Only \"SELECT * FROM `table`\" can be opened.");
    }

    std::unique_ptr<RecordSet> openRecordSet(const std::string &source) override
    {
        if (!m_open)
            throw DbError("The connection to the Paradox folder \"" + m_folder + "\" is closed.", 0,
                          DbError::Kind::ConnectionLost);
        const std::string table = ParadoxTableFromQuery(source);
        const std::string &path = fileOf(table);
        if (path.empty())
            throw DbError("The Paradox table \"" + table + "\" was not found in \"" + m_folder +
                          "\" or its sub-folders. Check that its .db file is there.");
        try {
            return std::make_unique<ParadoxRecordSet>(path, m_codePages.forTable(table));
        } catch (const DbError &) {
            throw;
        } catch (const Error &e) {
            throw DbError(e.what());
        }
    }

    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }

private:
    const std::string &fileOf(const std::string &table) const
    {
        static const std::string none;
        if (auto hit = m_byName.find(table); hit != m_byName.end())
            return hit->second;
        auto hit = m_byFoldedName.find(CaseFolded(table));
        return hit != m_byFoldedName.end() ? hit->second : none;
    }

    std::string m_folder;
    CodePageChoice m_codePages;
    std::unordered_map<std::string, std::string> m_byName;
    std::unordered_map<std::string, std::string> m_byFoldedName;
    bool m_open = true;
};

// The folder of a connection string, checked.
std::string ParadoxFolder(const std::string &connectionString)
{
    std::map<std::string, std::string> entries;
    try {
        entries = ParseOdbcString(connectionString);
    } catch (const Error &e) {
        throw DbError(std::string("Cannot open the Paradox folder: ") + e.what());
    }
    std::string provider, properties, dataSource;
    bool haveSource = false;
    for (const auto &[key, value] : entries) {
        if (key == "PROVIDER")
            provider = Trimmed(value, kBlanks);
        else if (key == "DATA SOURCE") {
            // Exactly as written: a folder may end in a blank.
            dataSource = value;
            haveSource = true;
        } else if (key == "EXTENDED PROPERTIES")
            properties = Trimmed(value, kBlanks);
        else
            throw DbError("Cannot open the Paradox folder: the connection string has the unknown keyword \"" + key +
                          "\".");
    }
    if (!EqualsNoCase(provider, "microsoft.jet.oledb.4.0"))
        throw DbError("Cannot open the Paradox folder: the provider must be \"Microsoft.Jet.OLEDB.4.0\", not \"" +
                      provider + "\".");
    if (!properties.empty() && !EqualsNoCase(properties, "paradox 5.x"))
        throw DbError("Cannot open the Paradox folder: the extended properties must be \"Paradox 5.x\", not \"" +
                      properties + "\".");
    if (!haveSource || dataSource.empty())
        throw DbError("Cannot open the Paradox folder: the connection string names no \"Data Source\" folder.");
    if (!IsFolder(dataSource))
        throw DbError("Cannot open the Paradox folder \"" + dataSource +
                      "\": it does not exist or is not a folder. Choose the folder that holds the .db files.");
    return dataSource;
}

} // namespace

std::string ParadoxTableFromQuery(const std::string &source)
{
    const std::string text = Trimmed(source, kBlanks);
    auto bad = [&]() -> DbError {
        return DbError("The Paradox source only opens whole tables with \"SELECT * FROM `table`\"; it cannot run \"" +
                       source + "\".");
    };
    size_t i = 0;
    auto skipBlanks = [&](bool required) {
        const size_t start = i;
        while (i < text.size() && IsAsciiWhiteSpace(text[i]))
            ++i;
        if (required && i == start)
            throw bad();
    };
    auto keyword = [&](const char *word) {
        const std::string_view w(word);
        if (!EqualsNoCase(std::string_view(text).substr(i, w.size()), w))
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

int CodePageChoice::forTable(const std::string &table) const
{
    const std::string folded = CaseFolded(table);
    for (const auto &[name, number] : tables)
        if (CaseFolded(name) == folded)
            return number;
    return all;
}

const std::vector<int> &ChoosableCodePages()
{
    static const std::vector<int> pages{437,  850,  852,  865, 866, 1250, 1251, 1252,
                                        1253, 1254, 1257, 932, 936, 949,  950};
    return pages;
}

int ParseCodePageChoice(const std::string &text)
{
    const std::string t = AsciiLower(Trimmed(text, kBlanks));
    if (t == "auto" || t.empty())
        return 0;
    for (int number : ChoosableCodePages())
        if (t == std::to_string(number))
            return number;
    std::string list;
    for (int number : ChoosableCodePages())
        list += (list.empty() ? "" : ", ") + std::to_string(number);
    throw Error("\"" + text + "\" is not a code page Paradox writes. Choose auto or one of " + list + ".");
}

std::unique_ptr<Connection> OpenParadoxConnection(const std::string &connectionString, const ConnectionOptions &,
                                                  const CodePageChoice &codePages)
{
    std::string folder = ParadoxFolder(connectionString);
    SilentHost host;
    std::vector<ParadoxTableFile> tables;
    try {
        tables = FindParadoxTables(host, folder);
    } catch (const Error &e) {
        throw DbError("Cannot open the Paradox folder \"" + folder + "\": " + e.what());
    }
    return std::make_unique<ParadoxConnection>(std::move(folder), std::move(tables), codePages);
}

std::unique_ptr<Connection> OpenParadoxConnection(const std::string &connectionString, const ConnectionOptions &,
                                                  std::vector<ParadoxTableFile> tables, const CodePageChoice &codePages)
{
    return std::make_unique<ParadoxConnection>(ParadoxFolder(connectionString), std::move(tables), codePages);
}

} // namespace tabulon
