// CRC-32 (the common reflected polynomial 0xEDB88320), so a test can tell which file content
// the stand-in saw when it opened a database.
#pragma once

#include <cstddef>
#include <cstdint>

std::uint32_t UpdateCrc32(std::uint32_t crc, const unsigned char* data, std::size_t size);

inline constexpr std::uint32_t kCrc32Start = 0;
