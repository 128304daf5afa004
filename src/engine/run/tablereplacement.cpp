#include "engine/run/tablereplacement.h"

#include "common/nametext.h"
#include "engine/sqlgen/tabledefinition.h"

namespace tabulon {
namespace {

constexpr std::size_t kNameLimit = 64; // characters, as MySQL counts them

// `table` cut to leave room for `suffix`, at a character's start.
std::string WithSuffix(const std::string &table, const std::string &suffix)
{
    const std::size_t room = kNameLimit - suffix.size();
    std::size_t at = 0, chars = 0;
    while (at < table.size() && chars < room) {
        char32_t cp = 0;
        const std::size_t n = NextUtf8Char(table, at, cp);
        at += n ? n : 1;
        ++chars;
    }
    return table.substr(0, at) + suffix;
}

} // namespace

std::string StagingName(const std::string &table) { return WithSuffix(table, "~tabulon"); }

std::string RetiredName(const std::string &table) { return WithSuffix(table, "~tabulon-old"); }

std::string PutInPlaceStatement(const std::string &table, const std::string &existing)
{
    std::string out = "RENAME TABLE ";
    if (!existing.empty())
        out += QuoteName(existing) + " TO " + QuoteName(RetiredName(table)) + ", ";
    return out + QuoteName(StagingName(table)) + " TO " + QuoteName(table);
}

} // namespace tabulon
