// Fixed-width integers in the byte orders the table files use.
#pragma once
#include <cstdint>

namespace db {

inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) { return uint32_t(Le16(p)) | uint32_t(Le16(p + 2)) << 16; }
inline uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
inline void PutLe16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void PutLe32(uint8_t* p, uint32_t v) { PutLe16(p, uint16_t(v)); PutLe16(p + 2, uint16_t(v >> 16)); }
inline void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}

}  // namespace db
