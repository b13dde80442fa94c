#include "w4util/environment/Printer.h"

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "w4util/config/RegistryKey.h"
#include "w4util/environment/OperatingSystem.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/foundation/Endian.h"
#include "w4util/files/Crc32.h"
#include "w4util/foundation/Utf8.h"
#include "w4util/platform/OsServices.h"
#include "w4util/platform/SpoolerService.h"

namespace {

using namespace w4platform;

constexpr std::uint32_t kCrcSize = 4;
// Further reads while the spooler keeps asking for a larger buffer.
constexpr int kDataRetries = 5;

SpoolerService& Spool() { return SpoolerService::Process(); }

PrinterHandle ToHandle(void* handle) {
  return static_cast<PrinterHandle>(reinterpret_cast<std::uintptr_t>(handle));
}

void* FromHandle(PrinterHandle handle) {
  // Handles are addresses kept as integers by the spooler layer.
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(handle));  // NOLINT(performance-no-int-to-ptr)
}

std::u16string_view View(const char16_t* text) {
  return text != nullptr ? std::u16string_view(text) : std::u16string_view();
}

// The register starts at 0xFFFFFFFF.
std::uint32_t PayloadCrc(const unsigned char* data, std::uint32_t size) {
  return Crc32::GetCrc(const_cast<unsigned char*>(data), size);
}

// The text in `size` bytes up to its first NUL.
CXString TextWithin(const unsigned char* data, std::uint32_t size) {
  std::u16string text(size / 2, u'\0');
  if (!text.empty()) std::memcpy(text.data(), data, text.size() * 2);
  const std::size_t end = text.find(u'\0');
  if (end != std::u16string::npos) text.resize(end);
  return CXString(text.c_str(), static_cast<std::int32_t>(text.size()));
}

// A temporary handle on a queue by name, closed at scope end.
class TemporaryHandle {
 public:
  explicit TemporaryHandle(const char16_t* name) {
    if (name != nullptr && Spool().OpenPrinter(name, &handle_, nullptr) != ERROR_SUCCESS) {
      handle_ = 0;
    }
  }
  TemporaryHandle(const char16_t* name, std::uint32_t access) {
    PrinterDefaults defaults;
    defaults.DesiredAccess = access;
    if (name != nullptr && Spool().OpenPrinter(name, &handle_, &defaults) != ERROR_SUCCESS) {
      handle_ = 0;
    }
  }
  ~TemporaryHandle() {
    if (handle_ != 0) Spool().ClosePrinter(handle_);
  }
  TemporaryHandle(const TemporaryHandle&) = delete;
  TemporaryHandle& operator=(const TemporaryHandle&) = delete;
  void* get() const { return FromHandle(handle_); }

 private:
  PrinterHandle handle_ = 0;
};

}  // namespace

Printer::Printer() = default;

Printer::Printer(void* handle) : m_Handle(handle), m_Owned(false) {}

Printer::Printer(const char16_t* name, bool greatestAccess) {
  if (greatestAccess) {
    CreateGreatestAccessHandleAllowed(name);
  } else {
    CreateHandle(name);
  }
}

Printer::~Printer() { ClosePrinterHandleIfOwned(); }

void* Printer::CreateGreatestAccessHandleAllowed(const char16_t* name) {
  PrinterDefaults all;
  all.DesiredAccess = PRINTER_ALL_ACCESS;
  PrinterHandle handle = 0;
  if (Spool().OpenPrinter(View(name), &handle, &all) != ERROR_SUCCESS &&
      Spool().OpenPrinter(View(name), &handle, nullptr) != ERROR_SUCCESS) {
    ZELVO_THROW_NO_MESSAGE(ExceptionPrinterFailure, "Printer::CreateGreatestAccessHandleAllowed");
  }
  SetPrinterHandle(FromHandle(handle), true);
  return m_Handle;
}

void* Printer::CreateHandle(const char16_t* name, PrinterDefaults* defaults) {
  if (!TryToCreateHandle(name, defaults)) {
    ZELVO_THROW(ExceptionPrinterFailure, "Printer::CreateHandle", "Cannot open printer %s.",
                name != nullptr ? name : u"");
  }
  return m_Handle;
}

