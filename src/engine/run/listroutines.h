#pragma once

#include "common/text.h"
#include "data/value.h"

#include <string>
#include <vector>

namespace tabulon {

// True when an entry equals the text once both are lower-cased.
bool ListContains(const std::vector<std::string> &list, const std::string &text);

// The entry equal to the text; else the first that ListContains would
// match; else the text itself.
std::string FindListEntry(const std::vector<std::string> &list, const std::string &text);

// Removes every entry equal to the text (case-sensitive).
void RemoveListEntry(std::vector<std::string> &list, const std::string &text);

// The default when the value is Null, else the value itself.
const Value &NullToDefault(const Value &value, const Value &defaultValue);

} // namespace tabulon
