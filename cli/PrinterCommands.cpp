// w4util printer add|list|remove|data: the queues of the spooler kept in the
// registry store, and their printer data under "PrinterDriverData".
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/StoreOption.h"
#include "cli/ValueText.h"
#include "w4util/environment/Printer.h"
#include "w4util/platform/SpoolerService.h"

namespace w4cli {
namespace {

using namespace w4platform;

std::string SpoolerText(std::uint32_t code) {
  switch (code) {
    case ERROR_INVALID_PRINTER_NAME: return "no such printer";
    case ERROR_PRINTER_ALREADY_EXISTS: return "a printer of that name exists";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_INVALID_PARAMETER: return "invalid name or data";
    case ERROR_FILE_NOT_FOUND: return "not found";
    default: return "spooler error " + std::to_string(code);
  }
}

// The queue opened with full access, or a failure naming it.
std::unique_ptr<Printer> OpenQueue(const std::string& name) {
  const std::u16string wide = Utf16FromUtf8(name);
  auto printer = std::make_unique<Printer>();
  PrinterDefaults all;
  all.DesiredAccess = PRINTER_ALL_ACCESS;
  if (!printer->TryToCreateHandle(wide.c_str(), &all) &&
      !printer->TryToCreateHandle(wide.c_str(), nullptr)) {
    throw CommandFailure{"no printer named \"" + name + "\""};
  }
  return printer;
}

int Add(const std::string& name, const std::string& driver, const std::string& port) {
  std::u16string n = Utf16FromUtf8(name), d = Utf16FromUtf8(driver), p = Utf16FromUtf8(port);
  std::u16string processor = u"winprint";
  PrinterInfo2 info{};
  info.pPrinterName = n.data();
  info.pDriverName = d.data();
  info.pPortName = p.data();
  info.pPrintProcessor = processor.data();
  PrinterHandle handle = 0;
  const std::uint32_t result = SpoolerService::Process().AddPrinter(2, &info, &handle);
  if (result != ERROR_SUCCESS) {
    throw CommandFailure{"cannot add printer \"" + name + "\": " + SpoolerText(result)};
  }
  SpoolerService::Process().ClosePrinter(handle);
  return kExitOk;
}

int List() {
  SpoolerService& spooler = SpoolerService::Process();
  std::uint32_t needed = 0;
  std::uint32_t returned = 0;
  std::uint32_t result =
      spooler.EnumPrinters(PRINTER_ENUM_LOCAL, u"", 2, nullptr, 0, &needed, &returned);
  std::vector<std::uint64_t> buffer;
  for (int attempt = 0; result == ERROR_INSUFFICIENT_BUFFER && attempt < 5; ++attempt) {
    buffer.assign(needed / 8 + 1, 0);
    result = spooler.EnumPrinters(PRINTER_ENUM_LOCAL, u"", 2,
                                  reinterpret_cast<std::uint8_t*>(buffer.data()),
                                  static_cast<std::uint32_t>(buffer.size() * 8), &needed,
                                  &returned);
  }
  if (result != ERROR_SUCCESS) throw CommandFailure{"cannot list printers: " + SpoolerText(result)};
  const auto* list = reinterpret_cast<const PrinterInfo2*>(buffer.data());
  for (std::uint32_t i = 0; i < returned; ++i) {
    auto text = [](const char16_t* t) { return t ? Utf8FromUtf16(t) : std::string(); };
    std::cout << text(list[i].pPrinterName) << "\t" << text(list[i].pDriverName) << "\t"
              << text(list[i].pPortName) << "\n";
  }
  return kExitOk;
}

int Remove(const std::string& name) {
  std::unique_ptr<Printer> printer = OpenQueue(name);
  const PrinterHandle handle =
      static_cast<PrinterHandle>(reinterpret_cast<std::uintptr_t>(printer->GetPrinterHandle()));
  const std::uint32_t result = SpoolerService::Process().DeletePrinter(handle);
  if (result != ERROR_SUCCESS) {
    throw CommandFailure{"cannot remove printer \"" + name + "\": " + SpoolerText(result)};
  }
  return kExitOk;
}

int DataGet(const std::string& name, const std::string& value) {
  std::unique_ptr<Printer> printer = OpenQueue(name);
  const std::u16string wide = Utf16FromUtf8(value);
  ByteBuffer data;
  if (!printer->GetPrinterDataW(wide.c_str(), data)) {
    throw CommandFailure{"printer \"" + name + "\" has no data value \"" + value + "\""};
  }
  std::cout << ShowValue(printer->GetPrinterDataType(), data.data(), data.size()) << "\n";
  return kExitOk;
}

int DataSet(const std::string& name, const std::string& value, const std::string& dataText,
            const std::string& typeText) {
  const std::uint32_t type = ParseValueType(typeText);
  const std::vector<std::uint8_t> data = ParseValueData(type, dataText);
  std::unique_ptr<Printer> printer = OpenQueue(name);
  const std::u16string wide = Utf16FromUtf8(value);
  const std::uint32_t result = printer->SetPrinterDataW(wide.c_str(), type, data.data(),
                                                        static_cast<std::uint32_t>(data.size()));
  if (result != ERROR_SUCCESS) {
    throw CommandFailure{"cannot write \"" + value + "\": " + SpoolerText(result)};
  }
  return kExitOk;
}

int DataList(const std::string& name) {
  std::unique_ptr<Printer> printer = OpenQueue(name);
  std::vector<PrinterDataEntry> values;
  // A queue without printer data yet has no key to list.
  printer->EnumPrinterDataExW(Printer::kDriverDataKey, values);
  for (const PrinterDataEntry& v : values) {
    std::cout << Utf8FromUtf16(std::u16string_view(v.name, v.name.GetLength())) << "\t"
              << TypeName(v.type) << "\t" << ShowValue(v.type, v.data.data(), v.data.size())
              << "\n";
  }
  return kExitOk;
}

}  // namespace

void AddPrinterCommands(CLI::App& app) {
  AddStoreOption(app);
  CLI::App* printer = app.add_subcommand("printer", "printer queues and their printer data");
  printer->require_subcommand(1);
  AddStoreOption(*printer);

  struct Args {
    std::string name, driver = "Zelvo Universal", port = "LPT1:", value, data, type = "sz";
  };
  auto args = std::make_shared<Args>();

  CLI::App* add = printer->add_subcommand("add", "add a queue");
  AddStoreOption(*add);
  add->add_option("NAME", args->name, "printer name")->required();
  add->add_option("--driver", args->driver, "driver name")->capture_default_str();
  add->add_option("--port", args->port, "port name")->capture_default_str();
  add->callback([args] { SetStoreAction([args] { return Add(args->name, args->driver, args->port); }); });

  CLI::App* list = printer->add_subcommand("list", "list the queues: name, driver, port");
  AddStoreOption(*list);
  list->callback([] { SetStoreAction([] { return List(); }); });

  CLI::App* remove = printer->add_subcommand("remove", "remove a queue");
  AddStoreOption(*remove);
  remove->add_option("NAME", args->name, "printer name")->required();
  remove->callback([args] { SetStoreAction([args] { return Remove(args->name); }); });

  CLI::App* data = printer->add_subcommand("data", "printer data under PrinterDriverData");
  data->require_subcommand(1);
  AddStoreOption(*data);

  CLI::App* get = data->add_subcommand("get", "show one value");
  AddStoreOption(*get);
  get->add_option("NAME", args->name, "printer name")->required();
  get->add_option("VALUE", args->value, "value name")->required();
  get->callback([args] { SetStoreAction([args] { return DataGet(args->name, args->value); }); });

  CLI::App* set = data->add_subcommand("set", "write one value");
  AddStoreOption(*set);
  set->add_option("NAME", args->name, "printer name")->required();
  set->add_option("VALUE", args->value, "value name")->required();
  set->add_option("DATA", args->data, "data in the form of its type")->required();
  set->add_option("--type", args->type, "sz|dword|binary (also expand_sz, multi_sz, qword)");
  set->callback([args] {
    SetStoreAction([args] { return DataSet(args->name, args->value, args->data, args->type); });
  });

  CLI::App* ls = data->add_subcommand("list", "list the values: name, type, data");
  AddStoreOption(*ls);
  ls->add_option("NAME", args->name, "printer name")->required();
  ls->callback([args] { SetStoreAction([args] { return DataList(args->name); }); });
}

}  // namespace w4cli