void* Printer::CreateAllAccessHandle(const char16_t* name) {
  PrinterDefaults all;
  all.DesiredAccess = PRINTER_ALL_ACCESS;
  return CreateHandle(name, &all);
}

bool Printer::TryToCreateHandle(const char16_t* name, PrinterDefaults* defaults) {
  if (name == nullptr) return false;
  PrinterHandle handle = 0;
  if (Spool().OpenPrinter(View(name), &handle, defaults) != ERROR_SUCCESS) return false;
  SetPrinterHandle(FromHandle(handle), true);
  return true;
}

void Printer::ClosePrinterHandleIfOwned() {
  if (m_Owned && IsValidHandle(m_Handle)) Spool().ClosePrinter(ToHandle(m_Handle));
  m_Handle = nullptr;
  m_Owned = false;
}

void Printer::SetPrinterHandle(void* handle, bool owned) {
  if (handle != m_Handle) ClosePrinterHandleIfOwned();
  m_Handle = handle;
  m_Owned = owned;
}

void* Printer::GetPrinterHandle(bool throwIfInvalid) const {
  if (throwIfInvalid && !IsValidHandle()) {
    ZELVO_THROW_NO_MESSAGE(ExceptionInvalidPrinterHandle, "Printer::GetPrinterHandle");
  }
  return m_Handle;
}

bool Printer::IsValidHandle(void* handle) noexcept {
  return handle != nullptr && reinterpret_cast<std::uintptr_t>(handle) != ~std::uintptr_t{0};
}

bool Printer::IsHiddenGuidPrinter(const char16_t* name) {
  return name != nullptr && View(name).find(u"\\\\CSR|") != std::u16string_view::npos;
}

void* Printer::GetPrinterInfo(std::uint32_t level) { return GetPrinterInfo(m_Handle, level); }

void* Printer::GetPrinterInfo(void* handle, std::uint32_t level) {
  m_Info.clear();
  m_InfoLevel = 0;
  if (!IsValidHandle(handle)) return nullptr;
  std::uint32_t needed = 0;
  std::uint32_t result = Spool().GetPrinter(ToHandle(handle), level, nullptr, 0, &needed);
  for (int attempt = 0; result == ERROR_INSUFFICIENT_BUFFER && attempt < kDataRetries; ++attempt) {
    // Records hold pointers: keep the buffer aligned for them.
    m_Info.assign(needed + sizeof(void*), 0);
    result = Spool().GetPrinter(ToHandle(handle), level, m_Info.data(),
                                static_cast<std::uint32_t>(m_Info.size()), &needed);
  }
  if (result != ERROR_SUCCESS || m_Info.empty()) {
    m_Info.clear();
    return nullptr;
  }
  m_InfoLevel = level;
  return m_Info.data();
}

void Printer::ClearStoredValue() noexcept {
  m_Data.clear();
  m_DataType = 0;
}

void* Printer::GetPrinterDataExW(void* handle, const char16_t* key, const char16_t* value) {
  ClearStoredValue();
  if (!IsValidHandle(handle) || key == nullptr || value == nullptr) return nullptr;
  std::uint32_t type = 0;
  std::uint32_t needed = 0;
  std::uint32_t result =
      Spool().GetPrinterDataEx(ToHandle(handle), key, value, &type, nullptr, 0, &needed);
  // Success with an empty buffer is a value of length 0: absent too.
  if (result != ERROR_MORE_DATA && result != ERROR_INSUFFICIENT_BUFFER) return nullptr;
  ByteBuffer buffer(needed, 0);
  result = Spool().GetPrinterDataEx(ToHandle(handle), key, value, &type, buffer.data(),
                                    static_cast<std::uint32_t>(buffer.size()), &needed);
  for (int retry = 1;
       retry <= kDataRetries && (result == ERROR_MORE_DATA || result == ERROR_INSUFFICIENT_BUFFER);
       ++retry) {
    if (needed > buffer.size()) buffer.resize(needed);
    if (retry == kDataRetries) std::this_thread::yield();
    result = Spool().GetPrinterDataEx(ToHandle(handle), key, value, &type, buffer.data(),
                                      static_cast<std::uint32_t>(buffer.size()), &needed);
  }
  if (result != ERROR_SUCCESS) return nullptr;
  if (needed < buffer.size()) buffer.resize(needed);
  m_Data = std::move(buffer);
  m_DataType = type;
  return m_Data.empty() ? nullptr : m_Data.data();
}

