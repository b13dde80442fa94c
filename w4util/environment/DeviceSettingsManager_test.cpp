#include "w4util/environment/DeviceSettingsManager.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "w4util/attributes/AttributeBytes.h"
#include "w4util/attributes/AttributeBytesValue.h"
#include "w4util/environment/Printer.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/files/Crc32.h"
#include "w4util/platform/RegistryStore.h"
#include "w4util/platform/SpoolerService.h"

namespace {

ByteBuffer Bytes(std::initializer_list<unsigned char> list) {
  const std::vector<unsigned char> v(list);
  return ByteBuffer(v.data(), static_cast<std::uint32_t>(v.size()));
}

constexpr const char16_t* kQueue = u"Zelvo Device Settings";

// Exposes the CRC-only read.
class InspectingManager : public DeviceSettingsManager {
 public:
  using DeviceSettingsManager::DeviceSettingsManager;
  using DeviceSettingsManager::GetDeviceSettingsCrcOnly;
};

class DeviceSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    w4platform::RegistryStore::ReplaceProcessStore(w4platform::RegistryStore::OpenInMemory());
    std::u16string name = kQueue, port = u"LPT1:", driver = u"Zelvo Universal";
    w4platform::PrinterInfo2 info{};
    info.pPrinterName = name.data();
    info.pPortName = port.data();
    info.pDriverName = driver.data();
    w4platform::PrinterHandle h = 0;
    ASSERT_EQ(w4platform::SpoolerService::Process().AddPrinter(2, &info, &h), 0u);
    w4platform::SpoolerService::Process().ClosePrinter(h);
    printer_ = std::make_unique<Printer>(kQueue, true);
  }

  // The stored value as the spooler holds it; empty when absent.
  ByteBuffer Stored() {
    Printer reader(kQueue, true);
    ByteBuffer bytes;
    reader.GetPrinterDataW(DeviceSettingsManager::kSettingsValueName, bytes);
    return bytes;
  }
  void Store(const ByteBuffer& bytes, const char16_t* value = DeviceSettingsManager::kSettingsValueName) {
    ASSERT_EQ(printer_->SetPrinterDataW(value, 3, bytes.empty() ? nullptr : bytes.data(),
                                        static_cast<std::uint32_t>(bytes.size())),
              0u);
  }

  // A few records of several kinds, added out of identifier order.
  static void Fill(AttributeBytesIndexedList& list) {
    list.SetAttributeBytes(AttributeBytesFeatureId(300), AttributeBytesBooleanValue(true, true));
    list.SetAttributeBytes(AttributeBytesNewFeatureId(CXString(u"TonerSaver")),
                           AttributeBytesStringValue(CXString(u"Medium"), true));
    list.SetAttributeBytes(AttributeBytesFeatureId(172),
                           AttributeBytesDimensionValue(Dimension(210.0, Dimension::ZLV_MMS), true));
    list.SetAttributeBytes(AttributeBytesFeatureId(9), AttributeBytesIntegerValue(600, true));
    list.SetAttributeBytes(AttributeBytesFeatureId(12),
                           AttributeBytesOptionValue(AttributeBytesValueId(4711), true));
    list.SetAttributeBytes(AttributeBytesFeatureId(13), AttributeBytesIntegerValue(0, false));
  }
  static AttributeBytesRawList RawOf(const AttributeBytesIndexedList& list) {
    AttributeBytesRawList raw;
    raw.ImportFromIndexedList(list);
    return raw;
  }

  std::unique_ptr<Printer> printer_;
};

TEST_F(DeviceSettings, AQueueWithoutSettingsHasAnEmptyList) {
  DeviceSettingsManager manager(*printer_);
  ByteBuffer bytes(3, 7);
  std::uint32_t crc = 99;
  EXPECT_FALSE(manager.GetDeviceSettingsDataFromStorage(bytes, crc));
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(crc, 0u);
  AttributeBytesRawList raw;
  EXPECT_FALSE(manager.GetDeviceSettingsRawListForDataModel(raw));
  EXPECT_TRUE(manager.GetAttributeBytesIndexedListRef().IsEmpty());
  EXPECT_TRUE(manager.IsAttributeBytesListEmpty());
  // Saving a list that was never asked for writes nothing.
  DeviceSettingsManager untouched(*printer_);
  untouched.SaveUpdatedAttributeBytesIndexedList();
  EXPECT_TRUE(Stored().empty());
  // A value of length 0 is no value either.
  Store(ByteBuffer());
  EXPECT_FALSE(manager.GetDeviceSettingsDataFromStorage(bytes, crc));
}

