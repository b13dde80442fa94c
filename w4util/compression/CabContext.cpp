#include "w4util/compression/CabContext.h"

#include <string>
#include <vector>

#include "w4util/compression/CabBufferAsFile.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/platform/CabinetCompressor.h"
#include "w4util/platform/CabinetDecompressor.h"

namespace {

// The engine keeps names in fixed buffers of this many bytes, terminator included.
constexpr std::size_t kNameBufferSize = kCabMaxName;

constexpr std::int32_t kErrorFileNotFound = 2;
constexpr std::int32_t kErrorBadFileDescriptor = 9;

// Multibyte copy of `text` that fits the engine's name buffers, or false.
bool ToEngineName(const CXString& text, std::string& out) {
  char buffer[kNameBufferSize];
  const std::int32_t needed = text.GetAsMultiByte(nullptr, 0);
  if (needed <= 0 || static_cast<std::size_t>(needed) > sizeof buffer) return false;
  if (text.GetAsMultiByte(buffer, sizeof buffer) != needed) return false;
  out.assign(buffer);
  return true;
}

// Runs `op` on the registered file open under `handle`. An unknown handle and
// any exception both come back as a bad-descriptor failure (-1), since the
// engine's callbacks must not throw.
template <typename Op>
std::int32_t OnOpenFile(const CabFileObjectManager& manager, CXString* errorDetails,
                        CabHandle handle, std::int32_t& error, Op op) noexcept {
  try {
    CabFileAgent file = manager.GetCabAbstractFile(handle, errorDetails);
    if (!file) {
      error = kErrorBadFileDescriptor;
      return -1;
    }
    return op(*file.get());
  } catch (...) {
    error = kErrorBadFileDescriptor;
    return -1;
  }
}

// The file callbacks of either engine, handed on to the context's own.
template <typename Engine>
struct FileCallbacks : Engine {
  explicit FileCallbacks(CabContext& c) : files(c) {}
  CabHandle Open(const char* name, std::int32_t flags, std::int32_t mode,
                 std::int32_t& error) override {
    return files.DoOpen(name, flags, mode, error);
  }
  std::int32_t Read(CabHandle h, void* b, std::uint32_t n, std::int32_t& e) override {
    return files.DoRead(h, b, n, e);
  }
  std::int32_t Write(CabHandle h, const void* b, std::uint32_t n, std::int32_t& e) override {
    return files.DoWrite(h, b, n, e);
  }
  std::int32_t Seek(CabHandle h, std::int32_t d, std::int32_t o, std::int32_t& e) override {
    return files.DoSeek(h, d, o, e);
  }
  std::int32_t Close(CabHandle h, std::int32_t& e) override { return files.DoClose(h, e); }

  CabContext& files;
};

}  // namespace

// ---- CabContext ----

CabContext::CabContext(CabAbstractFile& input, CabAbstractFile& output)
    : m_input(input), m_output(output) {
  m_input.SetErrorDetailsLocation(&m_errorDetails);
  m_output.SetErrorDetailsLocation(&m_errorDetails);
  m_manager.AddCabAbstractFile(m_input);
  if (&m_output != &m_input) m_manager.AddCabAbstractFile(m_output);
}

CabContext::~CabContext() {
  m_input.SetErrorDetailsLocation(nullptr);
  m_output.SetErrorDetailsLocation(nullptr);
}

void CabContext::AppendErrorDetails(const CXString& text) noexcept {
  try {
    m_errorDetails += text;
  } catch (...) {
  }
}

CXString CabContext::CreateDisplayStringFromCurrentCabinetErrors() const {
  if (!m_errorRecord.fError) return CXString(u"None");
  CXString text = ZelvoUtilities::SafeFormatString(u"%ld: ", m_errorRecord.erfOper);
  text += CreateDisplayStringFromOperationError(m_errorRecord.erfOper);
  text += ZelvoUtilities::SafeFormatString(u" (err type=%ld)", m_errorRecord.erfType);
  return text;
}

CXString CabContext::FailureText(const char16_t* what) const {
  CXString text(what);
  text += u": ";
  text += CreateDisplayStringFromCurrentCabinetErrors();
  if (!m_errorDetails.IsEmpty()) {
    text += u"; ";
    text += m_errorDetails;
  }
  return text;
}

