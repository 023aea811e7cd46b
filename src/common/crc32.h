// CRC-32 (ISO-HDLC: reflected polynomial 0xEDB88320, initial value and final
// XOR 0xFFFFFFFF), as the mapset description and the map numbers use it.
#pragma once

#include <cstddef>
#include <cstdint>

// The CRC of `size` bytes; pass a previous result as `crc` to continue it.
std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
