#include "w4util/compression/CabAbstractFile.h"

#include <algorithm>

CabAbstractOpenFileInstance::~CabAbstractOpenFileInstance() = default;

bool CabAbstractOpenFileInstance::IsEqual(const CabAbstractOpenFileInstance& other) const {
  return m_handle == other.m_handle;
}

std::unique_ptr<CabAbstractOpenFileInstance> CabOpenFileInstance::Clone() const {
  return std::make_unique<CabOpenFileInstance>(*this);
}

std::unique_ptr<CabAbstractOpenFileInstance> CabOpenBufferAsFileInstance::Clone() const {
  return std::make_unique<CabOpenBufferAsFileInstance>(*this);
}

bool CabOpenBufferAsFileInstance::IsEqual(const CabAbstractOpenFileInstance& other) const {
  const auto* buffer = dynamic_cast<const CabOpenBufferAsFileInstance*>(&other);
  return buffer != nullptr && GetHandle() == other.GetHandle() &&
         m_seekPosition == buffer->m_seekPosition;
}

CabAbstractFile::CabAbstractFile(const CXString& pathAndName, bool closeAllOnDestruction,
                                 bool nativeSeparators, CXString* errorDetails)
    : m_bCloseAllOnDestruction(closeAllOnDestruction),
      m_bNativeSeparators(nativeSeparators),
      m_pErrorDetails(errorDetails != nullptr ? errorDetails : &m_errorDetails) {
  SetPathAndFileName(pathAndName);
}

CabAbstractFile::~CabAbstractFile() = default;

void CabAbstractFile::CloseAllOpenFiles() {
  while (!m_openFiles.empty()) {
    std::int32_t error = 0;
    const std::int64_t handle = m_openFiles.back()->GetHandle();
    DoCloseCabFile(handle, error);
    m_openFiles.pop_back();
  }
}

std::int64_t CabAbstractFile::OpenCabFile(std::int32_t openFlags, std::int32_t permissionMode,
                                          std::int32_t& error) {
  std::unique_ptr<CabAbstractOpenFileInstance> instance =
      DoOpenCabFile(openFlags, permissionMode, error);
  if (!instance) return -1;
  const std::int64_t handle = instance->GetHandle();
  if (handle != -1 && FindOpenFileInstance(handle) == nullptr) {
    m_openFiles.push_back(std::move(instance));
  }
  return handle;
}

std::int32_t CabAbstractFile::CloseCabFile(std::int64_t handle, std::int32_t& error) {
  const std::int32_t result = DoCloseCabFile(handle, error);
  m_openFiles.erase(std::remove_if(m_openFiles.begin(), m_openFiles.end(),
                                   [handle](const auto& f) { return f->GetHandle() == handle; }),
                    m_openFiles.end());
  return result;
}

CabAbstractOpenFileInstance* CabAbstractFile::FindOpenFileInstance(std::int64_t handle) const {
  for (const auto& f : m_openFiles) {
    if (f->GetHandle() == handle) return f.get();
  }
  return nullptr;
}

bool CabAbstractFile::IsOpenFileInstance(std::int64_t handle) const {
  return FindOpenFileInstance(handle) != nullptr;
}

bool CabAbstractFile::ContainsMatchingFileHandle(const CabAbstractFile& other) const {
  for (const auto& f : other.m_openFiles) {
    if (IsOpenFileInstance(f->GetHandle())) return true;
  }
  return false;
}

namespace {

bool CopyMultiByte(const CXString& text, char* buffer, std::int32_t size) {
  if (buffer == nullptr || size <= 0) return false;
  const std::int32_t needed = text.GetAsMultiByte(nullptr, 0);
  if (needed <= 0 || needed > size) {
    buffer[0] = '\0';
    return false;
  }
  return text.GetAsMultiByte(buffer, static_cast<std::size_t>(size)) == needed;
}

}  // namespace

bool CabAbstractFile::GetPathAndFileName(char* buffer, std::int32_t size) const {
  return CopyMultiByte(GetPathAndFileName(), buffer, size);
}

bool CabAbstractFile::GetFileNameWithoutPath(char* buffer, std::int32_t size) const {
  return CopyMultiByte(m_name, buffer, size);
}

bool CabAbstractFile::GetFilePath(char* buffer, std::int32_t size) const {
  return CopyMultiByte(m_path, buffer, size);
}

bool CabAbstractFile::SetPathAndFileName(const CXString& pathAndName) {
  if (IsOpen()) return false;
  std::int32_t split = pathAndName.ReverseFind(u'\\');
  if (m_bNativeSeparators) split = std::max(split, pathAndName.ReverseFind(u'/'));
  m_path = pathAndName.Left(split + 1);
  m_name = pathAndName.Mid(split + 1);
  return true;
}

void CabAbstractFile::SetErrorDetailsLocation(CXString* location) {
  m_pErrorDetails = location != nullptr ? location : &m_errorDetails;
}
