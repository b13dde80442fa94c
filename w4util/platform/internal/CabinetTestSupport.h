// Helpers for tests and fuzz harnesses of the cabinet engine: write a set of
// named byte strings into an in-memory cabinet and extract one back, with the
// engine's error record. Internal; header-only so each test target can use it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "w4util/platform/CabinetCompressor.h"
#include "w4util/platform/CabinetDecompressor.h"
#include "w4util/platform/CabinetMemoryFiles.h"

namespace w4util_platform_internal {

using CabBytes = std::vector<unsigned char>;

struct CabEntry {
  std::string name;
  CabBytes data;
  std::uint16_t date = 0;
  std::uint16_t time = 0;
  std::uint16_t attribs = 0;
  bool execute = false;
};

inline bool WriteTestCabinet(const std::vector<CabEntry>& entries, std::uint16_t type,
                             CabBytes& cabinet, CabinetErf& erf, CabinetCcab ccab = {}) {
  CabinetMemoryFiles files;
  ccab.szCab = "test.cab";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    files.SetFile("source" + std::to_string(i), entries[i].data);
  }
  auto fci = CabinetCompressor::Create(erf, files, ccab);
  if (!fci) return false;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!fci->AddFile(("source" + std::to_string(i)).c_str(), entries[i].name.c_str(),
                      entries[i].execute, type)) {
      return false;
    }
  }
  if (!fci->FlushCabinet(false) || !fci->Destroy()) return false;
  cabinet = *files.GetFile("test.cab");
  return true;
}

// Extracts every file. `partialResult` answers fdintPARTIAL_FILE and
// fdintNEXT_CABINET.
inline bool ExtractTestCabinet(const CabBytes& cabinet, std::vector<CabEntry>& entries,
                               CabinetErf& erf, CabHandle partialResult = -1) {
  CabinetMemoryFiles files;
  files.SetFile("in.cab", cabinet);
  entries.clear();
  auto fdi = CabinetDecompressor::Create(erf, files);
  if (!fdi) return false;
  std::vector<std::string> outputs;
  const bool ok = fdi->Copy("in.cab", "", 0, [&](FdiNotificationType type, FdiNotification& n) -> CabHandle {
    std::int32_t error = 0;
    switch (type) {
      case fdintCOPY_FILE: {
        CabEntry entry;
        entry.name = n.psz1;
        entries.push_back(entry);
        outputs.push_back("out" + std::to_string(outputs.size()));
        return files.Open(outputs.back().c_str(), kCabOpenCreate | kCabOpenWriteOnly, 0, error);
      }
      case fdintCLOSE_FILE_INFO: {
        CabEntry& entry = entries.back();
        entry.date = n.date;
        entry.time = n.time;
        entry.attribs = n.attribs;
        entry.execute = n.cb != 0;
        return files.Close(n.hf, error) == 0 ? 1 : 0;
      }
      case fdintPARTIAL_FILE:
      case fdintNEXT_CABINET:
        return partialResult;
      default:
        return 0;
    }
  });
  for (std::size_t i = 0; i < entries.size() && i < outputs.size(); ++i) {
    if (const CabBytes* data = files.GetFile(outputs[i])) entries[i].data = *data;
  }
  return ok && fdi->Destroy();
}

}  // namespace w4util_platform_internal
