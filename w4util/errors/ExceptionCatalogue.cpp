#include "w4util/errors/ExceptionCatalogue.h"

#include <iterator>

#define W4UTIL_CATALOGUE_DEFINE_ENTRY(Name, Base, Code) W4UTIL_DEFINE_EXCEPTION(Name, Code)
W4UTIL_EXCEPTION_CATALOGUE(W4UTIL_CATALOGUE_DEFINE_ENTRY)
#undef W4UTIL_CATALOGUE_DEFINE_ENTRY

namespace {

// Names of the parse codes, indexed by code.
constexpr const char16_t* kJtifParseCodeNames[] = {
    u"ILLEGAL_JTIFPARSE_EXCEPTION_CODE",
    u"XMLEXCEPTION_RAISED_DURING_PARSE",
    u"ERROR_REPORTED_DURING_PARSE",
    u"XMLEXCEPTION_RAISED_DURING_XML_GENERATION",
    u"HANDLEOUTPUT_METHOD_FAILED_IN_WRITECHARS",
    u"DOMEXCEPTION_DURING_NODE_CONVERSION",
    u"DOMEXCEPTION_DURING_NODE_CREATION",
    u"NO_CATEGORY_FOR_JTIF_ATTRIBUTE",
    u"NO_XML_SOURCE_BUFFER_SPECIFIED",
    u"NO_XML_OUTPUT_RECEIVER_SPECIFIED",
    u"REQUIRED_DTD_NOT_SPECIFIED",
    u"TYPE_OF_XML_DATA_NOT_SPECIFIED",
    u"READFILE_FAILED",
    u"FAILED_ALLOCATION_OF_XML_FILE_BUFFER",
    u"FAILED_GETFILESIZE_DURING_READ",
    u"FAILED_CREATFILE_DURING_READ",
    u"FILE_TO_READ_NOT_SPECIFIED",
    u"FAILED_CREATFILE_DURING_WRITE",
    u"FILE_TO_WRITE_NOT_SPECIFIED",
    u"WRITEFILE_FAILED",
    u"ATTEMPT_TO_INIT_ORBXML_AFTER_TERMINATION",
    u"MULTIPLE_TERMINATION_OF_ORBXML",
    u"XMLEXCEPTION_DURING_ORBXML_INITIALIZATION",
    u"NULL_DOMDOC_OBJECT_RETURNED",
    u"COM_INITIALIZATION_FAILURE",
    u"PARSE_RESULTED_IN_EMPTY_DOM_DOCUMENT",
    u"NO_CATEGORY_FOR_VELDT_ATTRIBUTE",
};

}  // namespace

JtifParseException::JtifParseException(const CXString& message, const CXString& file,
                                       std::int32_t line, const CXString& method,
                                       const ExecutionContextStack* stack, std::int16_t code)
    : ZelvoException(message, file, line, method, stack),
      m_Code(static_cast<ExceptionCode>(code)) {}

CXString JtifParseException::GetCodeString() const {
  const std::int32_t code = m_Code;
  constexpr auto count = static_cast<std::int32_t>(std::size(kJtifParseCodeNames));
  return CXString(code >= 0 && code < count ? kJtifParseCodeNames[code] : u"<Unknown code!!!>");
}

CXString JtifParseException::GetExceptionTypeByNumericCode() const {
  return ZelvoUtilities::SafeFormatString(u"001:%03d", static_cast<std::int32_t>(m_Code));
}

JtifParseException GetJtifParseException(const CXString& message, const CXString& file,
                                         std::int32_t line, const CXString& method,
                                         const ExecutionContextStack* stack, std::int16_t code) {
  return JtifParseException(message, file, line, method, stack, code);
}
