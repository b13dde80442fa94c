// The catalogue of concrete exception classes: each names one kind of
// failure, derives from ZelvoException and answers one code string. Every
// class X has the root's constructor, a copy constructor and the factory
// GetX(message, file, line, method, stack) that throw sites call (through
// ZELVO_THROW).
//
// Classes defined so far (the rest of the catalogue joins them here):
//   "048:000" ExceptionAccessPriorToInitialization  per-thread storage
//   "055:000" ExceptionAutoPtrNull                  per-thread storage
//   "072:000" ExceptionOutOfMemory                  per-thread storage, XML
// W4UTIL_DECLARE_EXCEPTION / W4UTIL_DEFINE_EXCEPTION (below) declare and
// define one class with its factory.
#pragma once

#include "w4util/Export.h"
#include "w4util/errors/ZelvoException.h"

#define W4UTIL_DECLARE_EXCEPTION(Name, Base)                                                 \
  class W4UTIL_EXPORT Name : public Base {                                                   \
   public:                                                                                   \
    Name(const CXString& message, const CXString& file, std::int32_t line,                   \
         const CXString& method, const ExecutionContextStack* stack)                         \
        : Base(message, file, line, method, stack) {}                                        \
    Name(const Name& other) = default;                                                       \
    CXString GetExceptionTypeByNumericCode() const override;                                 \
  };                                                                                         \
  W4UTIL_EXPORT Name Get##Name(const CXString& message, const CXString& file,                \
                               std::int32_t line, const CXString& method,                    \
                               const ExecutionContextStack* stack)

#define W4UTIL_DEFINE_EXCEPTION(Name, Code)                                                  \
  CXString Name::GetExceptionTypeByNumericCode() const { return CXString(u"" Code); }       \
  Name Get##Name(const CXString& message, const CXString& file, std::int32_t line,           \
                 const CXString& method, const ExecutionContextStack* stack) {               \
    return Name(message, file, line, method, stack);                                         \
  }

W4UTIL_DECLARE_EXCEPTION(ExceptionAccessPriorToInitialization, ZelvoException);
W4UTIL_DECLARE_EXCEPTION(ExceptionAutoPtrNull, ZelvoException);
W4UTIL_DECLARE_EXCEPTION(ExceptionOutOfMemory, ZelvoException);
