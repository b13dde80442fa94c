#include "w4util/jobs/PrintJob.h"

#include <cstdint>

#include "w4util/platform/SpoolerService.h"

PrintJob::PrintJob(void* hPrinter, std::uint32_t jobId, std::uint32_t level) {
  GetJobInfo(hPrinter, jobId, level);
}

namespace {

w4platform::PrinterHandle ToHandle(void* handle) {
  return static_cast<w4platform::PrinterHandle>(reinterpret_cast<std::uintptr_t>(handle));
}

}  // namespace

void* PrintJob::GetJobInfo(void* hPrinter, std::uint32_t jobId, std::uint32_t level) {
  m_record.clear();  // keeps the capacity for the next record
  m_level = kNoLevel;
  w4platform::SpoolerService& spooler = w4platform::SpoolerService::Process();
  std::uint32_t needed = 0;
  spooler.GetJob(ToHandle(hPrinter), jobId, level, nullptr, 0, &needed);
  if (needed == 0) return nullptr;
  m_record.resize(needed);
  if (spooler.GetJob(ToHandle(hPrinter), jobId, level, m_record.data(), needed, &needed) != 0) {
    m_record.clear();
    return nullptr;
  }
  m_level = level;
  return m_record.data();
}

void* PrintJob::GetJobInfoPtr() { return m_record.empty() ? nullptr : m_record.data(); }

CXString PrintJob::GetVireoPrintJobIDkey(void* hPrinter, std::uint32_t jobId,
                                         CXString& name) {
  CXString time;
  PrintJob level1;
  if (const auto* record = static_cast<const w4platform::JobInfo1*>(level1.GetJobInfo(hPrinter, jobId, 1))) {
    const w4platform::SystemTime& at = record->Submitted;
    time = ZelvoUtilities::formatString(u"%02d%02d%02d%02d", static_cast<std::int32_t>(at.wHour),
                                        static_cast<std::int32_t>(at.wMinute),
                                        static_cast<std::int32_t>(at.wSecond),
                                        static_cast<std::int32_t>(at.wMilliseconds / 10));
  }
  const CXString head = ZelvoUtilities::formatString(u"8%-39s", static_cast<const char16_t*>(name)).Left(40);
  return ZelvoUtilities::formatString(u"%s%s", static_cast<const char16_t*>(head),
                                      static_cast<const char16_t*>(time));
}
