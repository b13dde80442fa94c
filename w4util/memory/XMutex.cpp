#include "w4util/memory/XMutex.h"

#include <vector>

#include "w4util/platform/NamedLock.h"

namespace {
std::string ToUtf8(const CXString& name) {
  std::u16string_view units(static_cast<const char16_t*>(name),
                            static_cast<std::size_t>(name.GetLength()));
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
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
