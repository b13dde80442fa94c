// w4util job submit|params|set-param|remove --printer NAME: spooler jobs and
// the parameters the driver carries in their records (ClientJobDataReaderWriter).
// A parameter is ID=VALUE with VALUE int:N (or a bare number), str:TEXT or
// blob:HEX (stored as Base64 text, as the driver stores bytes).
#include <charconv>
#include <cstdio>
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
#include "w4util/environment/Printer.h"
#include "w4util/errors/ExceptionCatalogue.h"
#include "w4util/errors/Throw.h"
#include "w4util/foundation/Base64.h"
#include "w4util/jobs/ClientJobDataReaderWriter.h"
#include "w4util/jobs/PrintJob.h"
#include "w4util/platform/SpoolerService.h"

namespace w4cli {
namespace {

struct Options {
  std::string printer;
  std::string document = "w4util job";
  std::uint32_t job = 0;
  std::vector<std::string> params;
  std::string removeParam;
};

[[noreturn]] void BadParameter(const std::string& what, const std::string& text) {
  const std::u16string message = Utf16FromUtf8(what + " \"" + text + "\"");
  ZELVO_THROW(ExceptionInvalidArgument, "w4cli::ParseJobParameter", "%s", message.c_str());
}

// Ids are 32-bit and written unsigned: 0 to 4294967295, or the negative
// numbers that stand for the upper half.
std::int32_t ParameterId(const std::string& text, const std::string& whole) {
  std::int64_t n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || n < INT32_MIN || n > UINT32_MAX) {
    BadParameter("not a parameter id (a 32-bit number) in", whole);
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
}

std::vector<unsigned char> FromHex(const std::string& text, const std::string& whole) {
  if (text.size() % 2 != 0) BadParameter("an odd number of hex digits in", whole);
  std::vector<unsigned char> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
    if (error != std::errc() || end != text.data() + i + 2) BadParameter("not hex digits in", whole);
    bytes.push_back(static_cast<unsigned char>(value));
  }
  return bytes;
}

// Applies every parameter to data; all are parsed before the first is added.
void AddParameters(ClientJobDataReaderWriter& data, const std::vector<std::string>& params) {
  struct Parsed {
    std::int32_t id;
    bool isNumber;
    std::int32_t number;
    CXString text;
  };
  std::vector<Parsed> parsed;
  for (const std::string& p : params) {
    std::string left, right;
    SplitAssignment(p, left, right);
    Parsed one{ParameterId(left, p), false, 0, CXString()};
    std::string rest = right;
    if (right.rfind("int:", 0) == 0 || (!right.empty() && (right[0] == '-' || (right[0] >= '0' && right[0] <= '9')))) {
      if (right.rfind("int:", 0) == 0) rest = right.substr(4);
      const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), one.number);
      if (rest.empty() || error != std::errc() || end != rest.data() + rest.size()) {
        BadParameter("not a 32-bit number in", p);
      }
      one.isNumber = true;
    } else if (right.rfind("str:", 0) == 0) {
      const std::u16string wide = Utf16FromUtf8(right.substr(4));
      one.text = CXString(wide.data(), static_cast<std::int32_t>(wide.size()));
    } else if (right.rfind("blob:", 0) == 0) {
      const std::vector<unsigned char> bytes = FromHex(right.substr(5), p);
      const auto count = static_cast<std::int32_t>(bytes.size());
      std::int32_t length = ZelvoUtilities::Base64EncodeGetRequiredLength(count, ZelvoUtilities::kBase64NoCrLf);
      std::vector<char16_t> text(static_cast<std::size_t>(length) + 1);
      ZelvoUtilities::Base64Encode(bytes.data(), count, text.data(), &length, ZelvoUtilities::kBase64NoCrLf);
      one.text = CXString(text.data(), length);
    } else {
      BadParameter("not a parameter value (int:N, str:TEXT or blob:HEX) in", p);
    }
    parsed.push_back(one);
  }
  for (const Parsed& one : parsed) {
    if (one.isNumber) {
      data.AddToParameterList(one.id, one.number);
    } else {
      data.AddToParameterList(one.id, one.text);
    }
  }
}

