#include "crc32.h"

#include <array>

namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr auto crcTable = MakeCrcTable();

}  // namespace

std::uint32_t UpdateCrc32(std::uint32_t crc, const unsigned char* data, std::size_t size) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = crcTable[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}
