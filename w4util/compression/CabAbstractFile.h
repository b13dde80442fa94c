// A file as the cabinet contexts hand it to the cabinet engine: a named
// object that can be opened several times, each open an instance with its own
// handle, and that reports failures by return values and by appending text
// to an error-details string (never by throwing).
//
// Two kinds exist: CabFile over an operating-system file and CabBufferAsFile
// over bytes in memory. Names are kept as a path part (ending with its
// separator, or empty) and a name part, so that path + name is the full name.
// The object owns its open instances; the error-details location is a
// borrowed CXString that must outlive the file. Not thread-safe: one context
// on one thread uses a file at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"

// One open of a file: its handle (-1 when the open failed).
class W4UTIL_EXPORT CabAbstractOpenFileInstance {
 public:
  explicit CabAbstractOpenFileInstance(std::int64_t handle) : m_handle(handle) {}
  virtual ~CabAbstractOpenFileInstance();
  virtual std::unique_ptr<CabAbstractOpenFileInstance> Clone() const = 0;
  virtual bool IsEqual(const CabAbstractOpenFileInstance& other) const;
  virtual void Dump() const {}
  std::int64_t GetHandle() const { return m_handle; }

 private:
  std::int64_t m_handle;
};

class W4UTIL_EXPORT CabOpenFileInstance : public CabAbstractOpenFileInstance {
 public:
  using CabAbstractOpenFileInstance::CabAbstractOpenFileInstance;
  std::unique_ptr<CabAbstractOpenFileInstance> Clone() const override;
};

// An open pseudo-file also keeps its seek position.
class W4UTIL_EXPORT CabOpenBufferAsFileInstance : public CabAbstractOpenFileInstance {
 public:
  using CabAbstractOpenFileInstance::CabAbstractOpenFileInstance;
  std::unique_ptr<CabAbstractOpenFileInstance> Clone() const override;
  bool IsEqual(const CabAbstractOpenFileInstance& other) const override;
  std::int32_t GetSeekPosition() const { return m_seekPosition; }
  void SetSeekPosition(std::int32_t position) { m_seekPosition = position; }

 private:
  std::int32_t m_seekPosition = 0;
};

class W4UTIL_EXPORT CabAbstractFile {
 public:
  CabAbstractFile(const CabAbstractFile&) = delete;
  CabAbstractFile& operator=(const CabAbstractFile&) = delete;
  virtual ~CabAbstractFile();

  // Bytes read, 0 at the end, -1 on error.
  virtual std::int32_t ReadCabFile(std::int64_t handle, void* buffer, std::uint32_t count,
                                   std::int32_t& error) = 0;
  // `count` on success, -1 on error.
  virtual std::int32_t WriteCabFile(std::int64_t handle, const void* buffer, std::uint32_t count,
                                    std::int32_t& error) = 0;
  // The new position, or -1 (position unchanged).
  virtual std::int32_t SeekCabFile(std::int64_t handle, std::int32_t distance, std::int32_t origin,
                                   std::int32_t& error) = 0;
  virtual std::int32_t DeleteCabFile(std::int32_t& error) = 0;
  // A new temporary file of this kind, owned by the caller, whose name is
  // also copied (terminated) into `nameBuffer`; null when none could be made.
  virtual std::unique_ptr<CabAbstractFile> GetTempCabFile(char* nameBuffer,
                                                          std::int32_t bufferSize) = 0;
  // Opens the file for reading; -1 on failure.
  virtual std::int64_t GetOpenInfo(std::uint16_t& date, std::uint16_t& time,
                                   std::uint16_t& attributes, std::int32_t& error) = 0;
  virtual void Dump() const {}

  // Opens and remembers the instance; returns its handle or -1.
  std::int64_t OpenCabFile(std::int32_t openFlags, std::int32_t permissionMode,
                           std::int32_t& error);
  // Closes and forgets the instance; returns 0 on success.
  std::int32_t CloseCabFile(std::int64_t handle, std::int32_t& error);

  bool IsOpen() const { return !m_openFiles.empty(); }
  bool IsOpenFileInstance(std::int64_t handle) const;
  bool ContainsMatchingFileHandle(const CabAbstractFile& other) const;

  CXString GetPathAndFileName() const { return m_path + m_name; }
  const CXString& GetFileNameWithoutPath() const { return m_name; }
  const CXString& GetFilePath() const { return m_path; }
  // Multibyte copies; false when the text does not fit or cannot be converted.
  bool GetPathAndFileName(char* buffer, std::int32_t size) const;
  bool GetFileNameWithoutPath(char* buffer, std::int32_t size) const;
  bool GetFilePath(char* buffer, std::int32_t size) const;
  // Refused (false) while the file is open.
  bool SetPathAndFileName(const CXString& pathAndName);

  void SetErrorDetailsLocation(CXString* location);
  void ResetErrorDetails() { m_pErrorDetails->Empty(); }
  const CXString& GetErrorDetails() const { return *m_pErrorDetails; }

 protected:
  // `nativeSeparators`: '/' also splits path from name (files on disk);
  // otherwise only '\\' does, so names such as "//Compressed-Data//" stay whole.
  CabAbstractFile(const CXString& pathAndName, bool closeAllOnDestruction, bool nativeSeparators,
                  CXString* errorDetails);

  virtual std::unique_ptr<CabAbstractOpenFileInstance> DoOpenCabFile(std::int32_t openFlags,
                                                                     std::int32_t permissionMode,
                                                                     std::int32_t& error) = 0;
  virtual std::int32_t DoCloseCabFile(std::int64_t handle, std::int32_t& error) = 0;

  CabAbstractOpenFileInstance* FindOpenFileInstance(std::int64_t handle) const;
  void AppendErrorDetails(const CXString& text) { *m_pErrorDetails += text; }
  CXString* ErrorDetailsLocation() const { return m_pErrorDetails; }
  // Closes every open instance; subclasses call it from their destructors
  // when the close-all flag is set.
  void CloseAllOpenFiles();
  bool CloseAllOnDestruction() const { return m_bCloseAllOnDestruction; }

 private:
  CXString m_path;
  CXString m_name;
  bool m_bCloseAllOnDestruction;
  bool m_bNativeSeparators;
  std::vector<std::unique_ptr<CabAbstractOpenFileInstance>> m_openFiles;
  CXString m_errorDetails;
  CXString* m_pErrorDetails;
};