void* HandleOf(Printer& printer) { return printer.GetPrinterHandle(true); }

w4platform::PrinterHandle SpoolerHandle(void* handle) {
  return static_cast<w4platform::PrinterHandle>(reinterpret_cast<std::uintptr_t>(handle));
}

void RequireJob(Printer& printer, const Options& o) {
  PrintJob record;
  if (record.GetJobInfo(HandleOf(printer), o.job, 2) == nullptr) {
    const std::u16string queue = Utf16FromUtf8(o.printer);
    ZELVO_THROW(ExceptionSpoolerFailure, "w4cli::RequireJob", "The printer \"%s\" has no job %lu.", queue.c_str(),
                o.job);
  }
}

void Commit(ClientJobDataReaderWriter& data, const Options& o) {
  if (!data.CommitAdditions()) {
    const std::u16string queue = Utf16FromUtf8(o.printer);
    ZELVO_THROW(ExceptionSpoolerFailure, "w4cli::CommitJobParameters",
                "The parameters of job %lu could not be written to the printer \"%s\" (the job is gone?).", o.job,
                queue.c_str());
  }
}

}  // namespace

// Shared with the demo: the stored text with everything outside printable
// ASCII as \uXXXX, and one line per entry.
std::string EscapedParameterText(const CXString& text) {
  std::string out;
  for (std::int32_t i = 0; i < text.GetLength(); ++i) {
    const char16_t c = text[i];
    if (c >= 0x20 && c < 0x7F && c != u'\\') {
      out += static_cast<char>(c);
    } else {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
      out += buffer;
    }
  }
  return out;
}

void PrintParameters(const ClientJobDataReaderWriter& data, std::ostream& out) {
  const std::vector<ClientJobDataReaderWriter::Entry> entries = data.GetParameterEntries();
  for (const auto& e : entries) {
    out << "  " << (e.kind == u'S' ? "string " : "number ") << e.id << " = "
        << Utf8FromUtf16(std::u16string_view(e.value, static_cast<std::size_t>(e.value.GetLength())))
        << (e.terminated ? "" : "   (no terminator)") << "\n";
  }
  out << "  stored text: " << EscapedParameterText(data.GetParameterList()) << "\n";
}

