// NamedLock: a lock shared by every process of the machine that opens the
// same name, the host's form of a named mutex.
//
// Each lock is an advisory flock(2) on a file "<dir>/<escaped name>.lock",
// where dir is $W4UTIL_HOME/locks when W4UTIL_HOME is set, else
// /tmp/w4util-locks. The kernel drops the lock when the holder's descriptor
// closes, so a process that dies never leaves the lock held. Two NamedLock
// objects exclude each other even inside one process (each has its own open
// file description).
//
// Thread-safety: one object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "w4util/Export.h"

namespace w4platform {

// Wait results of the reference platform.
inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

class W4UTIL_EXPORT NamedLock {
 public:
  // Opens (creating when needed) the lock file of name; null on failure.
  // name is UTF-8; characters outside [A-Za-z0-9._-] are escaped.
  static std::unique_ptr<NamedLock> Open(std::string_view name);
  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  // kWaitObject0 when acquired within timeoutMs (kInfinite: no limit),
  // kWaitTimeout when not, kWaitFailed on a system error. Does not count:
  // acquiring a lock this object already holds succeeds at once.
  std::uint32_t Wait(std::uint32_t timeoutMs);
  // Releases the lock when this object holds it.
  void Unlock();
  bool IsHeld() const { return m_Held; }
  const std::string& Path() const { return m_Path; }

  // The folder of the lock files (see above).
  static std::string LockDirectory();

 private:
  NamedLock(int fd, std::string path) : m_Fd(fd), m_Path(std::move(path)) {}
  int m_Fd;
  bool m_Held = false;
  std::string m_Path;
};

}  // namespace w4platform