CabHandle CabContext::DoOpen(const char* name, std::int32_t flags, std::int32_t mode,
                             std::int32_t& error) noexcept {
  try {
    CabFileAgent file = m_manager.GetCabAbstractFile(name, &m_errorDetails);
    if (!file) {
      error = kErrorFileNotFound;
      AppendErrorDetails(ZelvoUtilities::SafeFormatString(
          u"CabContext::DoOpen(): '%S' is no file of this context! ", name));
      return kCabInvalidHandle;
    }
    return static_cast<CabHandle>(file->OpenCabFile(flags, mode, error));
  } catch (...) {
    error = kErrorBadFileDescriptor;
    return kCabInvalidHandle;
  }
}

std::int32_t CabContext::DoRead(CabHandle handle, void* buffer, std::uint32_t count,
                                std::int32_t& error) noexcept {
  return OnOpenFile(m_manager, &m_errorDetails, handle, error, [&](CabAbstractFile& file) {
    return file.ReadCabFile(handle, buffer, count, error);
  });
}

std::int32_t CabContext::DoWrite(CabHandle handle, const void* buffer, std::uint32_t count,
                                 std::int32_t& error) noexcept {
  return OnOpenFile(m_manager, &m_errorDetails, handle, error, [&](CabAbstractFile& file) {
    return file.WriteCabFile(handle, buffer, count, error);
  });
}

std::int32_t CabContext::DoSeek(CabHandle handle, std::int32_t distance, std::int32_t origin,
                                std::int32_t& error) noexcept {
  return OnOpenFile(m_manager, &m_errorDetails, handle, error, [&](CabAbstractFile& file) {
    return file.SeekCabFile(handle, distance, origin, error);
  });
}

std::int32_t CabContext::DoClose(CabHandle handle, std::int32_t& error) noexcept {
  if (handle == kCabInvalidHandle) return -1;
  return OnOpenFile(m_manager, &m_errorDetails, handle, error, [&](CabAbstractFile& file) {
    return file.CloseCabFile(handle, error);
  });
}

// ---- compression ----

struct CabCompressionContext::Callbacks final : FileCallbacks<FciCallbacks> {
  explicit Callbacks(CabCompressionContext& c) : FileCallbacks(c), context(c) {}
  std::int32_t Delete(const char* name, std::int32_t& e) override {
    return context.DoFciDelete(name, e);
  }
  bool GetTempFile(char* buffer, std::int32_t size) override {
    return context.DoFciGetTempFile(buffer, size);
  }
  CabHandle GetOpenInfo(const char* name, std::uint16_t& d, std::uint16_t& t, std::uint16_t& a,
                        std::int32_t& e) override {
    return context.DoFciGetOpenInfo(name, d, t, a, e);
  }
  std::int32_t Status(std::uint32_t type, std::uint32_t cb1, std::uint32_t cb2) override {
    return context.DoFciGetStatus(type, cb1, cb2);
  }
  std::int32_t FilePlaced(const CabinetCcab&, const char*, std::int32_t, bool) override {
    return 0;
  }
  bool GetNextCabinet(CabinetCcab&, std::uint32_t) override { return false; }

  CabCompressionContext& context;
};

CabCompressionContext::CabCompressionContext(CabAbstractFile& input, CabAbstractFile& output)
    : CabContext(input, output), m_callbacks(std::make_unique<Callbacks>(*this)) {}

CabCompressionContext::~CabCompressionContext() {
  // Teardown after a failure: its own failure has nowhere to go.
  try {
    if (m_handle) CloseCabinetContext(false);
  } catch (...) {
  }
}

void CabCompressionContext::CompressSourceFile() {
  OpenCabinetContext();
  AddFile();
  FlushFolder();
  FlushCabinet();
  CloseCabinetContext(true);
}

void CabCompressionContext::OpenCabinetContext() {
  m_errorDetails = u" while initializing CCAB structure in CabCompressionContext::OpenCabinetContext()";
  CabinetCcab ccab;
  ccab.cb = 0x7FFFFFFF;
  ccab.cbFolderThresh = 0x7FFFFFFF;
  ccab.cbReserveCFHeader = 0;
  ccab.cbReserveCFFolder = 0;
  ccab.cbReserveCFData = 0;
  ccab.iCab = 1;
  ccab.iDisk = 0;
  ccab.fFailOnIncompressible = 0;
  ccab.setID = 12345;
  if (!ToEngineName(m_output.GetFileNameWithoutPath(), ccab.szCab) ||
      (!m_output.GetFilePath().IsEmpty() && !ToEngineName(m_output.GetFilePath(), ccab.szCabPath))) {
    ZELVO_THROW(ExceptionFileOperationCompression, "CabCompressionContext::OpenCabinetContext",
                "%s", static_cast<const char16_t*>(FailureText(u"cabinet name does not fit")));
  }
  m_errorRecord = CabinetErf{};
  m_handle = CabinetCompressor::Create(m_errorRecord, *m_callbacks, ccab);
  if (!m_handle) {
    ZELVO_THROW(ExceptionCompression, "CabCompressionContext::OpenCabinetContext", "%s",
                static_cast<const char16_t*>(FailureText(u"FCICreate failed")));
  }
  m_errorDetails.Empty();
}

