// Byte layout of a cabinet, shared by the writer and the reader of the
// cabinet engine. Internal: not part of the library's interface.
//
//   CFHEADER (36 bytes)
//     0 "MSCF"  4 reserved  8 cbCabinet  12 reserved  16 coffFiles
//     20 reserved  24 versionMinor (3)  25 versionMajor (1)  26 cFolders
//     28 cFiles  30 flags  32 setID  34 iCabinet
//   [flags & RESERVE_PRESENT] cbCFHeader u16, cbCFFolder u8, cbCFData u8,
//                             then cbCFHeader bytes
//   [flags & PREV_CABINET] szCabinetPrev, szDiskPrev (terminated)
//   [flags & NEXT_CABINET] szCabinetNext, szDiskNext (terminated)
//   CFFOLDER x cFolders: coffCabStart u32, cCFData u16, typeCompress u16,
//                        cbCFFolder reserved bytes
//   CFFILE x cFiles (at coffFiles): cbFile u32, uoffFolderStart u32,
//                        iFolder u16, date u16, time u16, attribs u16, szName
//   CFDATA x cCFData per folder (at coffCabStart): csum u32, cbData u16,
//                        cbUncomp u16, cbCFData reserved bytes, cbData bytes
// All numbers little-endian. An MSZIP block is "CK" then deflate data; it
// restores at most 32,768 bytes and may refer back 32 KiB into the blocks
// before it in the same folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace w4util_platform_internal {

inline constexpr std::uint8_t kCabSignature[4] = {'M', 'S', 'C', 'F'};
inline constexpr std::uint32_t kCfHeaderSize = 36;
inline constexpr std::uint32_t kCfHeaderReserveFieldsSize = 4;
inline constexpr std::uint32_t kCfFolderSize = 8;
inline constexpr std::uint32_t kCfFileSize = 16;
inline constexpr std::uint32_t kCfDataSize = 8;
inline constexpr std::uint8_t kVersionMinor = 3;
inline constexpr std::uint8_t kVersionMajor = 1;

inline constexpr std::uint16_t kFlagPrevCabinet = 0x0001;
inline constexpr std::uint16_t kFlagNextCabinet = 0x0002;
inline constexpr std::uint16_t kFlagReservePresent = 0x0004;

inline constexpr std::uint16_t kFolderContinuedFromPrev = 0xFFFD;
inline constexpr std::uint16_t kFolderContinuedToNext = 0xFFFE;
inline constexpr std::uint16_t kFolderContinuedPrevAndNext = 0xFFFF;

inline constexpr std::uint32_t kMaxBlockUncompressed = 32768;
// Deflate may grow incompressible data a little; no valid block carries more.
inline constexpr std::uint32_t kMaxBlockCompressed = kMaxBlockUncompressed + 12;
inline constexpr std::uint32_t kMszipHistory = 32768;
inline constexpr std::uint8_t kMszipSignature[2] = {'C', 'K'};

inline constexpr std::uint32_t kMaxHeaderReserve = 60000;
inline constexpr std::uint32_t kMaxFolderReserve = 255;
inline constexpr std::uint32_t kMaxDataReserve = 255;

inline std::uint16_t LoadLe16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadLe32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void StoreLe16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
inline void StoreLe32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

// The cabinet checksum: XOR of the little-endian 32-bit words, the tail of
// one to three bytes folded in with its first byte highest.
std::uint32_t CabChecksum(const unsigned char* data, std::size_t size, std::uint32_t seed);

// Checksum of a data block: over the data, then over the cbData and
// cbUncomp fields followed by the block's reserved area. `header` points at
// the block's 8-byte header, `reserve` at the reserved bytes after it.
std::uint32_t CabDataBlockChecksum(const unsigned char* header, const unsigned char* reserve,
                                   std::uint32_t reserveSize, const unsigned char* data,
                                   std::uint32_t dataSize);

// One CFFILE entry as the writer collects it and the reader decodes it.
struct CfFileEntry {
  std::string name;
  std::uint32_t size = 0;
  std::uint32_t offset = 0;  // uoffFolderStart
  std::uint16_t folder = 0;
  std::uint16_t date = 0;
  std::uint16_t time = 0;
  std::uint16_t attributes = 0;
};

}  // namespace w4util_platform_internal
