// DeviceSettingsManager: the device settings of one printer queue, kept in
// its printer data as "ZlvDeviceSettings" under "PrinterDriverData"
// (REG_BINARY): the state of a PersistentAttributes whose only name space is
// number 1, the device settings. The manager reads that value on first use,
// offers its records as an indexed list (and through the AttributeBytesReader
// reads), and writes updated records back.
//
// Reading: a missing value is an empty list. A value that does not decode
// throws the persistence, compression or attribute-bytes exception that
// describes it; the manager then keeps no list, so every later read tries
// (and fails) again and a save of the list writes nothing, until the caller
// replaces the stored settings on purpose (SaveUpdatedDeviceSettingsFromDataModel).
// The stored value is never changed by a read.
//
// Writing: the records go out as one raw list in name space 1, persisted and
// compressed; a refused write throws ExceptionPrinterFailure.
//
// The manager refers to a Printer that must outlive it and, like the
// printer, is used by one thread at a time. It cannot be copied.
#pragma once

#include <cstdint>
#include <memory>

#include "w4util/Export.h"
#include "w4util/attributes/AttributeBytesIndexedList.h"
#include "w4util/attributes/AttributeBytesRawList.h"
#include "w4util/attributes/AttributeBytesReader.h"
#include "w4util/foundation/ByteBuffer.h"

class Printer;

class W4UTIL_EXPORT DeviceSettingsManager : public AttributeBytesReader {
 public:
  static constexpr const char16_t* kSettingsValueName = u"ZlvDeviceSettings";
  static constexpr const char16_t* kSettingsCrcValueName = u"ZlvDeviceSettingsCrc";

  // Nothing is read yet.
  explicit DeviceSettingsManager(Printer& printer);
  ~DeviceSettingsManager() override;
  DeviceSettingsManager(const DeviceSettingsManager&) = delete;
  DeviceSettingsManager& operator=(const DeviceSettingsManager&) = delete;

  // The settings list, read from storage on the first call (see the header
  // note for failures); later calls return the same list with the caller's
  // changes.
  virtual AttributeBytesIndexedList& GetAttributeBytesIndexedListRef();

  // The records of name space 1 of the stored value; false (out untouched)
  // when there is none. Throws for a value that does not decode.
  bool GetDeviceSettingsRawListForDataModel(AttributeBytesRawList& out) const;

  // The stored bytes and their CRC-32 (initial 0xFFFFFFFF), remembered with
  // the found flag. False, out emptied and crc 0, when there is no value.
  bool GetDeviceSettingsDataFromStorage(ByteBuffer& out, std::uint32_t& crc) const;

  // Writes the list's records; nothing happens while there is no list.
  void SaveUpdatedAttributeBytesIndexedList();
  // Drops the list (the next read goes to storage) and writes settings.
  void SaveUpdatedDeviceSettingsFromDataModel(const AttributeBytesRawList& settings);

  // What the last storage read found.
  bool WasFoundAtLastRead() const { return m_foundAtLastRead; }
  std::uint32_t GetCrcAtLastRead() const { return m_crcAtLastRead; }

 protected:
  const AttributeBytesIndexedList& GetReaderAttributeBytesList() const override;

  // The first four bytes (little-endian) of "ZlvDeviceSettingsCrc"; false
  // when it is absent or shorter than four bytes.
  bool GetDeviceSettingsCrcOnly(std::uint32_t& crc) const;

 private:
  AttributeBytesIndexedList& LoadList() const;
  void SaveDeviceSettingsRawList(const AttributeBytesRawList& settings);
  void WriteDeviceSettingsDataToStorage(const ByteBuffer& state);

  Printer& m_printer;
  // Filled lazily by const reads too.
  mutable std::unique_ptr<AttributeBytesIndexedList> m_list;
  mutable bool m_foundAtLastRead = false;
  mutable std::uint32_t m_crcAtLastRead = 0;
};
