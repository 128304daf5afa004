#pragma once

#include <cstdint>
#include <string_view>

namespace tabulon {

// The CRC-32 of zlib and of MySQL's CRC32(): reflected polynomial
// 0xEDB88320. `crc` is a previous result, so a text can be fed in pieces.
uint32_t Crc32(std::string_view bytes, uint32_t crc = 0);

} // namespace tabulon
