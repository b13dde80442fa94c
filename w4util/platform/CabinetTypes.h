// Vocabulary of the cabinet engine: the error record, the numbered error
// codes, open flags, seek origins, compression types, the cabinet parameters
// handed to the compressor and the records handed to notifications.
//
// The numbers are those of the host's cabinet library, so code above the
// platform layer can keep comparing against them and printing them. All types
// are plain values; nothing here owns memory except std::string members.
#pragma once

#include <cstdint>
#include <string>

// Handle of an open file as the cabinet callbacks see it; -1 is invalid.
using CabHandle = std::intptr_t;
inline constexpr CabHandle kCabInvalidHandle = -1;

// Error record filled by every failing engine call: the operation code (one
// of the FCIERR_* or FDIERROR_* values), a secondary error (the errno-style
// value a callback reported, else 0) and the flag that says it is set.
struct CabinetErf {
  std::int32_t erfOper = 0;
  std::int32_t erfType = 0;
  bool fError = false;
};

enum FciErrorCode : std::int32_t {
  FCIERR_NONE = 0,
  FCIERR_OPEN_SRC = 1,
  FCIERR_READ_SRC = 2,
  FCIERR_ALLOC_FAIL = 3,
  FCIERR_TEMP_FILE = 4,
  FCIERR_BAD_COMPR_TYPE = 5,
  FCIERR_CAB_FILE = 6,
  FCIERR_USER_ABORT = 7,
  FCIERR_MCI_FAIL = 8,
  // A cabinet, folder or name limit of the format would be exceeded.
  FCIERR_CAB_FORMAT_LIMIT = 9,
};

enum FdiErrorCode : std::int32_t {
  FDIERROR_NONE = 0,
  FDIERROR_CABINET_NOT_FOUND = 1,
  FDIERROR_NOT_A_CABINET = 2,
  FDIERROR_UNKNOWN_CABINET_VERSION = 3,
  FDIERROR_CORRUPT_CABINET = 4,
  FDIERROR_ALLOC_FAIL = 5,
  FDIERROR_BAD_COMPR_TYPE = 6,
  FDIERROR_MDI_FAIL = 7,
  FDIERROR_TARGET_FILE = 8,
  FDIERROR_RESERVE_MISMATCH = 9,
  FDIERROR_WRONG_CABINET = 10,
  FDIERROR_USER_ABORT = 11,
};

// Open flags and permission bits as the host's runtime numbers them. File
// implementations may ignore what they cannot express.
inline constexpr std::int32_t kCabOpenReadOnly = 0x0000;
inline constexpr std::int32_t kCabOpenWriteOnly = 0x0001;
inline constexpr std::int32_t kCabOpenReadWrite = 0x0002;
inline constexpr std::int32_t kCabOpenAccessMask = 0x0003;
inline constexpr std::int32_t kCabOpenAppend = 0x0008;
inline constexpr std::int32_t kCabOpenSequential = 0x0020;
inline constexpr std::int32_t kCabOpenCreate = 0x0100;
inline constexpr std::int32_t kCabOpenTruncate = 0x0200;
inline constexpr std::int32_t kCabOpenExclusive = 0x0400;
inline constexpr std::int32_t kCabOpenBinary = 0x8000;
inline constexpr std::int32_t kCabPermissionRead = 0x0100;
inline constexpr std::int32_t kCabPermissionWrite = 0x0080;

inline constexpr std::int32_t kCabSeekSet = 0;
inline constexpr std::int32_t kCabSeekCurrent = 1;
inline constexpr std::int32_t kCabSeekEnd = 2;

// Compression types of a folder (low four bits of the folder's type field).
inline constexpr std::uint16_t tcompTYPE_NONE = 0x0000;
inline constexpr std::uint16_t tcompTYPE_MSZIP = 0x0001;
inline constexpr std::uint16_t tcompTYPE_QUANTUM = 0x0002;
inline constexpr std::uint16_t tcompTYPE_LZX = 0x0003;
inline constexpr std::uint16_t tcompMASK_TYPE = 0x000F;