TEST_F(DeviceSettings, SavedSettingsReadBackInIdentifierOrder) {
  AttributeBytesIndexedList expected;
  Fill(expected);
  {
    DeviceSettingsManager manager(*printer_);
    Fill(manager.GetAttributeBytesIndexedListRef());
    manager.SaveUpdatedAttributeBytesIndexedList();
  }
  DeviceSettingsManager fresh(*printer_);
  AttributeBytesRawList raw;
  ASSERT_TRUE(fresh.GetDeviceSettingsRawListForDataModel(raw));
  EXPECT_TRUE(raw == RawOf(expected));
  const AttributeBytesIndexedList& list = fresh.GetAttributeBytesIndexedListRef();
  EXPECT_EQ(list.GetNumberOfAttributeBytes(), 6u);
  // The reader answers from the stored settings.
  bool specified = false;
  EXPECT_EQ(fresh.GetIntegerValueFromAttributeBytes(AttributeBytesFeatureId(9), &specified), 600);
  EXPECT_TRUE(specified);
  EXPECT_EQ(fresh.GetOptionValueFromAttributeBytes(AttributeBytesFeatureId(12)), 4711);
  EXPECT_FALSE(fresh.IsSpecifiedInAttributeBytes(AttributeBytesFeatureId(13)));
  EXPECT_TRUE(fresh.GetBooleanValueFromAttributeBytes(AttributeBytesFeatureId(300)));
  // The header of the stored state: size 16, mark 0x20070001, this release.
  const ByteBuffer stored = Stored();
  ASSERT_GT(stored.size(), 16u);
  EXPECT_EQ(ByteBuffer(stored.begin(), stored.begin() + 16),
            Bytes({0x10, 0, 0, 0, 0x01, 0x00, 0x07, 0x20, 0x41, 0x14, 0x35, 0x08, 0, 0, 0, 0}));
}

TEST_F(DeviceSettings, ChangesThroughTheListAreKeptUntilSaved) {
  DeviceSettingsManager manager(*printer_);
  Fill(manager.GetAttributeBytesIndexedListRef());
  manager.SaveUpdatedAttributeBytesIndexedList();
  AttributeBytesIndexedList& list = manager.GetAttributeBytesIndexedListRef();
  list.SetAttributeBytes(AttributeBytesFeatureId(9), AttributeBytesIntegerValue(1200, true));
  EXPECT_EQ(manager.GetAttributeBytesIndexedListRef().GetIntegerValue(AttributeBytesFeatureId(9)), 1200);
  EXPECT_EQ(DeviceSettingsManager(*printer_).GetIntegerValueFromAttributeBytes(AttributeBytesFeatureId(9)), 600);
  manager.SaveUpdatedAttributeBytesIndexedList();
  EXPECT_EQ(DeviceSettingsManager(*printer_).GetIntegerValueFromAttributeBytes(AttributeBytesFeatureId(9)), 1200);
}

TEST_F(DeviceSettings, SavingFromTheDataModelReplacesTheDecodedList) {
  DeviceSettingsManager manager(*printer_);
  Fill(manager.GetAttributeBytesIndexedListRef());
  manager.SaveUpdatedAttributeBytesIndexedList();
  AttributeBytesIndexedList replacement;
  replacement.SetAttributeBytes(AttributeBytesFeatureId(1), AttributeBytesStringValue(CXString(u"only"), true));
  manager.SaveUpdatedDeviceSettingsFromDataModel(RawOf(replacement));
  const AttributeBytesIndexedList& list = manager.GetAttributeBytesIndexedListRef();
  EXPECT_EQ(list.GetNumberOfAttributeBytes(), 1u);
  EXPECT_EQ(std::u16string(list.GetStringValue(AttributeBytesFeatureId(1))), u"only");
}

TEST_F(DeviceSettings, CrcIsTheIeeeCrcOfTheStoredBytes) {
  DeviceSettingsManager manager(*printer_);
  Fill(manager.GetAttributeBytesIndexedListRef());
  manager.SaveUpdatedAttributeBytesIndexedList();
  ByteBuffer bytes;
  std::uint32_t crc = 0;
  ASSERT_TRUE(manager.GetDeviceSettingsDataFromStorage(bytes, crc));
  EXPECT_EQ(bytes, Stored());
  EXPECT_EQ(crc, Crc32::GetCrc(bytes.data(), static_cast<std::uint32_t>(bytes.size()), 0xFFFFFFFFu));
  // zlib's crc32 is the same function.
  EXPECT_EQ(crc, static_cast<std::uint32_t>(::crc32(0L, bytes.data(), static_cast<uInt>(bytes.size()))));
  EXPECT_TRUE(manager.WasFoundAtLastRead());
  EXPECT_EQ(manager.GetCrcAtLastRead(), crc);
}

