#include "w4util/platform/Thread.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace w4platform {

std::uint32_t CurrentThreadId() noexcept {
  thread_local std::uint32_t id = static_cast<std::uint32_t>(::syscall(SYS_gettid));
  return id;
}

std::uint32_t CurrentProcessId() noexcept { return static_cast<std::uint32_t>(::getpid()); }

}  // namespace w4platform
