#pragma once

#include <string>

namespace tabulon {

// The DataTypeEnum constant's name for an ADO type code, or the empty text.
std::string AdoTypeName(int code);

} // namespace tabulon
