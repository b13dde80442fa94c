#include "w4util/files/SimpleFile.h"

#include <cstring>
#include <memory>
#include <string>

#include "w4util/compression/CabCompressedBuffer.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/files/Crc32.h"
#include "w4util/foundation/Endian.h"
#include "w4util/platform/CodePage.h"
#include "w4util/platform/Files.h"

namespace {

using w4platform::CurrentFileSystem;
using w4platform::FileOpenMode;

constexpr std::uint64_t kFourGiB = 0x100000000ull;

std::string NativePath(const CXString& path) {
  std::string native;
  w4platform::Utf16ToMultiByte(w4platform::kCodePageUtf8, path, static_cast<std::size_t>(path.GetLength()), native);
  return native;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Removes a leading byte-order mark: UTF-32 (4 bytes) before UTF-16 (2),
// then UTF-8 (3); only bytes the file has are compared.
void RemoveByteOrderMark(ByteBuffer& bytes) {
  static const unsigned char kUtf32Be[] = {0x00, 0x00, 0xFE, 0xFF};
  static const unsigned char kUtf32Le[] = {0xFF, 0xFE, 0x00, 0x00};
  static const unsigned char kUtf16Be[] = {0xFE, 0xFF};
  static const unsigned char kUtf16Le[] = {0xFF, 0xFE};
  static const unsigned char kUtf8[] = {0xEF, 0xBB, 0xBF};
  auto starts = [&bytes](const unsigned char* mark, std::size_t n) {
    return bytes.size() >= n && std::memcmp(bytes.data(), mark, n) == 0;
  };
  std::size_t drop = 0;
  if (starts(kUtf32Be, 4) || starts(kUtf32Le, 4)) {
    drop = 4;
  } else if (starts(kUtf16Be, 2) || starts(kUtf16Le, 2)) {
    drop = 2;
  } else if (starts(kUtf8, 3)) {
    drop = 3;
  }
  if (drop != 0) bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(drop));
}

// The header's room on top of a payload limit; 0 stays "no limit" and the
// sum never wraps.
std::uint32_t LimitWithHeader(std::uint32_t maxSize) {
  if (maxSize == 0) return 0;
  return maxSize > 0xFFFFFFFFu - SimpleFileWithCrc::kHeaderSize ? 0xFFFFFFFFu
                                                                : maxSize + SimpleFileWithCrc::kHeaderSize;
}

}  // namespace

SimpleFile::SimpleFile(const CXString& path, _CharacterEncodingMode mode) : m_path(path), m_mode(mode) {}

SimpleFile::~SimpleFile() = default;

void SimpleFile::ReadTheFile(ByteBuffer& out, std::uint32_t maxSize) {
  int error = 0;
  std::unique_ptr<w4platform::File> file = CurrentFileSystem().Open(NativePath(m_path), FileOpenMode::kRead, error);
  if (!file) ZELVO_THROW_NO_MESSAGE(ExceptionCreateFileForReading, "SimpleFile::ReadTheFile");
  std::uint64_t size = 0;
  if (file->Size(size) != 0) ZELVO_THROW_NO_MESSAGE(ExceptionCreateFileForReading, "SimpleFile::ReadTheFile");
  // A buffer counts its bytes in 32 bits, so 4 GiB is a limit even without one.
  if (size >= kFourGiB || (maxSize != 0 && size > maxSize)) {
    ZELVO_THROW_NO_MESSAGE(ExceptionReadFile, "SimpleFile::ReadTheFile");
  }
  ByteBuffer bytes(size, 0);
  if (size != 0 && file->Read(bytes.data(), static_cast<std::size_t>(size), error) != static_cast<std::int64_t>(size)) {
    ZELVO_THROW_NO_MESSAGE(ExceptionReadFile, "SimpleFile::ReadTheFile");
  }
  file.reset();
  if (m_mode == CharacterEncodingRemoveByteOrderMark) RemoveByteOrderMark(bytes);
  out = std::move(bytes);
}

