#include "engine/listroutines.h"

#include <QString>

#include <algorithm>

namespace tabulon {

std::string LowerCase(const std::string &text)
{
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii)
        return QString::fromStdString(text).toLower().toStdString();
    std::string out = text;
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool ListContains(const std::vector<std::string> &list, const std::string &text)
{
    const std::string wanted = LowerCase(text);
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string &entry) { return LowerCase(entry) == wanted; });
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
