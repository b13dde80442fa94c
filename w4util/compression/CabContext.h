// Drives the cabinet engine to turn one input file into a cabinet
// (CabCompressionContext) or one cabinet back into its file
// (CabDecompressionContext). Input and output are cabinet files: real files
// (CabFile) or pseudo-files (CabBufferAsFile).
//
// A context borrows both files, which must outlive it; it registers them,
// and every temporary file the engine asks for, with its own registry
// instance, and all of them leave the registry when the context ends. The
// files append their failure texts to the context's error details. Each
// operation throws (ExceptionCompression for the engine's failures,
// ExceptionFileOperationCompression for the context's own file work) with
// the cabinet error and the error details in its message. A context is used
// by one thread; separate contexts may run on separate threads.
#pragma once

#include <cstdint>
#include <memory>

#include "w4util/Export.h"
#include "w4util/compression/CabAbstractFile.h"
#include "w4util/compression/CabFileObjectManager.h"
#include "w4util/foundation/CXString.h"
#include "w4util/platform/CabinetTypes.h"

class CabinetCompressor;
class CabinetDecompressor;

class W4UTIL_EXPORT CabContext {
 public:
  CabContext(CabAbstractFile& input, CabAbstractFile& output);
  virtual ~CabContext();
  CabContext(const CabContext&) = delete;
  CabContext& operator=(const CabContext&) = delete;

  CabAbstractFile& GetInputFile() const { return m_input; }
  CabAbstractFile& GetOutputFile() const { return m_output; }
  const CXString& GetErrorDetails() const { return m_errorDetails; }
  const CabinetErf& GetErrorRecord() const { return m_errorRecord; }

  // "None" while no cabinet error is recorded.
  CXString CreateDisplayStringFromCurrentCabinetErrors() const;
  virtual CXString CreateDisplayStringFromOperationError(std::int32_t code) const = 0;
  virtual void Dump() const {}

  // The file callbacks both engines share. They never throw.
  CabHandle DoOpen(const char* name, std::int32_t flags, std::int32_t mode,
                   std::int32_t& error) noexcept;
  std::int32_t DoRead(CabHandle handle, void* buffer, std::uint32_t count,
                      std::int32_t& error) noexcept;
  std::int32_t DoWrite(CabHandle handle, const void* buffer, std::uint32_t count,
                       std::int32_t& error) noexcept;
  std::int32_t DoSeek(CabHandle handle, std::int32_t distance, std::int32_t origin,
                      std::int32_t& error) noexcept;
  std::int32_t DoClose(CabHandle handle, std::int32_t& error) noexcept;

 protected:
  // Message of a thrown failure: what failed, the cabinet error, the details.
  CXString FailureText(const char16_t* what) const;
  void AppendErrorDetails(const CXString& text) noexcept;

  CabAbstractFile& m_input;
  CabAbstractFile& m_output;
  CabFileObjectManager m_manager;
  CabinetErf m_errorRecord;
  CXString m_errorDetails;
};

class W4UTIL_EXPORT CabCompressionContext final : public CabContext {
 public:
  CabCompressionContext(CabAbstractFile& input, CabAbstractFile& output);
  ~CabCompressionContext() override;

  // Writes a cabinet holding the input as one MSZIP file into the output.
  void CompressSourceFile();

  void OpenCabinetContext();
  void AddFile();
  void FlushFolder();
  void FlushCabinet();
  void CloseCabinetContext(bool throwOnFailure);
  CXString CreateDisplayStringFromOperationError(std::int32_t code) const override;

  std::int32_t DoFciDelete(const char* name, std::int32_t& error) noexcept;
  bool DoFciGetTempFile(char* nameBuffer, std::int32_t bufferSize) noexcept;
  CabHandle DoFciGetOpenInfo(const char* name, std::uint16_t& date, std::uint16_t& time,
                             std::uint16_t& attributes, std::int32_t& error) noexcept;
  std::int32_t DoFciGetStatus(std::uint32_t type, std::uint32_t cb1, std::uint32_t cb2) noexcept;

 private:
  struct Callbacks;
  std::unique_ptr<Callbacks> m_callbacks;
  std::unique_ptr<CabinetCompressor> m_handle;
};

class W4UTIL_EXPORT CabDecompressionContext final : public CabContext {
 public:
  CabDecompressionContext(CabAbstractFile& input, CabAbstractFile& output);
  ~CabDecompressionContext() override;

  // Restores the one file of the input cabinet into the output. A cabinet
  // whose file is not the output fails: its stored name must be the output's
  // full name or its name without path, and only one file is accepted.
  void DecompressSourceFile();

  void OpenCabinetContext();
  void ValidateCabinet();
  void DecompressCabinetFile();
  void CloseCabinetContext(bool throwOnFailure);
  CXString CreateDisplayStringFromOperationError(std::int32_t code) const override;

  CabHandle DoFdiNotify(FdiNotificationType type, FdiNotification& notification) noexcept;

 private:
  struct Callbacks;
  std::unique_ptr<Callbacks> m_callbacks;
  std::unique_ptr<CabinetDecompressor> m_handle;
  bool m_outputWritten = false;
};
