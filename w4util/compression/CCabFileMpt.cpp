#include "w4util/compression/CCabFileMpt.h"

#include <string>
#include <vector>

#include "w4util/foundation/Utf8.h"
#include "w4util/platform/CabinetPosixFiles.h"
#include "w4util/platform/CabinetSetupIterate.h"

namespace {

std::string ToPath(const CXString& text) {
  const ByteBuffer utf8 = ZelvoUtilities::UTF8_Encode(text, static_cast<std::uint32_t>(text.GetLength()));
  return std::string(utf8.begin(), utf8.end());
}

// The stored name as a relative path with '/' separators, or empty when it
// must not reach the file system.
CXString SafeRelativeName(const char16_t* stored) {
  CXString name(stored);
  name.Replace(u'\\', u'/');
  if (name.IsEmpty() || name[0] == u'/' || (name.GetLength() >= 2 && name[1] == u':')) {
    return CXString();
  }
  for (const CXString& part : name.Tokenize(u'/')) {
    if (part == CXString(u"..")) return CXString();
  }
  return name;
}

// Creates every folder of `relative`'s parent below `root`.
bool MakeFolders(const CXString& root, const CXString& relative) {
  std::int32_t error = 0;
  std::int32_t slash = relative.Find(u'/');
  while (slash > 0) {
    if (!CabinetPosixFiles::MakeDirectory(ToPath(root + u"/" + relative.Left(slash)).c_str(),
                                          error)) {
      return false;
    }
    slash = relative.Find(u'/', slash + 1);
  }
  return true;
}

struct Extraction {
  CXString directory;
  CXString wantedLower;
  bool singleFile = false;
  bool found = false;
  // A refused name fails the whole extraction, whatever later files do.
  bool refusedName = false;
  _CAB_OverwriteFlags flags = CAB_OVERWRITE_NEVER;
  std::int32_t result = 0;

  std::uint32_t OnFileInCabinet(w4platform::FileInCabinetInfo& info) {
    using namespace w4platform;
    if (singleFile && found) {
      info.Win32Error = 0;
      return FILEOP_ABORT;
    }
    const CXString name = SafeRelativeName(info.NameInCabinet);
    const CXString target = directory + u"/" + name;
    if (name.IsEmpty() || target.GetLength() >= static_cast<std::int32_t>(kSetupMaxPath)) {
      refusedName = true;
      return FILEOP_SKIP;
    }
    if (singleFile) {
      // The stored name, not the whole target: the destination's own
      // folders must not make every file match.
      CXString lower = name;
      lower.MakeLower();
      if (lower.Find(wantedLower) < 0) return FILEOP_SKIP;
      found = true;
    }
    if (!CCabFileMpt::CreateDirectoryW(directory) || !MakeFolders(directory, name)) {
      result = CCabFileMpt::kResultDirectoryOrNameFailure;
      info.Win32Error = 0;
      return FILEOP_ABORT;
    }
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    if (CabinetPosixFiles::GetFileDosTime(ToPath(target).c_str(), date, time)) {
      if (flags == CAB_OVERWRITE_NEVER) return FILEOP_SKIP;
      if (flags != CAB_OVERWRITE_ALWAYS && date == info.DosDate && time == info.DosTime) {
        result = CCabFileMpt::kResultUpToDate;
        return FILEOP_SKIP;
      }
    }
    result = 0;
    const std::int32_t length = target.GetLength();
    for (std::int32_t i = 0; i < length; ++i) info.FullTargetName[i] = target[i];
    info.FullTargetName[length] = u'\0';
    return FILEOP_DOIT;
  }
};

bool Run(const CXString& cabinetPath, Extraction& extraction, std::int32_t& result) {
  using namespace w4platform;
  std::uint32_t lastError = 0;
  const SetupFileCallback callback = [&extraction](std::uint32_t notification,
                                                   std::uintptr_t param1, std::uintptr_t) {
    if (notification != SPFILENOTIFY_FILEINCABINET) return 0u;
    // The notification's first parameter carries the entry's address.
    return extraction.OnFileInCabinet(
        *reinterpret_cast<FileInCabinetInfo*>(param1));  // NOLINT(performance-no-int-to-ptr)
  };
  const bool iterated = SetupIterateCabinet(cabinetPath, 0, callback, lastError);
  if (!iterated) {
    result = static_cast<std::int32_t>(lastError);
    return false;
  }
  result = extraction.refusedName ? CCabFileMpt::kResultDirectoryOrNameFailure : extraction.result;
  return lastError == 0 && result != CCabFileMpt::kResultDirectoryOrNameFailure &&
         result != CCabFileMpt::kResultFileNotFound && result != CCabFileMpt::kResultFailure;
}

}  // namespace

bool CCabFileMpt::ExtractCabFile(const CXString& cabinetPath,
                                 const CXString& destinationDirectory, std::int32_t& result,
                                 _CAB_OverwriteFlags flags) {
  Extraction extraction;
  extraction.directory = destinationDirectory;
  extraction.flags = flags;
  extraction.result = 0;
  return Run(cabinetPath, extraction, result);
}

bool CCabFileMpt::ExtractCabFile(const CXString& cabinetPath,
                                 const CXString& destinationDirectory, const CXString& wantedName,
                                 std::int32_t& result, _CAB_OverwriteFlags flags) {
  Extraction extraction;
  extraction.directory = destinationDirectory;
  extraction.wantedLower = wantedName;
  extraction.wantedLower.MakeLower();
  extraction.singleFile = true;
  extraction.flags = flags;
  extraction.result = kResultFileNotFound;
  return Run(cabinetPath, extraction, result);
}

bool CCabFileMpt::CreateDirectoryW(const CXString& directory) {
  std::int32_t error = 0;
  return CabinetPosixFiles::MakeDirectory(ToPath(directory).c_str(), error);
}
