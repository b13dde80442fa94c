// The file and memory services the cabinet engine runs on.
//
// `CabinetSystem` is all the decompressor needs: open by name, read, write,
// seek, close by handle, and memory. `FciCallbacks` adds what the compressor
// asks of its client: deleting and making temporary files, opening a source
// file together with its date, time and attributes, and the progress hooks.
//
// Contract of every implementation (the engine relies on it):
//  - Open returns kCabInvalidHandle on failure and sets `error`.
//  - Read returns the bytes read, 0 at the end, a negative value on error.
//  - Write returns `count` on success; anything else is an error.
//  - Seek returns the new position, or -1 (position unchanged) on error.
//  - Close returns 0 on success.
//  - Alloc returns null on failure and never throws; Free takes what Alloc
//    gave (or null).
//  - No callback throws: failures travel as return values and `error`.
// The engine never opens a name that the client did not hand it or, when
// extracting, that the client did not return a handle for. Implementations
// decide their own thread-safety; the engine calls them from the thread that
// drives it.
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/platform/CabinetTypes.h"

class W4UTIL_EXPORT CabinetSystem {
 public:
  CabinetSystem() = default;
  CabinetSystem(const CabinetSystem&) = delete;
  CabinetSystem& operator=(const CabinetSystem&) = delete;
  virtual ~CabinetSystem();

  virtual CabHandle Open(const char* name, std::int32_t openFlags, std::int32_t permissionMode,
                         std::int32_t& error) = 0;
  virtual std::int32_t Read(CabHandle handle, void* buffer, std::uint32_t count,
                            std::int32_t& error) = 0;
  virtual std::int32_t Write(CabHandle handle, const void* buffer, std::uint32_t count,
                             std::int32_t& error) = 0;
  virtual std::int32_t Seek(CabHandle handle, std::int32_t distance, std::int32_t origin,
                            std::int32_t& error) = 0;
  virtual std::int32_t Close(CabHandle handle, std::int32_t& error) = 0;

  // Defaults use malloc and free.
  virtual void* Alloc(std::uint32_t size) noexcept;
  virtual void Free(void* memory) noexcept;
};

class W4UTIL_EXPORT FciCallbacks : public CabinetSystem {
 public:
  // Returns 0 when the file is gone.
  virtual std::int32_t Delete(const char* name, std::int32_t& error) = 0;

  // Makes a new, empty temporary file that Open with create flags will reach
  // and writes its name, terminated, into `nameBuffer` of `bufferSize`
  // bytes. Returns false when no file could be made or the name does not fit.
  virtual bool GetTempFile(char* nameBuffer, std::int32_t bufferSize) = 0;

  // Opens a source file for reading and reports its DOS date, time and
  // attributes. Returns kCabInvalidHandle on failure.
  virtual CabHandle GetOpenInfo(const char* name, std::uint16_t& date, std::uint16_t& time,
                                std::uint16_t& attributes, std::int32_t& error) = 0;

  // Progress: statusFile (cb1 compressed, cb2 uncompressed bytes of a block),
  // statusFolder (cb1 bytes copied so far, cb2 the folder's total) and
  // statusCabinet (cb1 estimated, cb2 actual cabinet size). -1 aborts; for
  // statusCabinet any other value is the size the client wants, which this
  // engine does not pad to. Default: cb2 for statusCabinet, else 0.
  virtual std::int32_t Status(std::uint32_t type, std::uint32_t cb1, std::uint32_t cb2);

  // A file has been committed to the cabinet `ccab`. -1 aborts. Default 0.
  virtual std::int32_t FilePlaced(const CabinetCcab& ccab, const char* name, std::int32_t size,
                                  bool continuation);

  // Asked for the parameters of a following cabinet; this engine writes
  // single cabinets and calls it only to report that one would be needed, so
  // the default false (no continuation) makes the add fail cleanly.
  virtual bool GetNextCabinet(CabinetCcab& ccab, std::uint32_t previousCabinetSize);
};
