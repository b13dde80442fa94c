#include "w4util/platform/CabinetPosixFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

namespace {

int ToFd(CabHandle handle) {
  return handle < 0 || handle > std::numeric_limits<int>::max() ? -1 : static_cast<int>(handle);
}

void ToDosDateTime(std::time_t mtime, std::uint16_t& date, std::uint16_t& time) {
  std::tm local{};
  if (::localtime_r(&mtime, &local) == nullptr || local.tm_year < 80) {
    date = (1 << 5) | 1;
    time = 0;
  } else {
    const int year = local.tm_year > 207 ? 127 : local.tm_year - 80;
    date = static_cast<std::uint16_t>((year << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    time = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) |
                                      (local.tm_sec / 2));
  }
}

}  // namespace

CabHandle CabinetPosixFiles::Open(const char* name, std::int32_t openFlags,
                                  std::int32_t permissionMode, std::int32_t& error) {
  if (name == nullptr || *name == '\0') {
    error = ENOENT;
    return kCabInvalidHandle;
  }
  int flags = O_CLOEXEC;
  switch (openFlags & kCabOpenAccessMask) {
    case kCabOpenWriteOnly: flags |= O_WRONLY; break;
    case kCabOpenReadWrite: flags |= O_RDWR; break;
    default: flags |= O_RDONLY; break;
  }
  if ((openFlags & kCabOpenAppend) != 0) flags |= O_APPEND;
  if ((openFlags & kCabOpenCreate) != 0) flags |= O_CREAT;
  if ((openFlags & kCabOpenTruncate) != 0) flags |= O_TRUNC;
  if ((openFlags & kCabOpenExclusive) != 0) flags |= O_EXCL;
  mode_t mode = 0;
  if ((permissionMode & kCabPermissionRead) != 0) mode |= 0444;
  if ((permissionMode & kCabPermissionWrite) != 0) mode |= 0222;
  if (mode == 0) mode = 0666;
  int fd;
  do {
    fd = ::open(name, flags, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = errno;
    return kCabInvalidHandle;
  }
  return fd;
}

std::int32_t CabinetPosixFiles::Read(CabHandle handle, void* buffer, std::uint32_t count,
                                     std::int32_t& error) {
  if (count > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
    count = std::numeric_limits<std::int32_t>::max();
  }
  ssize_t got;
  do {
    got = ::read(ToFd(handle), buffer, count);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    error = errno;
    return -1;
  }
  return static_cast<std::int32_t>(got);
}

std::int32_t CabinetPosixFiles::Write(CabHandle handle, const void* buffer, std::uint32_t count,
                                      std::int32_t& error) {
  if (count > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
    error = EINVAL;
    return -1;
  }
  const auto* p = static_cast<const unsigned char*>(buffer);
  std::uint32_t left = count;
  while (left > 0) {
    const ssize_t put = ::write(ToFd(handle), p, left);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      error = put < 0 ? errno : EIO;
      return -1;
    }
    p += put;
    left -= static_cast<std::uint32_t>(put);
  }
  return static_cast<std::int32_t>(count);
}

std::int32_t CabinetPosixFiles::Seek(CabHandle handle, std::int32_t distance, std::int32_t origin,
                                     std::int32_t& error) {
  int whence;
  switch (origin) {
    case kCabSeekSet: whence = SEEK_SET; break;
    case kCabSeekCurrent: whence = SEEK_CUR; break;
    case kCabSeekEnd: whence = SEEK_END; break;
    default: error = EINVAL; return -1;
  }
  const int fd = ToFd(handle);
  const off_t before = ::lseek(fd, 0, SEEK_CUR);
  const off_t at = ::lseek(fd, distance, whence);
  if (at < 0) {
    error = errno;
    return -1;
  }
  if (at > std::numeric_limits<std::int32_t>::max()) {
    ::lseek(fd, before, SEEK_SET);
    error = EOVERFLOW;
    return -1;
  }
  return static_cast<std::int32_t>(at);
}

std::int32_t CabinetPosixFiles::Close(CabHandle handle, std::int32_t& error) {
  if (::close(ToFd(handle)) != 0) {
    error = errno;
    return -1;
  }
  return 0;
}

std::int32_t CabinetPosixFiles::Delete(const char* name, std::int32_t& error) {
  if (name == nullptr || ::unlink(name) != 0) {
    error = name == nullptr ? ENOENT : errno;
    return -1;
  }
  return 0;
}

bool CabinetPosixFiles::GetTempFile(char* nameBuffer, std::int32_t bufferSize) {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/w4cab-XXXXXX";
  if (nameBuffer == nullptr || bufferSize <= 0 ||
      pattern.size() + 1 > static_cast<std::size_t>(bufferSize)) {
    return false;
  }
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return false;
  ::close(fd);
  std::memcpy(nameBuffer, pattern.c_str(), pattern.size() + 1);
  return true;
}

CabHandle CabinetPosixFiles::GetOpenInfo(const char* name, std::uint16_t& date,
                                         std::uint16_t& time, std::uint16_t& attributes,
                                         std::int32_t& error) {
  const CabHandle handle = Open(name, kCabOpenReadOnly | kCabOpenBinary, 0, error);
  if (handle == kCabInvalidHandle) return handle;
  struct stat st {};
  if (::fstat(ToFd(handle), &st) != 0) {
    error = errno;
    ::close(ToFd(handle));
    return kCabInvalidHandle;
  }
  ToDosDateTime(st.st_mtime, date, time);
  attributes = kCabAttribArchive;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= kCabAttribReadOnly;
  return handle;
}

CabHandle CabinetPosixFiles::CreateTempFile(std::string& name, std::int32_t& error) {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/w4cab-XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return kCabInvalidHandle;
  }
  name = pattern;
  return fd;
}

bool CabinetPosixFiles::MakeDirectory(const char* path, std::int32_t& error) {
  if (path == nullptr || *path == '\0') {
    error = ENOENT;
    return false;
  }
  if (::mkdir(path, 0777) == 0) return true;
  struct stat st {};
  if (errno == EEXIST && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode)) return true;
  error = errno == 0 ? EEXIST : errno;
  return false;
}

bool CabinetPosixFiles::GetFileDosTime(const char* name, std::uint16_t& date, std::uint16_t& time) {
  struct stat st {};
  if (name == nullptr || ::stat(name, &st) != 0) return false;
  ToDosDateTime(st.st_mtime, date, time);
  return true;
}
