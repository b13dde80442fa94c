#include "w4util/errors/ZelvoException.h"

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <typeinfo>
#include <vector>

#include "w4util/errors/Throw.h"
#include "w4util/errors/UtilitiesDllPerThreadStorage.h"
#include "w4util/platform/HresultText.h"

namespace {

constexpr std::size_t kNarrowDescriptionSize = 2048;

// The readable name of a runtime type ("ExceptionIndexOutOfBounds").
std::string DemangledName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  if (status == 0 && demangled != nullptr) return std::string(demangled.get());
  return std::string(type.name());
}

// Directory and file parts of a path; both separators count.
std::size_t LastSeparator(const CXString& path) {
  const std::int32_t back = path.ReverseFind(u'\\');
  const std::int32_t slash = path.ReverseFind(u'/');
  const std::int32_t last = back > slash ? back : slash;
  return last < 0 ? std::string::npos : static_cast<std::size_t>(last);
}

}  // namespace

// --- ZelvoException ---------------------------------------------------------

ZelvoException::ZelvoException(const CXString& message, const CXString& file, std::int32_t line,
                               const CXString& method, const ExecutionContextStack* stack)
    : m_File(file),
      m_Line(line),
      m_Method(method),
      m_Message(message),
      m_Stack(stack != nullptr ? stack->CloneForOtherThreads() : ExecutionContextStack()),
      m_HasStack(stack != nullptr) {}

ZelvoException::ZelvoException(const ZelvoException& other)
    : std::exception(other),
      m_File(other.m_File),
      m_Line(other.m_Line),
      m_Method(other.m_Method),
      m_Message(other.m_Message),
      m_Stack(other.m_Stack),
      m_HasStack(other.m_HasStack) {}

ZelvoException& ZelvoException::operator=(const ZelvoException& other) {
  if (&other == this) return *this;
  m_File = other.m_File;
  m_Line = other.m_Line;
  m_Method = other.m_Method;
  m_Message = other.m_Message;
  m_Stack = other.m_Stack;
  m_HasStack = other.m_HasStack;
  delete[] m_pNarrowDescription.exchange(nullptr, std::memory_order_acq_rel);
  return *this;
}

ZelvoException::~ZelvoException() { delete[] m_pNarrowDescription.load(std::memory_order_acquire); }

const char* ZelvoException::what() const noexcept {
  char* existing = m_pNarrowDescription.load(std::memory_order_acquire);
  if (existing != nullptr) return existing;
  char* built = nullptr;
  try {
    const std::vector<char> narrow = GetExceptionDescription(*this).GetAsMultiByte();
    built = new char[kNarrowDescriptionSize];
    std::size_t n = narrow.empty() ? 0 : std::strlen(narrow.data());
    if (n > kNarrowDescriptionSize - 1) n = kNarrowDescriptionSize - 1;
    std::memcpy(built, narrow.data(), n);
    built[n] = '\0';
  } catch (...) {
    delete[] built;
    return "ZelvoException";
  }
  // Two threads may build at once; the first buffer stored wins for good.
  char* expected = nullptr;
  if (m_pNarrowDescription.compare_exchange_strong(expected, built, std::memory_order_acq_rel)) {
    return built;
  }
  delete[] built;
  return expected;
}

CXString ZelvoException::GetExceptionType() const {
  return CXString(DemangledName(typeid(*this)).c_str());
}

CXString ZelvoException::GetExceptionIdentifierForUserDisplay() const {
  CXString line;
  line.Format(u":%04u", GetExceptionLocationLineNumber());
  return GetExceptionTypeByNumericCode() + line;
}

CXString ZelvoException::GetExceptionIdentifierForUserDisplay(const std::exception& e) {
  const auto* zelvo = dynamic_cast<const ZelvoException*>(&e);
  if (zelvo == nullptr) return CXString(u"000:000:000");
  return zelvo->GetExceptionIdentifierForUserDisplay();
}

bool ZelvoException::IsZelvoException(const std::exception& e) noexcept {
  return dynamic_cast<const ZelvoException*>(&e) != nullptr;
}

