#include "w4util/platform/CabinetMemoryFiles.h"

#include <cerrno>
#include <cstring>
#include <limits>

namespace {
constexpr std::uint64_t kMaxMemoryFile = 0x7FFFFFFF;
}

CabinetMemoryFiles::CabinetMemoryFiles() = default;
CabinetMemoryFiles::~CabinetMemoryFiles() = default;

void CabinetMemoryFiles::SetFile(const std::string& name, Bytes content) {
  m_files[name] = std::make_shared<Bytes>(std::move(content));
}

const CabinetMemoryFiles::Bytes* CabinetMemoryFiles::GetFile(const std::string& name) const {
  auto it = m_files.find(name);
  return it == m_files.end() ? nullptr : it->second.get();
}

std::vector<std::string> CabinetMemoryFiles::GetFileNames() const {
  std::vector<std::string> names;
  for (const auto& entry : m_files) names.push_back(entry.first);
  return names;
}

void CabinetMemoryFiles::SetFileTime(std::uint16_t dosDate, std::uint16_t dosTime) {
  m_date = dosDate;
  m_time = dosTime;
}

void CabinetMemoryFiles::FailNthWrite(std::uint32_t n) { m_writeFaultCountdown = n; }

CabinetMemoryFiles::OpenFile* CabinetMemoryFiles::Find(CabHandle handle) {
  auto it = m_handles.find(handle);
  return it == m_handles.end() ? nullptr : &it->second;
}

CabHandle CabinetMemoryFiles::Open(const char* name, std::int32_t openFlags,
                                   std::int32_t /*permissionMode*/, std::int32_t& error) {
  if (name == nullptr) {
    error = EINVAL;
    return kCabInvalidHandle;
  }
  auto it = m_files.find(name);
  if (it == m_files.end()) {
    if ((openFlags & kCabOpenCreate) == 0) {
      error = ENOENT;
      return kCabInvalidHandle;
    }
    it = m_files.emplace(name, std::make_shared<Bytes>()).first;
  } else if ((openFlags & kCabOpenCreate) != 0 && (openFlags & kCabOpenExclusive) != 0) {
    error = EEXIST;
    return kCabInvalidHandle;
  } else if ((openFlags & kCabOpenTruncate) != 0) {
    it->second->clear();
  }
  CabHandle handle = m_nextHandle++;
  m_handles[handle] = OpenFile{it->second, 0};
  return handle;
}

std::int32_t CabinetMemoryFiles::Read(CabHandle handle, void* buffer, std::uint32_t count,
                                      std::int32_t& error) {
  OpenFile* file = Find(handle);
  if (file == nullptr) {
    error = EBADF;
    return -1;
  }
  const std::uint64_t size = file->data->size();
  if (file->position >= size) return 0;
  std::uint64_t n = size - file->position;
  if (n > count) n = count;
  if (n > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    n = std::numeric_limits<std::int32_t>::max();
  }
  std::memcpy(buffer, file->data->data() + file->position, static_cast<std::size_t>(n));
  file->position += n;
  return static_cast<std::int32_t>(n);
}

std::int32_t CabinetMemoryFiles::Write(CabHandle handle, const void* buffer, std::uint32_t count,
                                       std::int32_t& error) {
  OpenFile* file = Find(handle);
  if (file == nullptr) {
    error = EBADF;
    return -1;
  }
  if (m_writeFaultCountdown != 0 && --m_writeFaultCountdown == 0) {
    error = EIO;
    return -1;
  }
  const std::uint64_t end = file->position + count;
  if (end > kMaxMemoryFile) {
    error = EFBIG;
    return -1;
  }
  if (end > file->data->size()) file->data->resize(static_cast<std::size_t>(end));
  if (count != 0) std::memcpy(file->data->data() + file->position, buffer, count);
  file->position = end;
  return static_cast<std::int32_t>(count);
}

std::int32_t CabinetMemoryFiles::Seek(CabHandle handle, std::int32_t distance, std::int32_t origin,
                                      std::int32_t& error) {
  OpenFile* file = Find(handle);
  if (file == nullptr) {
    error = EBADF;
    return -1;
  }
  std::int64_t base = 0;
  switch (origin) {
    case kCabSeekSet: base = 0; break;
    case kCabSeekCurrent: base = static_cast<std::int64_t>(file->position); break;
    case kCabSeekEnd: base = static_cast<std::int64_t>(file->data->size()); break;
    default: error = EINVAL; return -1;
  }
  const std::int64_t target = base + distance;
  if (target < 0 || target > static_cast<std::int64_t>(kMaxMemoryFile)) {
    error = EINVAL;
    return -1;
  }
  file->position = static_cast<std::uint64_t>(target);
  return static_cast<std::int32_t>(target);
}

std::int32_t CabinetMemoryFiles::Close(CabHandle handle, std::int32_t& error) {
  if (m_handles.erase(handle) == 0) {
    error = EBADF;
    return -1;
  }
  return 0;
}

std::int32_t CabinetMemoryFiles::Delete(const char* name, std::int32_t& error) {
  if (name == nullptr || m_files.erase(name) == 0) {
    error = ENOENT;
    return -1;
  }
  return 0;
}

bool CabinetMemoryFiles::GetTempFile(char* nameBuffer, std::int32_t bufferSize) {
  std::string name;
  do {
    name = "memtemp" + std::to_string(m_nextTemp++);
  } while (m_files.count(name) != 0);
  if (nameBuffer == nullptr || bufferSize <= 0 ||
      name.size() + 1 > static_cast<std::size_t>(bufferSize)) {
    return false;
  }
  std::memcpy(nameBuffer, name.c_str(), name.size() + 1);
  m_files.emplace(name, std::make_shared<Bytes>());
  return true;
}

CabHandle CabinetMemoryFiles::GetOpenInfo(const char* name, std::uint16_t& date,
                                          std::uint16_t& time, std::uint16_t& attributes,
                                          std::int32_t& error) {
  date = m_date;
  time = m_time;
  attributes = 0;
  return Open(name, kCabOpenBinary | kCabOpenReadOnly, 0, error);
}
