// CriticalResource: the in-process lock of one shared resource, re-entrant
// for the owning thread; OwnedCriticalResource: its scoped holder.
//
// acquireOwnership(true) first tries the lock; when another thread holds it,
// it shows the notice "Thread contention encountered for this resource. Just
// an FYI." (caption "CriticalResource.", task-modal) through the platform
// presenter, which never blocks, and then waits for the lock.
//
// Thread-safety: safe for concurrent use (that is its purpose). Not copyable.
#pragma once

#include <cstdint>
#include <mutex>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"

class W4UTIL_EXPORT CriticalResource {
 public:
  explicit CriticalResource(const char16_t* name = nullptr) noexcept;
  CriticalResource(const CriticalResource&) = delete;
  CriticalResource& operator=(const CriticalResource&) = delete;

  void acquireOwnership(bool reportContention = false);
  // Requires: the calling thread holds the resource.
  void releaseOwnership();
  // True when acquired without waiting.
  bool tryAcquireOwnership();
  // Always empty in this library.
  CXString getDebugDisplayName() const { return CXString(); }

  // Shows the contention notice through the presenter.
  static void ReportContention();

 private:
  std::recursive_mutex m_Mutex;
};

class W4UTIL_EXPORT OwnedCriticalResource {
 public:
  // owner and line serve debugging and are not kept.
  OwnedCriticalResource(volatile CriticalResource& resource, const char16_t* owner = nullptr,
                        std::uint32_t line = 0, bool reportContention = false);
  ~OwnedCriticalResource();
  OwnedCriticalResource(const OwnedCriticalResource&) = delete;
  OwnedCriticalResource& operator=(const OwnedCriticalResource&) = delete;

 private:
  CriticalResource& m_Resource;
};
