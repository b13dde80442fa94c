// Records, rights and codes of the print spooler's API, laid out as the
// original host lays them out: a record read into a caller's buffer is the
// fixed structure at the buffer's start, its text fields pointing at strings
// stored further on in the same buffer (the buffer owns everything; a record
// is valid while its buffer lives and is not reused). Plain aggregates.
#pragma once

#include <cstdint>

#include "w4util/platform/RegistryTypes.h"

namespace w4platform {

// A printer handle; 0 is never valid.
using PrinterHandle = std::uint64_t;

inline constexpr std::uint32_t ERROR_INVALID_PRINTER_STATE = 1906;
inline constexpr std::uint32_t ERROR_PRINTER_DELETED = 1905;
inline constexpr std::uint32_t ERROR_SPL_NO_STARTDOC = 3003;

// Access rights of printer handles.
inline constexpr std::uint32_t PRINTER_ACCESS_ADMINISTER = 0x00000004;
inline constexpr std::uint32_t PRINTER_ACCESS_USE = 0x00000008;
inline constexpr std::uint32_t PRINTER_DELETE = 0x00010000;
inline constexpr std::uint32_t PRINTER_READ = 0x00020008;
inline constexpr std::uint32_t PRINTER_ALL_ACCESS = 0x000F000C;

// EnumPrinters flags.
inline constexpr std::uint32_t PRINTER_ENUM_DEFAULT = 0x00000001;
inline constexpr std::uint32_t PRINTER_ENUM_LOCAL = 0x00000002;
inline constexpr std::uint32_t PRINTER_ENUM_CONNECTIONS = 0x00000004;
inline constexpr std::uint32_t PRINTER_ENUM_NAME = 0x00000008;

// Printer attributes and status bits the spooler itself sets.
inline constexpr std::uint32_t PRINTER_ATTRIBUTE_SHARED = 0x00000008;
inline constexpr std::uint32_t PRINTER_ATTRIBUTE_LOCAL = 0x00000040;
inline constexpr std::uint32_t PRINTER_STATUS_PAUSED = 0x00000001;
inline constexpr std::uint32_t PRINTER_CONTROL_PAUSE = 1;
inline constexpr std::uint32_t PRINTER_CONTROL_RESUME = 2;
inline constexpr std::uint32_t PRINTER_CONTROL_PURGE = 3;

// Jobs.
inline constexpr std::uint32_t JOB_CONTROL_PAUSE = 1;
inline constexpr std::uint32_t JOB_CONTROL_RESUME = 2;
inline constexpr std::uint32_t JOB_CONTROL_CANCEL = 3;
inline constexpr std::uint32_t JOB_CONTROL_RESTART = 4;
inline constexpr std::uint32_t JOB_CONTROL_DELETE = 5;
inline constexpr std::uint32_t JOB_STATUS_PAUSED = 0x00000001;
inline constexpr std::uint32_t JOB_STATUS_SPOOLING = 0x00000008;
inline constexpr std::uint32_t JOB_STATUS_RESTART = 0x00000800;
inline constexpr std::uint32_t JOB_POSITION_UNSPECIFIED = 0;
inline constexpr std::uint32_t MIN_PRIORITY = 1;
inline constexpr std::uint32_t MAX_PRIORITY = 99;
inline constexpr std::uint32_t DEF_PRIORITY = 1;

struct SystemTime {
  std::uint16_t wYear = 0;
  std::uint16_t wMonth = 0;
  std::uint16_t wDayOfWeek = 0;
  std::uint16_t wDay = 0;
  std::uint16_t wHour = 0;
  std::uint16_t wMinute = 0;
  std::uint16_t wSecond = 0;
  std::uint16_t wMilliseconds = 0;
};

struct PrinterDefaults {
  const char16_t* pDatatype = nullptr;
  void* pDevMode = nullptr;
  std::uint32_t DesiredAccess = 0;
};

struct PrinterInfo1 {
  std::uint32_t Flags;
  char16_t* pDescription;
  char16_t* pName;
  char16_t* pComment;
};

struct PrinterInfo2 {
  char16_t* pServerName;
  char16_t* pPrinterName;
  char16_t* pShareName;
  char16_t* pPortName;
  char16_t* pDriverName;
  char16_t* pComment;
  char16_t* pLocation;
  void* pDevMode;
  char16_t* pSepFile;
  char16_t* pPrintProcessor;
  char16_t* pDatatype;
  char16_t* pParameters;
  void* pSecurityDescriptor;
  std::uint32_t Attributes;
  std::uint32_t Priority;
  std::uint32_t DefaultPriority;
  std::uint32_t StartTime;
  std::uint32_t UntilTime;
  std::uint32_t Status;
  std::uint32_t cJobs;
  std::uint32_t AveragePPM;
};

struct PrinterInfo4 {
  char16_t* pPrinterName;
  char16_t* pServerName;
  std::uint32_t Attributes;
};

struct PrinterInfo5 {
  char16_t* pPrinterName;
  char16_t* pPortName;
  std::uint32_t Attributes;
  std::uint32_t DeviceNotSelectedTimeout;
  std::uint32_t TransmissionRetryTimeout;
};

struct JobInfo1 {
  std::uint32_t JobId;
  char16_t* pPrinterName;
  char16_t* pMachineName;
  char16_t* pUserName;
  char16_t* pDocument;
  char16_t* pDatatype;
  char16_t* pStatus;
  std::uint32_t Status;
  std::uint32_t Priority;
  std::uint32_t Position;
  std::uint32_t TotalPages;
  std::uint32_t PagesPrinted;
  SystemTime Submitted;
};

struct JobInfo2 {
  std::uint32_t JobId;
  char16_t* pPrinterName;
  char16_t* pMachineName;
  char16_t* pUserName;
  char16_t* pDocument;
  char16_t* pNotifyName;
  char16_t* pDatatype;
  char16_t* pPrintProcessor;
  char16_t* pParameters;
  char16_t* pDriverName;
  void* pDevMode;
  char16_t* pStatus;
  void* pSecurityDescriptor;
  std::uint32_t Status;
  std::uint32_t Priority;
  std::uint32_t Position;
  std::uint32_t StartTime;
  std::uint32_t UntilTime;
  std::uint32_t TotalPages;
  std::uint32_t Size;
  SystemTime Submitted;
  std::uint32_t Time;
  std::uint32_t PagesPrinted;
};

struct DocInfo1 {
  const char16_t* pDocName = nullptr;
  const char16_t* pOutputFile = nullptr;
  const char16_t* pDatatype = nullptr;
};

struct PrinterEnumValues {
  char16_t* pValueName;
  std::uint32_t cbValueName;  // bytes, with the NUL
  std::uint32_t dwType;
  std::uint8_t* pData;
  std::uint32_t cbData;
};

}  // namespace w4platform