// File attributes stored with each file entry.
inline constexpr std::uint16_t kCabAttribReadOnly = 0x01;
inline constexpr std::uint16_t kCabAttribHidden = 0x02;
inline constexpr std::uint16_t kCabAttribSystem = 0x04;
inline constexpr std::uint16_t kCabAttribArchive = 0x20;
inline constexpr std::uint16_t kCabAttribExecute = 0x40;
inline constexpr std::uint16_t kCabAttribNameIsUtf = 0x80;

// Longest name (file, cabinet, disk) including its terminator.
inline constexpr std::uint32_t kCabMaxName = 256;

// Status callback types of the compressor.
inline constexpr std::uint32_t statusFile = 0;
inline constexpr std::uint32_t statusFolder = 1;
inline constexpr std::uint32_t statusCabinet = 2;

// Parameters of the cabinet being written. The cabinet is opened under
// szCabPath + szCab (plain concatenation, as the host library does).
struct CabinetCcab {
  std::uint32_t cb = 0x7FFFFFFF;              // largest cabinet allowed
  std::uint32_t cbFolderThresh = 0x7FFFFFFF;  // start a new folder past this
  std::uint32_t cbReserveCFHeader = 0;        // at most 60,000
  std::uint32_t cbReserveCFFolder = 0;        // at most 255
  std::uint32_t cbReserveCFData = 0;          // at most 255
  std::int32_t iCab = 1;
  std::int32_t iDisk = 0;
  std::int32_t fFailOnIncompressible = 0;
  std::uint16_t setID = 0;
  std::string szDisk;
  std::string szCab;
  std::string szCabPath;
};

// What the decompressor learns from a cabinet's header.
struct FdiCabinetInfo {
  std::int32_t cbCabinet = 0;
  std::uint16_t cFolders = 0;
  std::uint16_t cFiles = 0;
  std::uint16_t setID = 0;
  std::uint16_t iCabinet = 0;
  bool fReserve = false;
  bool hasprev = false;
  bool hasnext = false;
};

enum FdiNotificationType : std::int32_t {
  fdintCABINET_INFO = 0,
  fdintPARTIAL_FILE = 1,
  fdintCOPY_FILE = 2,
  fdintCLOSE_FILE_INFO = 3,
  fdintNEXT_CABINET = 4,
  fdintENUMERATE = 5,
};

// One notification of an extraction. The texts point into the engine's own
// buffers and are valid only during the call.
//   fdintCABINET_INFO:    psz1 next cabinet, psz2 next disk, psz3 cabinet path,
//                         setID, iCabinet.
//   fdintPARTIAL_FILE:    psz1 file name, psz2 first cabinet, psz3 first disk.
//   fdintCOPY_FILE:       psz1 name in the cabinet, cb size, date, time,
//                         attribs, iFolder. Return a handle opened for
//                         writing, 0 to skip the file, -1 to abort.
//   fdintCLOSE_FILE_INFO: psz1 name, hf the handle returned for the copy,
//                         date, time, attribs, cb 1 when the file is marked
//                         executable. The callee closes hf; return non-zero to
//                         go on, 0 to abort.
//   fdintNEXT_CABINET:    psz1 next cabinet, psz2 next disk, psz3 path, fdie.
struct FdiNotification {
  std::int32_t cb = 0;
  const char* psz1 = nullptr;
  const char* psz2 = nullptr;
  const char* psz3 = nullptr;
  CabHandle hf = 0;
  std::uint16_t date = 0;
  std::uint16_t time = 0;
  std::uint16_t attribs = 0;
  std::uint16_t setID = 0;
  std::uint16_t iCabinet = 0;
  std::uint16_t iFolder = 0;
  std::int32_t fdie = FDIERROR_NONE;
};