void SimpleFile::ReadFromTheFile(std::uint32_t, std::uint32_t offset, std::uint32_t count, ByteBuffer& out) {
  int error = 0;
  std::unique_ptr<w4platform::File> file = CurrentFileSystem().Open(NativePath(m_path), FileOpenMode::kRead, error);
  if (!file) ZELVO_THROW_NO_MESSAGE(ExceptionCreateFileForReading, "SimpleFile::ReadFromTheFile");
  if (file->Seek(offset) != 0) ZELVO_THROW_NO_MESSAGE(ExceptionReadFile, "SimpleFile::ReadFromTheFile");
  // Never allocate more than the file can deliver from offset.
  std::uint64_t size = 0;
  if (file->Size(size) != 0 || size < std::uint64_t{offset} + count) {
    ZELVO_THROW_NO_MESSAGE(ExceptionReadFile, "SimpleFile::ReadFromTheFile");
  }
  ByteBuffer bytes(count, 0);
  if (count != 0 && file->Read(bytes.data(), count, error) != static_cast<std::int64_t>(count)) {
    ZELVO_THROW_NO_MESSAGE(ExceptionReadFile, "SimpleFile::ReadFromTheFile");
  }
  out = std::move(bytes);
}

void SimpleFile::WriteTheFile(const ByteBuffer& data, FileAttributeActionEnum action) {
  w4platform::FileSystem& files = CurrentFileSystem();
  if (action == FileAttributeActionMakeWritable) EnsureFileIsWritable();
  // Replace the file a link points at, not the link.
  const std::string target = files.ResolveLinks(NativePath(m_path));
  w4platform::FileInfo info;
  if (files.GetInfo(target, info) == 0) {
    // The checks that opening the old file for writing would make.
    int error = 0;
    if (info.isDirectory || info.readOnly || !files.Open(target, FileOpenMode::kWriteExisting, error)) {
      ZELVO_THROW_NO_MESSAGE(ExceptionCreateFileForWriting, "SimpleFile::WriteTheFile");
    }
  }
  std::string tempPath;
  int error = 0;
  std::unique_ptr<w4platform::File> file = files.CreateTemporaryBeside(target, tempPath, error);
  if (!file) ZELVO_THROW_NO_MESSAGE(ExceptionCreateFileForWriting, "SimpleFile::WriteTheFile");
  const bool written = (data.empty() || file->Write(data.data(), data.size()) == 0) && file->Sync() == 0;
  file.reset();
  if (!written || files.Rename(tempPath, target) != 0) {
    files.Remove(tempPath);
    ZELVO_THROW_NO_MESSAGE(ExceptionWriteFile, "SimpleFile::WriteTheFile");
  }
  // The new name is visible now; without this it might not survive a crash.
  if (files.SyncDirectory(DirectoryOf(target)) != 0) {
    ZELVO_THROW_NO_MESSAGE(ExceptionWriteFile, "SimpleFile::WriteTheFile");
  }
}

void SimpleFile::WriteToTheFile(std::uint32_t, std::uint32_t offset, std::uint32_t count, unsigned char* const data,
                                FileAttributeActionEnum action) {
  w4platform::FileSystem& files = CurrentFileSystem();
  if (action == FileAttributeActionMakeWritable) EnsureFileIsWritable();
  const std::string path = NativePath(m_path);
  w4platform::FileInfo info;
  if (files.GetInfo(path, info) == 0 && info.readOnly) {
    ZELVO_THROW_NO_MESSAGE(ExceptionCreateFileForWriting, "SimpleFile::WriteToTheFile");
  }
  int error = 0;
  std::unique_ptr<w4platform::File> file = files.Open(path, FileOpenMode::kWriteAlways, error);
  if (!file) ZELVO_THROW_NO_MESSAGE(ExceptionCreateFileForWriting, "SimpleFile::WriteToTheFile");
  if (file->Seek(offset) != 0) ZELVO_THROW_NO_MESSAGE(ExceptionWriteFile, "SimpleFile::WriteToTheFile");
  if (count != 0 && (data == nullptr || file->Write(data, count) != 0)) {
    ZELVO_THROW_NO_MESSAGE(ExceptionWriteFile, "SimpleFile::WriteToTheFile");
  }
}

bool SimpleFile::FileExists() const {
  int error = 0;
  // The host has no sharing locks, so a file that opens is the only "yes".
  return CurrentFileSystem().Open(NativePath(m_path), FileOpenMode::kRead, error) != nullptr;
}

bool SimpleFile::DoesFileExist(const CXString& path) {
  return SimpleFile(path, CharacterEncodingUnchanged).FileExists();
}

bool SimpleFile::EnsureFileIsWritable() const { return EnsureFileIsWritable(m_path); }

