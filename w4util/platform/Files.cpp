#include "w4util/platform/Files.h"

#include <dirent.h>
#include <grp.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "w4util/platform/ChildProcess.h"

namespace w4platform {
namespace {

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { ::close(fd_); }

  std::int64_t Read(void* buffer, std::size_t count, int& error) override {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      const ssize_t n = ::read(fd_, out + done, count - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        error = errno;
        return -1;
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    error = 0;
    return static_cast<std::int64_t>(done);
  }

  int Write(const void* data, std::size_t count) override {
    const auto* in = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < count) {
      const ssize_t n = ::write(fd_, in + done, count - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (n == 0) return EIO;
      done += static_cast<std::size_t>(n);
    }
    return 0;
  }

  int Seek(std::uint64_t offset) override {
    if (offset > static_cast<std::uint64_t>(LLONG_MAX)) return EINVAL;
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0 ? errno : 0;
  }

  int Size(std::uint64_t& size) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return errno;
    size = static_cast<std::uint64_t>(st.st_size);
    return 0;
  }

  int Sync() override {
    while (::fsync(fd_) != 0) {
      if (errno != EINTR) return errno;
    }
    return 0;
  }

 private:
  int fd_;
};

// The permission bits a new file gets: 0666 less the process's umask, read
// without changing it (umask() would race with other threads).
mode_t DefaultCreateMode() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      const mode_t mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
      return 0666 & ~mask;
    }
  }
  return 0644;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

class PosixFileSystemImpl final : public FileSystem {
 public:
  std::unique_ptr<File> Open(const std::string& path, FileOpenMode mode, int& error) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case FileOpenMode::kRead: flags |= O_RDONLY; break;
      case FileOpenMode::kWriteExisting: flags |= O_WRONLY; break;
      case FileOpenMode::kWriteAlways: flags |= O_WRONLY | O_CREAT; break;
    }
    int fd;
    do {
      fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      error = errno;
      return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      error = EISDIR;
      return nullptr;
    }
    error = 0;
    return std::make_unique<PosixFile>(fd);
  }

  std::unique_ptr<File> CreateTemporaryBeside(const std::string& target, std::string& tempPath,
                                              int& error) override {
    const std::size_t slash = target.find_last_of('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string pattern = dir + "." + base + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
      error = errno;
      return nullptr;
    }
    struct stat st {};
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : DefaultCreateMode();
    ::fchmod(fd, mode);
    tempPath = pattern;
    error = 0;
    return std::make_unique<PosixFile>(fd);
  }

  int Rename(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  }

  int Remove(const std::string& path) override {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
  }

  int SyncDirectory(const std::string& directory) override {
    const std::string dir = directory.empty() ? "." : directory;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    int result = 0;
    while (::fsync(fd) != 0) {
      if (errno == EINTR) continue;
      // Some file systems cannot sync a directory; nothing is lost by that.
      if (errno != EINVAL && errno != EROFS) result = errno;
      break;
    }
    ::close(fd);
    return result;
  }

  int GetInfo(const std::string& path, FileInfo& info) override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno;
    info.isDirectory = S_ISDIR(st.st_mode);
    info.readOnly = (st.st_mode & S_IWUSR) == 0;
    info.size = static_cast<std::uint64_t>(st.st_size);
    return 0;
  }

  int SetReadOnly(const std::string& path, bool readOnly) override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno;
    mode_t mode = st.st_mode & 07777;
    mode = readOnly ? (mode & ~static_cast<mode_t>(S_IWUSR)) : (mode | S_IWUSR);
    return ::chmod(path.c_str(), mode) == 0 ? 0 : errno;
  }

  std::string ResolveLinks(const std::string& path) override {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
      struct stat st {};
      if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
      std::string link(static_cast<std::size_t>(PATH_MAX), '\0');
      const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
      if (n <= 0) return current;
      link.resize(static_cast<std::size_t>(n));
      if (link[0] != '/') link = DirectoryOf(current).append("/").append(link);
      current = link;
    }
    return path;
  }

  int ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) override {
    entries.clear();
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (dir == nullptr) return errno;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      bool isDirectory = entry->d_type == DT_DIR;
      if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
        struct stat st {};
        std::string full = directory;
        full.append("/").append(name);
        isDirectory = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      }
      entries.push_back({name, isDirectory});
    }
    ::closedir(dir);
    return 0;
  }
};

std::atomic<FileSystem*> g_current{nullptr};

class FaultInjectingFile final : public File {
 public:
  FaultInjectingFile(std::unique_ptr<File> base, FaultInjectingFileSystem& owner)
      : base_(std::move(base)), owner_(owner) {}
  std::int64_t Read(void* buffer, std::size_t count, int& error) override {
    return base_->Read(buffer, count, error);
  }
  int Write(const void* data, std::size_t count) override {
    return owner_.NextWriteFails() ? EIO : base_->Write(data, count);
  }
  int Seek(std::uint64_t offset) override { return base_->Seek(offset); }
  int Size(std::uint64_t& size) override { return base_->Size(size); }
  int Sync() override { return owner_.NextSyncFails() ? EIO : base_->Sync(); }

 private:
  std::unique_ptr<File> base_;
  FaultInjectingFileSystem& owner_;
};

}  // namespace

FileSystem& PosixFileSystem() {
  static PosixFileSystemImpl instance;
  return instance;
}

FileSystem& CurrentFileSystem() {
  FileSystem* current = g_current.load(std::memory_order_acquire);
  return current != nullptr ? *current : PosixFileSystem();
}

ScopedFileSystem::ScopedFileSystem(FileSystem& fileSystem)
    : previous_(g_current.exchange(&fileSystem, std::memory_order_acq_rel)) {}

ScopedFileSystem::~ScopedFileSystem() { g_current.store(previous_, std::memory_order_release); }

std::unique_ptr<File> FaultInjectingFileSystem::Wrap(std::unique_ptr<File> file) {
  if (!file) return nullptr;
  return std::make_unique<FaultInjectingFile>(std::move(file), *this);
}

std::unique_ptr<File> FaultInjectingFileSystem::Open(const std::string& path, FileOpenMode mode,
                                                     int& error) {
  return Wrap(base_.Open(path, mode, error));
}

std::unique_ptr<File> FaultInjectingFileSystem::CreateTemporaryBeside(const std::string& target,
                                                                      std::string& tempPath,
                                                                      int& error) {
  if (++temporaries_ == failTemporary_) {
    error = EIO;
    return nullptr;
  }
  return Wrap(base_.CreateTemporaryBeside(target, tempPath, error));
}

int FaultInjectingFileSystem::Rename(const std::string& from, const std::string& to) {
  return ++renames_ == failRename_ ? EIO : base_.Rename(from, to);
}

int FaultInjectingFileSystem::SyncDirectory(const std::string& directory) {
  return ++directorySyncs_ == failSyncDirectory_ ? EIO : base_.SyncDirectory(directory);
}

int RunUnprivilegedInChildProcess(int (*body)(void*), void* context) {
  return RunInChildProcess([body, context]() -> int {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      return 253;
    }
    return body(context);
  });
}

}  // namespace w4platform
