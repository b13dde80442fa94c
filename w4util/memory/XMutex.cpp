#include "w4util/memory/XMutex.h"

#include <cstdint>
#include <string>

#include "w4util/foundation/Utf8.h"
#include "w4util/platform/NamedLock.h"

namespace {
// Lock names are UTF-8 on the host; a lone surrogate becomes U+FFFD.
std::string ToUtf8(const CXString& name) {
  const ByteBuffer bytes = ZelvoUtilities::UTF8_Encode(name, static_cast<std::uint32_t>(name.GetLength()));
  return std::string(bytes.begin(), bytes.end());
}
}  // namespace

XMutex::XMutex(CXString name) : m_Name(std::move(name)) {
  try {
    m_Lock = w4platform::NamedLock::Open(ToUtf8(m_Name));
  } catch (...) {
    m_Lock.reset();
  }
}

XMutex::~XMutex() {
  // Only what this object acquired is given back.
  if (m_Lock != nullptr && m_Acquired > 0) m_Lock->Unlock();
}

std::uint32_t XMutex::Wait(std::uint32_t timeout) {
  if (m_Lock == nullptr) return kInvalidHandle;
  if (m_Acquired > 0) {
    ++m_Acquired;
    return kWaitObject0;
  }
  std::uint32_t result = m_Lock->Wait(timeout);
  if (result == w4platform::kWaitObject0) ++m_Acquired;
  return result;
}

bool XMutex::WaitWithRetry(std::uint32_t timeout, std::uint32_t retries) {
  std::uint32_t result = Wait(timeout);
  for (std::uint32_t retry = 0; result == kWaitTimeout && retry < retries; ++retry) {
    result = Wait(timeout);
  }
  return result == kWaitObject0;
}

bool XMutex::Release() {
  if (m_Lock == nullptr || m_Acquired == 0) return false;
  if (--m_Acquired == 0) m_Lock->Unlock();
  return true;
}
