// Real files for the cabinet engine, over POSIX descriptors: handles are file
// descriptors, errors are errno values.
//
// Open maps the host's flag bits (read/write access, append, create,
// truncate, exclusive; binary and sequential mean nothing here) and the
// permission bits (read 0444, write 0222; none given means 0666, before the
// umask). Temporary files are made in $TMPDIR (else /tmp) and exist, empty,
// once GetTempFile returns. GetOpenInfo reports the file's modification time
// as a local DOS date and time (clamped to 1980..2107) and read-only
// (no owner write permission) plus archive as attributes.
// Stateless apart from the descriptors it hands out; safe to share between
// threads as far as the descriptors are not.
#pragma once

#include <string>

#include "w4util/Export.h"
#include "w4util/platform/CabinetSystem.h"

class W4UTIL_EXPORT CabinetPosixFiles final : public FciCallbacks {
 public:
  CabHandle Open(const char* name, std::int32_t openFlags, std::int32_t permissionMode,
                 std::int32_t& error) override;
  std::int32_t Read(CabHandle handle, void* buffer, std::uint32_t count,
                    std::int32_t& error) override;
  std::int32_t Write(CabHandle handle, const void* buffer, std::uint32_t count,
                     std::int32_t& error) override;
  std::int32_t Seek(CabHandle handle, std::int32_t distance, std::int32_t origin,
                    std::int32_t& error) override;
  std::int32_t Close(CabHandle handle, std::int32_t& error) override;
  std::int32_t Delete(const char* name, std::int32_t& error) override;
  bool GetTempFile(char* nameBuffer, std::int32_t bufferSize) override;
  CabHandle GetOpenInfo(const char* name, std::uint16_t& date, std::uint16_t& time,
                        std::uint16_t& attributes, std::int32_t& error) override;

  // A new, empty temporary file made with mkstemp in $TMPDIR (else /tmp),
  // returned open for reading and writing; `name` receives its path. The
  // caller keeps using the descriptor rather than reopening the name.
  static CabHandle CreateTempFile(std::string& name, std::int32_t& error);
  // Creates a directory (mode 0777 before the umask); an existing directory
  // is fine. Returns false with `error` set otherwise.
  static bool MakeDirectory(const char* path, std::int32_t& error);
  // Returns false when `name` does not exist; else its modification time as
  // a local DOS date and time.
  static bool GetFileDosTime(const char* name, std::uint16_t& date, std::uint16_t& time);
};
