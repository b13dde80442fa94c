#include "w4util/compression/CabFile.h"

#include <cstring>
#include <string>

#include "w4util/foundation/CXString.h"
#include "w4util/platform/CabinetPosixFiles.h"

namespace {

constexpr std::size_t kMaxNarrowName = 260;

CXString ErrorText(std::int32_t error) { return CXString(std::strerror(error)); }

CabinetPosixFiles& Files() {
  static CabinetPosixFiles files;
  return files;
}

void* AsPointer(std::int64_t handle) {
  // The cabinet engine's file handles are integers; callers print them as pointers.
  return reinterpret_cast<void*>(static_cast<std::intptr_t>(handle));  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace

CabFile::CabFile(const CXString& pathAndName, CXString* errorDetails, bool closeAllOnDestruction)
    : CabAbstractFile(pathAndName, closeAllOnDestruction, true, errorDetails) {}

CabFile::CabFile(const CXString& pathAndName, std::int64_t handle, CXString* errorDetails)
    : CabAbstractFile(pathAndName, false, true, errorDetails), m_boundHandle(handle) {}

CabFile::~CabFile() {
  if (CloseAllOnDestruction()) CloseAllOpenFiles();
  if (m_boundHandle != -1 && !IsOpenFileInstance(m_boundHandle)) {
    std::int32_t error = 0;
    Files().Close(m_boundHandle, error);
  }
}

std::string CabFile::NarrowName() const {
  std::vector<char> narrow = GetPathAndFileName().GetAsMultiByte();
  std::string name(narrow.data(), ::strnlen(narrow.data(), narrow.size()));
  return name.size() > kMaxNarrowName ? std::string() : name;
}

std::unique_ptr<CabAbstractOpenFileInstance> CabFile::DoOpenCabFile(std::int32_t openFlags,
                                                                   std::int32_t permissionMode,
                                                                   std::int32_t& error) {
  if (m_boundHandle != -1) {
    // The descriptor of a temporary file serves every open; rewind for reuse.
    if (IsOpenFileInstance(m_boundHandle)) return std::make_unique<CabOpenFileInstance>(-1);
    Files().Seek(m_boundHandle, 0, 0, error);
    return std::make_unique<CabOpenFileInstance>(m_boundHandle);
  }
  if (GetPathAndFileName().IsEmpty()) {
    AppendErrorDetails(ZelvoUtilities::SafeFormatString(
        u"CabFile::DoOpenCabFile(0x%x, 0x%x): The filename hasn't been specified, yet! ",
        openFlags, permissionMode));
    return std::make_unique<CabOpenFileInstance>(-1);
  }
  const std::string name = NarrowName();
  const std::int64_t handle =
      name.empty() ? -1 : Files().Open(name.c_str(), openFlags, permissionMode, error);
  if (handle == -1) {
    if (name.empty()) error = 36;  // name too long
    const std::vector<char> shown = GetPathAndFileName().GetAsMultiByte();
    AppendErrorDetails(ZelvoUtilities::SafeFormatString(
        u"CabFile::DoOpenCabFile(0x%x, 0x%x): _open returned -1 for the file '%S'! errno=%ld %s ",
        openFlags, permissionMode, shown.data(), error,
        static_cast<const char16_t*>(ErrorText(error))));
  }
  return std::make_unique<CabOpenFileInstance>(handle);
}

std::int32_t CabFile::DoCloseCabFile(std::int64_t handle, std::int32_t& error) {
  if (Files().Close(handle, error) != 0) {
    AppendErrorDetails(ZelvoUtilities::SafeFormatString(
        u"CabFile::DoCloseCabFile(0x%p): _close returned -1! errno=%ld %s ", AsPointer(handle),
        error, static_cast<const char16_t*>(ErrorText(error))));
    return -1;
  }
  if (handle == m_boundHandle) m_boundHandle = -1;
  return 0;
}

std::int32_t CabFile::ReadCabFile(std::int64_t handle, void* buffer, std::uint32_t count,
                                  std::int32_t& error) {
  const std::int32_t got = Files().Read(handle, buffer, count, error);
  if (got < 0) {
    AppendErrorDetails(ZelvoUtilities::SafeFormatString(
        u"CabFile::ReadCabFile(0x%p, 0x%p, %ld bytes): _read returned -1! errno=%ld %s ",
        AsPointer(handle), buffer, static_cast<std::int32_t>(count), error,
        static_cast<const char16_t*>(ErrorText(error))));
    return -1;
  }
  return got;
}

std::int32_t CabFile::WriteCabFile(std::int64_t handle, const void* buffer, std::uint32_t count,
                                   std::int32_t& error) {
  const std::int32_t put = Files().Write(handle, buffer, count, error);
  if (put < 0 || static_cast<std::uint32_t>(put) != count) {
    AppendErrorDetails(ZelvoUtilities::SafeFormatString(
        u"CabFile::WriteCabFile(0x%p, 0x%p, %ld bytes): _write returned -1! errno=%ld %s ",
        AsPointer(handle), buffer, static_cast<std::int32_t>(count), error,
        static_cast<const char16_t*>(ErrorText(error))));
    return -1;
  }
  return put;
}

std::int32_t CabFile::SeekCabFile(std::int64_t handle, std::int32_t distance, std::int32_t origin,
                                  std::int32_t& error) {
  const std::int32_t position = Files().Seek(handle, distance, origin, error);
  if (position < 0) {
    AppendErrorDetails(ZelvoUtilities::SafeFormatString(
        u"CabFile::SeekCabFile(0x%p, %ld, 0x%x): _lseek -1! errno=%ld %s ", AsPointer(handle),
        distance, origin, error, static_cast<const char16_t*>(ErrorText(error))));
    return -1;
  }
  return position;
}

std::int32_t CabFile::DeleteCabFile(std::int32_t& error) {
  if (GetPathAndFileName().IsEmpty()) {
    AppendErrorDetails(
        CXString(u"CabFile::DeleteCabFile(): The filename hasn't been specified, yet! "));
    return -1;
  }
  const std::string name = NarrowName();
  if (name.empty() || Files().Delete(name.c_str(), error) != 0) {
    const std::vector<char> shown = GetPathAndFileName().GetAsMultiByte();
    AppendErrorDetails(ZelvoUtilities::SafeFormatString(
        u"CabFile::DeleteCabFile(%S): remove -1! errno=%ld %s ", shown.data(), error,
        static_cast<const char16_t*>(ErrorText(error))));
    return -1;
  }
  return 0;
}

std::unique_ptr<CabAbstractFile> CabFile::GetTempCabFile(char* nameBuffer,
                                                         std::int32_t bufferSize) {
  std::string name;
  std::int32_t error = 0;
  const CabHandle handle = CabinetPosixFiles::CreateTempFile(name, error);
  if (handle == kCabInvalidHandle) {
    AppendErrorDetails(ZelvoUtilities::SafeFormatString(
        u"CabFile::GetTempCabFile(): Failed to get a temporary filename in the '%S' directory! "
        u"%s ",
        "TMPDIR", static_cast<const char16_t*>(ErrorText(error))));
    return nullptr;
  }
  if (nameBuffer == nullptr || bufferSize <= 0 ||
      name.size() + 1 > static_cast<std::size_t>(bufferSize)) {
    AppendErrorDetails(ZelvoUtilities::SafeFormatString(
        u"CabFile::GetTempCabFile(): Failed to get a temporary path in the buffer of size %ld! "
        u"GetTempPathA returned %ld. %s ",
        bufferSize, static_cast<std::int32_t>(name.size()), u"The name does not fit."));
    Files().Close(handle, error);
    Files().Delete(name.c_str(), error);
    return nullptr;
  }
  std::memcpy(nameBuffer, name.c_str(), name.size() + 1);
  return std::make_unique<CabFile>(CXString(name.c_str()), handle, ErrorDetailsLocation());
}

std::int64_t CabFile::GetOpenInfo(std::uint16_t& date, std::uint16_t& time,
                                  std::uint16_t& attributes, std::int32_t& error) {
  const std::string name = NarrowName();
  std::uint16_t a = 0;
  const CabHandle probe = name.empty() ? kCabInvalidHandle
                                       : Files().GetOpenInfo(name.c_str(), date, time, a, error);
  if (probe == kCabInvalidHandle) {
    AppendErrorDetails(ZelvoUtilities::SafeFormatString(
        u"CabFile::GetOpenInfo(): Failed to open the file, '%s', with CreateFile()! %s ",
        static_cast<const char16_t*>(GetPathAndFileName()),
        static_cast<const char16_t*>(ErrorText(error))));
    return -1;
  }
  std::int32_t ignored = 0;
  Files().Close(probe, ignored);
  attributes = static_cast<std::uint16_t>(a & 0x27);
  return OpenCabFile(0x8000, 0x180, error);
}
