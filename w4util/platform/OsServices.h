// Host services behind the operating-system queries: directories, files'
// attributes and times, temporary names, and loaded modules. Paths are native UTF-8 byte strings.
//
// Directory removal never follows symbolic links: a link found inside a
// tree is removed itself, its target (and the target's permissions) left
// alone. Answers are errno values (0 success) or plain results; nothing
// throws. Stateless and thread-safe.
#pragma once

#include <cstdint>
#include <string>

#include "w4util/Export.h"

namespace w4platform {

struct FileTimes {
  std::int64_t creationUnixSeconds = 0;  // status change time: Linux keeps no birth time here
  std::int64_t modifiedUnixSeconds = 0;
};

// Creates each missing directory along path (mode 0777 less umask).
W4UTIL_EXPORT int CreateDirectories(const std::string& path);
// Removes the files of directory (making each writable by its owner first)
// and, when recurse, its subdirectories the same way; then the directory
// itself. Links are unlinked, never followed.
W4UTIL_EXPORT int RemoveDirectoryTree(const std::string& directory, bool recurse);
// lstat: exists as anything, a link included.
W4UTIL_EXPORT bool PathExists(const std::string& path);
W4UTIL_EXPORT bool IsRegularFile(const std::string& path);
// Owner's write bit clear.
W4UTIL_EXPORT bool IsReadOnly(const std::string& path);
W4UTIL_EXPORT int SetReadOnly(const std::string& path, bool readOnly);
W4UTIL_EXPORT int GetFileTimes(const std::string& path, FileTimes& times);
// Whether another open file description holds an advisory lock on it.
W4UTIL_EXPORT bool IsFileLocked(const std::string& path);
W4UTIL_EXPORT int RemoveFile(const std::string& path);
// $TMPDIR, else /tmp; with a trailing "/".
W4UTIL_EXPORT std::string TemporaryDirectory();
// Creates a new empty file in directory named prefix + 6 random characters
// + ".tmp" (mode 0600); name receives its path.
W4UTIL_EXPORT int CreateUniqueFile(const std::string& directory, const std::string& prefix,
                                   std::string& name);
W4UTIL_EXPORT std::string CurrentDirectory();

// The file a module handle from LoadSharedModule came from; for null, the
// running program (/proc/self/exe). "" when unknown.
W4UTIL_EXPORT std::string SharedModuleFileName(void* module);
// Opens path for reading and writing, creating it when missing, and answers
// whether its file information could be read.
W4UTIL_EXPORT bool OpenAlwaysAndQuery(const std::string& path);

// dlopen / dlclose. Null with the loader's message in error on failure.
W4UTIL_EXPORT void* LoadSharedModule(const std::string& path, std::string& error);
W4UTIL_EXPORT void UnloadSharedModule(void* module);

// uname: machine ("x86_64"), and whether the host is 64-bit.
W4UTIL_EXPORT std::string MachineArchitecture();
W4UTIL_EXPORT bool IsHost64Bit();

}  // namespace w4platform
