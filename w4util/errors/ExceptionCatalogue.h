// The catalogue of concrete exception classes: each names one kind of
// failure, derives from ZelvoException and answers one code string. Every
// class X has the root's constructor, a copy constructor and the factory
// GetX(message, file, line, method, stack) that throw sites call (through
// ZELVO_THROW).
//
// Callers catch by class, or by one of the two family bases:
// ExceptionCommunicationsFailure ("024:000", itself concrete) for the
// "024:001".."024:010" members, and ExceptionFile (abstract, no code) for the
// "065:001".."065:004" members. JtifParseException alone carries data of its
// own, a parse code, and answers "001:" and that code in three digits.
//
// W4UTIL_EXCEPTION_CATALOGUE(X) lists every concrete class once, as
// X(Name, Base, "code"), in code order (a family base before its members);
// the declarations below, the definitions and the tests all expand it.
// W4UTIL_DECLARE_EXCEPTION / W4UTIL_DEFINE_EXCEPTION declare and define one
// class with its factory.
//
// Thread-safety: the classes are values; see ZelvoException.
#pragma once

#include "w4util/Export.h"
#include "w4util/errors/ZelvoException.h"

// Base names a class in a base-specifier, where it cannot be parenthesised.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define W4UTIL_DECLARE_EXCEPTION(Name, Base)                                                       \
  class W4UTIL_EXPORT Name : public Base {                                                         \
   public:                                                                                         \
    Name(const CXString& message, const CXString& file, std::int32_t line, const CXString& method, \
         const ExecutionContextStack* stack)                                                       \
        : Base(message, file, line, method, stack) {}                                              \
    Name(const Name& other) = default;                                                             \
    CXString GetExceptionTypeByNumericCode() const override;                                       \
  };                                                                                               \
  W4UTIL_EXPORT Name Get##Name(const CXString& message, const CXString& file, std::int32_t line,   \
                               const CXString& method, const ExecutionContextStack* stack)
// NOLINTEND(bugprone-macro-parentheses)

#define W4UTIL_DEFINE_EXCEPTION(Name, Code)                                           \
  CXString Name::GetExceptionTypeByNumericCode() const { return CXString(u"" Code); } \
  Name Get##Name(const CXString& message, const CXString& file, std::int32_t line,    \
                 const CXString& method, const ExecutionContextStack* stack) {        \
    return Name(message, file, line, method, stack);                                  \
  }

// The abstract base of the file failures; it has no code of its own.
class W4UTIL_EXPORT ExceptionFile : public ZelvoException {
 protected:
  ExceptionFile(const CXString& message, const CXString& file, std::int32_t line,
                const CXString& method, const ExecutionContextStack* stack)
      : ZelvoException(message, file, line, method, stack) {}
  ExceptionFile(const ExceptionFile& other) = default;
};

