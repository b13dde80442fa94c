#include "w4util/environment/DeviceSettingsManager.h"

#include "w4util/attributes/AttributeBytesNameSpaces.h"
#include "w4util/attributes/PersistentAttributes.h"
#include "w4util/environment/Printer.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/files/Crc32.h"
#include "w4util/foundation/Endian.h"

namespace {

constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kCrcInitial = 0xFFFFFFFFu;

}  // namespace

DeviceSettingsManager::DeviceSettingsManager(Printer& printer) : m_printer(printer) {}

DeviceSettingsManager::~DeviceSettingsManager() = default;

AttributeBytesIndexedList& DeviceSettingsManager::GetAttributeBytesIndexedListRef() { return LoadList(); }

const AttributeBytesIndexedList& DeviceSettingsManager::GetReaderAttributeBytesList() const { return LoadList(); }

AttributeBytesIndexedList& DeviceSettingsManager::LoadList() const {
  if (m_list == nullptr) {
    // Kept only once the import succeeded: an empty list standing in for
    // unreadable settings would be written over them by the next save.
    auto list = std::make_unique<AttributeBytesIndexedList>();
    AttributeBytesRawList raw;
    if (GetDeviceSettingsRawListForDataModel(raw)) list->ImportFromRawList(raw);
    m_list = std::move(list);
  }
  return *m_list;
}

bool DeviceSettingsManager::GetDeviceSettingsRawListForDataModel(AttributeBytesRawList& out) const {
  ByteBuffer state;
  std::uint32_t crc = 0;
  if (!GetDeviceSettingsDataFromStorage(state, crc)) return false;
  const PersistentAttributes persisted(state, false, nullptr);
  persisted.GetAttributeBytesListForNameSpace(PersistentAttributes::GetDataModelDocPropNameSpaceId(), out);
  return true;
}

bool DeviceSettingsManager::GetDeviceSettingsDataFromStorage(ByteBuffer& out, std::uint32_t& crc) const {
  if (!m_printer.GetPrinterDataW(kSettingsValueName, out) || out.empty()) {
    out.clear();
    crc = 0;
    m_foundAtLastRead = false;
    m_crcAtLastRead = 0;
    return false;
  }
  crc = Crc32::GetCrc(out.data(), static_cast<std::uint32_t>(out.size()), kCrcInitial);
  m_foundAtLastRead = true;
  m_crcAtLastRead = crc;
  return true;
}

bool DeviceSettingsManager::GetDeviceSettingsCrcOnly(std::uint32_t& crc) const {
  ByteBuffer bytes;
  if (!m_printer.GetPrinterDataW(kSettingsCrcValueName, bytes) || bytes.size() < 4) return false;
  crc = w4util::little_endian::Load32(bytes.data());
  return true;
}

void DeviceSettingsManager::SaveUpdatedAttributeBytesIndexedList() {
  if (m_list == nullptr) return;
  AttributeBytesRawList raw;
  raw.ImportFromIndexedList(*m_list);
  SaveDeviceSettingsRawList(raw);
}

void DeviceSettingsManager::SaveUpdatedDeviceSettingsFromDataModel(const AttributeBytesRawList& settings) {
  m_list.reset();
  SaveDeviceSettingsRawList(settings);
}

void DeviceSettingsManager::SaveDeviceSettingsRawList(const AttributeBytesRawList& settings) {
  AttributeBytesNameSpaces nameSpaces;
  nameSpaces.SetNameSpaceAttributes(PersistentAttributes::GetDataModelDocPropNameSpaceId(), settings);
  const PersistentAttributes persisted(nameSpaces);
  WriteDeviceSettingsDataToStorage(persisted.GetPersistentAttributesState());
}

void DeviceSettingsManager::WriteDeviceSettingsDataToStorage(const ByteBuffer& state) {
  const std::uint32_t result =
      m_printer.SetPrinterDataExW(Printer::kDriverDataKey, kSettingsValueName, kRegBinary,
                                  state.empty() ? nullptr : state.data(), static_cast<std::uint32_t>(state.size()));
  if (result != 0) {
    ZELVO_THROW(ExceptionPrinterFailure, "DeviceSettingsManager::WriteDeviceSettingsDataToStorage",
                "The device settings (%lu bytes) could not be written to the printer: error %lu.",
                static_cast<std::uint32_t>(state.size()), result);
  }
}
