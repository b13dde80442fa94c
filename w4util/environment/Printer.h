// Printer: one printer queue of the spooler, its printer data (the per-queue
// store of named, typed values; the driver's own under "PrinterDriverData"),
// its information records and the identity values the installer writes.
//
// Handles: an owned handle is closed by ClosePrinterHandleIfOwned and the
// destructor; a handle given by the caller is never closed. Only the
// handle-creating operations throw (ExceptionPrinterFailure); reads answer
// null, false or an empty text for an absent value.
//
// Reads keep the last value in the object: GetPrinterDataExW and friends
// answer a pointer into it, valid until the next read through this object.
// CRC-guarded values are REG_BINARY: a 4-byte little-endian CRC-32 of the
// payload, then the payload; a damaged or short one reads as absent.
//
// A Printer is used by one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"
#include "w4util/platform/SpoolerTypes.h"

struct PrinterDataEntry {
  CXString name;
  std::uint32_t type = 0;
  ByteBuffer data;
};

class W4UTIL_EXPORT Printer {
 public:
  static constexpr const char16_t* kDriverDataKey = u"PrinterDriverData";

  Printer();
  // The caller's handle; never closed by this object.
  explicit Printer(void* handle);
  // Opens the queue: with the greatest access allowed when asked, else
  // default access. Throws ExceptionPrinterFailure when it cannot.
  Printer(const char16_t* name, bool greatestAccess);
  virtual ~Printer();
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;

  // Full access, else default access; both refused throws
  // ExceptionPrinterFailure. The new handle is owned and replaces (closes)
  // an owned one.
  void* CreateGreatestAccessHandleAllowed(const char16_t* name);
  void* CreateHandle(const char16_t* name, w4platform::PrinterDefaults* defaults);
  void* CreateHandle(const char16_t* name) { return CreateHandle(name, nullptr); }
  void* CreateAllAccessHandle(const char16_t* name);
  // As CreateHandle, answering false instead of throwing.
  bool TryToCreateHandle(const char16_t* name, w4platform::PrinterDefaults* defaults);
  void ClosePrinterHandleIfOwned();
  void SetPrinterHandle(void* handle, bool owned);
  // throwIfInvalid: ExceptionInvalidPrinterHandle for a missing handle.
  void* GetPrinterHandle(bool throwIfInvalid = false) const;
  bool IsValidHandle() const noexcept { return IsValidHandle(m_Handle); }
  static bool IsValidHandle(void* handle) noexcept;
  static bool IsHiddenGuidPrinter(const char16_t* name);

  // The record of `level` (1, 2, 4, 5) in this object's buffer; null when it
  // cannot be read.
  void* GetPrinterInfo(std::uint32_t level);
  void* GetPrinterInfo(void* handle, std::uint32_t level);

  // Printer data.
  void* GetPrinterDataExW(void* handle, const char16_t* key, const char16_t* value);
  void* GetPrinterDataExW(const char16_t* key, const char16_t* value) {
    return GetPrinterDataExW(m_Handle, key, value);
  }
  void* GetPrinterDataW(const char16_t* value) { return GetPrinterDataExW(kDriverDataKey, value); }
  bool GetPrinterDataW(const char16_t* value, ByteBuffer& out);
  bool GetPrinterDataW(const char16_t* printerName, const char16_t* value, ByteBuffer& out);
  void* GetPrinterDataPtr() noexcept { return m_Data.empty() ? nullptr : m_Data.data(); }
  std::uint32_t GetPrinterDataSize() const noexcept {
    return static_cast<std::uint32_t>(m_Data.size());
  }
  std::uint32_t GetPrinterDataType() const noexcept { return m_DataType; }
  // The text up to its first NUL within the stored size; empty when absent.
  CXString GetPrinterDataString(const char16_t* key, const char16_t* value);
  bool SetPrinterDataString(const char16_t* key, const char16_t* value, const CXString& text);
  std::uint32_t SetPrinterDataExW(void* handle, const char16_t* key, const char16_t* value,
                                  std::uint32_t type, const void* data, std::uint32_t size);
  std::uint32_t SetPrinterDataExW(const char16_t* key, const char16_t* value, std::uint32_t type,
                                  const void* data, std::uint32_t size) {
    return SetPrinterDataExW(m_Handle, key, value, type, data, size);
  }
  std::uint32_t SetPrinterDataW(const char16_t* value, std::uint32_t type, const void* data,
                                std::uint32_t size) {
    return SetPrinterDataExW(kDriverDataKey, value, type, data, size);
  }
  std::uint32_t SetPrinterDataW(const char16_t* printerName, const char16_t* value,
                                std::uint32_t type, const void* data, std::uint32_t size);
  std::uint32_t DeletePrinterDataExW(const char16_t* key, const char16_t* value);
  std::uint32_t DeletePrinterDataW(const char16_t* value) {
    return DeletePrinterDataExW(kDriverDataKey, value);
  }
  // Every value of key; false when the key cannot be read.
  bool EnumPrinterDataExW(const char16_t* key, std::vector<PrinterDataEntry>& values);
  bool EnumPrinterKeyW(const char16_t* key, std::vector<CXString>& subKeys);

