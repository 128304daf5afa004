#include "engine/run/listroutines.h"

#include <algorithm>

namespace tabulon {

bool ListContains(const std::vector<std::string> &list, const std::string &text)
{
    const std::string wanted = LowerCase(text);
    return std::any_of(list.begin(), list.end(), [&](const std::string &entry) { return LowerCase(entry) == wanted; });
}

std::string FindListEntry(const std::vector<std::string> &list, const std::string &text)
{
    // A case-sensitive server may hold both "customer" and "CUSTOMER".
    if (std::find(list.begin(), list.end(), text) != list.end())
        return text;
    const std::string wanted = LowerCase(text);
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const std::string &entry) { return LowerCase(entry) == wanted; });
    return it == list.end() ? text : *it;
}

void RemoveListEntry(std::vector<std::string> &list, const std::string &text)
{
    list.erase(std::remove(list.begin(), list.end(), text), list.end());
}

const Value &NullToDefault(const Value &value, const Value &defaultValue)
{
    return value.isNull() ? defaultValue : value;
}

} // namespace tabulon
