#include "w4util/platform/NamedLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace w4platform {

std::string NamedLock::LockDirectory() {
  const char* home = std::getenv("W4UTIL_HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/locks";
  return "/tmp/w4util-locks";
}

namespace {
std::string EscapeName(std::string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '.' || c == '_' || c == '-';
    if (plain && !(c == '.' && out.empty())) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  if (out.empty()) out.push_back('%');  // not = "%": GCC 12 -O3 warns falsely (-Wrestrict)
  return out;
}

// Makes dir (and its parent) so that every user may create locks in it.
bool EnsureDirectory(const std::string& dir) {
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  auto slash = dir.rfind('/');
  if (slash != std::string::npos && slash > 0) EnsureDirectory(dir.substr(0, slash));
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) return false;
  if (dir.rfind("/tmp/", 0) == 0) ::chmod(dir.c_str(), 01777);
  return true;
}
}  // namespace

std::unique_ptr<NamedLock> NamedLock::Open(std::string_view name) {
  std::string dir = LockDirectory();
  if (!EnsureDirectory(dir)) return nullptr;
  std::string path = dir + "/" + EscapeName(name) + ".lock";
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  return std::unique_ptr<NamedLock>(new NamedLock(fd, std::move(path)));
}

NamedLock::~NamedLock() {
  Unlock();
  ::close(m_Fd);
}

std::uint32_t NamedLock::Wait(std::uint32_t timeoutMs) {
  if (m_Held) return kWaitObject0;
  if (timeoutMs == kInfinite) {
    while (::flock(m_Fd, LOCK_EX) != 0) {
      if (errno != EINTR) return kWaitFailed;
    }
    m_Held = true;
    return kWaitObject0;
  }
  // flock has no time-out: poll until the deadline.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (::flock(m_Fd, LOCK_EX | LOCK_NB) == 0) {
      m_Held = true;
      return kWaitObject0;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return kWaitFailed;
    if (std::chrono::steady_clock::now() >= deadline) return kWaitTimeout;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void NamedLock::Unlock() {
  if (!m_Held) return;
  ::flock(m_Fd, LOCK_UN);
  m_Held = false;
}

}  // namespace w4platform
