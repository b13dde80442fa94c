#include "w4util/platform/ModuleName.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>

namespace w4platform {

std::string ModuleFileNameContaining(const void* address) {
  Dl_info info{};
  if (address == nullptr || ::dladdr(address, &info) == 0) return std::string();
  // The main program is listed without a name.
  if (info.dli_fname == nullptr || info.dli_fname[0] == '\0') return ExecutableFileName();
  // The dynamic linker gives the name it opened, which may be relative;
  // the absolute path keeps working after a change of directory.
  std::unique_ptr<char, decltype(&::free)> full(::realpath(info.dli_fname, nullptr), &::free);
  if (full) return std::string(full.get());
  // The executable itself is listed with the name it was started by.
  std::string exe = ExecutableFileName();
  return exe.empty() ? std::string(info.dli_fname) : exe;
}

std::string ExecutableFileName() {
  std::string path(static_cast<std::size_t>(PATH_MAX), '\0');
  const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n <= 0) return std::string();
  path.resize(static_cast<std::size_t>(n));
  return path;
}

const void* OwnModuleAddress() noexcept {
  return reinterpret_cast<const void*>(&OwnModuleAddress);
}

}  // namespace w4platform
