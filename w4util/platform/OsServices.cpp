#include "w4util/platform/OsServices.h"

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace w4platform {

int CreateDirectories(const std::string& path) {
  if (path.empty()) return ENOENT;
  std::string partial;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    partial = path.substr(0, slash);
    start = slash + 1;
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return errno;
  }
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

namespace {

int RemoveTreeAt(int parent, const char* name, bool recurse) {
  const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    const int err = errno;
    ::close(fd);
    return err;
  }
  int result = 0;
  std::vector<std::string> subdirectories;
  while (struct dirent* entry = ::readdir(dir)) {
    const char* child = entry->d_name;
    if (std::strcmp(child, ".") == 0 || std::strcmp(child, "..") == 0) continue;
    struct stat st;
    if (::fstatat(fd, child, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      result = errno;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      subdirectories.emplace_back(child);
      continue;
    }
    // A link is removed itself; only real files get their permissions eased.
    if (S_ISREG(st.st_mode)) ::fchmodat(fd, child, st.st_mode | S_IWUSR, 0);
    if (::unlinkat(fd, child, 0) != 0) result = errno;
  }
  if (recurse) {
    for (const std::string& sub : subdirectories) {
      if (int err = RemoveTreeAt(fd, sub.c_str(), true)) result = err;
    }
  }
  ::closedir(dir);
  if (::unlinkat(parent, name, AT_REMOVEDIR) != 0 && result == 0) result = errno;
  return result;
}

}  // namespace

int RemoveDirectoryTree(const std::string& directory, bool recurse) {
  if (directory.empty()) return ENOENT;
  struct stat st;
  if (::lstat(directory.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  return RemoveTreeAt(AT_FDCWD, directory.c_str(), recurse);
}

bool PathExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsReadOnly(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

int SetReadOnly(const std::string& path, bool readOnly) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return errno;
  if (S_ISLNK(st.st_mode)) return ELOOP;
  const mode_t mode = readOnly ? (st.st_mode & ~S_IWUSR) : (st.st_mode | S_IWUSR);
  return ::chmod(path.c_str(), mode & 07777) == 0 ? 0 : errno;
}

int GetFileTimes(const std::string& path, FileTimes& times) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno;
  times.creationUnixSeconds = st.st_ctime;
  times.modifiedUnixSeconds = st.st_mtime;
  return 0;
}

bool IsFileLocked(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return locked;
}

int RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

std::string TemporaryDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

int CreateUniqueFile(const std::string& directory, const std::string& prefix, std::string& name) {
  std::string pattern = directory;
  if (!pattern.empty() && pattern.back() != '/') pattern += '/';
  pattern += prefix + "XXXXXX.tmp";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkstemps(buffer.data(), 4);
  if (fd < 0) return errno;
  ::close(fd);
  name.assign(buffer.data());
  return 0;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  if (::getcwd(buffer.data(), buffer.size()) == nullptr) return std::string();
  return std::string(buffer.data());
}

std::string SharedModuleFileName(void* module) {
  if (module == nullptr) {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
  }
  struct link_map* map = nullptr;
  if (::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr) {
    return std::string();
  }
  return std::string(map->l_name);
}

bool OpenAlwaysAndQuery(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat st;
  const bool ok = ::fstat(fd, &st) == 0;
  ::close(fd);
  return ok;
}

void* LoadSharedModule(const std::string& path, std::string& error) {
  error.clear();
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* text = ::dlerror();
    error = text != nullptr ? text : "cannot load module";
  }
  return module;
}

void UnloadSharedModule(void* module) {
  if (module != nullptr) ::dlclose(module);
}

std::string MachineArchitecture() {
  struct utsname name;
  if (::uname(&name) != 0) return std::string();
  return std::string(name.machine);
}

bool IsHost64Bit() {
  const std::string machine = MachineArchitecture();
  return machine == "x86_64" || machine == "aarch64" || machine == "ppc64le" ||
         machine == "ppc64" || machine == "s390x" || machine == "riscv64" || machine == "ia64" ||
         machine == "loongarch64" || machine == "mips64" || machine == "sparc64";
}

}  // namespace w4platform