bool Printer::GetPrinterDataW(const char16_t* value, ByteBuffer& out) {
  out.clear();
  if (GetPrinterDataW(value) == nullptr) return false;
  out = m_Data;
  return true;
}

bool Printer::GetPrinterDataW(const char16_t* printerName, const char16_t* value,
                              ByteBuffer& out) {
  TemporaryHandle handle(printerName);
  out.clear();
  if (GetPrinterDataExW(handle.get(), kDriverDataKey, value) == nullptr) return false;
  out = m_Data;
  return true;
}

CXString Printer::GetPrinterDataString(const char16_t* key, const char16_t* value) {
  if (GetPrinterDataExW(key, value) == nullptr) return CXString();
  return TextWithin(m_Data.data(), static_cast<std::uint32_t>(m_Data.size()));
}

bool Printer::SetPrinterDataString(const char16_t* key, const char16_t* value,
                                   const CXString& text) {
  return SetPrinterDataExW(key, value, REG_SZ, static_cast<const char16_t*>(text),
                           static_cast<std::uint32_t>(text.GetLength() + 1) * 2) == ERROR_SUCCESS;
}

std::uint32_t Printer::SetPrinterDataExW(void* handle, const char16_t* key, const char16_t* value,
                                         std::uint32_t type, const void* data,
                                         std::uint32_t size) {
  if (!IsValidHandle(handle)) return ERROR_INVALID_HANDLE;
  if (key == nullptr || value == nullptr) return ERROR_INVALID_PARAMETER;
  return Spool().SetPrinterDataEx(ToHandle(handle), key, value, type,
                                  static_cast<const std::uint8_t*>(data), size);
}

std::uint32_t Printer::SetPrinterDataW(const char16_t* printerName, const char16_t* value,
                                       std::uint32_t type, const void* data, std::uint32_t size) {
  TemporaryHandle handle(printerName, PRINTER_ALL_ACCESS);
  return SetPrinterDataExW(handle.get(), kDriverDataKey, value, type, data, size);
}

std::uint32_t Printer::DeletePrinterDataExW(const char16_t* key, const char16_t* value) {
  if (!IsValidHandle()) return ERROR_INVALID_HANDLE;
  if (key == nullptr || value == nullptr) return ERROR_INVALID_PARAMETER;
  return Spool().DeletePrinterDataEx(ToHandle(m_Handle), key, value);
}

bool Printer::EnumPrinterDataExW(const char16_t* key, std::vector<PrinterDataEntry>& values) {
  values.clear();
  if (!IsValidHandle() || key == nullptr) return false;
  std::uint32_t needed = 0;
  std::uint32_t returned = 0;
  std::vector<std::uint64_t> buffer;  // aligned for the records
  std::uint32_t result =
      Spool().EnumPrinterDataEx(ToHandle(m_Handle), key, nullptr, 0, &needed, &returned);
  for (int attempt = 0; result == ERROR_MORE_DATA && attempt < kDataRetries; ++attempt) {
    buffer.assign(needed / 8 + 1, 0);
    result = Spool().EnumPrinterDataEx(ToHandle(m_Handle), key,
                                       reinterpret_cast<std::uint8_t*>(buffer.data()),
                                       static_cast<std::uint32_t>(buffer.size() * 8), &needed,
                                       &returned);
  }
  if (result != ERROR_SUCCESS) return false;
  const auto* records = reinterpret_cast<const PrinterEnumValues*>(buffer.data());
  for (std::uint32_t i = 0; i < returned && !buffer.empty(); ++i) {
    PrinterDataEntry entry;
    entry.name = TextWithin(reinterpret_cast<const unsigned char*>(records[i].pValueName),
                            records[i].cbValueName);
    entry.type = records[i].dwType;
    entry.data = ByteBuffer(records[i].pData, records[i].cbData);
    values.push_back(std::move(entry));
  }
  return true;
}