// clang-format off
#define W4UTIL_EXCEPTION_CATALOGUE(X) \
  X(ExceptionRegistryRequest, ZelvoException, "001:000") \
  X(ExceptionIndexOutOfBounds, ZelvoException, "002:000") \
  X(ExceptionNotEnoughBytesForDesiredDataType, ZelvoException, "003:000") \
  X(ExceptionNodeAccessOutOfBounds, ZelvoException, "004:000") \
  X(ExceptionTabCreationFailure, ZelvoException, "005:000") \
  X(ExceptionOperatingSystemFailure, ZelvoException, "006:000") \
  X(ExceptionSpoolerFailure, ZelvoException, "007:000") \
  X(ExceptionPrintJobFailure, ZelvoException, "008:000") \
  X(ExceptionProcessSpawnFailure, ZelvoException, "009:000") \
  X(ExceptionProcessWaitFailure, ZelvoException, "010:000") \
  X(ExceptionProcessFailure, ZelvoException, "011:000") \
  X(ExceptionPrintDriverFailure, ZelvoException, "012:000") \
  X(ExceptionPrinterFailure, ZelvoException, "013:000") \
  X(ExceptionUserFailure, ZelvoException, "014:000") \
  X(ExceptionApplicationFailure, ZelvoException, "015:000") \
  X(ExceptionUnknownKeyRequest, ZelvoException, "016:000") \
  X(ExceptionDuplicateDictionaryIndexEntry, ZelvoException, "017:000") \
  X(ExceptionDelayLoadDllLoadFailure, ZelvoException, "018:000") \
  X(ExceptionFeatureNotFound, ZelvoException, "019:000") \
  X(ExceptionFeatureIsOfADifferentType, ZelvoException, "020:000") \
  X(ExceptionWatermarkFailure, ZelvoException, "021:000") \
  X(ExceptionIteratorOutOfBounds, ZelvoException, "022:000") \
  X(ExceptionInvalidHandle, ZelvoException, "023:000") \
  X(ExceptionCommunicationsFailure, ZelvoException, "024:000") \
  X(ExceptionAutoDiscovery, ExceptionCommunicationsFailure, "024:001") \
  X(ExceptionBEACON, ExceptionCommunicationsFailure, "024:002") \
  X(ExceptionDLP, ExceptionCommunicationsFailure, "024:003") \
  X(ExceptionHTTP, ExceptionCommunicationsFailure, "024:004") \
  X(ExceptionIPP, ExceptionCommunicationsFailure, "024:005") \
  X(ExceptionNETBIOS, ExceptionCommunicationsFailure, "024:006") \
  X(ExceptionSNMP, ExceptionCommunicationsFailure, "024:007") \
  X(ExceptionSOCKET, ExceptionCommunicationsFailure, "024:008") \
  X(ExceptionUSB, ExceptionCommunicationsFailure, "024:009") \
  X(ExceptionWSD, ExceptionCommunicationsFailure, "024:010") \
  X(ExceptionAttributeValueTypeMismatch, ZelvoException, "025:000") \
  X(ExceptionUnhandledSyntax, ZelvoException, "026:000") \
  X(ExceptionInappropriateAttributeId, ZelvoException, "027:000") \
  X(ExceptionDuplicateAttributeId, ZelvoException, "028:000") \
  X(ExceptionInvalidAttributeOperationParamter, ZelvoException, "029:000") \
  X(ExceptionInvalidArgumentNullPointer, ZelvoException, "030:000") \
  X(ExceptionMissingOrBadPersistentAttributesFormat, ZelvoException, "031:000") \
  X(ExceptionIncompatibleCompressionFormat, ZelvoException, "032:000") \
  X(ExceptionMissingOrBadCompressedBufferFooter, ZelvoException, "033:000") \
  X(ExceptionCompression, ZelvoException, "034:000") \
  X(ExceptionFileOperationCompression, ZelvoException, "035:000") \
  X(ExceptionCabinetLibraryConstructionFailure, ZelvoException, "036:000") \
  X(ExceptionMissingOrBadAttributeBytesFormat, ZelvoException, "037:000") \
  X(ExceptionCpsuiOptitemNotFound, ZelvoException, "038:000") \
  X(ExceptionCpsuiDrvUpdateUISettingFailed, ZelvoException, "039:000") \
  X(ExceptionMicrosoftFeatureNotFound, ZelvoException, "040:000") \
  X(ExceptionMicrosoftDevmodeValueMappingFailed, ZelvoException, "041:000") \
  X(ExceptionMicrosoftPrivateDevmodeNotSafeForReverseEngineering, ZelvoException, "042:000") \
  X(ExceptionMicrosoftPrivateDevmodeOffsetOutOfBounds, ZelvoException, "043:000") \
  X(ExceptionIPrintCoreHelperReadFailure, ZelvoException, "044:000") \
  X(ExceptionIPrintCoreHelperWriteFailure, ZelvoException, "045:000") \
  X(ExceptionIPrintCoreHelperEnumerationFailure, ZelvoException, "046:000") \
  X(ExceptionInvalidPaperSizeData, ZelvoException, "047:000") \
  X(ExceptionAccessPriorToInitialization, ZelvoException, "048:000") \
  X(ExceptionMicrosoftBugInVistaPreRelease, ZelvoException, "049:000") \
  X(ExceptionFailedLockResource, ZelvoException, "050:000") \
  X(ExceptionUnsupportedFeatureRequest, ZelvoException, "051:000") \
  X(ExceptionDataCacheFailure, ZelvoException, "052:000") \
  X(ExceptionOemDataNotFoundInDevmode, ZelvoException, "053:000") \
  X(ExceptionDataEncrypterFailure, ZelvoException, "054:000") \
  X(ExceptionAutoPtrNull, ZelvoException, "055:000") \
  X(ExceptionClientJobDataFailure, ZelvoException, "056:000") \
  X(ExceptionInvalidFormName, ZelvoException, "057:000") \
  X(ExceptionNotAZlvCustomSize, ZelvoException, "058:000") \
  X(ExceptionCustomSizeByTheSameNameExists, ZelvoException, "059:000") \
  X(ExceptionFromGreaterThanToRange, ZelvoException, "060:000") \
  X(ExceptionInvalidPrinterHandle, ZelvoException, "061:000") \
  X(ExceptionPagesFormat, ZelvoException, "062:000") \
  X(ExceptionPageNumberTooLarge, ZelvoException, "063:000") \
  X(ExceptionPageNumberTooSmall, ZelvoException, "064:000") \
  X(ExceptionCreateFileForReading, ExceptionFile, "065:001") \
  X(ExceptionCreateFileForWriting, ExceptionFile, "065:002") \
  X(ExceptionReadFile, ExceptionFile, "065:003") \
  X(ExceptionWriteFile, ExceptionFile, "065:004") \
  X(ExceptionGroupMembershipFailure, ZelvoException, "066:000") \
  X(ExceptionMapInfModelNameToIniModelIdStringFailure, ZelvoException, "067:000") \
  X(ExceptionPrinterModelIdQueriedBeforeInitialized, ZelvoException, "068:000") \
  X(ExceptionRecursionDetectedInDevmodeHandler, ZelvoException, "069:000") \
  X(ExceptionMaximumSpecialPageItemsExceeded, ZelvoException, "070:000") \
  X(ExceptionOutOfMemory, ZelvoException, "072:000") \
  X(ExceptionInvalidArgument, ZelvoException, "073:000") \
  X(ExceptionWorkflowObjectNotInitialized, ZelvoException, "074:000") \
  X(ExceptionWorkflowObjectCreateMsFeatureMgrFailed, ZelvoException, "075:000") \
  X(ExceptionXMLConfigurationFileParseFailed, ZelvoException, "076:000") \
  X(ExceptionXMLConstraintFileParseFailed, ZelvoException, "077:000") \
  X(ExceptionXMLConstraintVersionMismatch, ZelvoException, "078:000")
