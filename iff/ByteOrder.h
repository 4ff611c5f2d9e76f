// Big-endian reads of IFF integers. Callers check bounds before reading.
#pragma once

#include <cstdint>

namespace vantrel {

inline std::uint16_t readBigEndian16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline std::uint32_t readBigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// A four-character IFF identifier as the big-endian number its bytes make.
constexpr std::uint32_t chunkId(const char (&id)[5]) {
    return (std::uint32_t(std::uint8_t(id[0])) << 24) | (std::uint32_t(std::uint8_t(id[1])) << 16) |
           (std::uint32_t(std::uint8_t(id[2])) << 8) | std::uint32_t(std::uint8_t(id[3]));
}

}  // namespace vantrel
