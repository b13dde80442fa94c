#include "w4util/compression/CabFileObjectManager.h"

#include <vector>

#include "w4util/foundation/CXString.h"

std::list<CabFileObjectInfoStruct> CabFileObjectManager::m_cCabFileObjectInfoCollection;
std::uint32_t CabFileObjectManager::m_uiNumberOfInstancesOfTheManager = 0;
CriticalResource CabFileObjectManager::m_scCabFileObjectManagerResource(u"CabFileObjectManager");

CabFileObjectManager::CabFileObjectManager() {
  OwnedCriticalResource lock(m_scCabFileObjectManagerResource);
  ++m_uiNumberOfInstancesOfTheManager;
}

CabFileObjectManager::~CabFileObjectManager() {
  std::vector<std::unique_ptr<CabAbstractFile>> doomed;
  {
    OwnedCriticalResource lock(m_scCabFileObjectManagerResource);
    --m_uiNumberOfInstancesOfTheManager;
    for (auto it = m_cCabFileObjectInfoCollection.begin();
         it != m_cCabFileObjectInfoCollection.end();) {
      if (it->registeredBy == this) {
        if (it->owned) doomed.push_back(std::move(it->owned));
        it = m_cCabFileObjectInfoCollection.erase(it);
      } else {
        ++it;
      }
    }
  }
  // Deleted outside the lock: a file's destructor may close descriptors.
}

void CabFileObjectManager::AddCabAbstractFile(CabAbstractFile& file) {
  OwnedCriticalResource lock(m_scCabFileObjectManagerResource);
  m_cCabFileObjectInfoCollection.push_back({&file, nullptr, this});
}

void CabFileObjectManager::AddCabAbstractFile(std::unique_ptr<CabAbstractFile> file) {
  if (!file) return;
  OwnedCriticalResource lock(m_scCabFileObjectManagerResource);
  CabAbstractFile* raw = file.get();
  m_cCabFileObjectInfoCollection.push_back({raw, std::move(file), this});
}

CabFileAgent CabFileObjectManager::GetCabAbstractFile(const char* name, CXString*) const {
  if (name == nullptr) return {};
  const CXString wanted(name);
  OwnedCriticalResource lock(m_scCabFileObjectManagerResource);
  for (const auto& entry : m_cCabFileObjectInfoCollection) {
    if (entry.registeredBy == this && entry.pFile->GetPathAndFileName() == wanted) {
      return CabFileAgent(entry.pFile);
    }
  }
  return {};
}

CabFileAgent CabFileObjectManager::GetCabAbstractFile(std::int64_t handle, CXString*) const {
  if (handle == -1) return {};
  OwnedCriticalResource lock(m_scCabFileObjectManagerResource);
  for (const auto& entry : m_cCabFileObjectInfoCollection) {
    if (entry.registeredBy == this && entry.pFile->IsOpenFileInstance(handle)) {
      return CabFileAgent(entry.pFile);
    }
  }
  return {};
}

void CabFileObjectManager::ReleaseCabAbstractFile(const char* name) {
  if (name == nullptr) return;
  const CXString wanted(name);
  std::unique_ptr<CabAbstractFile> doomed;
  OwnedCriticalResource lock(m_scCabFileObjectManagerResource);
  for (auto it = m_cCabFileObjectInfoCollection.begin();
       it != m_cCabFileObjectInfoCollection.end(); ++it) {
    if (it->registeredBy == this && it->pFile->GetPathAndFileName() == wanted) {
      doomed = std::move(it->owned);
      m_cCabFileObjectInfoCollection.erase(it);
      return;
    }
  }
}

std::size_t CabFileObjectManager::GetNumberOfRegisteredFiles() {
  OwnedCriticalResource lock(m_scCabFileObjectManagerResource);
  return m_cCabFileObjectInfoCollection.size();
}

std::uint32_t CabFileObjectManager::GetNumberOfInstances() {
  OwnedCriticalResource lock(m_scCabFileObjectManagerResource);
  return m_uiNumberOfInstancesOfTheManager;
}
