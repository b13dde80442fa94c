// Reads cabinets: the decompressor side of the cabinet engine, in the shape
// of the host library's FDI calls (create, is-cabinet, copy, destroy).
//
// Copy validates the whole cabinet before the first notification: header,
// reserved areas, names, folder and file tables and every data block header,
// so that counts, offsets and sizes that point outside the cabinet, blocks
// over 32,768 uncompressed bytes and file ranges outside their folder end in
// FDIERROR_CORRUPT_CABINET before anything is written. Folders may be stored
// or MSZIP (history carried from block to block); Quantum and LZX folders
// fail with FDIERROR_BAD_COMPR_TYPE. Data checksums are verified when not 0.
// Files continued from or into other cabinets are not followed.
// Files are extracted in the order of their data (folder, then offset), which
// is the table order in every cabinet the usual tools write; files whose
// data overlap, and folders that share blocks, are refused as corrupt, so
// each block is decoded at most once and no cabinet restores more bytes than
// its blocks declare.
//
// The engine never opens an output itself: it hands each name to the
// notification, which returns a handle of the same CabinetSystem. Memory is
// bounded: fixed block buffers plus tables no larger than the cabinet.
// Not thread-safe; the system and the error record must outlive the object.
#pragma once

#include <functional>
#include <memory>

#include "w4util/Export.h"
#include "w4util/platform/CabinetSystem.h"
#include "w4util/platform/CabinetTypes.h"

// Answers one notification; see FdiNotification for the meaning of the
// result. Must not throw.
using FdiNotify = std::function<CabHandle(FdiNotificationType, FdiNotification&)>;

class W4UTIL_EXPORT CabinetDecompressor {
 public:
  // Returns null (and fills `erf`) when memory cannot be had.
  static std::unique_ptr<CabinetDecompressor> Create(CabinetErf& erf, CabinetSystem& system);
  ~CabinetDecompressor();
  CabinetDecompressor(const CabinetDecompressor&) = delete;
  CabinetDecompressor& operator=(const CabinetDecompressor&) = delete;

  // Reads the header of the cabinet open on `handle` (from its start).
  // Returns false when it is not a cabinet, with erf set to
  // FDIERROR_NOT_A_CABINET, FDIERROR_UNKNOWN_CABINET_VERSION or
  // FDIERROR_CORRUPT_CABINET.
  bool IsCabinet(CabHandle handle, FdiCabinetInfo& info);

  // Opens cabinetPath + cabinetName for reading and extracts its files
  // through `notify`. `flags` is accepted for symmetry and not used.
  bool Copy(const char* cabinetName, const char* cabinetPath, std::int32_t flags,
            const FdiNotify& notify);

  bool Destroy();

 private:
  struct Impl;
  explicit CabinetDecompressor(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m_impl;
};
