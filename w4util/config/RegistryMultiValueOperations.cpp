#include "w4util/config/RegistryMultiValueOperations.h"

#include <cstring>
#include <string>

#include "w4util/foundation/Endian.h"

namespace {

using namespace w4platform;

const char16_t* TypeName(std::uint32_t type) {
  switch (type) {
    case REG_NONE: return u"REG_NONE";
    case REG_SZ: return u"REG_SZ";
    case REG_EXPAND_SZ: return u"REG_EXPAND_SZ";
    case REG_BINARY: return u"REG_BINARY";
    case REG_DWORD: return u"REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return u"REG_DWORD_BIG_ENDIAN";
    case REG_LINK: return u"REG_LINK";
    case REG_MULTI_SZ: return u"REG_MULTI_SZ";
    case REG_QWORD: return u"REG_QWORD";
    default: return u"<Unknown Type!>";
  }
}

// The record's text when it holds a terminated UTF-16 string within its
// length; false otherwise.
bool TerminatedText(const value_entW& record, CXString& out) {
  if (record.valuePointer == nullptr) return false;
  const std::uint32_t units = record.valueLength / 2;
  for (std::uint32_t i = 0; i < units; ++i) {
    char16_t unit;
    std::memcpy(&unit, record.valuePointer + i * 2, 2);
    if (unit == u'\0') {
      std::u16string text(i, u'\0');
      if (i != 0) std::memcpy(text.data(), record.valuePointer, i * 2);
      out = CXString(text.c_str(), static_cast<std::int32_t>(i));
      return true;
    }
  }
  return false;
}

}  // namespace

RegistryDataMap::RegistryDataMap(const CXString& name, const std::vector<value_entW>& records,
                                 std::size_t index)
    : m_Name(name), m_Records(records), m_Index(index) {}

RegistryDataMap::~RegistryDataMap() = default;

bool RegistryDataMap::DoesRegistryValueExist(RegistryKey& key) const {
  return key.DoesValueExist(m_Name);
}

CXString RegistryDataMap::GetValueEntryDebugString(const value_entW& record) {
  CXString data(u"<Interpretation not implemented!>");
  const bool bytes = record.valuePointer != nullptr;
  switch (record.type) {
    case REG_SZ: {
      CXString text;
      if (TerminatedText(record, text)) data = text;
      break;
    }
    case REG_DWORD:
      if (bytes && record.valueLength >= 4) {
        data = ZelvoUtilities::SafeFormatString(
            u"%ld", static_cast<std::int32_t>(w4util::little_endian::Load32(record.valuePointer)));
      }
      break;
    case REG_BINARY:
      data = (bytes && record.valueLength >= 1 && record.valuePointer[0] != 0) ? u"true" : u"false";
      break;
    default:
      break;
  }
  return ZelvoUtilities::SafeFormatString(
      u"name:%s type:%s len:%ld data:%s",
      record.valueName != nullptr ? record.valueName : u"", TypeName(record.type),
      static_cast<std::int32_t>(record.valueLength), static_cast<const char16_t*>(data));
}

RegistryBoolDataMap::RegistryBoolDataMap(const CXString& name,
                                         const std::vector<value_entW>& records,
                                         std::size_t index, bool& variable)
    : RegistryDataMap(name, records, index), m_Variable(variable) {}

void RegistryBoolDataMap::UpdateRegistryFromDataReference(RegistryKey& key) {
  key.SetBooleanValue(m_Name, m_Variable);
}

void RegistryBoolDataMap::UpdateDataReferenceFromRegistryValue() {
  const value_entW& r = Record();
  if (r.type == REG_BINARY && r.valueLength >= 1 && r.valuePointer != nullptr) {
    m_Variable = r.valuePointer[0] != 0;
  }
}

RegistryLongDataMap::RegistryLongDataMap(const CXString& name,
                                         const std::vector<value_entW>& records,
                                         std::size_t index, std::int32_t& variable)
    : RegistryDataMap(name, records, index), m_Variable(variable) {}

