// File service of the host: the few file-system calls the library makes
// (open, read, write, fsync, rename, unlink, stat, chmod, directory listing),
// behind one small interface so that tests can make any of them fail.
//
// Paths are native UTF-8 byte strings. Failures answer an errno value (0 is
// success); nothing here throws. A File owns its descriptor and closes it
// when destroyed. Read returns the bytes read, 0 at the end, -1 on error; a
// short Write is an error.
//
// "Read-only" is the owner's write permission bit: SetReadOnly clears or sets
// S_IWUSR (and never touches the other bits); FileInfo::readOnly is that bit
// clear.
//
// CurrentFileSystem() is the service the library uses: PosixFileSystem()
// unless a ScopedFileSystem is in force. Swapping it is for tests only and is
// not safe while another thread uses files. The POSIX service itself is
// stateless and thread-safe; FaultInjectingFileSystem is for one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "w4util/Export.h"

namespace w4platform {

struct FileInfo {
  bool isDirectory = false;
  bool readOnly = false;
  std::uint64_t size = 0;
};

struct DirectoryEntry {
  std::string name;  // no path, never "." or ".."
  bool isDirectory = false;
};

enum class FileOpenMode {
  kRead,           // existing file, reading
  kWriteExisting,  // existing file, writing, content kept
  kWriteAlways,    // writing, created when missing, content kept
};

class W4UTIL_EXPORT File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  virtual ~File() = default;

  virtual std::int64_t Read(void* buffer, std::size_t count, int& error) = 0;
  virtual int Write(const void* data, std::size_t count) = 0;
  virtual int Seek(std::uint64_t offset) = 0;
  virtual int Size(std::uint64_t& size) = 0;
  virtual int Sync() = 0;
};

class W4UTIL_EXPORT FileSystem {
 public:
  FileSystem() = default;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;
  virtual ~FileSystem() = default;

  // Null with error set when the file cannot be opened.
  virtual std::unique_ptr<File> Open(const std::string& path, FileOpenMode mode, int& error) = 0;
  // Creates a new file beside target (same directory, mkstemp) with the
  // permissions target has, or those a new file gets when it does not exist;
  // tempPath receives its name.
  virtual std::unique_ptr<File> CreateTemporaryBeside(const std::string& target,
                                                      std::string& tempPath, int& error) = 0;
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  virtual int Remove(const std::string& path) = 0;
  // Makes a finished rename in directory durable.
  virtual int SyncDirectory(const std::string& directory) = 0;
  // Follows symbolic links.
  virtual int GetInfo(const std::string& path, FileInfo& info) = 0;
  virtual int SetReadOnly(const std::string& path, bool readOnly) = 0;
  // The path with every symbolic link of its last component resolved; the
  // path itself when it is no link or the link is dangling.
  virtual std::string ResolveLinks(const std::string& path) = 0;
  // Replaces entries; order unspecified.
  virtual int ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) = 0;
};

W4UTIL_EXPORT FileSystem& PosixFileSystem();
W4UTIL_EXPORT FileSystem& CurrentFileSystem();

// Puts a file system in force for its lifetime (tests); restores the
// previous one.
class W4UTIL_EXPORT ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& fileSystem);
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;
  ~ScopedFileSystem();

 private:
  FileSystem* previous_;
};

// Forwards to a base service and fails chosen calls with EIO: the Nth call
// (1-based, counted from construction or the last Fail... call) of Write,
// Sync, Rename, SyncDirectory or CreateTemporaryBeside. 0 fails nothing.
class W4UTIL_EXPORT FaultInjectingFileSystem final : public FileSystem {
 public:
  explicit FaultInjectingFileSystem(FileSystem& base) : base_(base) {}

  void FailWrite(int nth) { failWrite_ = nth; writes_ = 0; }
  void FailSync(int nth) { failSync_ = nth; syncs_ = 0; }
  void FailRename(int nth) { failRename_ = nth; renames_ = 0; }
  void FailSyncDirectory(int nth) { failSyncDirectory_ = nth; directorySyncs_ = 0; }
  void FailCreateTemporary(int nth) { failTemporary_ = nth; temporaries_ = 0; }

  std::unique_ptr<File> Open(const std::string& path, FileOpenMode mode, int& error) override;
  std::unique_ptr<File> CreateTemporaryBeside(const std::string& target, std::string& tempPath,
                                              int& error) override;
  int Rename(const std::string& from, const std::string& to) override;
  int Remove(const std::string& path) override { return base_.Remove(path); }
  int SyncDirectory(const std::string& directory) override;
  int GetInfo(const std::string& path, FileInfo& info) override { return base_.GetInfo(path, info); }
  int SetReadOnly(const std::string& path, bool readOnly) override {
    return base_.SetReadOnly(path, readOnly);
  }
  std::string ResolveLinks(const std::string& path) override { return base_.ResolveLinks(path); }
  int ListDirectory(const std::string& directory, std::vector<DirectoryEntry>& entries) override {
    return base_.ListDirectory(directory, entries);
  }

  // Counting hooks of the files this service hands out.
  bool NextWriteFails() { return ++writes_ == failWrite_; }
  bool NextSyncFails() { return ++syncs_ == failSync_; }

 private:
  std::unique_ptr<File> Wrap(std::unique_ptr<File> file);

  FileSystem& base_;
  int failWrite_ = 0, writes_ = 0;
  int failSync_ = 0, syncs_ = 0;
  int failRename_ = 0, renames_ = 0;
  int failSyncDirectory_ = 0, directorySyncs_ = 0;
  int failTemporary_ = 0, temporaries_ = 0;
};

// Runs body in a forked child that has given up root (uid and gid 65534)
// when the caller is root, so that permission checks apply; the child's exit
// code, -1 when it could not run. For tests of permission failures.
W4UTIL_EXPORT int RunUnprivilegedInChildProcess(int (*body)(void*), void* context);

}  // namespace w4platform
