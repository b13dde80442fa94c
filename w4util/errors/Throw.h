// ZELVO_THROW: the one way the library throws.
//
//   ZELVO_THROW(ExceptionIndexOutOfBounds, "AttributeBytesRawList::GetAt",
//               "Index %ld is out of range (%ld entries).", index, count);
//   ZELVO_THROW_NO_MESSAGE(ExceptionOutOfMemory, "XmlDocument::Load");
//
// The format is a narrow literal taken as UTF-16 (u"" is prefixed), so the
// wide conventions apply: "%s" takes const char16_t*, "%S" const char*, "%ld"
// 32-bit. The message is ZelvoUtilities::SafeFormatString of the format and
// arguments; when evaluating the arguments throws, the message is the fixed
// "A message argument was supplied, ..." text. The exception is made by the
// class's factory Get<ExceptionClass>(message, __FILE__, __LINE__, method,
// thread's stack) and thrown by value. When the thread's stack cannot be had
// the exception carries none (the throw itself never turns into another
// exception class).
#pragma once

#include "w4util/Export.h"
#include "w4util/errors/ExecutionContext.h"
#include "w4util/foundation/CXString.h"

namespace w4util_errors_internal {

// The message of a throw site whose arguments could not be evaluated.
W4UTIL_EXPORT CXString ThrowSiteFallbackMessage();
// The calling thread's stack, or null when it cannot be had.
W4UTIL_EXPORT const ExecutionContextStack* ThrowSiteStack() noexcept;

template <class Make>
CXString ThrowSiteMessage(Make&& make) noexcept {
  try {
    return make();
  } catch (...) {
    try {
      return ThrowSiteFallbackMessage();
    } catch (...) {
      return CXString();
    }
  }
}

}  // namespace w4util_errors_internal

#define ZELVO_THROW(ExceptionClass, Method, Format, ...)                                     \
  throw Get##ExceptionClass(::w4util_errors_internal::ThrowSiteMessage([&]() -> CXString {   \
                              return ::ZelvoUtilities::SafeFormatString(                     \
                                  u"" Format __VA_OPT__(, ) __VA_ARGS__);                    \
                            }),                                                              \
                            CXString(__FILE__), __LINE__, CXString(u"" Method),              \
                            ::w4util_errors_internal::ThrowSiteStack())

#define ZELVO_THROW_NO_MESSAGE(ExceptionClass, Method)                                 \
  throw Get##ExceptionClass(CXString(), CXString(__FILE__), __LINE__, CXString(u"" Method), \
                            ::w4util_errors_internal::ThrowSiteStack())
