// Writes cabinets: the compressor side of the cabinet engine, in the shape
// of the host library's FCI calls (create, add file, flush folder, flush
// cabinet, destroy).
//
// Files are added one after another into the current folder; their bytes are
// cut into data blocks of at most 32,768 uncompressed bytes, each stored as
// is (tcompTYPE_NONE) or as MSZIP ("CK" and a deflate stream that may refer
// to the previous block). Blocks go to a temporary file made through the
// callbacks; FlushCabinet writes header, folder and file tables and copies the
// blocks behind them into the cabinet file szCabPath + szCab. Only single
// cabinets are written: a cabinet that would outgrow ccab.cb or a format
// limit fails with FCIERR_CAB_FORMAT_LIMIT.
//
// Every call returns false on failure and fills the error record handed to
// Create; after a failure only Destroy is accepted. Not thread-safe; the
// callbacks object and the error record must outlive the compressor.
#pragma once

#include <memory>

#include "w4util/Export.h"
#include "w4util/platform/CabinetSystem.h"
#include "w4util/platform/CabinetTypes.h"

class W4UTIL_EXPORT CabinetCompressor {
 public:
  // Returns null (and fills `erf`) when memory or the temporary file cannot
  // be had, or the reserve sizes exceed the format's limits.
  static std::unique_ptr<CabinetCompressor> Create(CabinetErf& erf, FciCallbacks& callbacks,
                                                   const CabinetCcab& ccab);
  ~CabinetCompressor();
  CabinetCompressor(const CabinetCompressor&) = delete;
  CabinetCompressor& operator=(const CabinetCompressor&) = delete;

  // Reads `sourceName` through GetOpenInfo and stores it as `nameInCabinet`
  // (1 to 255 bytes). A change of compression type starts a new folder.
  bool AddFile(const char* sourceName, const char* nameInCabinet, bool execute,
               std::uint16_t typeCompress);
  // Ends the current folder; the next file starts a new one (and a new
  // compression history).
  bool FlushFolder();
  // Writes the cabinet and starts afresh. `getNextCabinet` is accepted for
  // symmetry with the host library; no continuation is ever written.
  bool FlushCabinet(bool getNextCabinet);
  // Releases the temporary file and memory. Returns false when closing or
  // deleting the temporary file failed. The destructor calls it if needed.
  bool Destroy();

 private:
  struct Impl;
  explicit CabinetCompressor(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m_impl;
};
