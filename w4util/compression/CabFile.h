// A cabinet file on disk, reached through the platform's POSIX file service;
// handles are the operating system's descriptors. Failures append a message
// with the error number and its text to the error details and return -1.
// A CabFile made from an open descriptor (a temporary file) closes that
// descriptor when it is destroyed. Not thread-safe.
#pragma once

#include <string>

#include "w4util/Export.h"
#include "w4util/compression/CabAbstractFile.h"

class W4UTIL_EXPORT CabFile final : public CabAbstractFile {
 public:
  CabFile(const CXString& pathAndName, CXString* errorDetails,
          bool closeAllOnDestruction = false);
  // Bound to `handle`, already open on the file `pathAndName`; takes it over.
  CabFile(const CXString& pathAndName, std::int64_t handle, CXString* errorDetails);
  ~CabFile() override;

  std::int32_t ReadCabFile(std::int64_t handle, void* buffer, std::uint32_t count,
                           std::int32_t& error) override;
  std::int32_t WriteCabFile(std::int64_t handle, const void* buffer, std::uint32_t count,
                            std::int32_t& error) override;
  std::int32_t SeekCabFile(std::int64_t handle, std::int32_t distance, std::int32_t origin,
                           std::int32_t& error) override;
  std::int32_t DeleteCabFile(std::int32_t& error) override;
  // Made with mkstemp; the returned file is bound to the new descriptor,
  // which later opens hand out again instead of reopening the name.
  std::unique_ptr<CabAbstractFile> GetTempCabFile(char* nameBuffer,
                                                  std::int32_t bufferSize) override;
  std::int64_t GetOpenInfo(std::uint16_t& date, std::uint16_t& time, std::uint16_t& attributes,
                           std::int32_t& error) override;

 protected:
  std::unique_ptr<CabAbstractOpenFileInstance> DoOpenCabFile(std::int32_t openFlags,
                                                             std::int32_t permissionMode,
                                                             std::int32_t& error) override;
  std::int32_t DoCloseCabFile(std::int64_t handle, std::int32_t& error) override;

 private:
  // Multibyte name for the file service, at most 260 characters; empty when
  // the name is missing or too long.
  std::string NarrowName() const;
  std::int64_t m_boundHandle = -1;
};