// clang-format on

#define W4UTIL_CATALOGUE_DECLARE_ENTRY(Name, Base, Code) W4UTIL_DECLARE_EXCEPTION(Name, Base);
W4UTIL_EXCEPTION_CATALOGUE(W4UTIL_CATALOGUE_DECLARE_ENTRY)
#undef W4UTIL_CATALOGUE_DECLARE_ENTRY

// A failure of the job-ticket (JTIF) XML parser; the parse code says which.
class W4UTIL_EXPORT JtifParseException : public ZelvoException {
 public:
  enum ExceptionCode : std::int32_t {
    ILLEGAL_JTIFPARSE_EXCEPTION_CODE = 0,
    XMLEXCEPTION_RAISED_DURING_PARSE = 1,
    ERROR_REPORTED_DURING_PARSE = 2,
    XMLEXCEPTION_RAISED_DURING_XML_GENERATION = 3,
    HANDLEOUTPUT_METHOD_FAILED_IN_WRITECHARS = 4,
    DOMEXCEPTION_DURING_NODE_CONVERSION = 5,
    DOMEXCEPTION_DURING_NODE_CREATION = 6,
    NO_CATEGORY_FOR_JTIF_ATTRIBUTE = 7,
    NO_XML_SOURCE_BUFFER_SPECIFIED = 8,
    NO_XML_OUTPUT_RECEIVER_SPECIFIED = 9,
    REQUIRED_DTD_NOT_SPECIFIED = 10,
    TYPE_OF_XML_DATA_NOT_SPECIFIED = 11,
    READFILE_FAILED = 12,
    FAILED_ALLOCATION_OF_XML_FILE_BUFFER = 13,
    FAILED_GETFILESIZE_DURING_READ = 14,
    FAILED_CREATFILE_DURING_READ = 15,
    FILE_TO_READ_NOT_SPECIFIED = 16,
    FAILED_CREATFILE_DURING_WRITE = 17,
    FILE_TO_WRITE_NOT_SPECIFIED = 18,
    WRITEFILE_FAILED = 19,
    ATTEMPT_TO_INIT_ORBXML_AFTER_TERMINATION = 20,
    MULTIPLE_TERMINATION_OF_ORBXML = 21,
    XMLEXCEPTION_DURING_ORBXML_INITIALIZATION = 22,
    NULL_DOMDOC_OBJECT_RETURNED = 23,
    COM_INITIALIZATION_FAILURE = 24,
    PARSE_RESULTED_IN_EMPTY_DOM_DOCUMENT = 25,
    NO_CATEGORY_FOR_VELDT_ATTRIBUTE = 26,
  };

  // code is sign-extended into the parse code; any value is kept.
  JtifParseException(const CXString& message, const CXString& file, std::int32_t line,
                     const CXString& method, const ExecutionContextStack* stack, std::int16_t code);
  JtifParseException(const JtifParseException& other) = default;

  // The parse code's name, or "<Unknown code!!!>".
  CXString GetCodeString() const;
  ExceptionCode GetParseCode() const noexcept { return m_Code; }

 protected:
  // "001:%03d" with the parse code: it shares "001:000" with
  // ExceptionRegistryRequest, so callers that must tell them apart test the
  // class.
  CXString GetExceptionTypeByNumericCode() const override;

 private:
  ExceptionCode m_Code;
};

W4UTIL_EXPORT JtifParseException GetJtifParseException(const CXString& message,
                                                       const CXString& file, std::int32_t line,
                                                       const CXString& method,
                                                       const ExecutionContextStack* stack,
                                                       std::int16_t code);
