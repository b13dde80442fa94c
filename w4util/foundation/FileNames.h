// File-name and module-path helpers of ZelvoUtilities.
//
// Paths are native: both '/' and '\' count as separators, and any path part
// of a result is written with '/'. Extensions are looked for in the last
// component only, so a dot in a directory name is never an extension.
//
// Module handles name a loaded module by an address inside it; a null handle
// names the running executable. Module names are full paths.
//
// Thread-safety: every function is safe from any thread. FindFilesInSubdirectories
// leaves the process's current directory alone.
#pragma once

#include <vector>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"
#include "w4util/platform/Handles.h"

namespace ZelvoUtilities {

// The text up to and including the last separator; empty when there is none.
W4UTIL_EXPORT CXString getPathFromFileName(const CXString& path);
// The text after the last separator; the whole text when there is none.
W4UTIL_EXPORT CXString getFileNameFromFullPath(const CXString& path);
// The text before the last "." of the last component; the whole text when
// that component has none.
W4UTIL_EXPORT CXString GetNameWithoutExtension(const CXString& path);
// From the last "." of the last component (included) to the end; empty when
// there is none.
W4UTIL_EXPORT CXString GetExtensionFromFileName(const CXString& path);
// GetNameWithoutExtension with every U+0020 removed.
W4UTIL_EXPORT CXString GetNameWithoutExtensionOrSpaces(const CXString& path);

// The full file name of the module; empty when no loaded module holds it.
W4UTIL_EXPORT CXString getModuleName(HINSTANCE module);
// The same for the module that holds this library.
W4UTIL_EXPORT CXString getModuleName();
W4UTIL_EXPORT CXString getModulePath(HINSTANCE module);
W4UTIL_EXPORT CXString getModulePath();

// Appends the files below root (root's own included, every subdirectory
// searched) whose names match pattern ('*' any run, '?' one character;
// "*.*" and "*" match every name), as full paths when fullPaths, else as
// names. Returns false when root is not a directory that can be read.
W4UTIL_EXPORT bool FindFilesInSubdirectories(const CXString& root, const CXString& pattern,
                                             bool fullPaths, std::vector<CXString>& out);

}  // namespace ZelvoUtilities
