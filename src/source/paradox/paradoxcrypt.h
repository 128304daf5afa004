#pragma once

#include <cstddef>
#include <cstdint>

namespace tabulon::paradox {

// Password-protected tables scramble every data block of the .db and the
// whole .mb in 256-byte chunks keyed by the header's checksum; reading them
// needs no password.
void DecryptDataBlock(unsigned char *block, size_t size, uint32_t key, uint32_t blockNumber);
void DecryptBlobChunks(unsigned char *data, size_t size, uint32_t key);

} // namespace tabulon::paradox
