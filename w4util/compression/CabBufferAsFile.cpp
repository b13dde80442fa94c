#include "w4util/compression/CabBufferAsFile.h"

#include <algorithm>
#include <cstring>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/foundation/CXString.h"

namespace {

constexpr std::int32_t kErrorFileNotFound = 2;
constexpr std::int32_t kErrorBadFileDescriptor = 9;

std::atomic<std::uint64_t> g_uniqueId{0};

}  // namespace

std::atomic<std::int32_t> CabBufferAsFile::m_lUniqueFileHandle{0};

CabBufferAsFile::CabBufferAsFile(const CXString& name, ByteBuffer& buffer, CXString* errorDetails,
                                 bool closeAllOnDestruction)
    : CabAbstractFile(name, closeAllOnDestruction, false, errorDetails),
      m_bGrowable(true),
      m_pBuffer(&buffer),
      m_allocatedSize(static_cast<std::uint32_t>(buffer.size())),
      m_length(static_cast<std::uint32_t>(buffer.size())) {}

CabBufferAsFile::CabBufferAsFile(const char* name, unsigned char* block,
                                 std::uint32_t allocatedSize, std::uint32_t length,
                                 CXString* errorDetails, bool closeAllOnDestruction)
    : CabAbstractFile(CXString(name), closeAllOnDestruction, false, errorDetails),
      m_bGrowable(false),
      m_pBlock(block),
      m_allocatedSize(block != nullptr ? allocatedSize : 0),
      m_length(block != nullptr ? std::min(length, allocatedSize) : 0) {}

CabBufferAsFile::CabBufferAsFile(const CXString& name, std::uint32_t reserve,
                                 CXString* errorDetails, bool closeAllOnDestruction)
    : CabAbstractFile(name, closeAllOnDestruction, false, errorDetails), m_bGrowable(true) {
  m_ownedBuffer.reserve(reserve);
  m_pBuffer = &m_ownedBuffer;
}

CabBufferAsFile::~CabBufferAsFile() {
  if (CloseAllOnDestruction()) CloseAllOpenFiles();
}

unsigned char* CabBufferAsFile::Data() {
  return m_bGrowable ? m_pBuffer->data() : m_pBlock;
}

CabOpenBufferAsFileInstance& CabBufferAsFile::Instance(std::int64_t handle,
                                                       const char16_t* method) const {
  auto* instance = dynamic_cast<CabOpenBufferAsFileInstance*>(FindOpenFileInstance(handle));
  if (instance == nullptr) {
    ZELVO_THROW(ExceptionFileOperationCompression, "CabBufferAsFile::Instance",
                "%s: no pseudo-file is open with the handle %I64d",
                method, static_cast<std::int64_t>(handle));
  }
  return *instance;
}

std::unique_ptr<CabAbstractOpenFileInstance> CabBufferAsFile::DoOpenCabFile(std::int32_t,
                                                                            std::int32_t,
                                                                            std::int32_t& error) {
  if (m_pBuffer == nullptr && m_pBlock == nullptr) {
    error = kErrorFileNotFound;
    AppendErrorDetails(CXString(
        u"CabBufferAsFile::DoOpenCabFile(): There's no buffer specified to serve as the "
        u"pseudo-file (all possible buffer pointers are NULL)! "));
    return std::make_unique<CabOpenBufferAsFileInstance>(-1);
  }
  const std::int64_t handle = kFirstPseudoFileHandle + (++m_lUniqueFileHandle);
  return std::make_unique<CabOpenBufferAsFileInstance>(handle);
}

std::int32_t CabBufferAsFile::DoCloseCabFile(std::int64_t, std::int32_t&) { return 0; }

std::int32_t CabBufferAsFile::ReadCabFile(std::int64_t handle, void* buffer, std::uint32_t count,
                                          std::int32_t&) {
  CabOpenBufferAsFileInstance& instance = Instance(handle, u"CabBufferAsFile::ReadCabFile");
  const auto position = static_cast<std::uint32_t>(instance.GetSeekPosition());
  if (position >= m_length || count == 0) return 0;
  const std::uint32_t n = std::min<std::uint32_t>({count, m_length - position, 0x7FFFFFFFu});
  std::memcpy(buffer, Data() + position, n);
  instance.SetSeekPosition(static_cast<std::int32_t>(position + n));
  return static_cast<std::int32_t>(n);
}

