// Extraction of the files of a cabinet on disk into a directory, through the
// platform's setup iteration.
//
// Names stored in the cabinet are untrusted: an empty name, an absolute name,
// one with a ".." part or one whose target path would not fit 259 characters
// is skipped and the result becomes 5501. Backslashes in stored names are
// folder separators; the folders are made below the destination. Existing
// targets are kept, replaced or compared by time as the flags say; written
// targets are truncated first. Each call keeps its own state, so extractions
// may run on several threads at once.
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/foundation/CXString.h"

// The name is the published interface's, reserved spelling and all.
enum _CAB_OverwriteFlags : std::int32_t {  // NOLINT(bugprone-reserved-identifier)
  CAB_OVERWRITE_NEVER = 0,
  // Replace unless the existing file has the entry's date and time.
  CAB_OVERWRITE_IF_DIFFERENT = 1,
  CAB_OVERWRITE_ALWAYS = 2,
};

class W4UTIL_EXPORT CCabFileMpt {
 public:
  static constexpr std::int32_t kResultDirectoryOrNameFailure = 5501;
  static constexpr std::int32_t kResultFileNotFound = 5502;
  static constexpr std::int32_t kResultUpToDate = 5503;
  static constexpr std::int32_t kResultFailure = 5504;

  // Every file. Returns true when the iteration succeeded and `result` is
  // none of 5501, 5502, 5504; `result` is 0, 5503 (a file was up to date),
  // a failure code, or the setup call's error when the iteration failed.
  static bool ExtractCabFile(const CXString& cabinetPath, const CXString& destinationDirectory,
                             std::int32_t& result, _CAB_OverwriteFlags flags);
  // The first file whose stored name contains `wantedName` (case-blind);
  // 5502 when there is none.
  static bool ExtractCabFile(const CXString& cabinetPath, const CXString& destinationDirectory,
                             const CXString& wantedName, std::int32_t& result,
                             _CAB_OverwriteFlags flags);
  // Creates a directory; an existing one is fine.
  static bool CreateDirectoryW(const CXString& directory);
};
