// PrintJob: the holder of one spooler job record (JobInfo1, JobInfo2 ...)
// read into a buffer that this object owns.
//
// A record is the fixed structure at the buffer's start, its text fields
// pointing further into the same buffer, so a record handed out is valid only
// until the next GetJobInfo on this object or its destruction. For that
// reason a PrintJob cannot be copied.
//
// Reads go to the process's spooler (w4platform::SpoolerService::Process()).
// One object is used by one thread at a time.
#pragma once

#include <cstdint>

#include "w4util/Export.h"
#include "w4util/foundation/ByteBuffer.h"
#include "w4util/foundation/CXString.h"
#include "w4util/platform/SpoolerTypes.h"

class W4UTIL_EXPORT PrintJob {
 public:
  // The level of an object that holds no record.
  static constexpr std::uint32_t kNoLevel = 0xFFFFFFFFu;

  PrintJob() = default;
  // Reads the record at once (GetJobInfo); holds none when that fails.
  PrintJob(void* hPrinter, std::uint32_t jobId, std::uint32_t level);
  virtual ~PrintJob() = default;
  PrintJob(const PrintJob&) = delete;
  PrintJob& operator=(const PrintJob&) = delete;

  // Reads the job's record of `level` (1: JobInfo1, 2: JobInfo2) after a size
  // query. Returns the record (owned by this object, valid until the next
  // call), or null when the job or the level cannot be read; a record read
  // earlier is gone either way.
  void* GetJobInfo(void* hPrinter, std::uint32_t jobId, std::uint32_t level);

  // The record held, or null.
  void* GetJobInfoPtr();
  std::uint32_t GetJobInfoSize() const { return static_cast<std::uint32_t>(m_record.size()); }
  // kNoLevel when no record is held.
  std::uint32_t GetJobLevel() const { return m_level; }

  // The 48-character key of a job: "8", `name` left-aligned in 39 columns
  // (cut to 40 characters in all), then hour, minute, second and hundredths
  // of the job's submission time, two digits each. The time part is empty
  // when the job cannot be read. Leaves the record this object holds alone.
  CXString GetVireoPrintJobIDkey(void* hPrinter, std::uint32_t jobId, CXString& name);

 private:
  std::uint32_t m_level = kNoLevel;
  ByteBuffer m_record;
};