bool Printer::EnumPrinterKeyW(const char16_t* key, std::vector<CXString>& subKeys) {
  subKeys.clear();
  if (!IsValidHandle() || key == nullptr) return false;
  std::uint32_t needed = 0;
  std::vector<char16_t> buffer;
  std::uint32_t result = Spool().EnumPrinterKey(ToHandle(m_Handle), key, nullptr, 0, &needed);
  for (int attempt = 0; result == ERROR_MORE_DATA && attempt < kDataRetries; ++attempt) {
    buffer.assign(needed / 2 + 1, u'\0');
    result = Spool().EnumPrinterKey(ToHandle(m_Handle), key, buffer.data(),
                                    static_cast<std::uint32_t>(buffer.size() * 2), &needed);
  }
  if (result != ERROR_SUCCESS) return false;
  // A double-NUL list, read within the reported size.
  const std::size_t units = std::min<std::size_t>(needed / 2, buffer.size());
  std::size_t start = 0;
  for (std::size_t i = 0; i < units; ++i) {
    if (buffer[i] != u'\0') continue;
    if (i == start) break;
    subKeys.emplace_back(buffer.data() + start, static_cast<std::int32_t>(i - start));
    start = i + 1;
  }
  return true;
}

void* Printer::GetCrc32PrinterData(void* handle, const char16_t* value) {
  if (GetPrinterDataExW(handle, kDriverDataKey, value) == nullptr) return nullptr;
  return GetCrc32PrinterDataPtr();
}

void* Printer::GetCrc32PrinterData(const char16_t* printerName, const char16_t* value) {
  TemporaryHandle handle(printerName);
  return GetCrc32PrinterData(handle.get(), value);
}

void* Printer::GetCrc32PrinterDataPtr() {
  if (m_Data.size() >= kCrcSize) {
    const std::uint32_t stored = w4util::little_endian::Load32(m_Data.data());
    const std::uint32_t payload = static_cast<std::uint32_t>(m_Data.size()) - kCrcSize;
    if (PayloadCrc(m_Data.data() + kCrcSize, payload) == stored) {
      return m_Data.data() + kCrcSize;
    }
  }
  ClearStoredValue();
  return nullptr;
}

std::uint32_t Printer::GetCrc32PrinterDataSize() const noexcept {
  return m_Data.size() < kCrcSize ? 0 : static_cast<std::uint32_t>(m_Data.size()) - kCrcSize;
}

bool Printer::SetCrc32PrinterData(void* handle, const char16_t* value, std::uint32_t type,
                                  const void* data, std::uint32_t size) {
  if (data == nullptr && size != 0) return false;
  if (size > kMaxValueDataSize - kCrcSize) return false;
  ByteBuffer guarded(static_cast<std::uint64_t>(size) + kCrcSize, 0);
  if (size != 0) std::memcpy(guarded.data() + kCrcSize, data, size);
  w4util::little_endian::Store32(guarded.data(),
                                 PayloadCrc(guarded.data() + kCrcSize, size));
  return SetPrinterDataExW(handle, kDriverDataKey, value, type, guarded.data(),
                           size + kCrcSize) == ERROR_SUCCESS;
}

bool Printer::ReadIdentity(const char16_t* value, std::uint32_t bufferSize, CXString& out) {
  out.Empty();
  if (!IsValidHandle()) return false;
  // The installer's values fit the fixed buffers; a longer one is not read.
  ByteBuffer buffer(bufferSize, 0);
  std::uint32_t type = 0;
  std::uint32_t needed = 0;
  if (Spool().GetPrinterData(ToHandle(m_Handle), value, &type, buffer.data(), bufferSize,
                             &needed) != ERROR_SUCCESS) {
    return false;
  }
  out = TextWithin(buffer.data(), std::min(needed, bufferSize));
  return true;
}