TEST_F(DeviceSettings, CompanionCrcValueCountsOnlyWithFourBytes) {
  InspectingManager manager(*printer_);
  std::uint32_t crc = 5;
  EXPECT_FALSE(manager.GetDeviceSettingsCrcOnly(crc));
  Store(Bytes({0x01, 0x02, 0x03}), DeviceSettingsManager::kSettingsCrcValueName);
  EXPECT_FALSE(manager.GetDeviceSettingsCrcOnly(crc));
  EXPECT_EQ(crc, 5u);
  Store(Bytes({0x78, 0x56, 0x34, 0x12, 0xFF}), DeviceSettingsManager::kSettingsCrcValueName);
  ASSERT_TRUE(manager.GetDeviceSettingsCrcOnly(crc));
  EXPECT_EQ(crc, 0x12345678u);
}

// Bad stored bytes throw on every read, are never written over by saving the
// list, and give way only to settings saved on purpose.
TEST_F(DeviceSettings, BadStoredValuesThrowAndStayUntilReplaced) {
  {
    DeviceSettingsManager writer(*printer_);
    Fill(writer.GetAttributeBytesIndexedListRef());
    writer.SaveUpdatedAttributeBytesIndexedList();
  }
  const ByteBuffer good = Stored();
  ASSERT_GT(good.size(), 40u);
  const auto cut = [&](std::size_t n) { return ByteBuffer(good.begin(), good.begin() + static_cast<long>(n)); };
  const auto changed = [&](std::size_t at, unsigned char to) {
    ByteBuffer b = good;
    b[at] = to;
    return b;
  };
  struct Case {
    const char* what;
    ByteBuffer bytes;
    const char16_t* code;  // null: any library exception
  };
  std::vector<Case> cases = {
      {"short of a header", cut(10), u"031:000"},
      {"header alone", cut(16), u"033:000"},
      {"cut inside the compressed part", cut(good.size() - 5), u"033:000"},
      {"future header size", changed(0, 24), u"031:000"},
      {"future format mark", changed(7, 0x21), u"031:000"},
      {"garbage inside the cabinet", [&] {
         ByteBuffer b = good;
         for (std::size_t i = 16 + 8; i < b.size() - 13; ++i) b[i] ^= 0x5A;
         return b;
       }(), nullptr},
      {"original size in the footer wrong", changed(good.size() - 5, static_cast<unsigned char>(good[good.size() - 5] + 1)), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Store(c.bytes);
    DeviceSettingsManager manager(*printer_);
    for (int attempt = 0; attempt < 2; ++attempt) {
      try {
        manager.GetAttributeBytesIndexedListRef();
        ADD_FAILURE() << "no exception";
      } catch (const ZelvoException& e) {
        if (c.code != nullptr) {
          EXPECT_EQ(std::u16string(e.GetExceptionTypeByNumericCode()), c.code);
        }
      }
    }
    AttributeBytesRawList raw;
    EXPECT_THROW(manager.GetDeviceSettingsRawListForDataModel(raw), ZelvoException);
    EXPECT_THROW(manager.IsAttributeBytesListEmpty(), ZelvoException);
    manager.SaveUpdatedAttributeBytesIndexedList();  // no list: nothing written
    EXPECT_EQ(Stored(), c.bytes);

    AttributeBytesIndexedList fresh;
    fresh.SetAttributeBytes(AttributeBytesFeatureId(2), AttributeBytesIntegerValue(2, true));
    manager.SaveUpdatedDeviceSettingsFromDataModel(RawOf(fresh));
    EXPECT_EQ(manager.GetAttributeBytesIndexedListRef().GetIntegerValue(AttributeBytesFeatureId(2)), 2);
    EXPECT_EQ(DeviceSettingsManager(*printer_).GetAttributeBytesIndexedListRef().GetNumberOfAttributeBytes(), 1u);
  }
}

TEST_F(DeviceSettings, ARefusedWriteThrowsPrinterFailure) {
  ASSERT_EQ(w4platform::SpoolerService::Process().SetPrinterDeniedAccess(kQueue, w4platform::PRINTER_ACCESS_ADMINISTER),
            0u);
  Printer user(kQueue, true);  // falls back to default access
  DeviceSettingsManager manager(user);
  Fill(manager.GetAttributeBytesIndexedListRef());
  EXPECT_THROW(manager.SaveUpdatedAttributeBytesIndexedList(), ExceptionPrinterFailure);
  EXPECT_EQ(manager.GetAttributeBytesIndexedListRef().GetNumberOfAttributeBytes(), 6u);  // kept for a retry
  EXPECT_THROW(manager.SaveUpdatedDeviceSettingsFromDataModel(AttributeBytesRawList()), ExceptionPrinterFailure);
  EXPECT_TRUE(Stored().empty());
}

}  // namespace
