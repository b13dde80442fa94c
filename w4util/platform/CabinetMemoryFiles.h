// In-memory files for the cabinet engine: a set of named byte vectors with
// open handles that each keep their own position. Used by tests, by the fuzz
// harness and wherever a cabinet lives in memory.
//
// Opening a missing name fails (error 2) unless the flags ask to create it;
// kCabOpenTruncate empties the file. Seeking past the end is allowed; a write
// there fills the gap with zeros. Temporary files are named "memtemp<n>".
// Source files report the date and time set with SetFileTime (default
// 1 January 2020, 00:00) and attributes 0.
// A write fault can be armed for tests: the n-th Write from then on fails.
// Not thread-safe; one instance per thread of use.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "w4util/Export.h"
#include "w4util/platform/CabinetSystem.h"

class W4UTIL_EXPORT CabinetMemoryFiles final : public FciCallbacks {
 public:
  using Bytes = std::vector<unsigned char>;

  CabinetMemoryFiles();
  ~CabinetMemoryFiles() override;

  void SetFile(const std::string& name, Bytes content);
  // Returns null when no such file exists; the pointer stays valid until the
  // file is deleted or replaced.
  const Bytes* GetFile(const std::string& name) const;
  std::vector<std::string> GetFileNames() const;
  void SetFileTime(std::uint16_t dosDate, std::uint16_t dosTime);
  // The n-th Write from now (1 = the next one) returns -1; 0 disarms.
  void FailNthWrite(std::uint32_t n);
  std::size_t OpenHandleCount() const { return m_handles.size(); }

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

 private:
  struct OpenFile {
    std::shared_ptr<Bytes> data;
    std::uint64_t position = 0;
  };
  OpenFile* Find(CabHandle handle);

  std::map<std::string, std::shared_ptr<Bytes>> m_files;
  std::map<CabHandle, OpenFile> m_handles;
  CabHandle m_nextHandle = 1;
  std::uint32_t m_nextTemp = 1;
  std::uint32_t m_writeFaultCountdown = 0;
  std::uint16_t m_date = (40 << 9) | (1 << 5) | 1;
  std::uint16_t m_time = 0;
};
