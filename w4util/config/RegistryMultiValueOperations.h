// RegistryMultiValueOperations binds named registry values to program
// variables so that they are read in one registry call, written back, or
// created with the variables' current values as defaults. Each binding is a
// RegistryDataMap of the variable's kind.
//
// A value whose stored type does not match its variable (or that is too
// short for it: a REG_DWORD under 4 bytes, an empty REG_BINARY for a bool, a
// REG_SZ without its terminator) leaves the variable unchanged.
//
// Ownership: the object owns its maps; the bound variables must outlive it.
// Maps refer to their query record by index, so any number of values may be
// bound. Used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "w4util/Export.h"
#include "w4util/config/RegistryKey.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"

class W4UTIL_EXPORT RegistryDataMap {
 public:
  // `records[index]` is the query record this map reads from.
  RegistryDataMap(const CXString& name, const std::vector<value_entW>& records,
                  std::size_t index);
  virtual ~RegistryDataMap();
  RegistryDataMap(const RegistryDataMap&) = delete;
  RegistryDataMap& operator=(const RegistryDataMap&) = delete;

  virtual void UpdateRegistryFromDataReference(RegistryKey& key) = 0;
  virtual void UpdateDataReferenceFromRegistryValue() = 0;
  virtual void Dump() const {}

  bool DoesRegistryValueExist(RegistryKey& key) const;
  const CXString& GetName() const noexcept { return m_Name; }

  // "name:%s type:%s len:%ld data:%s"; the data is read within the
  // record's length.
  static CXString GetValueEntryDebugString(const value_entW& record);

 protected:
  const value_entW& Record() const { return m_Records[m_Index]; }

  CXString m_Name;

 private:
  const std::vector<value_entW>& m_Records;
  std::size_t m_Index;
};

class W4UTIL_EXPORT RegistryBoolDataMap : public RegistryDataMap {
 public:
  RegistryBoolDataMap(const CXString& name, const std::vector<value_entW>& records,
                      std::size_t index, bool& variable);
  void UpdateRegistryFromDataReference(RegistryKey& key) override;
  void UpdateDataReferenceFromRegistryValue() override;

 private:
  bool& m_Variable;
};

class W4UTIL_EXPORT RegistryLongDataMap : public RegistryDataMap {
 public:
  RegistryLongDataMap(const CXString& name, const std::vector<value_entW>& records,
                      std::size_t index, std::int32_t& variable);
  void UpdateRegistryFromDataReference(RegistryKey& key) override;
  void UpdateDataReferenceFromRegistryValue() override;

 private:
  std::int32_t& m_Variable;
};

class W4UTIL_EXPORT RegistryStringDataMap : public RegistryDataMap {
 public:
  RegistryStringDataMap(const CXString& name, const std::vector<value_entW>& records,
                        std::size_t index, CXString& variable);
  void UpdateRegistryFromDataReference(RegistryKey& key) override;
  void UpdateDataReferenceFromRegistryValue() override;

 private:
  CXString& m_Variable;
};

class W4UTIL_EXPORT RegistryBytesDataMap : public RegistryDataMap {
 public:
  RegistryBytesDataMap(const CXString& name, const std::vector<value_entW>& records,
                       std::size_t index, ByteBuffer& variable);
  void UpdateRegistryFromDataReference(RegistryKey& key) override;
  void UpdateDataReferenceFromRegistryValue() override;

 private:
  ByteBuffer& m_Variable;
};

class W4UTIL_EXPORT RegistryMultiValueOperations {
 public:
  RegistryMultiValueOperations();
  ~RegistryMultiValueOperations();
  RegistryMultiValueOperations(const RegistryMultiValueOperations&) = delete;
  RegistryMultiValueOperations& operator=(const RegistryMultiValueOperations&) = delete;

  // A null variable is ignored.
  void AddBooleanValueToOperateOn(const CXString& name, bool* variable);
  void AddLongValueToOperateOn(const CXString& name, std::int32_t* variable);
  void AddStringValueToOperateOn(const CXString& name, CXString* variable);
  void AddBytesValueToOperateOn(const CXString& name, ByteBuffer* variable);

  // Writes each variable whose value the key lacks.
  void EnsureAllValuesExist(RegistryKey& key);
  // One registry call for every bound value (none when nothing is bound);
  // throws ExceptionRegistryRequest when the query fails (a missing value
  // included).
  void ReadAllFromRegistry(RegistryKey& key);
  void WriteAllToRegistry(RegistryKey& key);

 private:
  template <typename Map, typename Variable>
  void Add(const CXString& name, Variable* variable);

  ByteBuffer m_Data;
  std::vector<CXString> m_Names;
  std::vector<value_entW> m_Records;
  std::vector<std::unique_ptr<RegistryDataMap>> m_Maps;
};