CXString ZelvoException::GetExceptionDescription(const std::exception& e) noexcept {
  CXString text;
  try {
    text = u"Object of std::exception";
  } catch (...) {
    return text;
  }
  try {
    CXString named;
    named.Format(u"Object of %S", DemangledName(typeid(e)).c_str());
    text = named;
  } catch (...) {
    // Keep the first text.
  }
  try {
    if (const auto* zelvo = dynamic_cast<const ZelvoException*>(&e)) {
      text += u" thrown from:\r\n\r\n";
      text += GetLocationAndMessageDescription(zelvo->m_Message, zelvo->m_File, zelvo->m_Line,
                                               zelvo->m_Method,
                                               zelvo->m_HasStack ? &zelvo->m_Stack : nullptr);
      if (const auto* com = dynamic_cast<const ZelvoComException*>(&e)) {
        text += u"\n\t";
        text += ZelvoComException::GetAdditionalExceptionDescription(com);
        text += u"\n\n";
      }
      return text;
    }
    const char* what = e.what();
    if (what != nullptr && *what != '\0') {
      CXString more;
      more.Format(u"\r\n\r\n\t%S\r\n", what);
      text += more;
    } else {
      text += u"\r\n\r\n\tNo additional information available.\r\n";
    }
  } catch (...) {
    // The text built so far.
  }
  return text;
}

CXString ZelvoException::GetLocationAndMessageDescription(const CXString& message,
                                                          const CXString& file, std::int32_t line,
                                                          const CXString& method,
                                                          const ExecutionContextStack* stack) {
  const std::size_t separator = LastSeparator(file);
  const CXString directory =
      separator == std::string::npos ? CXString() : file.Left(static_cast<std::int32_t>(separator) + 1);
  const CXString name =
      separator == std::string::npos ? file : file.Mid(static_cast<std::int32_t>(separator) + 1);
  CXString text = CXString(u"Path:\t") + directory + u"\r\n";
  text += CXString(u"File:\t") + name + u"\r\n";
  text += CXString(u"Method:\t") + method + u"()\r\n";
  CXString lineText;
  lineText.Format(u"Line:\t%u\r\n", static_cast<std::uint32_t>(line));
  text += lineText;
  if (stack != nullptr) text += stack->GetMultiLineDisplayString(true);
  if (!message.IsEmpty()) {
    text += u"\r\nDetails:\r\n\t";
    text += message;
    text += u"\r\n";
  }
  return text;
}

// --- ZelvoComException ------------------------------------------------------

ZelvoComException::ZelvoComException(const CXString& message, const CXString& file,
                                     std::int32_t line, const CXString& method,
                                     const ExecutionContextStack* stack, std::int32_t hresult)
    : ZelvoException(message, file, line, method, stack), m_Hresult(hresult) {}

CXString ZelvoComException::GetHresultText(std::int32_t code) {
  std::u16string system = w4platform::SystemMessageForHresult(code);
  if (system.size() >= 2 && system.compare(system.size() - 2, 2, u"\r\n") == 0) {
    system.resize(system.size() - 2);
  }
  CXString text;
  if (!system.empty()) {
    text = system.c_str();
    return text;
  }
  const auto unsignedCode = static_cast<std::uint32_t>(code);
  if (unsignedCode >= 0x80040200u && unsignedCode <= 0x8004FFFFu && unsignedCode != 0x80040200u) {
    text.Format(u"IDispatch error #%d", static_cast<std::int32_t>(unsignedCode - 0x80040200u));
  } else {
    text.Format(u"Unknown error 0x%0lX", code);
  }
  return text;
}

CXString ZelvoComException::GetAdditionalExceptionDescription(const ZelvoComException* e) {
  if (e == nullptr) return CXString();
  const CXString codeText = GetHresultText(e->m_Hresult);
  CXString text;
  text.Format(u"COM Error HRESULT = 0x%x (%s).", static_cast<std::uint32_t>(e->m_Hresult),
              static_cast<const char16_t*>(codeText));
  return text;
}

ZelvoComException GetZelvoComException(const CXString& message, const CXString& file,
                                       std::int32_t line, const CXString& method,
                                       const ExecutionContextStack* stack, std::int32_t hresult) {
  return ZelvoComException(message, file, line, method, stack, hresult);
}

// --- throw sites ------------------------------------------------------------

namespace w4util_errors_internal {

CXString ThrowSiteFallbackMessage() {
  return CXString(
      u"A message argument was supplied, but the resulting string is empty. The argument list "
      u"for this message causes a crash. Some code that executes to marshal the arguments to "
      u"pass to the format string method causes a crash (e.g., a NULL pointer indirection). "
      u"Look at the message arguments at the file and line number indicated above.");
}

const ExecutionContextStack* ThrowSiteStack() noexcept {
  try {
    return &UtilitiesDllPerThreadStorage::GetExecutionContextStack();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace w4util_errors_internal