CXString Printer::GetPrinterProductUniqueIdFromIniFile() {
  CXString id;
  if (!ReadIdentity(u"xProdUID", 100, id)) return CXString();
  return id.GetLength() == 3 || id.GetLength() == 4 ? id : CXString();
}

CXString Printer::GetPrinterModelIdFromIniFile() {
  CXString id;
  if (!ReadIdentity(u"xModelId", 200, id)) return CXString();
  if (id == CXString(u"0") || id.GetLength() < 2) return CXString();
  return id;
}

std::uint32_t Printer::GetPrinterModelVersion() {
  CXString text;
  if (!ReadIdentity(u"xModelVersion", 100, text)) return 1;
  // Leading digits, as a decimal reader takes them; anything else reads as 0.
  std::uint64_t version = 0;
  for (std::int32_t i = 0; i < text.GetLength() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    version = version * 10 + static_cast<std::uint64_t>(text[i] - u'0');
    if (version > 0xFFFFFFFFu) return 1;
  }
  return version == 0 ? 1 : static_cast<std::uint32_t>(version);
}

CXString Printer::Level2Field(void* handle, char16_t* PrinterInfo2::*field) {
  const auto* info = static_cast<const PrinterInfo2*>(GetPrinterInfo(handle, 2));
  if (info == nullptr || info->*field == nullptr) return CXString();
  return CXString(info->*field);
}

bool Printer::IsUsingZelvoNextGenPrintProcessor(void* handle) {
  return GetPrintProcessorName(handle).CompareNoCase(u"ZelvoV5Print") == 0;
}

bool Printer::IsUsingWinPrintPrintProcessor(void* handle) {
  return GetPrintProcessorName(handle).CompareNoCase(u"winprint") == 0;
}

bool Printer::IsUsingMs_XpsPrintProcessor(void* handle) {
  return GetPrintProcessorName(handle).CompareNoCase(u"MS_XPS") == 0;
}

CXString Printer::GetPrintProcessorName(void* handle) {
  return Level2Field(handle, &PrinterInfo2::pPrintProcessor);
}

bool Printer::SetPrintProcessorName(const CXString& name) {
  auto* info = static_cast<PrinterInfo2*>(GetPrinterInfo(2));
  if (info == nullptr) return false;
  std::u16string text(static_cast<const char16_t*>(name),
                      static_cast<std::size_t>(name.GetLength()));
  info->pPrintProcessor = text.data();
  return Spool().SetPrinter(ToHandle(m_Handle), 2, info, 0) == ERROR_SUCCESS;
}

bool Printer::IsPrintProcessorInstalled(const CXString& name) {
  if (name.CompareNoCase(u"winprint") == 0) return true;
  if (name.IsEmpty()) return false;
  try {
    RegistryKey machine(HKEY_LOCAL_MACHINE, false);
    std::unique_ptr<RegistryKey> processors = RegistryKey::OpenRegistryKey(
        machine,
        u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Print Processors",
        KEY_READ);
    if (!processors) return false;
    return RegistryKey::OpenRegistryKey(*processors, name, KEY_READ) != nullptr;
  } catch (const ZelvoException&) {
    return false;
  }
}

CXString Printer::GetPrinterName() { return Level2Field(m_Handle, &PrinterInfo2::pPrinterName); }
CXString Printer::GetPrintDriverName() { return Level2Field(m_Handle, &PrinterInfo2::pDriverName); }
CXString Printer::GetShareName() { return Level2Field(m_Handle, &PrinterInfo2::pShareName); }
CXString Printer::GetPrinterPort() { return Level2Field(m_Handle, &PrinterInfo2::pPortName); }
CXString Printer::GetServerName() { return Level2Field(m_Handle, &PrinterInfo2::pServerName); }

