#include "w4util/platform/SystemErrorText.h"

#include <cstring>

namespace w4platform {
namespace {

struct Entry {
  std::uint32_t code;
  const char* text;
};

// The host's codes that the library itself reports or relays.
constexpr Entry kTable[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {14, "Not enough memory resources are available to complete this operation."},
    {32, "The process cannot access the file because it is being used by another process."},
    {38, "Reached the end of the file."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {122, "The data area passed to a system call is too small."},
    {126, "The specified module could not be found."},
    {127, "The specified procedure could not be found."},
    {183, "Cannot create a file when that file already exists."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {1168, "Element not found."},
    {1722, "The RPC server is unavailable."},
    {1801, "The printer name is invalid."},
    {1804, "The specified datatype is invalid."},
    {1812, "The specified image file did not contain a resource section."},
    {1813, "The specified resource type cannot be found in the image file."},
    {1814, "The specified resource name cannot be found in the image file."},
};

thread_local std::uint32_t t_lastError = 0;

void Widen(const char* text, std::u16string& out) {
  // Both sources are ASCII (the table, the C library's English texts).
  out.clear();
  for (const char* p = text; *p != '\0'; ++p) out += static_cast<char16_t>(static_cast<unsigned char>(*p));
  out += u"\r\n";
}

}  // namespace

bool SystemErrorText(std::uint32_t code, std::u16string& text) {
  for (const Entry& entry : kTable) {
    if (entry.code == code) {
      Widen(entry.text, text);
      return true;
    }
  }
  text.clear();
  if (code > 4095) return false;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 32)
  const char* description = ::strerrordesc_np(static_cast<int>(code));
  if (description == nullptr) return false;
  Widen(description, text);
  return true;
#else
  char buffer[256] = {};
  const char* description = ::strerror_r(static_cast<int>(code), buffer, sizeof buffer);
  if (description == nullptr || std::strncmp(description, "Unknown error", 13) == 0) return false;
  Widen(description, text);
  return true;
#endif
}

std::uint32_t GetLastErrorCode() noexcept { return t_lastError; }
void SetLastErrorCode(std::uint32_t code) noexcept { t_lastError = code; }

}  // namespace w4platform