void CabCompressionContext::AddFile() {
  m_errorDetails = u" while preparing to call FCIAddFile in CabCompressionContext::AddFile()";
  std::string source;
  std::string nameInCabinet;
  if (!ToEngineName(m_input.GetPathAndFileName(), source) ||
      !ToEngineName(m_input.GetFileNameWithoutPath(), nameInCabinet)) {
    ZELVO_THROW(ExceptionFileOperationCompression, "CabCompressionContext::AddFile", "%s",
                static_cast<const char16_t*>(FailureText(u"source name does not fit")));
  }
  if (!m_handle || !m_handle->AddFile(source.c_str(), nameInCabinet.c_str(), false,
                                      tcompTYPE_MSZIP)) {
    ZELVO_THROW(ExceptionCompression, "CabCompressionContext::AddFile", "%s",
                static_cast<const char16_t*>(FailureText(u"FCIAddFile failed")));
  }
  m_errorDetails.Empty();
}

void CabCompressionContext::FlushFolder() {
  if (!m_handle || !m_handle->FlushFolder()) {
    ZELVO_THROW(ExceptionCompression, "CabCompressionContext::FlushFolder", "%s",
                static_cast<const char16_t*>(FailureText(u"FCIFlushFolder failed")));
  }
  m_errorDetails.Empty();
}

void CabCompressionContext::FlushCabinet() {
  if (!m_handle || !m_handle->FlushCabinet(false)) {
    ZELVO_THROW(ExceptionCompression, "CabCompressionContext::FlushCabinet", "%s",
                static_cast<const char16_t*>(FailureText(u"FCIFlushCabinet failed")));
  }
  m_errorDetails.Empty();
}

void CabCompressionContext::CloseCabinetContext(bool throwOnFailure) {
  if (!m_handle) return;
  const bool ok = m_handle->Destroy();
  m_handle.reset();
  if (!ok && throwOnFailure) {
    ZELVO_THROW(ExceptionCompression, "CabCompressionContext::CloseCabinetContext", "%s",
                static_cast<const char16_t*>(FailureText(u"FCIDestroy failed")));
  }
  if (ok) m_errorDetails.Empty();
}

CXString CabCompressionContext::CreateDisplayStringFromOperationError(std::int32_t code) const {
  switch (code) {
    case 0: return CXString(u"FCIERR_NONE (No error)");
    case 1: return CXString(u"FCIERR_OPEN_SRC (Failure opening file to be stored in cabinet)");
    case 2: return CXString(u"FCIERR_READ_SRC (Failure reading file to be stored in cabinet)");
    case 3: return CXString(u"FCIERR_ALLOC_FAIL (Out of memory in FCI)");
    case 4: return CXString(u"FCIERR_TEMP_FILE (Could not create a temporary file)");
    case 5: return CXString(u"FCIERR_BAD_COMPR_TYPE (Unknown compression type)");
    case 6: return CXString(u"FCIERR_CAB_FILE (Could not create cabinet file)");
    case 7: return CXString(u"FCIERR_USER_ABORT (Client requested abort)");
    case 8: return CXString(u"FCIERR_MCI_FAIL (Failure compressing data)");
    default: return CXString(u"Unknown FCIERR_XXX value");
  }
}

std::int32_t CabCompressionContext::DoFciDelete(const char* name, std::int32_t& error) noexcept {
  try {
    CabFileAgent file = m_manager.GetCabAbstractFile(name, &m_errorDetails);
    if (!file) {
      error = kErrorFileNotFound;
      return -1;
    }
    const std::int32_t result = file->DeleteCabFile(error);
    m_manager.ReleaseCabAbstractFile(name);
    return result;
  } catch (...) {
    error = kErrorBadFileDescriptor;
    return -1;
  }
}

