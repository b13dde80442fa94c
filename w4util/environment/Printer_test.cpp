#include "w4util/environment/Printer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/platform/RegistryStore.h"
#include "w4util/platform/SpoolerService.h"

namespace {

using namespace w4platform;

std::string Narrow(const char16_t* text) { return CXString(text).GetAsMultiByte().data(); }

void* AsVoid(PrinterHandle h) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(h)); }

class PrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegistryStore::ReplaceProcessStore(RegistryStore::OpenInMemory());
    std::u16string n = u"Office", p = u"LPT1:,FILE:", d = u"Zelvo Universal", pp = u"winprint";
    PrinterInfo2 info{};
    info.pPrinterName = n.data();
    info.pPortName = p.data();
    info.pDriverName = d.data();
    info.pPrintProcessor = pp.data();
    ASSERT_EQ(SpoolerService::Process().AddPrinter(2, &info, &admin_), 0u);
  }
  void TearDown() override { SpoolerService::Process().ClosePrinter(admin_); }

  void SetText(const char16_t* value, std::u16string_view text, bool terminate = true) {
    std::vector<std::uint8_t> bytes(text.size() * 2 + (terminate ? 2 : 0), 0);
    std::memcpy(bytes.data(), text.data(), text.size() * 2);
    ASSERT_EQ(SpoolerService::Process().SetPrinterData(admin_, value, REG_SZ, bytes.data(),
                                                       static_cast<std::uint32_t>(bytes.size())),
              0u);
  }

  PrinterHandle admin_ = 0;
};

TEST_F(PrinterTest, HandlesAreOwnedOrBorrowed) {
  {
    Printer borrowed(AsVoid(admin_));
    EXPECT_TRUE(borrowed.IsValidHandle());
  }
  // The caller's handle is still open.
  EXPECT_NE(Printer(AsVoid(admin_)).GetPrinterInfo(2), nullptr);

  Printer owned(u"office", true);
  EXPECT_EQ(owned.GetPrinterName(), CXString(u"Office"));
  EXPECT_EQ(owned.GetPrintDriverName(), CXString(u"Zelvo Universal"));
  EXPECT_EQ(owned.GetPrinterPort(), CXString(u"LPT1:,FILE:"));
  EXPECT_TRUE(owned.IsUsingWinPrintPrintProcessor(owned.GetPrinterHandle()));
  EXPECT_FALSE(owned.IsUsingZelvoNextGenPrintProcessor(owned.GetPrinterHandle()));
  EXPECT_TRUE(owned.SetPrintProcessorName(u"ZelvoV5Print"));
  EXPECT_TRUE(owned.IsUsingZelvoNextGenPrintProcessor(owned.GetPrinterHandle()));
  const PrinterHandle raw = static_cast<PrinterHandle>(
      reinterpret_cast<std::uintptr_t>(owned.GetPrinterHandle()));
  owned.ClosePrinterHandleIfOwned();
  EXPECT_FALSE(owned.IsValidHandle());
  EXPECT_EQ(SpoolerService::Process().ClosePrinter(raw), ERROR_INVALID_HANDLE);

  // Full access refused: the default access still opens it.
  ASSERT_EQ(SpoolerService::Process().SetPrinterDeniedAccess(u"Office", PRINTER_ACCESS_ADMINISTER),
            0u);
  Printer fallback;
  EXPECT_NE(fallback.CreateGreatestAccessHandleAllowed(u"Office"), nullptr);
  EXPECT_THROW(fallback.CreateAllAccessHandle(u"Office"), ExceptionPrinterFailure);
  EXPECT_THROW(Printer(u"Nowhere", true), ExceptionPrinterFailure);
  EXPECT_THROW(Printer(u"Nowhere", false), ExceptionPrinterFailure);
  EXPECT_FALSE(fallback.TryToCreateHandle(nullptr, nullptr));
  Printer none;
  EXPECT_THROW(none.GetPrinterHandle(true), ExceptionInvalidPrinterHandle);
  EXPECT_EQ(none.GetPrinterDataW(u"x"), nullptr);
  EXPECT_TRUE(none.GetPrinterName().IsEmpty());
}

