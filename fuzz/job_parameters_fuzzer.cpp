// Job parameter lists from a job record: the first two bytes pick an id, the
// rest (UTF-16LE, up to the first NUL) is the record's pParameters text.
// Reads must not fail whatever the text; a parameter just added must read
// back exactly, and removing it must take exactly that entry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "w4util/jobs/ClientJobDataReaderWriter.h"
#include "w4util/jobs/PrintJob.h"
#include "w4util/platform/RegistryStore.h"
#include "w4util/platform/SpoolerService.h"

namespace {

struct Queue {
  w4platform::PrinterHandle handle = 0;
  std::uint32_t job = 0;

  Queue() {
    w4platform::RegistryStore::ReplaceProcessStore(w4platform::RegistryStore::OpenInMemory());
    w4platform::SpoolerService& spooler = w4platform::SpoolerService::Process();
    std::u16string name = u"Fuzz", port = u"FILE:", driver = u"Zelvo Universal";
    w4platform::PrinterInfo2 info{};
    info.pPrinterName = name.data();
    info.pPortName = port.data();
    info.pDriverName = driver.data();
    if (spooler.AddPrinter(2, &info, &handle) != 0) std::abort();
    w4platform::DocInfo1 doc;
    doc.pDocName = u"fuzz";
    if (spooler.StartDocPrinter(handle, 1, &doc, &job) != 0) std::abort();
  }
  void* H() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(handle)); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Queue queue;
  if (size < 2 || size > 8192) return 0;
  const auto id = static_cast<std::int32_t>(static_cast<std::int16_t>(data[0] | (data[1] << 8)));
  std::u16string text;
  for (std::size_t i = 2; i + 1 < size; i += 2) {
    const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) break;
    text += unit;
  }
  {
    PrintJob record;
    auto* info = static_cast<w4platform::JobInfo2*>(record.GetJobInfo(queue.H(), queue.job, 2));
    if (info == nullptr) std::abort();
    info->pParameters = text.data();
    if (w4platform::SpoolerService::Process().SetJob(queue.handle, queue.job, 2, info, 0) != 0) std::abort();
  }

  ClientJobDataReaderWriter params(queue.H(), queue.job);
  CXString s;
  std::int32_t n = 0;
  ByteBuffer bytes;
  params.GetStringFromParameterList(id, s);
  params.GetLongFromParameterList(id, n);
  params.GetByteBufferFromParameterList(id, bytes);
  params.GetDumpDisplayString();
  const std::size_t before = params.GetParameterEntries().size();

  const CXString value(u"v;=S1=L1=\u3000");
  params.AddToParameterList(id, value);
  if (!params.GetStringFromParameterList(id, s) || !(s == value)) std::abort();
  params.AddToParameterList(id, std::int32_t{-77});
  if (!params.GetLongFromParameterList(id, n) || n != -77) std::abort();
  if (params.GetParameterEntries().size() != before + 2) std::abort();
  if (!params.RemoveFromParameterList(id) || !params.RemoveFromParameterList(id)) std::abort();
  if (params.GetParameterEntries().size() != before) std::abort();
  return 0;
}
