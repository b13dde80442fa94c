// w4util demo: the road of a settings change, end to end, on the store in
// use (the default data folder, or --store). Makes a demo queue when there is
// none, writes a realistic set of device settings, reads them back through a
// fresh manager, changes two, saves, shows the result with its stored sizes,
// then submits a job with parameters and reads them on the spooler side.
// Every run starts from the same settings, so running it again works.
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/JobText.h"
#include "cli/SettingsText.h"
#include "cli/StoreOption.h"
#include "cli/ValueText.h"
#include "w4util/attributes/AttributeBytesNameSpaces.h"
#include "w4util/attributes/PersistentAttributes.h"
#include "w4util/environment/DeviceSettingsManager.h"
#include "w4util/environment/Printer.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/foundation/Base64.h"
#include "w4util/jobs/ClientJobDataReaderWriter.h"
#include "w4util/platform/SpoolerService.h"

namespace w4cli {
namespace {

constexpr const char* kDemoQueue = "Zelvo Demo";

// The demo's device settings: identifier and value in the tool's text forms.
const std::vector<std::pair<const char*, const char*>>& DemoSettings() {
  static const std::vector<std::pair<const char*, const char*>> settings = {
      {"1", "2"},                                  // orientation: portrait
      {"2", "int:1"},                              // copies
      {"3", "bool:true"},                          // collate
      {"4", "1203"},                               // duplex: long edge
      {"5", "101"},                                // media type: plain
      {"6", "s:Recycled80g"},                      // media type named by the site
      {"7", "1501"},                               // input tray: automatic
      {"8", "1601"},                               // output bin: face down
      {"9", "res:600x600/1"},                      // resolution, dots per inch
      {"10", "int:100"},                           // scaling, percent
      {"11", "range:1..9999"},                     // copies allowed
      {"12", "bool:false"},                        // toner saver
      {"13", "int:0"},                             // watermark id (not chosen)
      {"20", "str:Accounting"},                    // department code
      {"21", "str:Zelvo Office 5185 (2nd floor)"}, // location
      {"30", "dim:4.2mm"},                         // left margin
      {"31", "dim:4.2mm"},                         // right margin
      {"32", "dim:5mm"},                           // top margin
      {"33", "dim:5mm"},                           // bottom margin
      {"40", "dimrange:76.2mm..215.9mm"},          // custom paper width
      {"41", "dimrange:127mm..355.6mm"},           // custom paper height
      {"50", "blob:0011223344556677ffeeddccbbaa9988"},  // colour calibration table
      {"60", "time:2026-01-15T09:30:00Z"},         // installed
      {"61", "time:2026-12-01T16:45:10Z"},         // last calibration
      {"70", "list:0:4142524c02ac00000008005034030002ad000000080028880400"},  // paper size A4 collection
      {"item:0", "opt:7"},                         // installable options: input tray list
      {"item:1", "opt:8"},                         //   and output bin list
      {"cap:9/1", "int:1200"},                     // capability: highest resolution
      {"s:TonerSaver", "str:Medium"},
      {"s:StapleLocation", "s:TopLeft"},
      {"s:FinisherInstalled", "bool:true"},
      {"s:TrayCount", "int:4"},
      {"s:FirmwareVersion", "str:5185.2101.0.0"},
      {"s:PinCode", "str:"},
  };
  return settings;
}

AttributeBytesRawList Build(const std::vector<std::pair<const char*, const char*>>& settings) {
  AttributeBytesIndexedList list;
  for (const auto& [id, value] : settings) {
    list.SetAttributeBytes(*ParseIdentifier(id), *ParseSettingValue(value, true));
  }
  // One setting the data model knows but nobody chose.
  list.SetAttributeBytes(AttributeBytesFeatureId(14), AttributeBytesIntegerValue(0, false));
  AttributeBytesRawList raw;
  raw.ImportFromIndexedList(list);
  return raw;
}

std::size_t UncompressedSize(const AttributeBytesRawList& raw) {
  AttributeBytesNameSpaces nameSpaces;
  nameSpaces.SetNameSpaceAttributes(PersistentAttributes::GetDataModelDocPropNameSpaceId(), raw);
  return nameSpaces.GetAttributeBytesNameSpacesState().size();
}

std::size_t StoredSize(const DeviceSettingsManager& manager, std::uint32_t& crc) {
  ByteBuffer bytes;
  manager.GetDeviceSettingsDataFromStorage(bytes, crc);
  return bytes.size();
}

void Step(int n, const std::string& text) { std::cout << "[" << n << "/8] " << text << "\n"; }

void MakeQueueIfMissing() {
  w4platform::SpoolerService& spooler = w4platform::SpoolerService::Process();
  const std::u16string name = Utf16FromUtf8(kDemoQueue);
  w4platform::PrinterHandle h = 0;
  if (spooler.OpenPrinter(name, &h, nullptr) == 0) {
    spooler.ClosePrinter(h);
    Step(2, std::string("queue \"") + kDemoQueue + "\" is there already");
    return;
  }
  std::u16string printer = name, port = u"FILE:", driver = u"Zelvo Universal", comment = u"made by w4util demo";
  w4platform::PrinterInfo2 info{};
  info.pPrinterName = printer.data();
  info.pPortName = port.data();
  info.pDriverName = driver.data();
  info.pComment = comment.data();
  if (const std::uint32_t e = spooler.AddPrinter(2, &info, &h)) {
    ZELVO_THROW(ExceptionPrinterFailure, "w4cli::Demo", "The demo queue could not be added: error %lu.", e);
  }
  spooler.ClosePrinter(h);
  Step(2, std::string("queue \"") + kDemoQueue + "\" created (port FILE:, driver Zelvo Universal)");
}

int RunDemo() {
  OpenChosenStore();
  Step(1, "store: " + ChosenStoreFolder());
  MakeQueueIfMissing();
  auto printer = OpenPrinterByName(kDemoQueue);

  // 3: the driver's data model writes its settings.
  const AttributeBytesRawList written = Build(DemoSettings());
  std::uint32_t crc = 0;
  {
    DeviceSettingsManager manager(*printer);
    manager.SaveUpdatedDeviceSettingsFromDataModel(written);
    AttributeBytesIndexedList counted;
    counted.ImportFromRawList(written);
    const std::size_t stored = StoredSize(manager, crc);
    Step(3, "wrote " + std::to_string(counted.GetNumberOfAttributeBytes()) +
                " device settings as \"ZlvDeviceSettings\": " + std::to_string(UncompressedSize(written)) +
                " bytes of name spaces, " + std::to_string(stored) + " bytes stored");
  }

  // 4: another module reads them through a manager of its own.
  DeviceSettingsManager reader(*printer);
  AttributeBytesIndexedList& list = reader.GetAttributeBytesIndexedListRef();
  AttributeBytesRawList readBack;
  readBack.ImportFromIndexedList(list);
  bool specified = false;
  const std::int32_t copies = reader.GetIntegerValueFromAttributeBytes(AttributeBytesFeatureId(2), &specified);
  Step(4, "read back through a fresh manager: " + std::to_string(list.GetNumberOfAttributeBytes()) + " settings, " +
              (readBack == written ? "identical records" : "DIFFERENT records") + "; copies = " +
              std::to_string(copies) + (specified ? " (specified)" : " (unspecified)"));
  if (!(readBack == written)) {
    ZELVO_THROW(ExceptionMissingOrBadAttributeBytesFormat, "w4cli::Demo", "The settings read back differ.");
  }

  // 5: two changes through the list.
  const std::vector<std::pair<const char*, const char*>> changes = {{"9", "res:1200x1200/1"},
                                                                    {"s:TonerSaver", "str:High"}};
  std::string changed;
  for (const auto& [id, value] : changes) {
    const auto identifier = ParseIdentifier(id);
    const std::string before = SettingValueText(list.GetAttributeBytesRef(*identifier).GetAttributeBytesValue());
    list.SetAttributeBytes(*identifier, *ParseSettingValue(value, true));
    changed += std::string(changed.empty() ? "" : ", ") + id + ": " + before + " -> " + value;
  }
  Step(5, "changed " + changed);

  // 6: save, and what it costs in the store.
  const std::size_t storedBefore = StoredSize(reader, crc);
  reader.SaveUpdatedAttributeBytesIndexedList();
  AttributeBytesRawList saved;
  saved.ImportFromIndexedList(list);
  std::uint32_t newCrc = 0;
  const std::size_t storedAfter = StoredSize(reader, newCrc);
  char crcs[64];
  std::snprintf(crcs, sizeof crcs, "CRC-32 %08x -> %08x", crc, newCrc);
  Step(6, "saved: " + std::to_string(UncompressedSize(saved)) + " bytes before compression, " +
              std::to_string(storedAfter) + " bytes stored (was " + std::to_string(storedBefore) + "), " + crcs);

  // 7: the result as a third reader sees it.
  DeviceSettingsManager result(*printer);
  const AttributeBytesIndexedList& shown = result.GetAttributeBytesIndexedListRef();
  Step(7, "the settings now stored:");
  std::cout << "    " << SettingHeaderLine() << "\n";
  for (auto it = shown.GetIndexedListIterator(); shown.IsValidIndexedListIterator(it);
       shown.IncrementIndexedListIterator(it)) {
    std::cout << "    " << SettingLine(shown.GetAttributeBytesRefFromIndexedListIterator(it)) << "\n";
  }

  // 8: a job carries parameters from the application side to the spooler side.
  w4platform::SpoolerService& spooler = w4platform::SpoolerService::Process();
  const auto handle = static_cast<w4platform::PrinterHandle>(reinterpret_cast<std::uintptr_t>(printer->GetPrinterHandle(true)));
  w4platform::DocInfo1 doc;
  doc.pDocName = u"Quarterly report";
  std::uint32_t jobId = 0;
  if (const std::uint32_t e = spooler.StartDocPrinter(handle, 1, &doc, &jobId)) {
    ZELVO_THROW(ExceptionSpoolerFailure, "w4cli::Demo", "The demo job could not be submitted: error %lu.", e);
  }
  spooler.EndDocPrinter(handle);
  {
    ClientJobDataReaderWriter application(printer->GetPrinterHandle(true), jobId);
    application.AddToParameterList(1, std::int32_t{2});
    application.AddToParameterList(11, std::int32_t{11});
    application.AddToParameterList(21, CXString(u"Quarterly report \u2013 draft; do not share"));
    const unsigned char blob[] = {0x5A, 0x4C, 0x56, 0x00, 0xFF, 0x3B, 0x3D};
    std::int32_t length = ZelvoUtilities::Base64EncodeGetRequiredLength(sizeof blob, ZelvoUtilities::kBase64NoCrLf);
    std::vector<char16_t> text(static_cast<std::size_t>(length) + 1);
    ZelvoUtilities::Base64Encode(blob, sizeof blob, text.data(), &length, ZelvoUtilities::kBase64NoCrLf);
    application.AddToParameterList(3, CXString(text.data(), length));
    if (!application.CommitAdditions()) {
      ZELVO_THROW(ExceptionSpoolerFailure, "w4cli::Demo", "The job parameters could not be written.");
    }
  }
  Printer spoolerSide(Utf16FromUtf8(kDemoQueue).c_str(), false);
  ClientJobDataReaderWriter side(spoolerSide.GetPrinterHandle(true), jobId);
  std::int32_t one = 0, eleven = 0;
  CXString title;
  ByteBuffer bytes;
  const bool ok = side.GetLongFromParameterList(1, one) && side.GetLongFromParameterList(11, eleven) &&
                  side.GetStringFromParameterList(21, title) && side.GetByteBufferFromParameterList(3, bytes);
  Step(8, "job " + std::to_string(jobId) + " submitted with 4 parameters; the spooler side reads " +
              (ok ? "them all back:" : "FEWER of them:"));
  PrintParameters(side, std::cout);
  std::cout << "    1 = " << one << ", 11 = " << eleven << ", 21 = \""
            << Utf8FromUtf16(std::u16string_view(title, static_cast<std::size_t>(title.GetLength())))
            << "\", 3 = " << bytes.size() << " bytes " << Hex(bytes.data(), bytes.size()) << "\n";
  return ok ? kExitOk : kExitFailure;
}

}  // namespace

void AddDemoCommand(CLI::App& app) {
  CLI::App* demo = app.add_subcommand("demo", "the road of a settings change, end to end, on the store in use");
  AddStoreOption(*demo);
  demo->callback([] { SetAction([] { return RunDemo(); }); });
}

}  // namespace w4cli