TEST_F(PrinterTest, PrinterDataReadsWritesAndAbsence) {
  Printer printer(AsVoid(admin_));
  const unsigned char bytes[] = {1, 2, 3};
  EXPECT_EQ(printer.SetPrinterDataW(u"Blob", REG_BINARY, bytes, 3), 0u);
  EXPECT_EQ(printer.SetPrinterDataW(u"Empty", REG_BINARY, nullptr, 0), 0u);
  ASSERT_NE(printer.GetPrinterDataW(u"Blob"), nullptr);
  EXPECT_EQ(printer.GetPrinterDataSize(), 3u);
  EXPECT_EQ(printer.GetPrinterDataType(), REG_BINARY);
  EXPECT_EQ(printer.GetPrinterDataW(u"Empty"), nullptr);
  EXPECT_EQ(printer.GetPrinterDataSize(), 0u);
  EXPECT_EQ(printer.GetPrinterDataW(u"Missing"), nullptr);
  ByteBuffer out;
  EXPECT_TRUE(printer.GetPrinterDataW(u"Office", u"Blob", out));
  EXPECT_EQ(out, ByteBuffer(bytes, 3));
  EXPECT_FALSE(printer.GetPrinterDataW(u"Nowhere", u"Blob", out));

  EXPECT_TRUE(printer.SetPrinterDataString(u"DsSpooler", u"Location", u"Hall"));
  EXPECT_EQ(printer.GetPrinterDataString(u"DsSpooler", u"Location"), CXString(u"Hall"));
  SetText(u"Raw", u"abc", false);
  EXPECT_EQ(printer.GetPrinterDataString(Printer::kDriverDataKey, u"Raw"), CXString(u"abc"));

  std::vector<PrinterDataEntry> values;
  ASSERT_TRUE(printer.EnumPrinterDataExW(Printer::kDriverDataKey, values));
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].name, CXString(u"Blob"));
  EXPECT_EQ(values[0].data, ByteBuffer(bytes, 3));
  std::vector<CXString> keys;
  ASSERT_TRUE(printer.EnumPrinterKeyW(u"", keys));
  EXPECT_EQ(keys.size(), 2u);
  EXPECT_FALSE(printer.EnumPrinterDataExW(u"NoSuchKey", values));

  EXPECT_EQ(printer.DeletePrinterDataW(u"Blob"), 0u);
  EXPECT_EQ(printer.DeletePrinterDataW(u"Blob"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(printer.SetPrinterDataW(nullptr, REG_BINARY, bytes, 3), ERROR_INVALID_PARAMETER);
}

TEST_F(PrinterTest, Crc32GuardedData) {
  Printer printer(AsVoid(admin_));
  const unsigned char payload[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  ASSERT_TRUE(printer.SetCrc32PrinterData(u"Guarded", REG_BINARY, payload, 9));
  // The stored form: CRC-32 little-endian, then the payload.
  ASSERT_NE(printer.GetPrinterDataW(u"Guarded"), nullptr);
  ASSERT_EQ(printer.GetPrinterDataSize(), 13u);
  // The pointer lives until the next read through the object: keep a copy.
  const ByteBuffer stored(static_cast<const unsigned char*>(printer.GetPrinterDataPtr()), 13);
  EXPECT_EQ(std::vector<int>(stored.begin(), stored.begin() + 4),
            (std::vector<int>{0x26, 0x39, 0xF4, 0xCB}));

  const auto* back = static_cast<const unsigned char*>(printer.GetCrc32PrinterData(u"Guarded"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(printer.GetCrc32PrinterDataSize(), 9u);
  EXPECT_EQ(std::memcmp(back, payload, 9), 0);
  EXPECT_NE(printer.GetCrc32PrinterData(u"Office", u"Guarded"), nullptr);

  ByteBuffer damaged = stored;
  damaged[7] ^= 1;
  ASSERT_EQ(printer.SetPrinterDataW(u"Guarded", REG_BINARY, damaged.data(), 13), 0u);
  EXPECT_EQ(printer.GetCrc32PrinterData(u"Guarded"), nullptr);
  EXPECT_EQ(printer.GetCrc32PrinterDataSize(), 0u);
  EXPECT_EQ(printer.GetPrinterDataPtr(), nullptr);

  ASSERT_EQ(printer.SetPrinterDataW(u"Short", REG_BINARY, payload, 3), 0u);
  EXPECT_EQ(printer.GetCrc32PrinterData(u"Short"), nullptr);
  EXPECT_EQ(printer.GetCrc32PrinterDataSize(), 0u);
  // An empty payload is still a valid guarded value.
  ASSERT_TRUE(printer.SetCrc32PrinterData(u"Nothing", REG_BINARY, nullptr, 0));
  EXPECT_NE(printer.GetCrc32PrinterData(u"Nothing"), nullptr);
  EXPECT_EQ(printer.GetCrc32PrinterDataSize(), 0u);
}

TEST_F(PrinterTest, IdentityValues) {
  Printer printer(AsVoid(admin_));
  EXPECT_TRUE(printer.GetPrinterProductUniqueIdFromIniFile().IsEmpty());
  EXPECT_TRUE(printer.GetPrinterModelIdFromIniFile().IsEmpty());
  EXPECT_EQ(printer.GetPrinterModelVersion(), 1u);

  const struct {
    const char16_t* text;
    bool terminate;
    const char16_t* productId;
    const char16_t* modelId;
    std::uint32_t version;
  } cases[] = {
      {u"ab", true, u"", u"ab", 1},
      {u"abcd", true, u"abcd", u"abcd", 1},
      {u"abcde", true, u"", u"abcde", 1},
      {u"abc", false, u"abc", u"abc", 1},
      {u"0", true, u"", u"", 1},
      {u"7", true, u"", u"", 7},
      {u"", true, u"", u"", 1},
      {u"12", false, u"", u"12", 12},
  };
  for (const auto& c : cases) {
    SetText(u"xProdUID", c.text, c.terminate);
    SetText(u"xModelId", c.text, c.terminate);
    SetText(u"xModelVersion", c.text, c.terminate);
    EXPECT_EQ(printer.GetPrinterProductUniqueIdFromIniFile(), CXString(c.productId)) << Narrow(c.text);
    EXPECT_EQ(printer.GetPrinterModelIdFromIniFile(), CXString(c.modelId)) << Narrow(c.text);
    EXPECT_EQ(printer.GetPrinterModelVersion(), c.version) << Narrow(c.text);
  }
  // Longer than the fixed buffer: not read.
  SetText(u"xProdUID", std::u16string(60, u'x'));
  EXPECT_TRUE(printer.GetPrinterProductUniqueIdFromIniFile().IsEmpty());
}

TEST_F(PrinterTest, NamesAsRegistryKeysAndFileNames) {
  using namespace ZelvoUtilities;
  const struct {
    const char16_t* name;
    const char16_t* key;
  } cases[] = {
      {u"HP: Color|1, redirected 2", u"HP&CN& Color&PI&1"},
      {u"Trailing ", u"Trailing&SP&"},
      {u"Dotted.", u"Dotted&DT&"},
      {u"\\\\server\\printer", u"``server`printer"},
      {u"a/b*c?d\"e<f>g", u"a,b&AS&c&QM&d&DQ&e&LT&f&GT&g"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertPrinterNameToRegistryKey(c.name, nullptr), CXString(c.key)) << Narrow(c.name);
  }
  EXPECT_EQ(ConvertPortNameToRegistryKey(u""), CXString(u"PrinterPorts"));
  EXPECT_EQ(ConvertPortNameToRegistryKey(u"\\\\srv\\q,x"), CXString(u"PrinterPorts\\//srv/q"));
  EXPECT_EQ(CombinePrinterNameAndPortIntoRegistryKey(u"P:1", u"LPT1:", nullptr),
            CXString(u"P&CN&1\\PrinterPorts\\LPT1:"));
  EXPECT_EQ(CombinePrinterNameAndPortIntoRegistryKey(u"", u"LPT1:", nullptr),
            CXString(u"PrinterPorts\\LPT1:"));
  EXPECT_EQ(ConvertPrinterNameToFilenameCompatible(u"HTTP://Host/Q", nullptr),
            CXString(u"http&cn&,,host,q"));

  EXPECT_TRUE(Printer::IsHiddenGuidPrinter(u"x\\\\CSR|{guid}"));
  EXPECT_FALSE(Printer::IsHiddenGuidPrinter(u"x\\CSR{guid}"));
  EXPECT_FALSE(Printer::IsHiddenGuidPrinter(nullptr));

  Printer owned(AsVoid(admin_));
  CXString key;
  EXPECT_TRUE(owned.GetPrinterNameInStandardFormForUseAsRegKey(key));
  EXPECT_EQ(key, CXString(u"Office"));
}

TEST_F(PrinterTest, HiddenPrintersTakeTheirUncNameWithoutTheDomain) {
  const struct {
    const char16_t* unc;
    const char16_t* key;
  } cases[] = {
      {u"\\\\srv.corp.example\\Queue", u"``srv`Queue"},
      {u"\\\\srv\\Queue.v2", u"x``CSR&PI&g"},  // the dot is not in the server part
      {u"\\\\srv\\Queue", u"x``CSR&PI&g"},
  };
  Printer printer(AsVoid(admin_));
  for (const auto& c : cases) {
    ASSERT_TRUE(printer.SetPrinterDataString(u"DsSpooler", u"UNCName", c.unc));
    EXPECT_EQ(ZelvoUtilities::ConvertPrinterNameToRegistryKey(u"x\\\\CSR|g", AsVoid(admin_)),
              CXString(c.key))
        << Narrow(c.unc);
  }
  // Without a real handle the name stays as it is.
  EXPECT_EQ(ZelvoUtilities::ConvertPrinterNameToRegistryKey(
                u"x\\\\CSR|g", reinterpret_cast<void*>(~std::uintptr_t{0})),
            CXString(u"x``CSR&PI&g"));
}

TEST_F(PrinterTest, PrintToFileAndCapabilities) {
  Spooler spooler;
  EXPECT_FALSE(spooler.IsPrintToFile(AsVoid(admin_), u""));
  EXPECT_FALSE(spooler.IsPrintToFile(AsVoid(admin_), u"FILE:"));
  EXPECT_FALSE(spooler.IsPrintToFile(AsVoid(admin_), u"lpt1:,file:"));
  EXPECT_FALSE(spooler.IsPrintToFile(AsVoid(admin_), u"LPT1:"));

  char dir[] = "/tmp/w4prn-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string file = std::string(dir) + "/out.prn";
  const CXString wide(file.c_str());
  EXPECT_TRUE(spooler.IsPrintToFile(AsVoid(admin_), wide));
  EXPECT_TRUE(std::filesystem::exists(file));  // opened "always": created
  EXPECT_TRUE(spooler.IsPrintToFile(nullptr, wide));
  EXPECT_FALSE(spooler.IsPrintToFile(nullptr, CXString(dir)));
  std::filesystem::remove_all(dir);

  EXPECT_THROW(spooler.GetCapabilities(), ExceptionSpoolerFailure);
}

}  // namespace