namespace {

int Submit(const Options& o) {
  OpenChosenStore();
  auto printer = OpenPrinterByName(o.printer);
  // Parsed before the job exists, so a bad parameter leaves no job behind.
  {
    ClientJobDataReaderWriter probe(nullptr, 0);
    AddParameters(probe, o.params);
  }
  const std::u16string document = Utf16FromUtf8(o.document);
  w4platform::DocInfo1 doc;
  doc.pDocName = document.c_str();
  std::uint32_t id = 0;
  w4platform::SpoolerService& spooler = w4platform::SpoolerService::Process();
  const w4platform::PrinterHandle h = SpoolerHandle(HandleOf(*printer));
  if (const std::uint32_t e = spooler.StartDocPrinter(h, 1, &doc, &id)) {
    const std::u16string queue = Utf16FromUtf8(o.printer);
    ZELVO_THROW(ExceptionSpoolerFailure, "w4cli::JobSubmit", "The printer \"%s\" refused a new job: error %lu.",
                queue.c_str(), e);
  }
  spooler.EndDocPrinter(h);
  Options withJob = o;
  withJob.job = id;
  ClientJobDataReaderWriter data(HandleOf(*printer), id);
  AddParameters(data, o.params);
  if (!o.params.empty()) Commit(data, withJob);
  std::cout << "job " << id << " submitted to " << o.printer << " with " << o.params.size() << " parameter(s)\n";
  return kExitOk;
}

int Params(const Options& o) {
  OpenChosenStore();
  auto printer = OpenPrinterByName(o.printer);
  RequireJob(*printer, o);
  ClientJobDataReaderWriter data(HandleOf(*printer), o.job);
  std::cout << "job " << o.job << " on " << o.printer << ": " << data.GetParameterEntries().size()
            << " parameter(s)\n";
  PrintParameters(data, std::cout);
  return kExitOk;
}

int SetParam(const Options& o) {
  OpenChosenStore();
  auto printer = OpenPrinterByName(o.printer);
  RequireJob(*printer, o);
  ClientJobDataReaderWriter data(HandleOf(*printer), o.job);
  AddParameters(data, o.params);
  Commit(data, o);
  std::cout << "job " << o.job << ": " << o.params.size() << " parameter(s) added\n";
  PrintParameters(data, std::cout);
  return kExitOk;
}

int Remove(const Options& o) {
  OpenChosenStore();
  auto printer = OpenPrinterByName(o.printer);
  RequireJob(*printer, o);
  if (!o.removeParam.empty()) {
    const std::int32_t id = ParameterId(o.removeParam, o.removeParam);
    ClientJobDataReaderWriter data(HandleOf(*printer), o.job);
    if (!data.RemoveFromParameterList(id)) {
      ZELVO_THROW(ExceptionFeatureNotFound, "w4cli::JobRemove", "Job %lu has no parameter %lu.", o.job,
                  static_cast<std::uint32_t>(id));
    }
    Commit(data, o);
    std::cout << "job " << o.job << ": parameter " << static_cast<std::uint32_t>(id) << " removed\n";
    PrintParameters(data, std::cout);
    return kExitOk;
  }
  if (const std::uint32_t e = w4platform::SpoolerService::Process().SetJob(SpoolerHandle(HandleOf(*printer)), o.job, 0,
                                                                          nullptr, w4platform::JOB_CONTROL_DELETE)) {
    ZELVO_THROW(ExceptionSpoolerFailure, "w4cli::JobRemove", "Job %lu could not be removed: error %lu.", o.job, e);
  }
  std::cout << "job " << o.job << " removed from " << o.printer << "\n";
  return kExitOk;
}

}  // namespace

void AddJobCommands(CLI::App& app) {
  CLI::App* group = app.add_subcommand(
      "job", "spooler jobs and their driver parameters (ID=int:N, ID=N, ID=str:TEXT or ID=blob:HEX)");
  group->require_subcommand(1);
  auto o = std::make_shared<Options>();

  CLI::App* submit =
      AddQueueCommand(*group, "submit", "submit a job, optionally with parameters", o->printer);
  submit->add_option("--document", o->document, "document name");
  submit->add_option("PARAM", o->params, "parameters ID=VALUE");
  submit->callback([o] { SetAction([o] { return Submit(*o); }); });

  CLI::App* params = AddQueueCommand(
      *group, "params", "show a job's parameters as the spooler side reads them", o->printer);
  params->add_option("--job", o->job, "job id")->required();
  params->callback([o] { SetAction([o] { return Params(*o); }); });

  CLI::App* setParam = AddQueueCommand(
      *group, "set-param", "add parameters to a job (the newest entry of an id wins)", o->printer);
  setParam->add_option("--job", o->job, "job id")->required();
  setParam->add_option("PARAM", o->params, "parameters ID=VALUE")->required();
  setParam->callback([o] { SetAction([o] { return SetParam(*o); }); });

  CLI::App* remove = AddQueueCommand(
      *group, "remove", "remove a job, or with --param one of its parameters", o->printer);
  remove->add_option("--job", o->job, "job id")->required();
  remove->add_option("--param", o->removeParam, "parameter id to remove instead of the job");
  remove->callback([o] { SetAction([o] { return Remove(*o); }); });
}

}  // namespace w4cli