bool Printer::GetPrinterNameInStandardFormForUseAsRegKey(CXString& out) {
  out.Empty();
  if (GetPrinterInfo(2) == nullptr) return false;
  out = ZelvoUtilities::ConvertPrinterNameToRegistryKey(GetPrinterName(), m_Handle);
  return true;
}

bool Spooler::IsPrintToFile(void* printer, const CXString& name) {
  if (name.IsEmpty()) return false;
  Printer queue(printer);
  const CXString port = queue.GetPrinterPort();
  if (!port.IsEmpty()) {
    if (port.CompareNoCase(name) == 0) return false;
    if (port.Find(CXString(u",") + name) >= 0 || port.Find(name + u",") >= 0) return false;
  }
  const ByteBuffer path =
      ZelvoUtilities::UTF8_Encode(name, static_cast<std::uint32_t>(name.GetLength()));
  std::string native(path.begin(), path.end());
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return OpenAlwaysAndQuery(native);
}

std::uint64_t Spooler::GetCapabilities() {
  ZELVO_THROW_NO_MESSAGE(ExceptionSpoolerFailure, "Spooler::GetCapabilities");
}

namespace ZelvoUtilities {

CXString ConvertPrinterNameToRegistryKey(const CXString& printerName, void* printer) {
  CXString name = printerName;
  if (Printer::IsHiddenGuidPrinter(name) && OperatingSystem::IsOsVersionVistaOrLater() &&
      Printer::IsValidHandle(printer)) {
    Printer queue(printer);
    CXString unc = queue.GetPrinterDataString(u"DsSpooler", u"UNCName");
    const std::int32_t dot = unc.Find(u'.');
    const std::int32_t slash = unc.ReverseFind(u'\\');
    // Only a dot in the server part marks a domain to drop.
    if (dot >= 0 && slash > dot) {
      unc.Delete(dot, slash - dot);
      name = unc;
    }
  }
  if (name.IsEmpty()) return name;
  const std::int32_t comma = name.Find(u',');
  if (comma >= 0) name = name.Left(comma);
  static const struct {
    const char16_t* from;
    const char16_t* to;
  } kReplacements[] = {
      {u"\\", u"`"},     {u"/", u","},      {u":", u"&CN&"},  {u"*", u"&AS&"}, {u"?", u"&QM&"},
      {u"\"", u"&DQ&"}, {u"<", u"&LT&"},   {u">", u"&GT&"},  {u"|", u"&PI&"},
  };
  for (const auto& r : kReplacements) name.Replace(r.from, r.to);
  if (!name.IsEmpty()) {
    const char16_t last = name[name.GetLength() - 1];
    if (last == u' ') name = name.Left(name.GetLength() - 1) + u"&SP&";
    else if (last == u'.') name = name.Left(name.GetLength() - 1) + u"&DT&";
  }
  return name;
}

CXString ConvertPortNameToRegistryKey(const CXString& portName) {
  CXString key(u"PrinterPorts");
  if (portName.IsEmpty()) return key;
  CXString port = portName;
  const std::int32_t comma = port.Find(u',');
  if (comma >= 0) port = port.Left(comma);
  port.Replace(u'\\', u'/');
  return key + u"\\" + port;
}

CXString CombinePrinterNameAndPortIntoRegistryKey(const CXString& printerName,
                                                  const CXString& portName, void* printer) {
  const CXString printerKey = ConvertPrinterNameToRegistryKey(printerName, printer);
  CXString portKey = ConvertPortNameToRegistryKey(portName);
  if (printerKey.IsEmpty()) return portKey;
  return printerKey + u"\\" + portKey;
}

CXString ConvertPrinterNameToFilenameCompatible(const CXString& printerName, void* printer) {
  CXString name = ConvertPrinterNameToRegistryKey(printerName, printer);
  name.MakeLower();
  name.Replace(u"http://", u"http_");
  for (const char16_t* c : {u"\\", u"/", u":", u"?", u"\"", u"<", u">", u"|"}) {
    name.Replace(c, u"_");
  }
  return name;
}

}  // namespace ZelvoUtilities
