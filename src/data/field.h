#pragma once

#include <string>

namespace tabulon {

// ADO DataTypeEnum codes the data-access layer reports.
namespace AdoType {
inline constexpr int adEmpty = 0, adSmallInt = 2, adInteger = 3, adSingle = 4, adDouble = 5, adCurrency = 6, adDate = 7,
                     adBoolean = 11, adDecimal = 14, adTinyInt = 16, adBigInt = 20, adBinary = 128, adChar = 129,
                     adNumeric = 131, adDBTimeStamp = 135, adVarChar = 200, adLongVarChar = 201, adVarWChar = 202,
                     adLongVarWChar = 203, adVarBinary = 204, adLongVarBinary = 205;
}

struct Field {
    std::string name;  // UTF-8
    int type = 0;      // ADO DataTypeEnum code
    int precision = 0; // 0: unknown
    int scale = 0;
    int definedSize = 0; // bytes in the source record, where known
    char sourceType = 0; // the source's own type letter ('A', 'D', '$' ...); 0: not known
    bool key = false;    // one of the fields of the table's primary key
};

} // namespace tabulon