void RegistryLongDataMap::UpdateRegistryFromDataReference(RegistryKey& key) {
  key.SetLongValue(m_Name, m_Variable);
}

void RegistryLongDataMap::UpdateDataReferenceFromRegistryValue() {
  const value_entW& r = Record();
  if (r.type == REG_DWORD && r.valueLength >= 4 && r.valuePointer != nullptr) {
    m_Variable = static_cast<std::int32_t>(w4util::little_endian::Load32(r.valuePointer));
  }
}

RegistryStringDataMap::RegistryStringDataMap(const CXString& name,
                                             const std::vector<value_entW>& records,
                                             std::size_t index, CXString& variable)
    : RegistryDataMap(name, records, index), m_Variable(variable) {}

void RegistryStringDataMap::UpdateRegistryFromDataReference(RegistryKey& key) {
  key.SetStringValue(m_Name, m_Variable);
}

void RegistryStringDataMap::UpdateDataReferenceFromRegistryValue() {
  const value_entW& r = Record();
  CXString text;
  if (r.type == REG_SZ && TerminatedText(r, text)) m_Variable = text;
}

RegistryBytesDataMap::RegistryBytesDataMap(const CXString& name,
                                           const std::vector<value_entW>& records,
                                           std::size_t index, ByteBuffer& variable)
    : RegistryDataMap(name, records, index), m_Variable(variable) {}

void RegistryBytesDataMap::UpdateRegistryFromDataReference(RegistryKey& key) {
  key.SetBytesValue(m_Name, m_Variable);
}

void RegistryBytesDataMap::UpdateDataReferenceFromRegistryValue() {
  const value_entW& r = Record();
  if (r.type != REG_BINARY) return;
  if (r.valueLength == 0) {
    m_Variable.clear();
  } else if (r.valuePointer != nullptr) {
    m_Variable.assign(r.valuePointer, r.valuePointer + r.valueLength);
  }
}

RegistryMultiValueOperations::RegistryMultiValueOperations() { m_Records.reserve(100); }

RegistryMultiValueOperations::~RegistryMultiValueOperations() = default;

template <typename Map, typename Variable>
void RegistryMultiValueOperations::Add(const CXString& name, Variable* variable) {
  if (variable == nullptr) return;
  m_Names.push_back(name);
  m_Records.emplace_back();
  m_Maps.push_back(std::make_unique<Map>(name, m_Records, m_Records.size() - 1, *variable));
}

void RegistryMultiValueOperations::AddBooleanValueToOperateOn(const CXString& name,
                                                              bool* variable) {
  Add<RegistryBoolDataMap>(name, variable);
}

void RegistryMultiValueOperations::AddLongValueToOperateOn(const CXString& name,
                                                           std::int32_t* variable) {
  Add<RegistryLongDataMap>(name, variable);
}

void RegistryMultiValueOperations::AddStringValueToOperateOn(const CXString& name,
                                                             CXString* variable) {
  Add<RegistryStringDataMap>(name, variable);
}

void RegistryMultiValueOperations::AddBytesValueToOperateOn(const CXString& name,
                                                            ByteBuffer* variable) {
  Add<RegistryBytesDataMap>(name, variable);
}

void RegistryMultiValueOperations::EnsureAllValuesExist(RegistryKey& key) {
  for (auto& map : m_Maps) {
    if (!map->DoesRegistryValueExist(key)) map->UpdateRegistryFromDataReference(key);
  }
}

void RegistryMultiValueOperations::ReadAllFromRegistry(RegistryKey& key) {
  if (m_Maps.empty()) return;
  // The name pointers are set afresh: the vectors may have moved since.
  for (std::size_t i = 0; i < m_Records.size(); ++i) {
    m_Records[i] = value_entW{};
    m_Records[i].valueName = m_Names[i];
  }
  key.QueryMultipleValues(m_Records, m_Data);
  for (auto& map : m_Maps) map->UpdateDataReferenceFromRegistryValue();
}

void RegistryMultiValueOperations::WriteAllToRegistry(RegistryKey& key) {
  for (auto& map : m_Maps) map->UpdateRegistryFromDataReference(key);
}