std::int32_t CabBufferAsFile::WriteCabFile(std::int64_t handle, const void* buffer,
                                           std::uint32_t count, std::int32_t&) {
  CabOpenBufferAsFileInstance& instance = Instance(handle, u"CabBufferAsFile::WriteCabFile");
  const std::uint64_t end = static_cast<std::uint64_t>(instance.GetSeekPosition()) + count;
  if (end > 0x7FFFFFFFu || count > 0x7FFFFFFFu) return -1;
  if (end > m_allocatedSize) {
    if (!m_bGrowable || end > m_growthLimit) return -1;
    try {
      m_pBuffer->resize(end, 0);
    } catch (...) {
      return -1;
    }
    m_allocatedSize = static_cast<std::uint32_t>(end);
  }
  if (count != 0) std::memcpy(Data() + instance.GetSeekPosition(), buffer, count);
  instance.SetSeekPosition(static_cast<std::int32_t>(end));
  // A write before the old end must not cut off what follows it.
  m_length = std::max(m_length, static_cast<std::uint32_t>(end));
  if (m_bGrowable && m_pBuffer->size() > m_allocatedSize) m_pBuffer->resize(m_allocatedSize);
  return static_cast<std::int32_t>(count);
}

std::int32_t CabBufferAsFile::SeekCabFile(std::int64_t handle, std::int32_t distance,
                                          std::int32_t origin, std::int32_t& error) {
  CabOpenBufferAsFileInstance& instance = Instance(handle, u"CabBufferAsFile::SeekCabFile");
  std::int64_t target = -1;
  switch (origin) {
    case 0: target = distance; break;
    case 1: target = std::int64_t{instance.GetSeekPosition()} + distance; break;
    case 2: target = std::int64_t{m_allocatedSize} + distance; break;
    default: break;
  }
  if (target < 0 || target > 0x7FFFFFFF) {
    error = kErrorBadFileDescriptor;
    AppendErrorDetails(ZelvoUtilities::SafeFormatString(
        u"CabBufferAsFile::SeekCabFile(0x%p, %ld, 0x%x): illegal seek position results! ",
        // The handle is printed as the pointer it stands for.
        reinterpret_cast<void*>(static_cast<std::intptr_t>(handle)),  // NOLINT(performance-no-int-to-ptr)
        distance, origin));
    return -1;
  }
  instance.SetSeekPosition(static_cast<std::int32_t>(target));
  return static_cast<std::int32_t>(target);
}

std::int32_t CabBufferAsFile::DeleteCabFile(std::int32_t&) { return 0; }

std::unique_ptr<CabAbstractFile> CabBufferAsFile::GetTempCabFile(char* nameBuffer,
                                                                 std::int32_t bufferSize) {
  // A locally unique identifier, as the two 32-bit halves the name is made of.
  const std::uint64_t luid = ++g_uniqueId;
  const CXString name = ZelvoUtilities::SafeFormatString(
      u"cbaf0x%x0x%x", static_cast<std::uint32_t>(luid), static_cast<std::uint32_t>(luid >> 32));
  const std::int32_t needed = name.GetAsMultiByte(nullptr, 0);
  if (nameBuffer == nullptr || bufferSize <= 0 || needed <= 0 || needed > bufferSize ||
      name.GetAsMultiByte(nameBuffer, static_cast<std::size_t>(bufferSize)) != needed) {
    AppendErrorDetails(ZelvoUtilities::SafeFormatString(
        u"CabBufferAsFile::GetTempCabFile(): Failed to copy the temporary file name ('%s', "
        u"size=%ld) into the buffer (size=%ld)! %s ",
        static_cast<const char16_t*>(name), name.GetLength(), bufferSize,
        u"The file name is too long."));
    return nullptr;
  }
  return std::make_unique<CabBufferAsFile>(name, 0u, ErrorDetailsLocation());
}

std::int64_t CabBufferAsFile::GetOpenInfo(std::uint16_t& date, std::uint16_t& time,
                                          std::uint16_t& attributes, std::int32_t& error) {
  date = 0;
  time = 0;
  attributes = 0;
  return OpenCabFile(0, 0, error);
}

void CabBufferAsFile::TrimToLength() {
  if (m_bGrowable && m_pBuffer->size() > m_length) {
    m_pBuffer->resize(m_length);
    m_allocatedSize = m_length;
  }
}