bool CabCompressionContext::DoFciGetTempFile(char* nameBuffer, std::int32_t bufferSize) noexcept {
  try {
    CabBufferAsFile maker(CXString(u"dummyfile"), 0u, &m_errorDetails);
    std::unique_ptr<CabAbstractFile> temp = maker.GetTempCabFile(nameBuffer, bufferSize);
    if (!temp) return false;
    temp->SetErrorDetailsLocation(&m_errorDetails);
    m_manager.AddCabAbstractFile(std::move(temp));
    return true;
  } catch (...) {
    return false;
  }
}

CabHandle CabCompressionContext::DoFciGetOpenInfo(const char* name, std::uint16_t& date,
                                                  std::uint16_t& time, std::uint16_t& attributes,
                                                  std::int32_t& error) noexcept {
  try {
    CabFileAgent file = m_manager.GetCabAbstractFile(name, &m_errorDetails);
    if (!file) {
      error = kErrorFileNotFound;
      return kCabInvalidHandle;
    }
    return static_cast<CabHandle>(file->GetOpenInfo(date, time, attributes, error));
  } catch (...) {
    error = kErrorBadFileDescriptor;
    return kCabInvalidHandle;
  }
}

std::int32_t CabCompressionContext::DoFciGetStatus(std::uint32_t type, std::uint32_t,
                                                   std::uint32_t cb2) noexcept {
  switch (type) {
    case statusFile:
    case statusFolder: return 0;
    case statusCabinet: return static_cast<std::int32_t>(cb2);
    default:
      AppendErrorDetails(ZelvoUtilities::SafeFormatString(
          u"CabCompressionContext::DoFciGetStatus(): Unrecognized type status %ld! Ignoring it. ",
          static_cast<std::int32_t>(type)));
      return 0;
  }
}

// ---- decompression ----

struct CabDecompressionContext::Callbacks final : FileCallbacks<CabinetSystem> {
  explicit Callbacks(CabDecompressionContext& c) : FileCallbacks(c) {}
};

CabDecompressionContext::CabDecompressionContext(CabAbstractFile& input, CabAbstractFile& output)
    : CabContext(input, output), m_callbacks(std::make_unique<Callbacks>(*this)) {}

CabDecompressionContext::~CabDecompressionContext() {
  // Teardown after a failure: its own failure has nowhere to go.
  try {
    if (m_handle) CloseCabinetContext(false);
  } catch (...) {
  }
}

void CabDecompressionContext::DecompressSourceFile() {
  OpenCabinetContext();
  ValidateCabinet();
  DecompressCabinetFile();
  CloseCabinetContext(true);
}

void CabDecompressionContext::OpenCabinetContext() {
  m_errorRecord = CabinetErf{};
  m_handle = CabinetDecompressor::Create(m_errorRecord, *m_callbacks);
  if (!m_handle) {
    ZELVO_THROW(ExceptionCompression, "CabDecompressionContext::OpenCabinetContext", "%s",
                static_cast<const char16_t*>(FailureText(u"FDICreate failed")));
  }
  m_errorDetails.Empty();
}

void CabDecompressionContext::ValidateCabinet() {
  std::int32_t error = 0;
  const std::int64_t handle = m_input.OpenCabFile(0x8020, 0, error);
  if (handle == -1) {
    ZELVO_THROW(ExceptionFileOperationCompression, "CabDecompressionContext::ValidateCabinet",
                "%s", static_cast<const char16_t*>(FailureText(u"cannot open the cabinet")));
  }
  FdiCabinetInfo info;
  const bool isCabinet = m_handle && m_handle->IsCabinet(static_cast<CabHandle>(handle), info);
  const bool closed = m_input.CloseCabFile(handle, error) == 0;
  if (!isCabinet) {
    ZELVO_THROW(ExceptionCompression, "CabDecompressionContext::ValidateCabinet", "%s",
                static_cast<const char16_t*>(FailureText(u"not a cabinet")));
  }
  if (!closed) {
    ZELVO_THROW(ExceptionFileOperationCompression, "CabDecompressionContext::ValidateCabinet",
                "%s", static_cast<const char16_t*>(FailureText(u"cannot close the cabinet")));
  }
  m_errorDetails.Empty();
}

