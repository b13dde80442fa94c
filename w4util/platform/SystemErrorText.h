// Texts of the host's system error codes, and the calling thread's
// last-error value that the library's host calls leave behind.
//
// The codes are those of the reference platform (2 file not found, 5 access
// denied, 32 sharing violation, ...); a table holds the ones this library
// and its callers meet. A code the table does not hold is taken as an errno
// value and described by the C library. Texts end with CR LF, as the host's
// message table gives them.
//
// Thread-safety: lookups are pure; the last-error value is per thread.
#pragma once

#include <cstdint>
#include <string>

#include "w4util/Export.h"

namespace w4platform {

// The text of code, or false (text empty) when there is none.
W4UTIL_EXPORT bool SystemErrorText(std::uint32_t code, std::u16string& text);

W4UTIL_EXPORT std::uint32_t GetLastErrorCode() noexcept;
W4UTIL_EXPORT void SetLastErrorCode(std::uint32_t code) noexcept;

}  // namespace w4platform
