// XMutex: a named lock shared by every process that opens the same name
// (see w4platform::NamedLock: a lock file, released by the system when the
// holder dies).
//
// The object counts its own acquisitions like a re-entrant mutex and, on
// destruction, releases only what it acquired. A failure to create the lock
// leaves it without a handle; Wait then answers 6 (invalid handle).
//
// Thread-safety: one object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"

namespace w4platform {
class NamedLock;
}

class W4UTIL_EXPORT XMutex {
 public:
  static constexpr std::uint32_t kWaitObject0 = 0;
  static constexpr std::uint32_t kWaitTimeout = 258;
  static constexpr std::uint32_t kInvalidHandle = 6;

  explicit XMutex(CXString name);
  virtual ~XMutex();
  XMutex(const XMutex&) = delete;
  XMutex& operator=(const XMutex&) = delete;

  // 0 when acquired, 258 on time-out (timeout in milliseconds, 0xFFFFFFFF: no
  // limit), 6 without a handle.
  virtual std::uint32_t Wait(std::uint32_t timeout);
  // Waits again while the result is a time-out and fewer than retries retries
  // were made (at most retries + 1 waits); true when the last wait acquired.
  bool WaitWithRetry(std::uint32_t timeout, std::uint32_t retries);
  // Gives back one acquisition made by this object; false when it holds none.
  bool Release();

  bool HasHandle() const noexcept { return m_Lock != nullptr; }
  std::uint32_t GetAcquisitionCount() const noexcept { return m_Acquired; }
  const CXString& GetName() const noexcept { return m_Name; }

 private:
  std::unique_ptr<w4platform::NamedLock> m_Lock;
  CXString m_Name;
  std::uint32_t m_Acquired = 0;
};
