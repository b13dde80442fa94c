// The process-wide registry through which the cabinet engine's callbacks,
// which see only names and handles, reach the cabinet files of a context.
//
// Every entry belongs to the manager instance that registered it: lookups
// see only the caller's own entries, and an instance removes its entries
// (deleting the files it owns) when it is destroyed, so no entry outlives the
// context that made it and two contexts on different threads never meet,
// whatever names they use. A lookup that finds nothing answers an empty
// agent; nothing is ever opened on the strength of a name or handle alone.
// The collection is guarded by m_scCabFileObjectManagerResource; the files
// themselves are used by the owning context's thread only.
#pragma once

#include <cstdint>
#include <list>
#include <memory>

#include "w4util/Export.h"
#include "w4util/compression/CabAbstractFile.h"
#include "w4util/memory/CriticalResource.h"

struct CabFileObjectInfoStruct {
  CabAbstractFile* pFile = nullptr;
  std::unique_ptr<CabAbstractFile> owned;  // set when the registry owns the file
  const void* registeredBy = nullptr;
};

// A looked-up file: borrowed from the registry, valid while the registering
// manager keeps the entry. Empty when the lookup failed.
class W4UTIL_EXPORT CabFileAgent {
 public:
  CabFileAgent() = default;
  explicit CabFileAgent(CabAbstractFile* file) : m_pFile(file) {}
  CabAbstractFile* get() const { return m_pFile; }
  CabAbstractFile* operator->() const { return m_pFile; }
  explicit operator bool() const { return m_pFile != nullptr; }

 private:
  CabAbstractFile* m_pFile = nullptr;
};

class W4UTIL_EXPORT CabFileObjectManager {
 public:
  CabFileObjectManager();
  ~CabFileObjectManager();
  CabFileObjectManager(const CabFileObjectManager&) = delete;
  CabFileObjectManager& operator=(const CabFileObjectManager&) = delete;

  // Registers a file the caller keeps owning.
  void AddCabAbstractFile(CabAbstractFile& file);
  // Registers a file the registry owns until it is released or this manager ends.
  void AddCabAbstractFile(std::unique_ptr<CabAbstractFile> file);
  // The own entry whose full name is `name` (compared as whole text).
  CabFileAgent GetCabAbstractFile(const char* name, CXString* errorDetails) const;
  // The own entry that has `handle` open.
  CabFileAgent GetCabAbstractFile(std::int64_t handle, CXString* errorDetails) const;
  // Removes the own entry of that name, deleting the file if owned.
  void ReleaseCabAbstractFile(const char* name);

  // Entries of every manager together (diagnostics and tests).
  static std::size_t GetNumberOfRegisteredFiles();
  static std::uint32_t GetNumberOfInstances();

 private:
  static std::list<CabFileObjectInfoStruct> m_cCabFileObjectInfoCollection;
  static std::uint32_t m_uiNumberOfInstancesOfTheManager;
  static CriticalResource m_scCabFileObjectManagerResource;
};