void CabDecompressionContext::DecompressCabinetFile() {
  std::string name;
  std::string path;
  if (!ToEngineName(m_input.GetFileNameWithoutPath(), name) ||
      (!m_input.GetFilePath().IsEmpty() && !ToEngineName(m_input.GetFilePath(), path))) {
    ZELVO_THROW(ExceptionFileOperationCompression,
                "CabDecompressionContext::DecompressCabinetFile", "%s",
                static_cast<const char16_t*>(FailureText(u"cabinet name does not fit")));
  }
  m_outputWritten = false;
  const FdiNotify notify = [this](FdiNotificationType type, FdiNotification& n) {
    return DoFdiNotify(type, n);
  };
  if (!m_handle || !m_handle->Copy(name.c_str(), path.c_str(), 0, notify)) {
    ZELVO_THROW(ExceptionCompression, "CabDecompressionContext::DecompressCabinetFile", "%s",
                static_cast<const char16_t*>(FailureText(u"FDICopy failed")));
  }
  m_errorDetails.Empty();
}

void CabDecompressionContext::CloseCabinetContext(bool throwOnFailure) {
  if (!m_handle) return;
  const bool ok = m_handle->Destroy();
  m_handle.reset();
  if (!ok && throwOnFailure) {
    ZELVO_THROW(ExceptionCompression, "CabDecompressionContext::CloseCabinetContext", "%s",
                static_cast<const char16_t*>(FailureText(u"FDIDestroy failed")));
  }
  if (ok) m_errorDetails.Empty();
}

CabHandle CabDecompressionContext::DoFdiNotify(FdiNotificationType type,
                                               FdiNotification& notification) noexcept {
  try {
    switch (type) {
      case fdintCABINET_INFO: return 0;
      case fdintPARTIAL_FILE: return -1;
      case fdintCOPY_FILE: {
        // Only the registered output may receive data: a cabinet must not be
        // able to choose which file of the system gets written.
        const CXString stored(notification.psz1);
        CabFileAgent file = m_manager.GetCabAbstractFile(notification.psz1, &m_errorDetails);
        const bool isOutput = (file && file.get() == &m_output) ||
                              (!stored.IsEmpty() && stored == m_output.GetFileNameWithoutPath());
        if (!isOutput || m_outputWritten) {
          AppendErrorDetails(ZelvoUtilities::SafeFormatString(
              u"CabDecompressionContext::DoFdiNotify(): the cabinet holds '%S', which is not "
              u"the one output of this extraction! ",
              notification.psz1 != nullptr ? notification.psz1 : ""));
          return -1;
        }
        m_outputWritten = true;
        std::int32_t error = 0;
        const std::int64_t handle = m_output.OpenCabFile(0x8121 | 0x0200, 0x180, error);
        return handle == -1 ? -1 : static_cast<CabHandle>(handle);
      }
      case fdintCLOSE_FILE_INFO: {
        std::int32_t error = 0;
        return DoClose(notification.hf, error) == 0 ? 1 : 0;
      }
      case fdintNEXT_CABINET: return -1;
      default: return 0;
    }
  } catch (...) {
    return -1;
  }
}

CXString CabDecompressionContext::CreateDisplayStringFromOperationError(std::int32_t code) const {
  switch (code) {
    case 0: return CXString(u"FDIERROR_NONE (No error)");
    case 1: return CXString(u"FDIERROR_CABINET_NOT_FOUND (Cabinet not found)");
    case 2: return CXString(u"FDIERROR_NOT_A_CABINET (Cabinet file does not have the correct format)");
    case 3: return CXString(u"FDIERROR_UNKNOWN_CABINET_VERSION (Cabinet file has an unknown version number)");
    case 4: return CXString(u"FDIERROR_CORRUPT_CABINET (Cabinet file is corrupt)");
    case 5: return CXString(u"FDIERROR_ALLOC_FAIL (Could not allocate enough memory)");
    case 6: return CXString(u"FDIERROR_BAD_COMPR_TYPE (Unknown compression type in a cabinet folder)");
    case 7: return CXString(u"FDIERROR_MDI_FAIL (Failure decompressing data from a cabinet file)");
    case 8: return CXString(u"FDIERROR_TARGET_FILE (Failure writing to target file)");
    case 9: return CXString(u"FDIERROR_RESERVE_MISMATCH (Cabinets in a set do not have the same RESERVE sizes)");
    case 10: return CXString(u"FDIERROR_WRONG_CABINET (Cabinet returned on fdintNEXT_CABINET is incorrect)");
    case 11: return CXString(u"FDIERROR_USER_ABORT (FDI aborted)");
    default: return CXString(u"Unknown FDIERROR_XXX value");
  }
}
