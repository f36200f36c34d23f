// The settings record "KWVAROZE.CFG": 1050 bytes, little-endian, unaligned,
// text slots of 255 bytes in CP1250.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kParamsSize = 1050;
constexpr uint32_t kParamsMagic = 0x5F3E4A05;
constexpr size_t kParamsSlotSize = 255;
constexpr const char* kParamsFileName = "KWVAROZE.CFG";

// Offsets of the fields in the record.
enum ParamsOffset : size_t {
  PAR_MAGIC = 0,
  PAR_FONT = 4,            // text slot: font face
  PAR_FOLDER = 259,        // text slot: work folder
  PAR_FONTSIZE = 514,      // int32: font size in points
  PAR_TOP = 518,           // int32 margins in micrometres
  PAR_LEFT = 522,
  PAR_BOTTOM = 526,
  PAR_RIGHT = 530,
  PAR_PRINTTOFILE = 534,   // byte: 1 on, 0 off
  PAR_OEMCODEPAGE = 535,   // byte
  PAR_LINEINTERVAL = 536,  // int32: percent
  PAR_PRINTER = 540,       // text slot: printer name
  PAR_PRNTYPE = 795,       // text slot: printer type
};

using ParamsRecord = std::array<uint8_t, kParamsSize>;

// Fills a 255-byte slot with zeros, then copies the string's CP1250 bytes
// (at most 254, so the slot always keeps a terminating zero).
void PParPutStr(uint8_t* slot, const std::string& text);
// The slot's bytes up to the first zero (or to the slot's end), as UTF-8.
std::string PParGetStr(const uint8_t* slot);

int32_t ParamsGetLong(const ParamsRecord& rec, size_t offset);
void ParamsPutLong(ParamsRecord& rec, size_t offset, int32_t value);
uint32_t ParamsMagic(const ParamsRecord& rec);

// Zeros, then the defaults: font size 10, margins 10/20/10/10 mm, line
// interval 100, printer type " ". The magic number is set only on saving.
void ParamsSetDefaults(ParamsRecord& rec);

enum class ParamsRead { Missing, OpenFailed, Invalid, Ok };
// Reads up to 1050 bytes (a shorter file leaves zeros); `rec` is replaced
// only when the result is Ok.
ParamsRead ReadParamsFile(const std::string& path, ParamsRecord& rec);
// Replaces the file atomically (temporary file in the same folder, flushed,
// renamed over it). False when it cannot be written; the old file then stays.
bool WriteParamsFile(const std::string& path, const ParamsRecord& rec);
