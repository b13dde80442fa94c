// ZelvoException: the root of every exception the library throws, and
// ZelvoComException, the one that carries a COM result code.
//
// An exception records where it was thrown (file, line, "Class::Method"), a
// message (may be empty) and a copy of the throwing thread's execution-context
// stack. Each concrete class answers a code string "NNN:NNN"; users are shown
// the code and the throw line (GetExceptionIdentifierForUserDisplay), logs
// the multi-line report (GetExceptionDescription, what()).
//
// Exceptions cross threads (std::exception_ptr, futures): the copied stack
// holds clones of the frames with atomically counted records, and every other
// field is a CXString (atomic counts), so an exception may be copied and
// destroyed on any thread. what() builds its text once per object and always
// returns the same buffer; it is safe to call from several threads at once
// and never throws.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>

#include "w4util/Export.h"
#include "w4util/errors/ExecutionContext.h"
#include "w4util/foundation/CXString.h"

class W4UTIL_EXPORT ZelvoException : public std::exception {
 public:
  // Copies *stack when it is given; a null stack gives a report without
  // stack lines.
  ZelvoException(const CXString& message, const CXString& file, std::int32_t line,
                 const CXString& method, const ExecutionContextStack* stack);
  // Copies every field except the narrow description, which the copy builds
  // anew when asked.
  ZelvoException(const ZelvoException& other);
  ZelvoException& operator=(const ZelvoException& other);
  ~ZelvoException() override;

  // The narrow (ANSI) report text, at most 2,047 bytes.
  const char* what() const noexcept override;
  virtual void Dump() const {}
  // The class's code string, "NNN:NNN".
  virtual CXString GetExceptionTypeByNumericCode() const = 0;

  const CXString& GetExceptionMesage() const noexcept { return m_Message; }
  const CXString& GetExceptionLocationFileName() const noexcept { return m_File; }
  const CXString& GetExceptionLocationFunctionName() const noexcept { return m_Method; }
  std::uint32_t GetExceptionLocationLineNumber() const noexcept {
    return static_cast<std::uint32_t>(m_Line);
  }
  // The copied stack (empty when none was given).
  const ExecutionContextStack& GetExecutionContextStack() const noexcept { return m_Stack; }
  bool HasExecutionContextStack() const noexcept { return m_HasStack; }

  // The demangled class name of the most-derived class.
  CXString GetExceptionType() const;
  // The code string, ":" and the line in at least four digits (031:000:0412).
  CXString GetExceptionIdentifierForUserDisplay() const;
  // The same for a ZelvoException, else "000:000:000".
  static CXString GetExceptionIdentifierForUserDisplay(const std::exception& e);
  static bool IsZelvoException(const std::exception& e) noexcept;
  // The full report text; never throws (a failure leaves the text so far).
  static CXString GetExceptionDescription(const std::exception& e) noexcept;

  template <class... Args>
  static bool AllowForExceptionDebug(const Args&...) noexcept {
    return false;
  }
  template <class... Args>
  static bool ProcessFailedAssertion(const Args&...) noexcept {
    return false;
  }

 protected:
  // The location block: Path, File, Method, Line, the stack, Details.
  static CXString GetLocationAndMessageDescription(const CXString& message, const CXString& file,
                                                   std::int32_t line, const CXString& method,
                                                   const ExecutionContextStack* stack);

 private:
  CXString m_File;
  std::int32_t m_Line;
  CXString m_Method;
  CXString m_Message;
  ExecutionContextStack m_Stack;
  bool m_HasStack;
  mutable std::atomic<char*> m_pNarrowDescription{nullptr};
};

class W4UTIL_EXPORT ZelvoComException : public ZelvoException {
 public:
  ZelvoComException(const CXString& message, const CXString& file, std::int32_t line,
                    const CXString& method, const ExecutionContextStack* stack,
                    std::int32_t hresult);
  ZelvoComException(const ZelvoComException& other) = default;

  CXString GetExceptionTypeByNumericCode() const override { return CXString(u"071:000"); }
  std::int32_t GetHresult() const noexcept { return m_Hresult; }
  // "COM Error HRESULT = 0x%x (%s)." with the code and its system text (or
  // the "IDispatch error #%d" / "Unknown error 0x%0lX" fallbacks).
  static CXString GetAdditionalExceptionDescription(const ZelvoComException* e);
  // The system text of code with those fallbacks.
  static CXString GetHresultText(std::int32_t code);

 private:
  std::int32_t m_Hresult;
};

W4UTIL_EXPORT ZelvoComException GetZelvoComException(const CXString& message, const CXString& file,
                                                     std::int32_t line, const CXString& method,
                                                     const ExecutionContextStack* stack,
                                                     std::int32_t hresult);
