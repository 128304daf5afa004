#include "fs/filelister.h"

#include "common/error.h"
#include "common/nametext.h"
#include "common/text.h"
#include "fs/nativefs.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tabulon {
namespace {

// '*' any run, '?' one element; elements already case-folded.
template <class Str> bool wildcardMatch(const Str &name, const Str &pattern)
{
    std::size_t n = 0, p = 0;
    std::size_t starP = Str::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != Str::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::u32string folded(const std::string &s)
{
    const QList<uint> ucs = QString::fromStdString(s).toCaseFolded().toUcs4();
    return std::u32string(ucs.begin(), ucs.end());
}

// Matches without regard to case; names with non-ASCII letters take the
// slower Unicode case folding.
class CaseBlindPattern {
public:
    explicit CaseBlindPattern(const std::string &pattern)
        : m_ascii(IsAscii(pattern)), m_lower(AsciiLower(pattern)), m_folded(folded(pattern))
    {
    }
    bool matches(const std::string &name) const
    {
        if (m_ascii && IsAscii(name))
            return wildcardMatch(AsciiLower(name), m_lower);
        return wildcardMatch(folded(name), m_folded);
    }

private:
    bool m_ascii;
    std::string m_lower;
    std::u32string m_folded;
};

std::string withSlash(const std::string &folder)
{
    return !folder.empty() && native::IsSeparator(folder.back()) ? folder : folder + "/";
}

} // namespace

std::vector<std::string> ListFiles(const std::string &folder, const std::string &pattern)
{
    std::vector<std::string> names;
    // An empty folder names nothing; it does not mean the root.
    if (folder.empty())
        return names;
    const std::string base = withSlash(folder);
    const CaseBlindPattern match(pattern);
    const int err = native::ListFolder(base, [&](const std::string &name, native::Kind kind) {
        if (kind == native::Kind::Folder || !match.matches(name))
            return;
        if (IsOpenableFile(base + name))
            names.push_back(name);
    });
    if (err == ENOENT || err == ENOTDIR)
        return {};
    if (err != 0)
        throw Error("Could not list the files of the folder " + folder + ": " + std::strerror(err));
    SortByName(names);
    return names;
}

void SortByName(std::vector<std::string> &names)
{
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(names.size());
    for (std::string &name : names) {
        std::string key = IsAscii(name) ? AsciiLower(name) : CaseFolded(name);
        keyed.emplace_back(std::move(key), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end());
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = std::move(keyed[i].second);
}

bool IsOpenableFile(const std::string &path)
{
    // Asks for no access right, so a table the user may not read is still
    // listed and its conversion reports why it cannot be read. Only regular
    // files: a FIFO, socket or device is no table and reading one could block.
    native::Kind kind = native::Kind::Unknown;
    return native::Status(path, kind) == 0 && kind == native::Kind::File;
}

bool IsFolder(const std::string &path)
{
    native::Kind kind = native::Kind::Unknown;
    return native::Status(path, kind) == 0 && kind == native::Kind::Folder;
}

bool HasUnsafeChars(const std::string &name)
{
    for (std::size_t i = 0; i < name.size();) {
        char32_t cp = 0;
        const std::size_t len = NextUtf8Char(name, i, cp);
        if (len == 0 || cp < 32 || cp == '?' || (cp >= 127 && cp <= 159))
            return true;
        i += len;
    }
    return false;
}

} // namespace tabulon
