// SimpleFile: a whole file on disk read or written in one call as a
// ByteBuffer; SimpleFileWithCrc guards the bytes with an 8-byte CRC-32
// header; SimpleFileWithCompression stores them as a compressed buffer state
// under the same header.
//
// CRC file layout, little-endian:
//   +0  4  CRC-32 of the payload (bytes 8 to the end)
//   +4  4  content kind: 0 the caller's bytes, 1 a compressed buffer state
//   +8  n  payload
// The content kind is written, never checked.
//
// WriteTheFile replaces the file atomically: the bytes go to a new file
// beside it, which is flushed to disk and renamed over the old one, so a
// reader sees the old content or the new, never a part. A failure leaves the
// old file as it was and removes the new one. An existing read-only file
// (owner write bit clear) is refused unless the action asks to make it
// writable. WriteToTheFile changes a file in place and is not atomic.
//
// Every failure throws a class of the file family (ExceptionCreateFileForReading,
// ExceptionCreateFileForWriting, ExceptionReadFile, ExceptionWriteFile) with
// an empty message; a bad compressed state passes on the compression
// exceptions. Files go through w4platform::CurrentFileSystem(). An object is
// used by one thread at a time; different objects are independent (writers of
// one path race as the file system lets them; each reader still sees a whole
// file).
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"

class W4UTIL_EXPORT SimpleFile {
 public:
  // The name is the published interface's, reserved spelling and all.
  enum _CharacterEncodingMode : std::int32_t {  // NOLINT(bugprone-reserved-identifier)
    CharacterEncodingUnchanged = 0,
    CharacterEncodingRemoveByteOrderMark = 1,
  };
  enum FileAttributeActionEnum : std::int32_t {
    FileAttributeActionNone = 1,
    FileAttributeActionMakeWritable = 2,
  };

  SimpleFile(const CXString& path, _CharacterEncodingMode mode);
  SimpleFile(const SimpleFile&) = default;
  SimpleFile& operator=(const SimpleFile&) = default;
  virtual ~SimpleFile();

  // maxSize 0 sets no limit; a file longer than a non-zero maxSize, or of
  // 4 GiB or more, throws ExceptionReadFile.
  virtual void ReadTheFile(ByteBuffer& out, std::uint32_t maxSize);
  // count bytes from offset; fewer throws ExceptionReadFile. shareMode is the
  // host's and has no effect here.
  virtual void ReadFromTheFile(std::uint32_t shareMode, std::uint32_t offset, std::uint32_t count,
                               ByteBuffer& out);
  virtual void WriteTheFile(const ByteBuffer& data, FileAttributeActionEnum action);
  // Opens (creating when missing) and writes count bytes at offset in place.
  virtual void WriteToTheFile(std::uint32_t shareMode, std::uint32_t offset, std::uint32_t count,
                              unsigned char* const data, FileAttributeActionEnum action);

  bool FileExists() const;
  static bool DoesFileExist(const CXString& path);
  // False when the attributes cannot be read or the bit cannot be cleared.
  bool EnsureFileIsWritable() const;
  static bool EnsureFileIsWritable(const CXString& path);
  // Action 2 makes the file writable first. True when the file was removed.
  static bool DeleteTheFile(const CXString& path, FileAttributeActionEnum action);
  // Ignores the action, as the static form's callers expect of the member.
  bool DeleteTheFile(FileAttributeActionEnum action) const;

  const CXString& GetPath() const { return m_path; }

 protected:
  CXString m_path;
  _CharacterEncodingMode m_mode;
};

class W4UTIL_EXPORT SimpleFileWithCrc : public SimpleFile {
 public:
  static constexpr std::uint32_t kHeaderSize = 8;
  static constexpr std::uint32_t kContentKindPlain = 0;
  static constexpr std::uint32_t kContentKindCompressed = 1;

  SimpleFileWithCrc(const CXString& path, _CharacterEncodingMode mode) : SimpleFile(path, mode) {}

  // maxSize limits the payload (0: no limit). A file of 8 bytes or fewer, or
  // whose CRC does not match, throws ExceptionReadFile.
  void ReadTheFile(ByteBuffer& out, std::uint32_t maxSize) override;
  // Always throws ExceptionReadFile.
  void ReadFromTheFile(std::uint32_t shareMode, std::uint32_t offset, std::uint32_t count,
                       ByteBuffer& out) override;
  // The action is not used: the file is written with action 1.
  void WriteTheFile(const ByteBuffer& data, FileAttributeActionEnum action) override;
  // Always throws ExceptionWriteFile.
  void WriteToTheFile(std::uint32_t shareMode, std::uint32_t offset, std::uint32_t count,
                      unsigned char* const data, FileAttributeActionEnum action) override;

 protected:
  void WriteWithHeader(const ByteBuffer& payload, std::uint32_t contentKind);
};

class W4UTIL_EXPORT SimpleFileWithCompression : public SimpleFileWithCrc {
 public:
  SimpleFileWithCompression(const CXString& path, _CharacterEncodingMode mode) : SimpleFileWithCrc(path, mode) {}

  // maxSize limits the stored (compressed) payload. A restored size that
  // differs from the recorded one throws ExceptionReadFile.
  void ReadTheFile(ByteBuffer& out, std::uint32_t maxSize) override;
  void WriteTheFile(const ByteBuffer& data, FileAttributeActionEnum action) override;
};
