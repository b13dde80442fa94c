// A pseudo-file: bytes in memory that the cabinet engine reads and writes as
// if they were a file. Three storages: a caller's ByteBuffer (growable), a
// caller's fixed memory block (not growable), or an owned buffer (growable,
// the form temporary files take).
//
// Invariants: length <= allocated size; for a growable file the buffer holds
// exactly the allocated size. Each open has its own position. Handles are
// numbered process-wide from kFirstPseudoFileHandle up, a range no operating-
// system descriptor reaches, so a handle says by itself which kind of file it
// belongs to. The caller's buffer or block must outlive the object. Not
// thread-safe apart from the handle counter.
#pragma once

#include <atomic>
#include <cstdint>

#include "w4util/Export.h"
#include "w4util/compression/CabAbstractFile.h"
#include "w4util/foundation/ByteBuffer.h"

class W4UTIL_EXPORT CabBufferAsFile final : public CabAbstractFile {
 public:
  static constexpr std::int64_t kFirstPseudoFileHandle = std::int64_t{1} << 40;

  // Growable over `buffer`; allocated size and length start at its size.
  CabBufferAsFile(const CXString& name, ByteBuffer& buffer, CXString* errorDetails,
                  bool closeAllOnDestruction = false);
  // Fixed over `block` of `allocatedSize` bytes, `length` of them in use.
  CabBufferAsFile(const char* name, unsigned char* block, std::uint32_t allocatedSize,
                  std::uint32_t length, CXString* errorDetails,
                  bool closeAllOnDestruction = false);
  // Growable over an owned, empty buffer with `reserve` bytes reserved.
  CabBufferAsFile(const CXString& name, std::uint32_t reserve, CXString* errorDetails,
                  bool closeAllOnDestruction = false);
  ~CabBufferAsFile() override;

  std::int32_t ReadCabFile(std::int64_t handle, void* buffer, std::uint32_t count,
                           std::int32_t& error) override;
  std::int32_t WriteCabFile(std::int64_t handle, const void* buffer, std::uint32_t count,
                            std::int32_t& error) override;
  std::int32_t SeekCabFile(std::int64_t handle, std::int32_t distance, std::int32_t origin,
                           std::int32_t& error) override;
  std::int32_t DeleteCabFile(std::int32_t& error) override;
  std::unique_ptr<CabAbstractFile> GetTempCabFile(char* nameBuffer,
                                                  std::int32_t bufferSize) override;
  std::int64_t GetOpenInfo(std::uint16_t& date, std::uint16_t& time, std::uint16_t& attributes,
                           std::int32_t& error) override;

  std::uint32_t GetAllocatedSize() const { return m_allocatedSize; }
  std::uint32_t GetLength() const { return m_length; }
  // Growable files refuse (-1) any write that would take them past `limit`
  // bytes; used to stop a restore at the size it is expected to give.
  void SetGrowthLimit(std::uint32_t limit) { m_growthLimit = limit; }
  // Drops bytes past the length from a growable file's buffer.
  void TrimToLength();

 protected:
  std::unique_ptr<CabAbstractOpenFileInstance> DoOpenCabFile(std::int32_t openFlags,
                                                             std::int32_t permissionMode,
                                                             std::int32_t& error) override;
  std::int32_t DoCloseCabFile(std::int64_t handle, std::int32_t& error) override;

 private:
  // Throws ExceptionFileOperationCompression for a handle not open here.
  CabOpenBufferAsFileInstance& Instance(std::int64_t handle, const char16_t* method) const;
  unsigned char* Data();

  static std::atomic<std::int32_t> m_lUniqueFileHandle;

  bool m_bGrowable;
  ByteBuffer m_ownedBuffer;
  ByteBuffer* m_pBuffer = nullptr;
  unsigned char* m_pBlock = nullptr;
  std::uint32_t m_allocatedSize = 0;
  std::uint32_t m_length = 0;
  std::uint32_t m_growthLimit = 0xFFFFFFFFu;
};