bool SimpleFile::EnsureFileIsWritable(const CXString& path) {
  const std::string native = NativePath(path);
  w4platform::FileInfo info;
  if (CurrentFileSystem().GetInfo(native, info) != 0) return false;
  if (!info.readOnly) return true;
  return CurrentFileSystem().SetReadOnly(native, false) == 0;
}

bool SimpleFile::DeleteTheFile(const CXString& path, FileAttributeActionEnum action) {
  if (action == FileAttributeActionMakeWritable) EnsureFileIsWritable(path);
  const std::string native = NativePath(path);
  w4platform::FileInfo info;
  // Deleting a read-only file is refused, as the host does.
  if (CurrentFileSystem().GetInfo(native, info) == 0 && (info.readOnly || info.isDirectory)) return false;
  return CurrentFileSystem().Remove(native) == 0;
}

bool SimpleFile::DeleteTheFile(FileAttributeActionEnum) const {
  return DeleteTheFile(m_path, FileAttributeActionNone);
}

// --- SimpleFileWithCrc ---

void SimpleFileWithCrc::ReadTheFile(ByteBuffer& out, std::uint32_t maxSize) {
  ByteBuffer bytes;
  SimpleFile::ReadTheFile(bytes, LimitWithHeader(maxSize));
  if (bytes.size() <= kHeaderSize ||
      Crc32::GetCrc(bytes.data() + kHeaderSize, static_cast<std::uint32_t>(bytes.size() - kHeaderSize)) !=
          w4util::little_endian::Load32(bytes.data())) {
    ZELVO_THROW_NO_MESSAGE(ExceptionReadFile, "SimpleFileWithCrc::ReadTheFile");
  }
  bytes.erase(bytes.begin(), bytes.begin() + kHeaderSize);
  out = std::move(bytes);
}

void SimpleFileWithCrc::ReadFromTheFile(std::uint32_t, std::uint32_t, std::uint32_t, ByteBuffer&) {
  ZELVO_THROW_NO_MESSAGE(ExceptionReadFile, "SimpleFileWithCrc::ReadFromTheFile");
}

void SimpleFileWithCrc::WriteTheFile(const ByteBuffer& data, FileAttributeActionEnum) {
  WriteWithHeader(data, kContentKindPlain);
}

void SimpleFileWithCrc::WriteToTheFile(std::uint32_t, std::uint32_t, std::uint32_t, unsigned char* const,
                                       FileAttributeActionEnum) {
  ZELVO_THROW_NO_MESSAGE(ExceptionWriteFile, "SimpleFileWithCrc::WriteToTheFile");
}

void SimpleFileWithCrc::WriteWithHeader(const ByteBuffer& payload, std::uint32_t contentKind) {
  if (payload.size() > 0xFFFFFFFFu - kHeaderSize) {
    ZELVO_THROW_NO_MESSAGE(ExceptionWriteFile, "SimpleFileWithCrc::WriteTheFile");
  }
  ByteBuffer bytes(kHeaderSize, 0);
  const std::uint32_t crc =
      Crc32::GetCrc(const_cast<unsigned char*>(payload.data()), static_cast<std::uint32_t>(payload.size()));
  w4util::little_endian::Store32(bytes.data(), crc);
  w4util::little_endian::Store32(bytes.data() + 4, contentKind);
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  SimpleFile::WriteTheFile(bytes, FileAttributeActionNone);
}

// --- SimpleFileWithCompression ---

void SimpleFileWithCompression::ReadTheFile(ByteBuffer& out, std::uint32_t maxSize) {
  ByteBuffer state;
  SimpleFileWithCrc::ReadTheFile(state, maxSize);
  std::unique_ptr<CabCompressedBuffer> buffer = CabCompressedBuffer::CreateWithBufferState(state);
  ByteBuffer data;
  buffer->GetOriginalData(data);
  if (data.size() != buffer->GetOriginalDataSize()) {
    ZELVO_THROW_NO_MESSAGE(ExceptionReadFile, "SimpleFileWithCompression::ReadTheFile");
  }
  out = std::move(data);
}

void SimpleFileWithCompression::WriteTheFile(const ByteBuffer& data, FileAttributeActionEnum) {
  CabCompressedBuffer buffer;
  buffer.Store(data);
  WriteWithHeader(buffer.GetCompressedBufferState(), kContentKindCompressed);
}
