#include "w4util/platform/CabinetSetupIterate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "w4util/platform/CabinetDecompressor.h"
#include "w4util/platform/CabinetPosixFiles.h"
#include "w4util/platform/CodePage.h"

namespace w4platform {
namespace {

std::uint32_t FromErrno(std::int32_t error) {
  switch (error) {
    case ENOENT: return kSetupErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kSetupErrorAccessDenied;
    case ENOMEM: return kSetupErrorNotEnoughMemory;
    default: return kSetupErrorWriteFault;
  }
}

std::uint32_t FromFdiError(const CabinetErf& erf) {
  switch (erf.erfOper) {
    case FDIERROR_NONE: return kSetupErrorSuccess;
    case FDIERROR_CABINET_NOT_FOUND: return kSetupErrorFileNotFound;
    case FDIERROR_ALLOC_FAIL: return kSetupErrorNotEnoughMemory;
    case FDIERROR_TARGET_FILE: return FromErrno(erf.erfType);
    default: return kSetupErrorInvalidData;
  }
}

// Sets a file's modification time from a local DOS date and time.
void SetDosTime(const std::string& path, std::uint16_t date, std::uint16_t time) {
  std::tm local{};
  local.tm_year = 80 + (date >> 9);
  local.tm_mon = ((date >> 5) & 0x0F) - 1;
  local.tm_mday = date & 0x1F;
  local.tm_hour = time >> 11;
  local.tm_min = (time >> 5) & 0x3F;
  local.tm_sec = (time & 0x1F) * 2;
  local.tm_isdst = -1;
  if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday == 0) return;
  const std::time_t when = std::mktime(&local);
  if (when == static_cast<std::time_t>(-1)) return;
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = when;
  times[0].tv_nsec = times[1].tv_nsec = 0;
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

}  // namespace

bool SetupIterateCabinet(const char16_t* cabinetFile, std::uint32_t reserved,
                         const SetupFileCallback& callback, std::uint32_t& lastError) {
  lastError = kSetupErrorSuccess;
  if (cabinetFile == nullptr || reserved != 0 || !callback) {
    lastError = kSetupErrorInvalidParameter;
    return false;
  }
  const std::u16string cabinet16(cabinetFile);
  std::string cabinet;
  if (!Utf16ToMultiByte(kCodePageUtf8, cabinet16.data(), cabinet16.size(), cabinet)) {
    lastError = kSetupErrorInvalidParameter;
    return false;
  }
  const std::size_t slash = cabinet16.find_last_of(u"/\\");
  const std::u16string cabinetDir = slash == std::u16string::npos ? u"" : cabinet16.substr(0, slash + 1);
  const std::u16string cabinetName = slash == std::u16string::npos ? cabinet16 : cabinet16.substr(slash + 1);

  CabinetPosixFiles files;
  CabinetErf erf;
  auto fdi = CabinetDecompressor::Create(erf, files);
  if (!fdi) {
    lastError = kSetupErrorNotEnoughMemory;
    return false;
  }
  std::uint32_t callbackError = kSetupErrorSuccess;
  bool stoppedByCallback = false;
  std::string target;
  std::string openTarget;  // created by us and not yet complete
  std::u16string target16;
  std::u16string name16;

  auto stop = [&](std::uint32_t error) -> CabHandle {
    stoppedByCallback = true;
    callbackError = error;
    return -1;
  };
  const FdiNotify notify = [&](FdiNotificationType type, FdiNotification& n) -> CabHandle {
    switch (type) {
      case fdintCABINET_INFO: {
        const SetupCabinetInfo info{cabinetDir.c_str(), cabinetName.c_str(), u"", n.setID, n.iCabinet};
        const std::uint32_t r = callback(SPFILENOTIFY_CABINETINFO, reinterpret_cast<std::uintptr_t>(&info), 0);
        return r == 0 ? 0 : stop(r);
      }
      case fdintCOPY_FILE: {
        const std::string name(n.psz1);
        const std::uint32_t codePage = (n.attribs & kCabAttribNameIsUtf) != 0 ? kCodePageUtf8 : kCodePageAnsi;
        if (!MultiByteToUtf16(codePage, name.data(), name.size(), name16)) return stop(kSetupErrorInvalidData);
        FileInCabinetInfo info{};
        info.NameInCabinet = name16.c_str();
        info.FileSize = static_cast<std::uint32_t>(n.cb);
        info.DosDate = n.date;
        info.DosTime = n.time;
        info.DosAttribs = n.attribs;
        const std::uint32_t r = callback(SPFILENOTIFY_FILEINCABINET, reinterpret_cast<std::uintptr_t>(&info),
                                         reinterpret_cast<std::uintptr_t>(cabinetFile));
        if (r == FILEOP_SKIP) return 0;
        if (r == FILEOP_ABORT) return stop(info.Win32Error);
        if (r != FILEOP_DOIT) return stop(kSetupErrorInvalidParameter);
        info.FullTargetName[kSetupMaxPath - 1] = u'\0';
        target16 = info.FullTargetName;
        if (target16.empty() || !Utf16ToMultiByte(kCodePageUtf8, target16.data(), target16.size(), target)) {
          return stop(kSetupErrorInvalidParameter);
        }
        std::int32_t error = 0;
        const CabHandle h = files.Open(target.c_str(), kCabOpenWriteOnly | kCabOpenCreate | kCabOpenTruncate,
                                       kCabPermissionRead | kCabPermissionWrite, error);
        if (h == kCabInvalidHandle) return stop(FromErrno(error));
        openTarget = target;
        return h;
      }
      case fdintCLOSE_FILE_INFO: {
        std::int32_t error = 0;
        if (files.Close(n.hf, error) != 0) {
          stop(FromErrno(error));
          return 0;
        }
        openTarget.clear();
        SetDosTime(target, n.date, n.time);
        const SetupFilePaths paths{target16.c_str(), cabinetFile, 0, 0};
        const std::uint32_t r = callback(SPFILENOTIFY_FILEEXTRACTED, reinterpret_cast<std::uintptr_t>(&paths), 0);
        if (r != 0) {
          stop(r);
          return 0;
        }
        return 1;
      }
      case fdintPARTIAL_FILE:
        return 0;
      case fdintNEXT_CABINET:
        return stop(kSetupErrorInvalidData);
      default:
        return 0;
    }
  };
  const bool ok = fdi->Copy(cabinet.c_str(), "", 0, notify);
  if (ok) return true;
  if (!openTarget.empty()) ::unlink(openTarget.c_str());
  if (stoppedByCallback && erf.erfOper == FDIERROR_USER_ABORT) {
    lastError = callbackError;
    return callbackError == kSetupErrorSuccess;
  }
  lastError = FromFdiError(erf);
  return false;
}

}  // namespace w4platform
