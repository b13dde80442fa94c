#include "w4util/memory/CriticalResource.h"

#include "w4util/platform/Presenter.h"

CriticalResource::CriticalResource(const char16_t* /*name*/) noexcept {}

void CriticalResource::acquireOwnership(bool reportContention) {
  if (!reportContention) {
    m_Mutex.lock();
    return;
  }
  if (m_Mutex.try_lock()) return;
  ReportContention();
  m_Mutex.lock();
}

void CriticalResource::releaseOwnership() { m_Mutex.unlock(); }

bool CriticalResource::tryAcquireOwnership() { return m_Mutex.try_lock(); }

void CriticalResource::ReportContention() {
  try {
    w4platform::GetPresenter().ShowMessageBox(
        u"Thread contention encountered for this resource. Just an FYI.", u"CriticalResource.",
        w4platform::kMbTaskModal);
  } catch (...) {
    // A notice that cannot be shown must not keep the caller from the lock.
  }
}

OwnedCriticalResource::OwnedCriticalResource(volatile CriticalResource& resource,
                                             const char16_t* /*owner*/, std::uint32_t /*line*/,
                                             bool reportContention)
    : m_Resource(const_cast<CriticalResource&>(resource)) {
  m_Resource.acquireOwnership(reportContention);
}

OwnedCriticalResource::~OwnedCriticalResource() { m_Resource.releaseOwnership(); }