  // CRC-guarded printer data under "PrinterDriverData".
  void* GetCrc32PrinterData(const char16_t* value) { return GetCrc32PrinterData(m_Handle, value); }
  void* GetCrc32PrinterData(void* handle, const char16_t* value);
  void* GetCrc32PrinterData(const char16_t* printerName, const char16_t* value);
  void* GetCrc32PrinterDataPtr();
  // 0 when nothing valid is stored.
  std::uint32_t GetCrc32PrinterDataSize() const noexcept;
  bool SetCrc32PrinterData(void* handle, const char16_t* value, std::uint32_t type,
                           const void* data, std::uint32_t size);
  bool SetCrc32PrinterData(const char16_t* value, std::uint32_t type, const void* data,
                           std::uint32_t size) {
    return SetCrc32PrinterData(m_Handle, value, type, data, size);
  }

  // Identity values.
  CXString GetPrinterProductUniqueIdFromIniFile();
  CXString GetPrinterModelIdFromIniFile();
  std::uint32_t GetPrinterModelVersion();

  // Print processors (names compared without regard to case).
  bool IsUsingZelvoNextGenPrintProcessor(void* handle);
  bool IsUsingWinPrintPrintProcessor(void* handle);
  bool IsUsingMs_XpsPrintProcessor(void* handle);
  CXString GetPrintProcessorName(void* handle);
  bool SetPrintProcessorName(const CXString& name);
  // "winprint" always; others when registered under the environment's
  // "Print Processors" key of the machine hive.
  static bool IsPrintProcessorInstalled(const CXString& name);

  // Fields of the level-2 record; empty when it cannot be read.
  CXString GetPrinterName();
  CXString GetPrintDriverName();
  CXString GetShareName();
  CXString GetPrinterPort();
  CXString GetServerName();
  bool GetPrinterNameInStandardFormForUseAsRegKey(CXString& out);

  void Dump() const {}

 private:
  CXString Level2Field(void* handle, char16_t* w4platform::PrinterInfo2::*field);
  bool ReadIdentity(const char16_t* value, std::uint32_t bufferSize, CXString& out);
  void ClearStoredValue() noexcept;

  void* m_Handle = nullptr;
  bool m_Owned = false;
  ByteBuffer m_Info;
  std::uint32_t m_InfoLevel = 0;
  ByteBuffer m_Data;
  std::uint32_t m_DataType = 0;
};

// Spooler queries.
class W4UTIL_EXPORT Spooler {
 public:
  Spooler() = default;
  virtual ~Spooler() = default;
  // Whether name denotes a file rather than one of the printer's ports. A
  // name not among the ports is opened as a file (created when missing).
  bool IsPrintToFile(void* printer, const CXString& name);
  // Always throws ExceptionSpoolerFailure.
  std::uint64_t GetCapabilities();
};

namespace ZelvoUtilities {

W4UTIL_EXPORT CXString ConvertPrinterNameToRegistryKey(const CXString& printerName, void* printer);
W4UTIL_EXPORT CXString ConvertPortNameToRegistryKey(const CXString& portName);
W4UTIL_EXPORT CXString CombinePrinterNameAndPortIntoRegistryKey(const CXString& printerName,
                                                                const CXString& portName,
                                                                void* printer);
W4UTIL_EXPORT CXString ConvertPrinterNameToFilenameCompatible(const CXString& printerName,
                                                              void* printer);

}  // namespace ZelvoUtilities
